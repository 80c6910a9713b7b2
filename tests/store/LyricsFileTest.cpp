// The timed lyrics file: byte-exact writing, reading of every fixture, failures that keep what was read, and
// atomic rewrites.

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "StoreTestUtil.h"
#include "store/Main.h"

using namespace qiva;
using qiva::test::Bytes;
using qiva::test::Fixture;
using qiva::test::PutBytes;

namespace {

// The three-line example, spelled out byte for byte.
const QByteArray kExampleBytes = QByteArray::fromHex(
    "22ceb4d6aa222c22ceb4d6aa222c332c22ceb4d6aa222c22443a5c4d50335c612e4d5033222c22ceb4d6aa222c22ceb4d6aa22"
    "0d0a"
    "38352c22a3a8bfaacabca3a9220d0a"
    "3331322c22a3a8b3a4cab1bce4cda3b6d920a3a9220d0a"
    "323430312c22a3a8bde1caf8a3a9220d0a");

void FillExample(Main& m) {
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricTitle = m.lyricLyricist = QStringLiteral("未知");
    m.lyricSongPath = QStringLiteral("D:\\MP3\\a.MP3");
    m.ResetLines(3);
    m.lyricLines[1] = {QStringLiteral("（开始）"), 85};
    m.lyricLines[2] = {QStringLiteral("（长时间停顿 ）"), 312};
    m.lyricLines[3] = {QStringLiteral("（结束）"), 2401};
}

QStringList Header(const Main& m) {
    return {m.lyricAlbum, m.lyricSinger,  QString::number(m.lyricLineCount), m.lyricComposer, m.lyricSongPath,
            m.lyricTitle, m.lyricLyricist};
}

QStringList Lines(const Main& m) {
    QStringList out;
    for (const LyricLine& l : m.lyricLines) out << QString::number(l.endTime) + u'|' + l.text;
    return out;
}

bool Consistent(const Main& m) {
    return m.lyricLineCount >= 0 && m.lyricLines.size() == static_cast<size_t>(m.lyricLineCount) + 1 &&
           m.lyricLines[0].text.isEmpty() && m.lyricLines[0].endTime == 0;
}

}  // namespace

class LyricsFileTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
        dir_.setPath(tmp_->path());
    }
    void writesTheExampleByteForByte();
    void readsTheExample();
    void readsFixtures_data();
    void readsFixtures();
    void moreRecordsThanTheCountAreDroppedOnRewrite();
    void zeroLinesWriteTheHeaderAlone();
    void failedReadKeepsWhatWasRead_data();
    void failedReadKeepsWhatWasRead();
    void headerCallbackRunsBetweenHeaderAndLines();
    void missingOrFolderPathFailsToRead();
    void writeAndReadBackAgree_data();
    void writeAndReadBackAgree();
    void refusesADoubleQuoteAndWritesNothing();
    void failedWriteLeavesThePreviousFileIntact();
    void refusesALineTableShorterThanTheCount();
    void damagedFilesNeverBreakTheLineTable();

private:
    QString Path(const QString& name) const { return dir_.filePath(name); }
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;  // a fresh, empty folder for every test
};

void LyricsFileTest::writesTheExampleByteForByte() {
    Main m(dir_.path());
    FillExample(m);
    m.WriteLyricsFile(Path(QStringLiteral("例子.TXT")));
    QCOMPARE(Bytes(Path(QStringLiteral("例子.TXT"))).toHex(), kExampleBytes.toHex());
    QCOMPARE(Bytes(Fixture(QStringLiteral("example.txt"))).toHex(), kExampleBytes.toHex());
}

void LyricsFileTest::readsTheExample() {
    Main m(dir_.path());
    m.ReadLyricsFile(Fixture(QStringLiteral("example.txt")));
    Main expected(dir_.path());
    FillExample(expected);
    QCOMPARE(Header(m), Header(expected));
    QCOMPARE(Lines(m), Lines(expected));
}

void LyricsFileTest::readsFixtures_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("header split over lines, records joined by a comma")
        << "header_split.txt" << QStringList{"专辑", "歌手", "2", "作曲", "D:\\歌\\b.MP3", "歌名", "作词"}
        << QStringList{"0|", "10|一", "20|二"};
    QTest::newRow("commas, blanks, empty texts, junk after a quote")
        << "commas.txt" << QStringList{"a,b", "", "3", "", "", ",", "x"}
        << QStringList{"0|", "5|你好，世界, hello", "6|  两边有空格  ", "0|"};
    QTest::newRow("no lines") << "zero_lines.txt"
                              << QStringList{"专辑", "歌手", "0", "作曲", "E:\\a.mp3", "歌名", "作词"}
                              << QStringList{"0|"};
    QTest::newRow("more records than the count")
        << "more_records.txt" << QStringList{"A", "S", "2", "C", "P", "T", "L"}
        << QStringList{"0|", "1|一", "2|二"};
    QTest::newRow("16-bit limits") << "limits.txt" << QStringList{"A", "S", "4", "C", "P", "T", "L"}
                                   << QStringList{"0|", "32767|max", "-32768|min", "0|zero", "0|z"};
    QTest::newRow("both euro forms") << "euro.txt" << QStringList{"A", "S", "1", "C", "P", "T", "L"}
                                     << QStringList{"0|", "1|€ €"};
    QTest::newRow("line break inside a text")
        << "linebreak.txt" << QStringList{"A", "S", "2", "C", "P", "T", "L"}
        << QStringList{"0|", "7|first\r\nsecond", "8|x"};
    QTest::newRow("damaged bytes") << "invalid_bytes.txt"
                                   << QStringList{"\uFFFD", "\uFFFD", "1", "C", "P", "T", "L"}
                                   << QStringList{"0|", "1|ok"};
}

void LyricsFileTest::readsFixtures() {
    QFETCH(QString, file);
    QFETCH(QStringList, header);
    QFETCH(QStringList, lines);
    Main m(dir_.path());
    try {
        m.ReadLyricsFile(Fixture(file));
    } catch (const StoreError& e) {
        QFAIL(e.what());
    }
    QCOMPARE(Header(m), header);
    QCOMPARE(Lines(m), lines);
}

void LyricsFileTest::moreRecordsThanTheCountAreDroppedOnRewrite() {
    Main m(dir_.path());
    m.ReadLyricsFile(Fixture(QStringLiteral("more_records.txt")));
    m.WriteLyricsFile(Path(QStringLiteral("rewritten.TXT")));
    QCOMPARE(Bytes(Path(QStringLiteral("rewritten.TXT"))),
             QByteArray("\"A\",\"S\",2,\"C\",\"P\",\"T\",\"L\"\r\n1,\"\xd2\xbb\"\r\n2,\"\xb6\xfe\"\r\n"));
}

void LyricsFileTest::zeroLinesWriteTheHeaderAlone() {
    Main m(dir_.path());
    m.ResetLines(0);
    m.lyricSongPath = QStringLiteral("E:\\a.mp3");
    m.WriteLyricsFile(Path(QStringLiteral("zero.TXT")));
    QCOMPARE(Bytes(Path(QStringLiteral("zero.TXT"))),
             QByteArray("\"\",\"\",0,\"\",\"E:\\a.mp3\",\"\",\"\"\r\n"));
}

void LyricsFileTest::failedReadKeepsWhatWasRead_data() {
    // The document before the read holds two lines ("old"); what the failed read leaves:
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<QStringList>("lines");
    const QStringList oldLines{"0|", "1|old1", "2|old2"};
    QTest::newRow("fewer records than the count")
        << "fewer_records.txt" << QStringList{"A", "S", "3", "C", "P", "T", "L"}
        << QStringList{"0|", "11|一", "22|二", "0|"};
    QTest::newRow("count beyond 16 bits")
        << "count_too_big.txt" << QStringList{"A", "S", "2", "old", "old", "old", "old"} << oldLines;
    QTest::newRow("negative count") << "count_negative.txt"
                                    << QStringList{"A", "S", "2", "old", "old", "old", "old"} << oldLines;
    QTest::newRow("end time beyond 16 bits")
        << "time_too_big.txt" << QStringList{"A", "S", "2", "C", "P", "T", "L"}
        << QStringList{"0|", "1|一", "0|"};
    QTest::newRow("end time below 16 bits")
        << "time_too_small.txt" << QStringList{"A", "S", "1", "C", "P", "T", "L"} << QStringList{"0|", "0|"};
    QTest::newRow("end time not a number")
        << "time_garbage.txt" << QStringList{"A", "S", "1", "C", "P", "T", "L"} << QStringList{"0|", "0|"};
    QTest::newRow("quote never closed")
        << "unclosed_quote.txt" << QStringList{"A", "S", "1", "C", "P", "T", "L"} << QStringList{"0|", "1|"};
    QTest::newRow("header cut short")
        << "assoc_zero.txt" << QStringList{"0", "old", "2", "old", "old", "old", "old"} << oldLines;
}

void LyricsFileTest::failedReadKeepsWhatWasRead() {
    QFETCH(QString, file);
    QFETCH(QStringList, header);
    QFETCH(QStringList, lines);
    Main m(dir_.path());
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricSongPath = m.lyricTitle = m.lyricLyricist =
        QStringLiteral("old");
    m.ResetLines(2);
    m.lyricLines[1] = {QStringLiteral("old1"), 1};
    m.lyricLines[2] = {QStringLiteral("old2"), 2};
    QVERIFY_THROWS_EXCEPTION(StoreError, m.ReadLyricsFile(Fixture(file)));
    QCOMPARE(Header(m), header);
    QCOMPARE(Lines(m), lines);
    QVERIFY(Consistent(m));
}

void LyricsFileTest::headerCallbackRunsBetweenHeaderAndLines() {
    Main m(dir_.path());
    QStringList seen;
    m.ReadLyricsFile(Fixture(QStringLiteral("example.txt")), [&] {
        seen = Header(m);
        seen << Lines(m);
    });
    QCOMPARE(seen, (QStringList{"未知", "未知", "3", "未知", "D:\\MP3\\a.MP3", "未知", "未知", "0|", "0|",
                                "0|", "0|"}));
    bool called = false;
    QVERIFY_THROWS_EXCEPTION(
        StoreError, m.ReadLyricsFile(Fixture(QStringLiteral("assoc_zero.txt")), [&] { called = true; }));
    QVERIFY(!called);
}

void LyricsFileTest::missingOrFolderPathFailsToRead() {
    Main m(dir_.path());
    FillExample(m);
    QVERIFY_THROWS_EXCEPTION(StoreError, m.ReadLyricsFile(Path(QStringLiteral("不存在.TXT"))));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.ReadLyricsFile(dir_.path()));
    QCOMPARE(m.lyricAlbum, QStringLiteral("未知"));
    QCOMPARE(m.lyricLines.size(), size_t{4});
}

void LyricsFileTest::writeAndReadBackAgree_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("endTime");
    QTest::newRow("commas") << "一,二,,三" << 10;
    QTest::newRow("trailing and leading blanks") << "  歌词  " << 20;
    QTest::newRow("empty text, unrecorded") << "" << 0;
    QTest::newRow("crlf inside") << "上\r\n下" << 30;
    QTest::newRow("lf inside") << "上\n下" << 31;
    QTest::newRow("euro") << "价格€" << 40;
    QTest::newRow("outside cp936") << "Å😀" << 50;
    QTest::newRow("negative time") << "x" << -32768;
    QTest::newRow("largest time") << "x" << 32767;
}

void LyricsFileTest::writeAndReadBackAgree() {
    QFETCH(QString, text);
    QFETCH(int, endTime);
    Main m(dir_.path());
    FillExample(m);
    m.lyricTitle = text;
    m.lyricLines[2] = {text, static_cast<int16_t>(endTime)};
    m.WriteLyricsFile(Path(QStringLiteral("rt.TXT")));
    Main back(dir_.path());
    back.ReadLyricsFile(Path(QStringLiteral("rt.TXT")));
    QCOMPARE(Header(back), Header(m));
    QCOMPARE(Lines(back), Lines(m));
}

void LyricsFileTest::refusesADoubleQuoteAndWritesNothing() {
    const QString path = Path(QStringLiteral("quote.TXT"));
    Main m(dir_.path());
    FillExample(m);
    m.lyricLines[3].text = QStringLiteral("say \"hi\"");
    QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(path));
    QVERIFY(!QFile::exists(path));
    FillExample(m);
    m.lyricSinger = QStringLiteral("a\"b");
    PutBytes(path, kExampleBytes);
    QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(path));
    QCOMPARE(Bytes(path), kExampleBytes);
}

void LyricsFileTest::failedWriteLeavesThePreviousFileIntact() {
    const QString path = Path(QStringLiteral("old.TXT"));
    PutBytes(path, kExampleBytes);
    Main m(dir_.path());
    FillExample(m);
    m.ResetLines(2000);
    {
        // The new file would be far longer than this limit, so the write fails part-way.
        qiva::test::FileSizeLimit limit(4096);
        QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(path));
    }
    QCOMPARE(Bytes(path), kExampleBytes);
    QCOMPARE(QDir(dir_.path()).entryList(QDir::Files), QStringList{"old.TXT"});
    // A folder where the file should be, and a folder that does not exist.
    QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("folder.TXT")));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(Path(QStringLiteral("folder.TXT"))));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(Path(QStringLiteral("没有/a.TXT"))));
}

void LyricsFileTest::refusesALineTableShorterThanTheCount() {
    Main m(dir_.path());
    FillExample(m);
    m.lyricLines.resize(2);
    QVERIFY_THROWS_EXCEPTION(StoreError, m.WriteLyricsFile(Path(QStringLiteral("short.TXT"))));
    QVERIFY(!QFile::exists(Path(QStringLiteral("short.TXT"))));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.ResetLines(-1));
}

void LyricsFileTest::damagedFilesNeverBreakTheLineTable() {
    // Random mutations of a valid file: every read either succeeds or throws StoreError, and the table
    // always matches the count (the sanitizer build checks every access on the way).
    QRandomGenerator rng(20240601);
    const QString path = Path(QStringLiteral("fuzz.TXT"));
    const QByteArray alphabet(
        "\",\r\n -0123456789\x80\x81\xa2\xe3\xff"
        "abc");
    Main m(dir_.path());
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = kExampleBytes;
        const int edits = 1 + int(rng.bounded(6));
        for (int e = 0; e < edits; ++e) {
            const auto at = qsizetype(rng.bounded(quint32(bytes.size() + 1)));
            const char c = alphabet.at(qsizetype(rng.bounded(quint32(alphabet.size()))));
            switch (rng.bounded(3)) {
                case 0:
                    bytes.insert(at, c);
                    break;
                case 1:
                    if (at < bytes.size()) bytes.remove(at, 1);
                    break;
                default:
                    if (at < bytes.size()) bytes[at] = c;
                    break;
            }
        }
        PutBytes(path, bytes);
        try {
            m.ReadLyricsFile(path);
        } catch (const StoreError&) {
        }
        if (!Consistent(m)) QFAIL(bytes.toHex().constData());
    }
}

int qiva::test::RunLyricsFileTest(int argc, char** argv) {
    LyricsFileTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LyricsFileTest.moc"
