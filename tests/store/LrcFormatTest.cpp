// LRC as a second format of the current lyrics document: every reading rule, the writer byte for byte, the
// round trips both ways, the refusals, and the fifteen LRC files other tools wrote.

#include <QDirIterator>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "StoreTestUtil.h"
#include "store/Main.h"

using namespace qiva;
using qiva::test::Bytes;
using qiva::test::PutBytes;

namespace {

using Doc = QList<QPair<QString, int>>;  // text, end time

QByteArray Utf8(const char* text) { return QByteArray(text); }

void FillOld(Main& m) {
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricSongPath = m.lyricTitle = m.lyricLyricist =
        QStringLiteral("old");
    m.ResetLines(1);
    m.lyricLines[1] = {QStringLiteral("old"), 1};
}

void Fill(Main& m, const Doc& lines) {
    m.ResetLines(int16_t(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        m.lyricLines[size_t(i) + 1] = {lines[i].first, int16_t(lines[i].second)};
}

QStringList Info(const Main& m) {
    return {m.lyricTitle, m.lyricSinger, m.lyricAlbum, m.lyricLyricist, m.lyricComposer};
}

QStringList Lines(const Main& m) {
    QStringList out;
    for (int i = 1; i <= m.lyricLineCount; ++i)
        out << QString::number(m.lyricLines[size_t(i)].endTime) + u'|' + m.lyricLines[size_t(i)].text;
    return out;
}

bool Consistent(const Main& m) {
    return m.lyricLineCount >= 0 && m.lyricLines.size() == size_t(m.lyricLineCount) + 1 &&
           m.lyricLines[0].text.isEmpty() && m.lyricLines[0].endTime == 0;
}

QByteArray Repeat(const char* line, int times) { return QByteArray(line).repeated(times); }

}  // namespace

class LrcFormatTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        tmp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp_->isValid());
    }
    void reads_data();
    void reads();
    void refusesAndKeepsTheDocument_data();
    void refusesAndKeepsTheDocument();
    void formatIsDecidedByContent();
    void headerCallbackSeesAnEmptyLineTable();
    void writesByteForByte();
    void documentsReadBackTheSame_data();
    void documentsReadBackTheSame();
    void whatLrcCannotHoldIsLeftOut();
    void refusesEndTimesOutOfOrder_data();
    void refusesEndTimesOutOfOrder();
    void readsTheSamplesOfOtherTools_data();
    void readsTheSamplesOfOtherTools();

private:
    QString Dir() const { return tmp_->path(); }
    QString Path(const QString& name) const { return QDir(Dir()).filePath(name); }
    // The bytes as a file, read into a document that held something else before.
    LyricsFormat Read(Main& m, const QByteArray& bytes, const QString& name = QStringLiteral("in.lrc")) {
        PutBytes(Path(name), bytes);
        FillOld(m);
        return m.ReadLyricsFile(Path(name));
    }
    std::unique_ptr<QTemporaryDir> tmp_;  // a fresh, empty folder for every test
};

void LrcFormatTest::reads_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("info");  // title, singer, album, lyricist, composer
    QTest::addColumn<QStringList>("lines");
    const QStringList none{"", "", "", "", ""};
    QTest::newRow("tags, a gap before the first line, a closing time")
        << Utf8(
               "[ti:歌名]\n[ar:歌手]\n[al:专辑]\n[au:作词]\n[composer:作曲]\n[00:01.00]一\n[00:02.50]二\n[00:"
               "04.00]\n")
        << QStringList{"歌名", "歌手", "专辑", "作词", "作曲"} << QStringList{"10|", "25|一", "40|二"};
    QTest::newRow("CR LF and lone CR")
        << Utf8("[00:00.00]a\r\n[00:01.00]b\r[00:02.00]\r") << none << QStringList{"10|a", "20|b"};
    QTest::newRow("every time form, rounded to the tenth")
        << Utf8("[00:01]a\n[00:01.2]b\n[00:01.34]c\n[00:01.456]d\n[00:01:60]e\n[00:02]\n") << none
        << QStringList{"10|", "12|a", "13|b", "15|c", "16|d", "20|e"};
    QTest::newRow("minutes and seconds past 59") << Utf8("[offset:+3000000]\n[60:00.00]a\n[50:83.50]b\n")
                                                 << none << QStringList{"835|", "6000|b", "32767|a"};
    QTest::newRow("several times on a line, any order, equal times in file order")
        << Utf8("[00:03.00][00:01.00]x\n[00:02.00]y\n[00:01.00]z\n[00:04.00]\n") << none
        << QStringList{"10|", "10|x", "20|z", "30|y", "40|x"};
    QTest::newRow("a positive offset shows earlier, never before 0")
        << Utf8("[offset:+500]\n[00:00.20]a\n[00:02.00]b\n") << none << QStringList{"15|a", "32767|b"};
    QTest::newRow("a negative offset shows later")
        << Utf8("[00:01.00]a\n[offset: -1000 ]\n") << none << QStringList{"20|", "32767|a"};
    QTest::newRow("an offset that is no number")
        << Utf8("[offset:+/- ms]\n[00:01.00]a\n") << none << QStringList{"10|", "32767|a"};
    QTest::newRow("word times taken out")
        << Utf8("[00:00.00]<00:00.00>Word <00:00.50>by <00:01.00> word\n[00:03.00]\n") << none
        << QStringList{"30|Word by word"};
    QTest::newRow("a word time hiding a time tag")
        << Utf8("[00:00.00]<<00:01>00:02>[00:03]a\n") << none << QStringList{"32767|a"};
    QTest::newRow("length ends the last line")
        << Utf8("[length: 03:20]\n[00:01.00]a\n") << none << QStringList{"10|", "2000|a"};
    QTest::newRow("a length before the last line")
        << Utf8("[length:00:00.50]\n[00:01.00]a\n") << none << QStringList{"10|", "32767|a"};
    QTest::newRow("tag names in any case, [co:], other tags and untimed lines")
        << Utf8(
               "[TI: 歌 名 ]\n[Ar:x]\n[co:曲]\n[by:me]\nplain\n{00:01.00}x\n[re:t][00:02.00]y\n[00:01.00]a\n")
        << QStringList{"歌 名", "x", "", "", "曲"} << QStringList{"10|", "32767|a"};
    QTest::newRow("blanks before a time tag; the text verbatim")
        << Utf8(" \t[00:00.00]  两边 [x]\n") << none << QStringList{"32767|  两边 [x]"};
    QTest::newRow("tags only") << Utf8("[ti:t]\n") << QStringList{"t", "", "", "", ""} << QStringList{};
    QTest::newRow("a closing time alone") << Utf8("[00:05.00]\n") << none << QStringList{};
    QTest::newRow("an empty last line before the closing time")
        << Utf8("[00:00.00]a\n[00:01.00]\n[00:02.00]") << none << QStringList{"10|a", "20|"};
    QTest::newRow("UTF-8 with a BOM, blank lines first")
        << Utf8("\xEF\xBB\xBF\r\n \r\n[00:00.00]中文") << none << QStringList{"32767|中文"};
    QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE") + QByteArray(le(u"[ar:歌手]\r\n[00:01.00]中文\r\n"))
                               << QStringList{"", "歌手", "", "", ""} << QStringList{"10|", "32767|中文"};
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF") + QByteArray(be(u"[00:00.00]中文😀\n[00:01.00]"))
                               << none << QStringList{"10|中文😀"};
    QTest::newRow("GB18030 when not UTF-8")
        << QByteArray("[ti:\xB8\xE8]\n[00:00.00]\xB8\xE8\xB4\xCA\x81\x30\x81\x30\n")
        << QStringList{"歌", "", "", "", ""} << QStringList{"32767|歌词\u0080"};
}

void LrcFormatTest::reads() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, info);
    QFETCH(QStringList, lines);
    Main m(Dir());
    QCOMPARE(Read(m, bytes), LyricsFormat::Lrc);
    QCOMPARE(Info(m), info);
    QCOMPARE(Lines(m), lines);
    QVERIFY(m.lyricSongPath.isEmpty());
    QVERIFY(Consistent(m));
}

void LrcFormatTest::refusesAndKeepsTheDocument_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("a time past 3276.7 s") << Utf8("[00:01.00]a\n[54:36.80]b\n") << "第 2 行的时间 3276.8 秒";
    QTest::newRow("pushed past it by the offset") << Utf8("[offset:-100]\n[54:36.70]b\n") << "3276.8 秒";
    QTest::newRow("32768 lines") << Repeat("[00:00.00]x\n", 32768) << "32767 行";
    QTest::newRow("32767 lines and the empty one before them")
        << Repeat("[00:01.00]x\n", 32767) << "32767 行";
}

void LrcFormatTest::refusesAndKeepsTheDocument() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, message);
    Main m(Dir());
    try {
        Read(m, bytes);
        QFAIL("read");
    } catch (const StoreError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
    Main old(Dir());
    FillOld(old);
    QCOMPARE(Info(m), Info(old));
    QCOMPARE(Lines(m), Lines(old));
    QCOMPARE(m.lyricSongPath, QStringLiteral("old"));
}

void LrcFormatTest::formatIsDecidedByContent() {
    Main m(Dir());
    QCOMPARE(
        Read(m, Utf8(" \t\"A\",\"S\",1,\"C\",\"P\",\"T\",\"L\"\r\n5,\"x\"\r\n"), QStringLiteral("own.lrc")),
        LyricsFormat::Own);
    QCOMPARE(Lines(m), QStringList{"5|x"});
    QCOMPARE(Read(m, Repeat("[00:00.00]x\n", 32767), QStringLiteral("big.TXT")), LyricsFormat::Lrc);
    QCOMPARE(m.lyricLineCount, int16_t(32767));
    // Neither format: read as the program's own, as before, and the error says what the file is not.
    try {
        Read(m, Utf8("hello\n"));
        QFAIL("read");
    } catch (const StoreError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("也不是 LRC")), e.what());
    }
    QVERIFY(Consistent(m));
}

void LrcFormatTest::headerCallbackSeesAnEmptyLineTable() {
    Main m(Dir());
    PutBytes(Path(QStringLiteral("a.lrc")), "[ti:t]\n[00:01.00]a\n");
    FillOld(m);
    QStringList seen;
    m.ReadLyricsFile(Path(QStringLiteral("a.lrc")), [&] { seen = Info(m) << m.lyricSongPath << Lines(m); });
    QCOMPARE(seen, (QStringList{"t", "", "", "", "", "", "0|", "0|"}));
}

void LrcFormatTest::writesByteForByte() {
    Main m(Dir());
    m.lyricTitle = QStringLiteral("歌名");
    m.lyricSinger = QStringLiteral("歌手");
    m.lyricLyricist = QStringLiteral("作词");
    m.lyricComposer = QStringLiteral("作曲");
    m.lyricSongPath = QStringLiteral("D:\\a.mp3");
    Fill(m, {{"（开始）", 85}, {"第二行", 312}, {"", 24001}});
    m.WriteLrcFile(Path(QStringLiteral("out.lrc")));
    QCOMPARE(Bytes(Path(QStringLiteral("out.lrc"))),
             Utf8("[ti:歌名]\r\n[ar:歌手]\r\n[al:]\r\n[au:作词]\r\n[composer:作曲]\r\n[00:00.00]（开始）\r\n"
                  "[00:08.50]第二行\r\n[00:31.20]\r\n[40:00.10]\r\n"));
    // A last line with words that lasts to the end of the song has no closing time.
    Fill(m, {{"x", kUntilSongEnd}});
    m.WriteLrcFile(Path(QStringLiteral("out.lrc")));
    QVERIFY(Bytes(Path(QStringLiteral("out.lrc"))).endsWith("[composer:作曲]\r\n[00:00.00]x\r\n"));
}

void LrcFormatTest::documentsReadBackTheSame_data() {
    QTest::addColumn<Doc>("lines");
    QTest::newRow("the wizard's lines")
        << Doc{{"（开始）", 85}, {"（长时间停顿 ）", 312}, {"（结束）", 2401}};
    QTest::newRow("unrecorded lines first, equal ends") << Doc{{"a", 0}, {"b", 0}, {"c", 50}, {"d", 50}};
    QTest::newRow("empty first and last lines") << Doc{{"", 50}, {"x", 60}, {"", 70}};
    QTest::newRow("to the end of the song") << Doc{{"x", 10}, {"y", kUntilSongEnd}};
    QTest::newRow("an empty line to the end") << Doc{{"x", 10}, {"", kUntilSongEnd}};
    QTest::newRow("one empty line at 0") << Doc{{"", 0}};
    QTest::newRow("no lines") << Doc{};
    QTest::newRow("blanks, brackets, emoji") << Doc{{"  a [b] <c> 😀 ", 10}, {"x", 32766}};
}

void LrcFormatTest::documentsReadBackTheSame() {
    QFETCH(Doc, lines);
    Main m(Dir());
    FillOld(m);
    m.lyricSinger = QStringLiteral("未知");
    m.lyricAlbum.clear();
    Fill(m, lines);
    m.WriteLrcFile(Path(QStringLiteral("rt.lrc")));
    Main back(Dir());
    QCOMPARE(back.ReadLyricsFile(Path(QStringLiteral("rt.lrc"))), LyricsFormat::Lrc);
    QCOMPARE(Info(back), Info(m));
    QCOMPARE(Lines(back), Lines(m));
    // And an LRC file read and written again gives the same bytes.
    back.WriteLrcFile(Path(QStringLiteral("rt2.lrc")));
    QCOMPARE(Bytes(Path(QStringLiteral("rt2.lrc"))), Bytes(Path(QStringLiteral("rt.lrc"))));
}

void LrcFormatTest::whatLrcCannotHoldIsLeftOut() {
    Main m(Dir());
    m.lyricTitle = QStringLiteral(" 两\r\n行 ");
    Fill(m, {{"上\r\n下\n尾", 10}, {"[00:01]<00:02>字", 20}, {"<00:03>", kUntilSongEnd}});
    m.WriteLrcFile(Path(QStringLiteral("x.lrc")));
    m.ReadLyricsFile(Path(QStringLiteral("x.lrc")));
    QCOMPARE(m.lyricTitle, QStringLiteral("两 行"));
    QCOMPARE(Lines(m), (QStringList{"10|上 下 尾", "20|字", "32767|"}));
}

void LrcFormatTest::refusesEndTimesOutOfOrder_data() {
    QTest::addColumn<Doc>("lines");
    QTest::addColumn<QString>("message");
    QTest::newRow("a line ending before the one before it")
        << Doc{{"a", 10}, {"b", 50}, {"c", 20}, {"d", 1}}
        << "第 3 行的结束时间（2.0 秒）早于第 2 行的结束时间（5.0 秒）";
    QTest::newRow("lines not yet recorded") << Doc{{"a", 30}, {"b", 0}} << "这一行还没有记录时间";
    QTest::newRow("line 1 before the song") << Doc{{"a", -5}} << "第 1 行的结束时间（-0.5 秒）早于歌曲的开始";
}

void LrcFormatTest::refusesEndTimesOutOfOrder() {
    QFETCH(Doc, lines);
    QFETCH(QString, message);
    Main m(Dir());
    Fill(m, lines);
    const QString path = Path(QStringLiteral("keep.lrc"));
    PutBytes(path, "before");
    try {
        m.WriteLrcFile(path);
        QFAIL("written");
    } catch (const StoreError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("没有保存")));
    }
    QCOMPARE(Bytes(path), QByteArray("before"));
    QCOMPARE(QDir(Dir()).entryList(QDir::Files), QStringList{"keep.lrc"});
}

void LrcFormatTest::readsTheSamplesOfOtherTools_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("titleAndSinger");
    QTest::addColumn<QStringList>("some");  // "line|end|text"
    if (!QDir(QStringLiteral(QIVA_SHARED_DIR "/lrc-samples")).exists())
        QSKIP("no ../shared/lrc-samples here");
    const auto row = [](const char* file, int count, const char* info, const QStringList& some) {
        QTest::newRow(file) << QString::fromUtf8(file) << count << QString::fromUtf8(info) << some;
    };
    row("brackets_unsorted_lexer.lrc", 4, "|",
        {"1|7546|", "3|20526|第[hg:blue]三[/hg]句[ruby]的說[/ruby:です]", "4|32767|第二句"});
    row("emoji_gaps_qtmediaplayer.lrc", 19, "示例歌曲|QtMediaPlayer",
        {"5|220|", "19|32767|🎵 QtMediaPlayer 🎵"});
    row("enhanced_badoffset_go_lyrics_lrc.lrc", 10, "Lyrics (song) title|Lyrics artist",
        {"1|10|", "7|283|Line 4 lyrics", "10|32767|Line 7 lyrics Yes Yes No No"});
    row("enhanced_ja_en_elrc2json.lrc", 9, "|", {"1|43|", "2|75| chu chu yeah！"});
    row("enhanced_spaces_liblyric.lrc", 3, "Unknow Title|Unknow Artist",
        {"2|620| Line 1", "3|32767| Line 2 line 2"});
    row("gbk_bytag_liblrc.lrc", 46, "|", {"1|99|", "2|144|等待着你擦身而过的一刻"});
    row("gbk_lf_offset0_lyric_parser.lrc", 68, "成全|刘若英",
        {"1|30|成全 - 刘若英 (Rene Liu)", "5|158|看着你和她走到我面前"});
    row("ja_zh_translation_lrcparser_python.lrc", 102, "|",
        {"2|32| 作曲 : Drop", "4|62|", "5|62|tic-tac-tic 遊んで", "6|100|叮咚铛咚叮 来玩耍吧"});
    row("mmss_endmarker_beater.lrc", 68, "|",
        {"1|30|Thirsty, thirsty Thursday", "68|1810|Thirsty, thirsty Thursday!"});
    row("offset250_equal_lrcparser_python.lrc", 7, "test_lyric|",
        {"1|0|Line 1", "2|26|Line 2", "6|17135|你说得对，但是《lrcparser》是由……"});
    row("spec_sec60_lrcparser_python.lrc", 13, "Special LRC File Test|",
        {"1|834|", "6|1574|Very fast speed!", "8|2033|Totally outrageous line | ？？？",
         "9|2033|Actually invalid lyric"});
    row("tags_untimed_lrc_kit.lrc", 9, "Lyrics (song) title|Lyrics artist",
        {"1|90|", "9|1700|why can't I get out of my own way"});
    row("utf8_crlf_multistamp_libskin.lrc", 38, "一生有你|水木年华",
        {"1|171|", "4|281|因为梦见你离开", "38|32767|可知一生有你我都陪在你身边"});
    row("utf8_millis_nofinalnl_lyric_parser.lrc", 27, "|",
        {"1|10| 作词 : 许嵩", "27|32767|把你最爱的歌来轻轻唱"});
    row("utf8bom_offset5020_credits_lrcparser_python.lrc", 784, "Credits EX|",
        {"1|3|", "3|60|现在由国家气象局为你播报马萨诸塞州东部的天气预报"});
}

void LrcFormatTest::readsTheSamplesOfOtherTools() {
    QFETCH(QString, file);
    QFETCH(int, count);
    QFETCH(QString, titleAndSinger);
    QFETCH(QStringList, some);
    Main m(Dir());
    QCOMPARE(m.ReadLyricsFile(QStringLiteral(QIVA_SHARED_DIR "/lrc-samples/") + file), LyricsFormat::Lrc);
    QCOMPARE(int(m.lyricLineCount), count);
    QCOMPARE(m.lyricTitle + u'|' + m.lyricSinger, titleAndSinger);
    const QStringList lines = Lines(m);
    for (const QString& s : some) {
        const int at = s.section(u'|', 0, 0).toInt();
        QCOMPARE(lines.at(at - 1), s.section(u'|', 1));
    }
    for (int i = 1; i <= m.lyricLineCount; ++i) {
        QVERIFY(m.lyricLines[size_t(i)].endTime >= m.lyricLines[size_t(i) - 1].endTime);
        QVERIFY(!m.lyricLines[size_t(i)].text.contains(u'\uFFFD'));
    }
    m.WriteLrcFile(Path(QStringLiteral("again.lrc")));
    Main back(Dir());
    back.ReadLyricsFile(Path(QStringLiteral("again.lrc")));
    QCOMPARE(Info(back), Info(m));
    QCOMPARE(Lines(back), lines);
}

int qiva::test::RunLrcFormatTest(int argc, char** argv) {
    LrcFormatTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "LrcFormatTest.moc"
