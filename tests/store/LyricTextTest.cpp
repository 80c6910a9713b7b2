// The wizard's lyric text file: text plus CR LF in code page 936, every line break inside the text stored as
// it stands, so that a file written elsewhere opens and saves again to the same bytes.

#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "StoreTestUtil.h"
#include "store/Main.h"

using namespace qiva;
using qiva::test::Bytes;
using qiva::test::Fixture;
using qiva::test::PutBytes;

class LyricTextTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void savesMarkedTextByteForByte();
    void opensTheSavedTextWithALineBreakAtTheEnd();
    void everyCycleAddsOneLineBreak();
    void lineBreaksAreStoredAsTheyStand_data();
    void lineBreaksAreStoredAsTheyStand();
    void opensAnyBytes_data();
    void opensAnyBytes();
    void openFailsForMissingFileOrFolder();
    void saveReplacesWithoutQuestionAndFailsCleanly();

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;
};

void LyricTextTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_.setPath(tmp_->path());
}

void LyricTextTest::savesMarkedTextByteForByte() {
    SaveLyricText(Path(QStringLiteral("歌")), QStringLiteral("B今天PE"));
    const QByteArray expected = QByteArray::fromHex("42bdf1ccec50450d0a");
    QCOMPARE(Bytes(Path(QStringLiteral("歌"))).toHex(), expected.toHex());
    QCOMPARE(Bytes(Fixture(QStringLiteral("text_bpe.txt"))).toHex(), expected.toHex());
}

void LyricTextTest::opensTheSavedTextWithALineBreakAtTheEnd() {
    QCOMPARE(OpenLyricText(Fixture(QStringLiteral("text_bpe.txt"))), QStringLiteral("B今天PE\r\n"));
}

void LyricTextTest::everyCycleAddsOneLineBreak() {
    const QString path = Path(QStringLiteral("cycle.TXT"));
    QString text = QStringLiteral("B今天\nPE");
    SaveLyricText(path, text);
    text = OpenLyricText(path);
    QCOMPARE(text, QStringLiteral("B今天\nPE\r\n"));
    SaveLyricText(path, text);
    text = OpenLyricText(path);
    QCOMPARE(text, QStringLiteral("B今天\nPE\r\n\r\n"));
    QCOMPARE(Bytes(path), QByteArray("B\xbd\xf1\xcc\xec\nPE\r\n\r\n"));
}

void LyricTextTest::lineBreaksAreStoredAsTheyStand_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("lone lf kept") << "a\nb" << QByteArray("a\nb\r\n");
    QTest::newRow("crlf") << "a\r\nb" << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone cr kept") << "a\rb" << QByteArray("a\rb\r\n");
    QTest::newRow("lf then cr stays two breaks") << "a\n\rb\n" << QByteArray("a\n\rb\n\r\n");
    QTest::newRow("one character") << "P" << QByteArray("P\r\n");
    QTest::newRow("euro") << "€" << QByteArray("\x80\r\n");
    QTest::newRow("outside cp936") << "😀" << QByteArray::fromHex("9439fc360d0a");
}

void LyricTextTest::lineBreaksAreStoredAsTheyStand() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    SaveLyricText(Path(QStringLiteral("t.TXT")), text);
    QCOMPARE(Bytes(Path(QStringLiteral("t.TXT"))).toHex(), bytes.toHex());
}

void LyricTextTest::opensAnyBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero bytes: empty text") << QByteArray() << QString();
    QTest::newRow("no line end") << QByteArray("abc") << QStringLiteral("abc");
    QTest::newRow("lone lf and cr") << QByteArray("a\nb\rc") << QStringLiteral("a\nb\rc");
    QTest::newRow("both euro forms") << QByteArray("\x80\xa2\xe3") << QStringLiteral("€€");
    QTest::newRow("damaged bytes") << QByteArray("\xff\r\n\x81") << QStringLiteral("\uFFFD\r\n\uFFFD");
    QTest::newRow("nul byte") << QByteArray("a\0b", 3)
                              << QStringLiteral("a") + QChar(0) + QStringLiteral("b");
}

void LyricTextTest::opensAnyBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    PutBytes(Path(QStringLiteral("any.TXT")), bytes);
    QCOMPARE(OpenLyricText(Path(QStringLiteral("any.TXT"))), text);
}

void LyricTextTest::openFailsForMissingFileOrFolder() {
    QVERIFY_THROWS_EXCEPTION(StoreError, OpenLyricText(Path(QStringLiteral("没有.TXT"))));
    QVERIFY_THROWS_EXCEPTION(StoreError, OpenLyricText(dir_.path()));
}

void LyricTextTest::saveReplacesWithoutQuestionAndFailsCleanly() {
    const QString path = Path(QStringLiteral("old.TXT"));
    PutBytes(path, "old text that is longer\r\n");
    SaveLyricText(path, QStringLiteral("new"));
    QCOMPARE(Bytes(path), QByteArray("new\r\n"));
    {
        qiva::test::FileSizeLimit limit(1024);
        QVERIFY_THROWS_EXCEPTION(StoreError, SaveLyricText(path, QString(5000, u'x')));
    }
    QCOMPARE(Bytes(path), QByteArray("new\r\n"));
    QCOMPARE(dir_.entryList(QDir::Files), QStringList{"old.TXT"});
    QVERIFY(dir_.mkdir(QStringLiteral("folder.TXT")));
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             SaveLyricText(Path(QStringLiteral("folder.TXT")), QStringLiteral("x")));
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             SaveLyricText(Path(QStringLiteral("没有/x.TXT")), QStringLiteral("x")));
    // A name without an extension is used exactly as typed.
    SaveLyricText(Path(QStringLiteral("无扩展名")), QStringLiteral("x"));
    QVERIFY(QFileInfo::exists(Path(QStringLiteral("无扩展名"))));
}

int qiva::test::RunLyricTextTest(int argc, char** argv) {
    LyricTextTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LyricTextTest.moc"
