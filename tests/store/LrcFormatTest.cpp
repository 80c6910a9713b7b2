// LRC as a second format of the current lyrics document: every reading rule, the writer byte for byte, the
// round trips both ways, the refusals, and the fifteen LRC files other tools wrote.

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
    void writesByteForByte();
    void writesAndReadsBack_data();
    void writesAndReadsBack();
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
    QTest::addColumn<QString>("info");  // title|singer|album|lyricist|composer
    QTest::addColumn<QStringList>("lines");
    const auto row = [](const char* name, const QByteArray& bytes, const QStringList& lines,
                        const char* info = "||||") {
        QTest::newRow(name) << bytes << QString(info) << lines;
    };
    row("tags, a gap before the first line, a closing time",
        "[ti:歌名]\n[ar:歌手]\n[al:专辑]\n[au:作词]\n[composer:作曲]\n[00:01.00]一\n[00:02.50]二\n[00:04.00]"
        "\n",
        {"10|", "25|一", "40|二"}, "歌名|歌手|专辑|作词|作曲");
    row("CR LF and lone CR", "[00:00.00]a\r\n[00:01.00]b\r[00:02.00]\r", {"10|a", "20|b"});
    row("every time form, rounded to the tenth",
        "[00:01]a\n[00:01.2]b\n[00:01.34]c\n[00:01.456]d\n[00:01:60]e\n[00:02]",
        {"10|", "12|a", "13|b", "15|c", "16|d", "20|e"});
    row("minutes and seconds past 59", "[offset:+3000000]\n[60:00.00]a\n[50:83.50]b\n",
        {"835|", "6000|b", "32767|a"});
    row("several times a line, any order, equal times in file order",
        "[00:03.00][00:01.00]x\n[00:02.00]y\n[00:01.00]z\n[00:04.00]\n",
        {"10|", "10|x", "20|z", "30|y", "40|x"});
    row("a positive offset shows earlier, never before 0", "[offset:+500]\n[00:00.20]a\n[00:02.00]b",
        {"15|a", "32767|b"});
    row("a negative offset shows later", "[00:01.00]a\n[offset: -1000 ]\n", {"20|", "32767|a"});
    row("an offset that is no number", "[offset:+/- ms]\n[00:01.00]a\n", {"10|", "32767|a"});
    row("word times taken out", "[00:00.00]<00:00.00>Word <00:00.50>by <00:01.00> word\n[00:03.00]",
        {"30|Word by word"});
    row("a word time hiding a time tag", "[00:00.00]<<00:01>00:02>[00:03]a\n", {"32767|a"});
    row("length ends the last line", "[length: 03:20]\n[00:01.00]a\n", {"10|", "2000|a"});
    row("a length before the last line", "[length:00:00.50]\n[00:01.00]a\n", {"10|", "32767|a"});
    row("tag names in any case, [co:], other tags and untimed lines",
        "[TI: 歌 名 ]\n[Ar:x]\n[co:曲]\n[by:me]\nplain\n{00:01.00}x\n[re:t][00:02.00]y\n[00:01.00]a\n",
        {"10|", "32767|a"}, "歌 名|x|||曲");
    row("blanks before a time tag; the text verbatim", " \t[00:00.00]  两边 [x]\n", {"32767|  两边 [x]"});
    row("tags only", "[ti:t]\n", {}, "t||||");
    row("a closing time alone", "[00:05.00]\n", {});
    row("an empty last line before the closing time", "[00:00.00]a\n[00:01.00]\n[00:02.00]", {"10|a", "20|"});
    row("UTF-8 with a BOM, blank lines first", "\xEF\xBB\xBF\r\n \r\n[00:00.00]中文", {"32767|中文"});
    QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE);
    row("UTF-16 LE", "\xFF\xFE" + QByteArray(le(u"[ar:歌手]\r\n[00:01.00]中文")), {"10|", "32767|中文"},
        "|歌手|||");
    row("UTF-16 BE", "\xFE\xFF" + QByteArray(be(u"[00:00.00]中文😀\n[00:01.00]")), {"10|中文😀"});
    row("GB18030 when not UTF-8", "[ti:\xB8\xE8]\n[00:00.00]\xB8\xE8\xB4\xCA\x81\x30\x81\x30\n",
        {"32767|歌词\u0080"}, "歌||||");
}

void LrcFormatTest::reads() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, info);
    QFETCH(QStringList, lines);
    Main m(Dir());
    QCOMPARE(Read(m, bytes), LyricsFormat::Lrc);
    QCOMPARE(Info(m).join(u'|'), info);
    QCOMPARE(Lines(m), lines);
    QVERIFY(m.lyricSongPath.isEmpty());
    QVERIFY(Consistent(m));
}

void LrcFormatTest::refusesAndKeepsTheDocument_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("a time past 3276.7 s")
        << QByteArray("[00:01.00]a\n[54:36.80]b\n") << "第 2 行的时间 3276.8 秒";
    QTest::newRow("pushed past it by the offset")
        << QByteArray("[offset:-100]\n[54:36.70]b\n") << "3276.8 秒";
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
    QCOMPARE(Read(m, " \t\"A\",\"S\",1,\"C\",\"P\",\"T\",\"L\"\r\n5,\"x\"\r\n", QStringLiteral("own.lrc")),
             LyricsFormat::Own);
    QCOMPARE(Lines(m), QStringList{"5|x"});
    PutBytes(Path(QStringLiteral("big.TXT")), Repeat("[00:00.00]x\n", 32767));
    QStringList seen;  // at the header: the information, no song path, an empty table of the new size
    const auto atHeader = [&] { seen = Info(m) << m.lyricSongPath << Lines(m).last(); };
    QCOMPARE(m.ReadLyricsFile(Path(QStringLiteral("big.TXT")), atHeader), LyricsFormat::Lrc);
    QCOMPARE(seen, (QStringList{"", "", "", "", "", "", "0|"}));
    QCOMPARE(m.lyricLineCount, int16_t(32767));
    // Neither format: read as the program's own, as before, and the error says what the file is not.
    try {
        Read(m, "hello\n");
        QFAIL("read");
    } catch (const StoreError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("也不是 LRC")), e.what());
    }
    QVERIFY(Consistent(m));
}

void LrcFormatTest::writesByteForByte() {
    Main m(Dir());
    m.lyricTitle = QStringLiteral("歌名");
    m.lyricSinger = QStringLiteral("歌手");
    m.lyricComposer = QStringLiteral("作曲");
    m.lyricSongPath = QStringLiteral("D:\\a.mp3");
    Fill(m, {{"（开始）", 85}, {"第二行", 312}, {"", 24001}});
    m.WriteLrcFile(Path(QStringLiteral("out.lrc")));
    QCOMPARE(
        Bytes(Path(QStringLiteral("out.lrc"))),
        QByteArray("[ti:歌名]\r\n[ar:歌手]\r\n[al:]\r\n[au:]\r\n[composer:作曲]\r\n[00:00.00]（开始）\r\n"
                   "[00:08.50]第二行\r\n[00:31.20]\r\n[40:00.10]\r\n"));
}

void LrcFormatTest::writesAndReadsBack_data() {
    QTest::addColumn<Doc>("lines");
    QTest::addColumn<QStringList>("back");  // what reads back, when it is not the document itself
    QTest::addColumn<QString>("refusal");
    const auto same = [](const char* name, const Doc& lines) {
        QTest::newRow(name) << lines << QStringList() << "";
    };
    same("the wizard's lines", {{"（开始）", 85}, {"（长时间停顿 ）", 312}, {"（结束）", 2401}});
    same("unrecorded lines first, equal ends", {{"a", 0}, {"b", 0}, {"c", 50}, {"d", 50}});
    same("empty first and last lines", {{"", 50}, {"x", 60}, {"", 70}});
    same("to the end of the song: no closing time", {{"x", 10}, {"y", kUntilSongEnd}});
    same("an empty line to the end of the song", {{"x", 10}, {"", kUntilSongEnd}});
    same("one empty line at 0", {{"", 0}});
    same("no lines", {});
    same("blanks, brackets, emoji", {{"  a [b] <c> 😀 ", 10}, {"x", 32766}});
    QTest::newRow("what LRC cannot hold")
        << Doc{{"上\r\n下\n尾", 10}, {"[00:01]<00:02>字", 20}, {"<00:03>", kUntilSongEnd}}
        << QStringList{"10|上 下 尾", "20|字", "32767|"} << "";
    QTest::newRow("a line ending before the one before it")
        << Doc{{"a", 10}, {"b", 50}, {"c", 20}, {"d", 1}} << QStringList()
        << "第 3 行的结束时间（2.0 秒）早于第 2 行的结束时间（5.0 秒）";
    QTest::newRow("lines not yet recorded")
        << Doc{{"a", 30}, {"b", 0}} << QStringList() << "这一行还没有记录时间";
    QTest::newRow("line 1 before the song")
        << Doc{{"a", -5}} << QStringList() << "第 1 行的结束时间（-0.5 秒）早于歌曲的开始";
}

void LrcFormatTest::writesAndReadsBack() {
    QFETCH(Doc, lines);
    QFETCH(QStringList, back);
    QFETCH(QString, refusal);
    Main m(Dir());
    FillOld(m);
    m.lyricSinger = QStringLiteral(" 未\r\n知 ");
    m.lyricAlbum.clear();
    Fill(m, lines);
    const QString path = Path(QStringLiteral("rt.lrc"));
    PutBytes(path, "before");
    try {
        m.WriteLrcFile(path);
    } catch (const StoreError& e) {
        QVERIFY2(!refusal.isEmpty() && QString::fromUtf8(e.what()).contains(refusal), e.what());
        QVERIFY(QString::fromUtf8(e.what()).contains(QStringLiteral("没有保存")));
        QCOMPARE(Bytes(path), QByteArray("before"));
        QCOMPARE(QDir(Dir()).entryList(QDir::Files), QStringList{"rt.lrc"});
        return;
    }
    QVERIFY(refusal.isEmpty());
    Main read(Dir());
    QCOMPARE(read.ReadLyricsFile(path), LyricsFormat::Lrc);
    QCOMPARE(Info(read), (QStringList{"old", "未 知", "", "old", "old"}));
    QCOMPARE(Lines(read), back.isEmpty() ? Lines(m) : back);
    // An LRC file read and written again gives the same bytes.
    read.WriteLrcFile(Path(QStringLiteral("again.lrc")));
    QCOMPARE(Bytes(Path(QStringLiteral("again.lrc"))), Bytes(path));
}

void LrcFormatTest::readsTheSamplesOfOtherTools_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");  // "line count|title|singer|line|end|text" of one telling line
    if (!QDir(QStringLiteral(QIVA_SHARED_DIR "/lrc-samples")).exists())
        QSKIP("no ../shared/lrc-samples here");
    for (const char* row :
         {"brackets_unsorted_lexer.lrc|4|||3|20526|第[hg:blue]三[/hg]句[ruby]的說[/ruby:です]",
          "emoji_gaps_qtmediaplayer.lrc|19|示例歌曲|QtMediaPlayer|5|220|",
          "enhanced_badoffset_go_lyrics_lrc.lrc|10|Lyrics (song) title|Lyrics artist|10|32767|Line 7 lyrics "
          "Yes Yes No No",
          "enhanced_ja_en_elrc2json.lrc|9|||2|75| chu chu yeah！",
          "enhanced_spaces_liblyric.lrc|3|Unknow Title|Unknow Artist|3|32767| Line 2 line 2",
          "gbk_bytag_liblrc.lrc|46|||2|144|等待着你擦身而过的一刻",
          "gbk_lf_offset0_lyric_parser.lrc|68|成全|刘若英|5|158|看着你和她走到我面前",
          "ja_zh_translation_lrcparser_python.lrc|102|||6|100|叮咚铛咚叮 来玩耍吧",
          "mmss_endmarker_beater.lrc|68|||68|1810|Thirsty, thirsty Thursday!",
          "offset250_equal_lrcparser_python.lrc|7|test_lyric||2|26|Line 2",
          "spec_sec60_lrcparser_python.lrc|13|Special LRC File Test||8|2033|Totally outrageous line | ？？？",
          "tags_untimed_lrc_kit.lrc|9|Lyrics (song) title|Lyrics artist|9|1700|why can't I get out of my own "
          "way",
          "utf8_crlf_multistamp_libskin.lrc|38|一生有你|水木年华|38|32767|可知一生有你我都陪在你身边",
          "utf8_millis_nofinalnl_lyric_parser.lrc|27|||1|10| 作词 : 许嵩",
          "utf8bom_offset5020_credits_lrcparser_python.lrc|784|Credits "
          "EX||3|60|现在由国家气象局为你播报马萨诸塞州东部的天气预报"}) {
        const QString r = QString::fromUtf8(row);
        QTest::newRow(row) << r.section(u'|', 0, 0) << r.section(u'|', 1);
    }
}

void LrcFormatTest::readsTheSamplesOfOtherTools() {
    QFETCH(QString, file);
    QFETCH(QString, expected);
    Main m(Dir());
    QCOMPARE(m.ReadLyricsFile(QStringLiteral(QIVA_SHARED_DIR "/lrc-samples/") + file), LyricsFormat::Lrc);
    const QStringList lines = Lines(m);
    const int at = expected.section(u'|', 3, 3).toInt();
    QCOMPARE(QStringList({QString::number(m.lyricLineCount), m.lyricTitle, m.lyricSinger, QString::number(at),
                          lines.value(at - 1)})
                 .join(u'|'),
             expected);
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
