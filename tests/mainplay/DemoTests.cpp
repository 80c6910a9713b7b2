// The first-run demo: what it puts into the lyrics folder, and that it never replaces a file.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Demo.h"
#include "store/Codec.h"
#include "store/Main.h"

using namespace qiva;

namespace {
QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Asset(const QString& name) { return Bytes(QStringLiteral(QIVA_ASSETS "/") + name); }

const QString kSong = QStringLiteral("演示歌曲.MP3");
const QString kLyrics = QStringLiteral("演示歌曲.TXT");
const QString kExample = QStringLiteral("步骤二示例.TXT");
const QString kRecord = QStringLiteral("关联记录.TXT");
const QString kMarker = QStringLiteral("right.gif");
}  // namespace

class DemoTests : public QObject {
    Q_OBJECT
private slots:
    void assetsTravelInsideTheProgram();
    void firstStartFillsTheFolder();
    void demoLyricsMatchTheTimingAndTheExample();
    void secondStartChangesNothing();
    void existingRecordKeepsEverything();
    void existingFilesAreNeverReplaced();
    void deletedMarkerComesBack();
    void unusableFolderStillStarts();
};

void DemoTests::assetsTravelInsideTheProgram() {
    for (const char* name : {"right.gif", "demo.mp3", "demo-timing.txt", "step2-example.txt"}) {
        const QString asset = QString::fromLatin1(name);
        QCOMPARE(Bytes(QStringLiteral(":/assets/") + asset), Asset(asset));
        QVERIFY(!Asset(asset).isEmpty());
    }
}

void DemoTests::firstStartFillsTheFolder() {
    QTemporaryDir tmp;
    const QString folder = QDir(tmp.path()).filePath(QStringLiteral("歌词"));
    InstallFirstRunDemo(folder);
    const QDir dir(folder);
    QCOMPARE(Bytes(dir.filePath(kMarker)), Asset(kMarker));
    QCOMPARE(Bytes(dir.filePath(kSong)), Asset("demo.mp3"));
    // Written files can be changed by the user later (a copy from a read-only resource would not be).
    QVERIFY(QFileInfo(dir.filePath(kSong)).isWritable());

    Main m(folder);
    m.LoadAssociations();
    QCOMPARE(m.assocCount, int16_t(1));
    QCOMPARE(m.assocTable[1].songPath, QDir(folder).absoluteFilePath(kSong));
    QCOMPARE(m.assocTable[1].lyricsPath, QDir(folder).absoluteFilePath(kLyrics));
    QVERIFY(QFileInfo(m.assocTable[1].songPath).isAbsolute());
    QVERIFY(QFileInfo::exists(m.assocTable[1].lyricsPath));

    // The example text is code page 936 with one CR LF after it.
    const QByteArray example = Bytes(dir.filePath(kExample));
    QCOMPARE(example, EncodeAnsi(QString::fromUtf8(Asset("step2-example.txt"))) + "\r\n");
    QVERIFY(example.startsWith('B'));
    QVERIFY(example.endsWith("E\r\n"));
}

void DemoTests::demoLyricsMatchTheTimingAndTheExample() {
    QTemporaryDir tmp;
    InstallFirstRunDemo(tmp.path());
    const QString lyricsPath = QDir(tmp.path()).filePath(kLyrics);
    const QByteArray raw = Bytes(lyricsPath);
    QVERIFY(raw.contains(EncodeAnsi(QStringLiteral("演示歌曲"))));
    QVERIFY(!raw.contains(QStringLiteral("演示歌曲").toUtf8()));
    QVERIFY(raw.endsWith("\r\n"));

    Main m(tmp.path());
    m.ReadLyricsFile(lyricsPath);
    QCOMPARE(m.lyricSongPath, QDir(tmp.path()).absoluteFilePath(kSong));
    QCOMPARE(m.lyricTitle, QStringLiteral("演示歌曲"));

    // The lines are what step two would make of the example text, timed by the measured table.
    const QStringList example =
        QString::fromUtf8(Asset("step2-example.txt")).mid(1).split(QRegularExpression("[PSE]"));
    QStringList expected{QStringLiteral("（开始）"),
                         example[0],
                         example[1],
                         QStringLiteral("（长时间停顿 ）"),
                         example[2],
                         example[3],
                         example[4],
                         QStringLiteral("（结束）")};
    QCOMPARE(m.lyricLineCount, int16_t(expected.size()));
    const QStringList timing = QString::fromUtf8(Asset("demo-timing.txt")).split(u'\n', Qt::SkipEmptyParts);
    int previous = 0;
    for (int i = 1; i <= m.lyricLineCount; ++i) {
        QCOMPARE(m.lyricLines[i].text, expected[i - 1]);
        QCOMPARE(QString::number(m.lyricLines[i].endTime) + u'\t' + expected[i - 1], timing[i]);
        QVERIFY(m.lyricLines[i].endTime > previous + 10);  // every line lasts more than a second
        previous = m.lyricLines[i].endTime;
    }
    QVERIFY(previous >= 150 && previous <= 250);  // the song is 15 to 25 s long
}

void DemoTests::secondStartChangesNothing() {
    QTemporaryDir tmp;
    InstallFirstRunDemo(tmp.path());
    QDir dir(tmp.path());
    // The user changed the demo's lyrics and removed the example.
    Put(dir.filePath(kLyrics), "changed");
    QVERIFY(QFile::remove(dir.filePath(kExample)));
    const QByteArray record = Bytes(dir.filePath(kRecord));
    InstallFirstRunDemo(tmp.path());
    QCOMPARE(Bytes(dir.filePath(kLyrics)), QByteArray("changed"));
    QVERIFY(!QFileInfo::exists(dir.filePath(kExample)));
    QCOMPARE(Bytes(dir.filePath(kRecord)), record);
}

void DemoTests::existingRecordKeepsEverything() {
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    const QByteArray mine = "1\r\n\"/music/a.mp3\",\"/music/a.TXT\"\r\n";
    Put(dir.filePath(kRecord), mine);
    InstallFirstRunDemo(tmp.path());
    QCOMPARE(Bytes(dir.filePath(kRecord)), mine);
    QVERIFY(QFileInfo::exists(dir.filePath(kMarker)));
    for (const QString& name : {kSong, kLyrics, kExample})
        QVERIFY2(!QFileInfo::exists(dir.filePath(name)), qPrintable(name));
}

void DemoTests::existingFilesAreNeverReplaced() {
    QTemporaryDir tmp;
    QDir dir(tmp.path());
    for (const QString& name : {kMarker, kSong, kLyrics, kExample}) Put(dir.filePath(name), name.toUtf8());
    InstallFirstRunDemo(tmp.path());
    for (const QString& name : {kMarker, kSong, kLyrics, kExample})
        QCOMPARE(Bytes(dir.filePath(name)), name.toUtf8());
    // The record names the demo, whose files are there.
    Main m(tmp.path());
    m.LoadAssociations();
    QCOMPARE(m.assocCount, int16_t(1));
    QCOMPARE(m.assocTable[1].songPath, dir.absoluteFilePath(kSong));
}

void DemoTests::deletedMarkerComesBack() {
    QTemporaryDir tmp;
    InstallFirstRunDemo(tmp.path());
    QDir dir(tmp.path());
    QVERIFY(QFile::remove(dir.filePath(kMarker)));
    InstallFirstRunDemo(tmp.path());
    QCOMPARE(Bytes(dir.filePath(kMarker)), Asset(kMarker));
}

void DemoTests::unusableFolderStillStarts() {
    QTemporaryDir tmp;
    const QString notAFolder = QDir(tmp.path()).filePath("file");
    Put(notAFolder, "x");
    InstallFirstRunDemo(notAFolder);  // returns quietly
    InstallFirstRunDemo(QDir(notAFolder).filePath("歌词"));
    QCOMPARE(Bytes(notAFolder), QByteArray("x"));
}

int RunDemoTests(int argc, char** argv) {
    DemoTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "DemoTests.moc"
