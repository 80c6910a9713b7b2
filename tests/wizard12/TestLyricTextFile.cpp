#include <QDir>
#include <QFile>
#include <QTest>

#include "StepTwoRig.h"

namespace qiva::test {

namespace {
const QString kTextFilter = QStringLiteral("Text Files(*.TXT)|*.TXT");
// B, 今天, P, E in code page 936, then CR LF.
const QByteArray kExampleBytes = QByteArray::fromHex("42BDF1CCEC50450D0A");

QString ScratchFile(const QString& name) { return QDir(ScratchFolder()).filePath(name); }

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}
}  // namespace

class TestLyricTextFile : public QObject {
    Q_OBJECT
private slots:
    void saveWritesTheTextAndOneLineBreak();
    void openReadsEveryByte();
    void eachSaveOpenCycleAddsOneLineBreak();
    void lineBreaksInsideTheText();
    void nameWithoutExtensionAndReplacing();
    void cancelledDialogsChangeNothing();
    void openFailureKeepsTheText();
    void saveFailure();
    void emptyFileOpensAsEmptyText();
    void lengthLimit();
};

void TestLyricTextFile::saveWritesTheTextAndOneLineBreak() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("例子.TXT"));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(path);
    QCOMPARE(Bytes(path), kExampleBytes);
    const auto& shown = r.t.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::SaveAs);
    QCOMPARE(shown.filter, kTextFilter);
    QCOMPARE(shown.flags, 1);
    QCOMPARE(shown.fileNameBefore, QString());
    QCOMPARE(shown.initDir, QString());  // save gives no folder of its own
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::openReadsEveryByte() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("打开.TXT"));
    Write(path, kExampleBytes);
    r.open(path);
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE\n"));
    QVERIFY(r.nextEnabled() && r.saveEnabled());
    const auto& shown = r.t.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::Open);
    QCOMPARE(shown.filter, kTextFilter);
    QCOMPARE(shown.flags, 1);
    QCOMPARE(shown.initDir, r.m.lyricsFolder());
    r.save(ScratchFile(QStringLiteral("之后.TXT")));  // the dialog keeps the folder an open gave it
    QCOMPARE(r.t.dialogs.shown.back().initDir, r.m.lyricsFolder());
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::eachSaveOpenCycleAddsOneLineBreak() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("循环.TXT"));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(path);
    r.open(path);
    r.save(path);
    QCOMPARE(Bytes(path), kExampleBytes + "\r\n");
    r.open(path);
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE\n\n"));
    r.w->Command4->click();
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE"));
}

void TestLyricTextFile::lineBreaksInsideTheText() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("多行.TXT"));
    r.w->setText1(QStringLiteral("B今\r\n天\nPE"));
    r.save(path);
    QCOMPARE(Bytes(path), QByteArray::fromHex("42BDF10D0ACCEC0D0A50450D0A"));
}

void TestLyricTextFile::nameWithoutExtensionAndReplacing() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("无扩展名"));
    Write(path, QByteArray(100, 'x'));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(path);
    QCOMPARE(Bytes(path), kExampleBytes);
    QVERIFY(!QFile::exists(path + ".TXT"));
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::cancelledDialogsChangeNothing() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(QString());
    r.save(QString());
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
    QCOMPARE(r.t.dialogs.shown.size(), size_t{2});
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::openFailureKeepsTheText() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(ScratchFile(QStringLiteral("不存在.TXT")));
    QCOMPARE(r.t.prompter.texts(), QStringList{"无法打开这个文件！"});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
}

void TestLyricTextFile::saveFailure() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    const QString path = ScratchFile(QStringLiteral("没有这个文件夹/歌.TXT"));
    r.save(path);
    QCOMPARE(r.t.prompter.texts(), QStringList{"无法保存这个文件！"});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
}

void TestLyricTextFile::emptyFileOpensAsEmptyText() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("空.TXT"));
    Write(path, QByteArray());
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(path);
    QVERIFY(r.t.prompter.boxes.empty());
    QVERIFY(r.w->text1().isEmpty());
    QVERIFY(!r.nextEnabled() && !r.saveEnabled());
}

void TestLyricTextFile::lengthLimit() {
    StepTwoRig r;
    const QString longest = "B" + QString(32766, u'歌');
    const QString path = ScratchFile(QStringLiteral("最长.TXT"));
    r.w->setText1(longest);
    r.save(path);  // 32767 characters and the line break a save adds: opens again
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(path);
    QVERIFY(r.t.prompter.boxes.empty());
    QCOMPARE(r.w->text1(), longest + "\n");

    const QString tooLong = ScratchFile(QStringLiteral("太长.TXT"));
    Write(tooLong, QByteArray(32768, 'a'));
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(tooLong);
    QCOMPARE(r.t.prompter.texts(), QStringList{"这个文件的歌词超过 32767 个字，无法打开！"});
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));

    const size_t showings = r.t.dialogs.shown.size();
    r.w->setText1(longest + "歌");
    r.save(ScratchFile(QStringLiteral("不该写.TXT")));
    QCOMPARE(r.t.dialogs.shown.size(), showings);  // refused before the dialog
    QCOMPARE(r.t.prompter.texts().last(),
             QStringLiteral("歌词超过 32767 个字，无法保存！请删减歌词后再保存。"));
    QVERIFY(!QFile::exists(ScratchFile(QStringLiteral("不该写.TXT"))));
    r.t.dialogs.answers.clear();
}

int RunLyricTextFileTests(int argc, char** argv) {
    TestLyricTextFile t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestLyricTextFile.moc"
