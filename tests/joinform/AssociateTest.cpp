// "关联": the rewritten lyrics file, the committed association with its duplicate questions, edit mode, and
// the refusals and failures that must leave every file as it was.

#include "AssociateTest.h"

#include <QDir>
#include <QTest>

#include "Rig.h"

using namespace qiva;
using namespace qiva::test;

namespace {
const QString kError = QStringLiteral("错误！");
const QString kAsk = QStringLiteral("询问！");
const QString kSongTaken = QStringLiteral("发现这个音乐文件已经和一个歌词文件关联，是否继续？");
const QString kLyricsTaken = QStringLiteral("发现这个歌词文件已经和一个音乐文件关联，是否继续？");

QByteArray Ansi(const QString& asciiPath) { return asciiPath.toLatin1(); }

QByteArray Record(const QList<QPair<QString, QString>>& entries) {
    QByteArray out = QByteArray::number(entries.size()) + "\r\n";
    for (const auto& e : entries) out += "\"" + Ansi(e.first) + "\",\"" + Ansi(e.second) + "\"\r\n";
    return out;
}

// The one message shown so far must start with `text` and carry the error title.
void ExpectOneError(const ScriptedPrompter& p, const QString& text) {
    QCOMPARE(p.boxes.size(), size_t(1));
    QCOMPARE(p.boxes[0].kind, QStringLiteral("ok"));
    QVERIFY2(p.boxes[0].text.startsWith(text), qPrintable(p.boxes[0].text));
    QCOMPARE(p.boxes[0].title, kError);
}

const QString kNotReady = QStringLiteral("请先指定一个可以播放的音乐文件和一个可以完整读出的歌词文件");
}  // namespace

void AssociateTest::rewritesTheSongPathAndSavesTheRecord() {
    Rig r;
    r.chooseBoth();
    r.associate();
    QVERIFY(r.closedByAssociate());
    QVERIFY(r.ts.prompter.boxes.empty());
    // Only the song path differs from the file that was read.
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics(Ansi(r.songPath())));
    QCOMPARE(ReadBytes(r.recordPath()), Record({{r.songPath(), r.lyricsPath()}}));
    QCOMPARE(r.m.assocCount, int16_t(1));
    QCOMPARE(r.m.assocTable.at(1).songPath, r.songPath());
    QCOMPARE(r.m.assocTable.at(1).lyricsPath, r.lyricsPath());
    QCOMPARE(r.m.lyricSongPath, r.songPath());
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Stopped));
}

// An LRC file (GB18030 here, with a word time another tool wrote) passes the check; "关联" links it in the
// record and leaves the file byte for byte, as LRC has no place for the song path.
void AssociateTest::lrcFilePassesAndIsLeftAsItIs() {
    Rig r;
    const QString lrc = r.path(QStringLiteral("song.lrc"));
    // "[ti:歌名]", a line "第一句" with a word time inside, and its end.
    const QByteArray gbk("[ti:\xb8\xe8\xc3\xfb]\n[00:01.00]\xb5\xda<00:01.50>\xd2\xbb\xbe\xe4\n[00:04.00]\n");
    WriteBytes(lrc, gbk);
    r.browseSong(r.songPath());
    r.browseLyrics(lrc);
    QVERIFY(r.ts.prompter.boxes.empty());
    QVERIFY(r.form->Command3->isEnabled());
    QCOMPARE(r.m.lyricTitle, QStringLiteral("歌名"));
    QCOMPARE(r.m.lyricLineCount, int16_t(2));
    QCOMPARE(r.m.lyricLines.at(2).text, QStringLiteral("第一句"));
    QCOMPARE(r.m.lyricLines.at(2).endTime, int16_t(40));
    // A record that cannot be written leaves the LRC file as it was too: it was never rewritten.
    QVERIFY(QDir().mkpath(r.recordPath()));
    r.associate();
    QVERIFY(r.form->isVisible());
    QCOMPARE(ReadBytes(lrc), gbk);
    QVERIFY(QDir().rmdir(r.recordPath()));
    r.ts.prompter.boxes.clear();
    r.associate();
    QVERIFY(r.closedByAssociate());
    QVERIFY(r.ts.prompter.boxes.empty());
    QCOMPARE(ReadBytes(lrc), gbk);
    QCOMPARE(ReadBytes(r.recordPath()), Record({{r.songPath(), lrc}}));
}

void AssociateTest::rewriteKeepsExactlyTheCountedLines_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("afterWithoutSong");  // "%s" stands for the song path
    QTest::newRow("count 0, header only") << QByteArray("\"A\",\"S\",0,\"C\",\"old\",\"T\",\"L\"\r\n")
                                          << QByteArray("\"A\",\"S\",0,\"C\",\"%s\",\"T\",\"L\"\r\n");
    QTest::newRow("more records than the count")
        << QByteArray("\"A\",\"S\",1,\"C\",\"old\",\"T\",\"L\"\r\n10,\"one\"\r\n20,\"two\"\r\n")
        << QByteArray("\"A\",\"S\",1,\"C\",\"%s\",\"T\",\"L\"\r\n10,\"one\"\r\n");
    QTest::newRow("header over two lines, blanks before fields")
        << QByteArray("\"A\", \"S\",2\r\n\"C\",\"old\",\"T\",\"L\"\r\n 0,\"\",-5,\"x\"\r\n")
        << QByteArray("\"A\",\"S\",2,\"C\",\"%s\",\"T\",\"L\"\r\n0,\"\"\r\n-5,\"x\"\r\n");
}

void AssociateTest::rewriteKeepsExactlyTheCountedLines() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, afterWithoutSong);
    Rig r;
    WriteBytes(r.lyricsPath(), before);
    r.browseSong(r.songPath());
    r.browseLyrics(r.lyricsPath());
    r.associate();
    QVERIFY(r.closedByAssociate());
    QCOMPARE(ReadBytes(r.lyricsPath()), QByteArray(afterWithoutSong).replace("%s", Ansi(r.songPath())));
}

void AssociateTest::duplicateQuestions_data() {
    QTest::addColumn<bool>("sameSong");
    QTest::addColumn<bool>("yes");
    QTest::newRow("song taken, Yes") << true << true;
    QTest::newRow("song taken, No") << true << false;
    QTest::newRow("lyrics taken, Yes") << false << true;
    QTest::newRow("lyrics taken, No") << false << false;
}

void AssociateTest::duplicateQuestions() {
    QFETCH(bool, sameSong);
    QFETCH(bool, yes);
    Rig r;
    const QString otherSong = r.path(QStringLiteral("other.MP3"));
    const QString otherLyrics = r.path(QStringLiteral("other.TXT"));
    const QPair<QString, QString> older =
        sameSong ? qMakePair(r.songPath(), otherLyrics) : qMakePair(otherSong, r.lyricsPath());
    const QByteArray record = Record({{otherSong, otherLyrics}, older});
    WriteBytes(r.recordPath(), record);
    r.m.LoadAssociations();  // as the player did at start
    r.ts.prompter.yesNoAnswers.push_back(yes);
    r.chooseBoth();
    r.associate();

    QVERIFY(r.closedByAssociate());  // whatever the answer
    QCOMPARE(r.ts.prompter.boxes.size(), size_t(1));
    QCOMPARE(r.ts.prompter.boxes[0].text, sameSong ? kSongTaken : kLyricsTaken);
    QCOMPARE(r.ts.prompter.boxes[0].title, kAsk);
    // The lyrics file names the new song only when the association goes ahead: a No changes no file.
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics(yes ? Ansi(r.songPath()) : "D:\\MP3\\old.MP3"));
    if (yes) {
        QCOMPARE(ReadBytes(r.recordPath()),
                 Record({{otherSong, otherLyrics}, older, {r.songPath(), r.lyricsPath()}}));
        QCOMPARE(r.m.assocCount, int16_t(3));
    } else {
        QCOMPARE(ReadBytes(r.recordPath()), record);
        QCOMPARE(r.m.assocCount, int16_t(2));
        QCOMPARE(r.m.assocTable.size(), size_t(3));
    }
}

void AssociateTest::editModeKeepsTheEntryInMemoryOnly() {
    Rig r;
    const QByteArray record = Record({{r.songPath(), r.lyricsPath()}});
    WriteBytes(r.recordPath(), record);
    r.m.LoadAssociations();
    r.m.editMode = true;
    r.chooseBoth();
    r.associate();
    QVERIFY(r.closedByAssociate());
    QVERIFY(r.ts.prompter.boxes.empty());  // not compared, so nothing asked
    QCOMPARE(ReadBytes(r.recordPath()), record);
    QCOMPARE(r.m.assocCount, int16_t(2));
    QCOMPARE(r.m.assocTable.at(2).songPath, r.songPath());
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics(Ansi(r.songPath())));
}

void AssociateTest::refusesUnlessBothBoxesHoldCheckedPaths_data() {
    QTest::addColumn<QString>("after");
    QTest::newRow("later lyrics check failed part way") << QStringLiteral("short lyrics");
    QTest::newRow("later song check failed") << QStringLiteral("bad song");
    QTest::newRow("song browse cancelled") << QStringLiteral("cancel song");
    QTest::newRow("lyrics browse cancelled") << QStringLiteral("cancel lyrics");
    QTest::newRow("lyrics box cleared by hand") << QStringLiteral("clear lyrics");
}

void AssociateTest::refusesUnlessBothBoxesHoldCheckedPaths() {
    QFETCH(QString, after);
    Rig r;
    r.chooseBoth();
    const QString shortFile = r.path(QStringLiteral("short.TXT"));
    const QByteArray shortBytes("\"A\",\"S\",3,\"C\",\"p\",\"T\",\"L\"\r\n10,\"one\"\r\n");
    WriteBytes(shortFile, shortBytes);
    if (after == QLatin1String("short lyrics")) r.browseLyrics(shortFile);
    if (after == QLatin1String("bad song")) r.browseSong(r.path(QStringLiteral("nothing.MP3")));
    if (after == QLatin1String("cancel song")) r.browseSong(QString());
    if (after == QLatin1String("cancel lyrics")) r.browseLyrics(QString());
    if (after == QLatin1String("clear lyrics")) r.form->Text2->clear();
    QVERIFY(r.form->Command3->isEnabled());
    r.ts.prompter.boxes.clear();

    r.associate();
    ExpectOneError(r.ts.prompter, kNotReady);
    QVERIFY(r.form->isVisible());
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics("D:\\MP3\\old.MP3"));
    QCOMPARE(ReadBytes(shortFile), shortBytes);
    QVERIFY(!QFile::exists(r.recordPath()));
    QCOMPARE(r.m.assocCount, int16_t(0));
}

void AssociateTest::failedRewriteChangesNothingAndStaysOpen() {
    Rig r;
    const QByteArray record = Record({{r.path(QStringLiteral("other.MP3")), r.lyricsPath()}});
    WriteBytes(r.recordPath(), record);
    r.m.LoadAssociations();
    r.chooseBoth();
    // The checked file is replaced by a folder of its name, which no rewrite can replace in turn.
    QVERIFY(QFile::remove(r.lyricsPath()));
    QVERIFY(QDir().mkpath(r.lyricsPath()));
    r.associate();
    // Asked first, and answered Yes; then the rewrite fails and the record stays as it was.
    const QStringList texts = r.ts.prompter.texts();
    QCOMPARE(texts.size(), 2);
    QCOMPARE(texts[0], kLyricsTaken);
    QVERIFY2(texts[1].startsWith(QStringLiteral("无法写入歌词文件，关联没有完成。原来的歌词文件保持不变。")),
             qPrintable(texts[1]));
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.m.lyricSongPath, QStringLiteral("D:\\MP3\\old.MP3"));
    QCOMPARE(ReadBytes(r.recordPath()), record);
    QCOMPARE(r.m.assocCount, int16_t(1));
    QCOMPARE(r.m.assocTable.size(), size_t(2));
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Playing));

    QVERIFY(QDir().rmdir(r.lyricsPath()));
    QVERIFY(WriteBytes(r.lyricsPath(), TwoLineLyrics("D:\\MP3\\old.MP3")));
    r.associate();
    QVERIFY(r.closedByAssociate());
    QCOMPARE(ReadBytes(r.recordPath()),
             Record({{r.path(QStringLiteral("other.MP3")), r.lyricsPath()}, {r.songPath(), r.lyricsPath()}}));
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics(Ansi(r.songPath())));
}

void AssociateTest::failedCommitKeepsTheTableAndAllowsARetry() {
    Rig r;
    QVERIFY(QDir().mkpath(r.recordPath()));  // the record cannot be written where a folder stands
    r.chooseBoth();
    r.associate();
    ExpectOneError(r.ts.prompter, QStringLiteral("无法保存关联记录，关联没有完成。原来的关联记录保持不变。"));
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.m.assocCount, int16_t(0));
    QCOMPARE(r.m.assocTable.size(), size_t(1));
    // The lyrics file had been rewritten for the association that did not come about: it is put back.
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics("D:\\MP3\\old.MP3"));

    QVERIFY(QDir().rmdir(r.recordPath()));
    r.associate();
    QVERIFY(r.closedByAssociate());
    QCOMPARE(r.ts.prompter.boxes.size(), size_t(1));  // no question about the first, failed attempt
    QCOMPARE(ReadBytes(r.recordPath()), Record({{r.songPath(), r.lyricsPath()}}));
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics(Ansi(r.songPath())));
}

void AssociateTest::failedAppendKeepsTheRecord_data() {
    QTest::addColumn<bool>("quotedSong");
    QTest::newRow("lyrics path with a double quote") << false;
    QTest::newRow("song path with a double quote") << true;
}

void AssociateTest::failedAppendKeepsTheRecord() {
    QFETCH(bool, quotedSong);
    Rig r;
    // Legal file names that neither the record nor the lyrics file can hold.
    const QString song = quotedSong ? r.path(QStringLiteral("say \"hi\".MP3")) : r.songPath();
    const QString lyrics = quotedSong ? r.lyricsPath() : r.path(QStringLiteral("say \"hi\".TXT"));
    r.ts.players.songs.insert(song, 100);
    WriteBytes(lyrics, TwoLineLyrics("old"));
    r.browseSong(song);
    r.browseLyrics(lyrics);
    r.associate();
    ExpectOneError(r.ts.prompter, QStringLiteral("无法添加这个关联，关联没有完成。原来的关联记录保持不变。"));
    QVERIFY(r.form->isVisible());
    QVERIFY(!QFile::exists(r.recordPath()));
    QCOMPARE(r.m.assocCount, int16_t(0));
    QCOMPARE(ReadBytes(lyrics), TwoLineLyrics("old"));
    QCOMPARE(r.m.lyricSongPath, QStringLiteral("old"));
}

void AssociateTest::fullTableIsRefusedBeforeAnythingIsWritten() {
    Rig r;
    r.m.assocTable.resize(32768);
    r.m.assocCount = 32767;
    r.chooseBoth();
    r.associate();
    ExpectOneError(r.ts.prompter, QStringLiteral("关联记录已达到 32767 条的上限，无法再添加关联。"));
    QVERIFY(r.form->isVisible());
    QCOMPARE(r.m.assocCount, int16_t(32767));
    QCOMPARE(r.m.assocTable.size(), size_t(32768));
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics("D:\\MP3\\old.MP3"));
    QVERIFY(!QFile::exists(r.recordPath()));
}
