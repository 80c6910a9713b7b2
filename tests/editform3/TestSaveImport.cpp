// Step three's files: "完成" saves the timed lyrics file and links it to its song; "导入完成歌词" loads a
// finished file for re-timing.

#include <QDir>
#include <QLabel>
#include <QTest>

#include "Fixture.h"
#include "Suites.h"
#include "app/MainPlay.h"
#include "app/Navigator.h"

namespace qiva::test {

namespace {
const QString kBegin = QStringLiteral("（开始）");
const QString kPause = QStringLiteral("（长时间停顿 ）");
const QString kEnd = QStringLiteral("（结束）");
const QString kSaveFailed = QStringLiteral("ok|错误！|无法保存这个文件！");
const QString kOpenFailed = QStringLiteral("ok|错误！|无法打开这个文件！");
const QString kSongTaken = QStringLiteral("yesno|询问！|发现这个音乐文件已经和一个歌词文件关联，是否继续？");
const QString kOther = QStringLiteral("/music/other.mp3");

// The three-line run of the example file, ready for "完成".
void RecordedThree(Step3& s) {
    s.m.lyricAlbum = QStringLiteral("专辑");
    s.m.lyricSinger = QStringLiteral("歌手");
    s.m.lyricComposer = QStringLiteral("作曲家");
    s.m.lyricTitle = QStringLiteral("歌名");
    s.m.lyricLyricist = QStringLiteral("作词人");
    s.open();
    s.recordAt({8.5, 31.25});
    s.ts.prompter.boxes.clear();
}

QByteArray Record(const QList<QPair<QString, QString>>& entries) {
    QByteArray out = QByteArray::number(entries.size()) + "\r\n";
    for (const auto& e : entries) out += '"' + e.first.toUtf8() + "\",\"" + e.second.toUtf8() + "\"\r\n";
    return out;
}

// A finished lyrics file with the given song, texts and times, written by a document of its own.
void WriteFinished(const QString& path, const QString& song, const QStringList& texts,
                   const QList<int>& times) {
    Main other{QFileInfo(path).path()};
    other.lyricAlbum = other.lyricSinger = other.lyricComposer = other.lyricTitle = other.lyricLyricist =
        QStringLiteral("旧");
    other.lyricSongPath = song;
    other.ResetLines(static_cast<int16_t>(texts.size()));
    for (int i = 0; i < texts.size(); ++i)
        other.lyricLines[static_cast<size_t>(i) + 1] = {texts[i], int16_t(times[i])};
    other.WriteLyricsFile(path);
}
const QByteArray kLrc = "[ti:旧]\r\n[00:00.00]（开始）\r\n[00:05.00]词\r\n[00:15.00]（结束）\r\n";

QString Utf8(const QString& path) { return QString::fromUtf8(ReadBytes(path)); }
}  // namespace

class TestSaveImport : public QObject {
    Q_OBJECT
private slots:
    void finishWritesTheFileAndLinksIt();
    void finishAddsTheExtensionOnlyWhereNoneWasTyped();
    void finishThroughTheNavigatorReturnsToThePlayer();
    void finishAfterAPauseWritesZeros();
    void finishWithADuplicateSong_data();
    void finishWithADuplicateSong();
    void finishCancelled();
    void finishForEditingClearsTheFlagAndCommits();
    void failedWriteKeepsTheWindow();
    void failedLoadWritesNothing_data();
    void failedLoadWritesNothing();
    void importWhileRecording();
    void importCancelledKeepsTheStoppedSong();
    void importWhilePausedDoesNotStop();
    void importForEditing();
    void importOfABrokenFileRefillsTheList();
    void importWithAMissingSongKeepsTheLines();
    void importKeepsRecordLineInsideTheNewDocument();
    void importLrcForEditingTakesTheSongBesideIt();
    void importLrcWithoutASongAsksForOne();
    void importLrcKeepsTheSongOfStepOne();
    void finishChoosesTheFormat_data();
    void finishChoosesTheFormat();
    void finishAsLrcOutOfOrderWritesNothing();
};

void TestSaveImport::finishWritesTheFileAndLinksIt() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    RecordedThree(s);
    // The record file holds the path in the lyrics code page; an ASCII name keeps the expected bytes plain.
    const QString saved = s.path(QStringLiteral("new.TXT"));
    s.ts.dialogs.answers.push_back(saved);
    s.form->show();
    s.form->Command1_Click();

    QCOMPARE(ReadBytes(saved), ReadBytes(FixturePath(QStringLiteral("three-lines.TXT"))));
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, saved}}));
    QCOMPARE(int(s.m.assocCount), 1);
    const auto& shown = s.ts.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::SaveAs);
    QCOMPARE(shown.filter, QStringLiteral("歌词文件(*.TXT)|*.TXT|LRC Files(*.LRC)|*.LRC"));
    QCOMPARE(shown.filterIndexBefore, 1);
    QCOMPARE(shown.initDir, s.m.lyricsFolder());
    QCOMPARE(shown.flags, 1);
    QCOMPARE(shown.fileNameBefore, QString());
    // Step 7 shows the player, and so does the unload the close runs.
    QCOMPARE(s.ts.nav.calls, (QStringList{"ShowPlayer", "ShowPlayer"}));
    QVERIFY(!s.form->isVisible());
    QCOMPARE(s.boxes(), QStringList{});
}

void TestSaveImport::finishAddsTheExtensionOnlyWhereNoneWasTyped() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    RecordedThree(s);
    s.ts.dialogs.answers.push_back(s.path(QStringLiteral("new")));
    s.form->Command1_Click();
    // Linked under the name written, which the lyrics Open dialog (*.TXT) lists again.
    const QString saved = s.path(QStringLiteral("new.TXT"));
    QCOMPARE(ReadBytes(saved), ReadBytes(FixturePath(QStringLiteral("three-lines.TXT"))));
    QVERIFY(!QFileInfo::exists(s.path(QStringLiteral("new"))));
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, saved}}));

    Step3 t(QStringList{kBegin, kEnd}, 240.1);
    t.open();
    const QString typed = t.path(QStringLiteral("v1.2 live.lrc.txt"));
    t.ts.dialogs.answers.push_back(typed);
    t.form->Command1_Click();
    QVERIFY(QFileInfo::exists(typed));
    QCOMPARE(ReadBytes(t.m.assocFilePath()), Record({{kSong, typed}}));
}

void TestSaveImport::finishThroughTheNavigatorReturnsToThePlayer() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    Navigator nav(s.m, s.ts.players, s.ts.dialogs, s.ts.prompter);
    nav.ShowStepThree();
    QPointer<EditForm3> w = nav.stepThree();
    QVERIFY(w && w->isVisible());
    w->Command2_Click();
    FakeMediaPlayer* player = s.ts.players.last();
    player->advance(8.5);
    w->Command4_Click();
    player->advance(22.75);
    w->Command4_Click();
    const QString saved = s.path(QStringLiteral("nav.TXT"));
    s.ts.dialogs.answers.push_back(saved);
    w->Command1_Click();
    QTRY_VERIFY(w.isNull());  // unloaded: the window is gone, not hidden
    QVERIFY(nav.player() && nav.player()->isVisible());
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, saved}}));
}

void TestSaveImport::finishAfterAPauseWritesZeros() {
    Step3 s(Lines(4));
    s.open();
    s.recordAt({5});
    s.form->Command3_Click();
    QVERIFY(s.form->Command1->isEnabled());
    const QString saved = s.path(QStringLiteral("paused.TXT"));
    s.ts.dialogs.answers.push_back(saved);
    s.form->Command1_Click();
    QCOMPARE(ReadBytes(saved), ReadBytes(FixturePath(QStringLiteral("paused.TXT"))));
}

void TestSaveImport::finishWithADuplicateSong_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes lists the song twice") << true;
    QTest::newRow("No leaves the table as it was") << false;
}

void TestSaveImport::finishWithADuplicateSong() {
    QFETCH(bool, yes);
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    const QString old = s.path(QStringLiteral("old.TXT"));
    const QByteArray before = Record({{kSong, old}});
    WriteBytes(s.m.assocFilePath(), before);
    RecordedThree(s);
    // Saved under its old name, as Label5 asks: the song and the lyrics file are both taken.
    s.ts.dialogs.answers.push_back(old);
    s.ts.prompter.yesNoAnswers = {yes, yes};
    s.form->Command1_Click();
    QCOMPARE(ReadBytes(old), ReadBytes(FixturePath(QStringLiteral("three-lines.TXT"))));
    if (yes) {
        QCOMPARE(s.boxes(), (QStringList{kSongTaken,
                                         "yesno|询问！|发现这个歌词文件已经和一个音乐文件关联，是否继续？"}));
        QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, old}, {kSong, old}}));
        QCOMPARE(int(s.m.assocCount), 2);
    } else {
        QCOMPARE(s.boxes(), QStringList{kSongTaken});
        QCOMPARE(ReadBytes(s.m.assocFilePath()), before);
        QCOMPARE(int(s.m.assocCount), 1);
    }
    // Either way the run is over and the player comes back.
    QCOMPARE(s.ts.nav.calls.constFirst(), QStringLiteral("ShowPlayer"));
}

void TestSaveImport::finishCancelled() {
    Step3 s(Lines(3));
    s.m.editMode = true;
    s.open();
    s.form->show();
    s.form->Command3_Click();
    s.form->Command1_Click();
    QVERIFY(!s.m.editMode);
    QVERIFY(s.form->isVisible());
    QCOMPARE(s.ts.nav.calls, QStringList{});
    QCOMPARE(s.boxes(), QStringList{});
    QVERIFY(!QFileInfo::exists(s.m.assocFilePath()));
    QCOMPARE(QDir(s.dir.path()).entryList(QDir::Files), QStringList{});
}

void TestSaveImport::finishForEditingClearsTheFlagAndCommits() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    s.m.editMode = true;
    RecordedThree(s);
    const QString saved = s.path(QStringLiteral("edited.TXT"));
    s.ts.dialogs.answers.push_back(saved);
    s.form->Command1_Click();
    QVERIFY(!s.m.editMode);
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, saved}}));
}

void TestSaveImport::failedWriteKeepsTheWindow() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    RecordedThree(s);
    s.form->show();
    const QStringList rows = s.rows();
    s.ts.dialogs.answers.push_back(s.path(QStringLiteral("no-such-folder/x.TXT")));
    s.form->Command1_Click();
    QCOMPARE(s.boxes(), QStringList{kSaveFailed});
    QVERIFY(s.form->isVisible());
    QCOMPARE(s.ts.nav.calls, QStringList{});
    QCOMPARE(s.rows(), rows);
    QCOMPARE(s.times(), (QList<int>{85, 312, 2401}));
    QVERIFY(!QFileInfo::exists(s.m.assocFilePath()));
    // The window still works: a second try with a good name saves.
    s.ts.dialogs.answers.push_back(s.path(QStringLiteral("ok.TXT")));
    s.form->Command1_Click();
    QCOMPARE(ReadBytes(s.path(QStringLiteral("ok.TXT"))),
             ReadBytes(FixturePath(QStringLiteral("three-lines.TXT"))));
}

void TestSaveImport::failedLoadWritesNothing_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QString>("message");
    QTest::newRow("unreadable record file") << QByteArray("not a number\r\n") << kSaveFailed;
    QByteArray full = "32767\r\n";
    for (int i = 0; i < 32767; ++i) full += "\"a\",\"b\"\r\n";
    QTest::newRow("table already holds 32767 entries") << full << QStringLiteral("ok|错误！|") + kTableFull;
}

void TestSaveImport::failedLoadWritesNothing() {
    QFETCH(QByteArray, record);
    QFETCH(QString, message);
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    WriteBytes(s.m.assocFilePath(), record);
    RecordedThree(s);
    s.form->show();
    const QString saved = s.path(QStringLiteral("kept.TXT"));
    s.ts.dialogs.answers.push_back(saved);
    s.form->Command1_Click();
    QCOMPARE(s.boxes(), QStringList{message});
    QVERIFY(s.form->isVisible());
    QCOMPARE(s.ts.nav.calls, QStringList{});
    // The table is read before the lyrics file is written: a save that cannot be linked writes nothing.
    QVERIFY(!QFile::exists(saved));
    QCOMPARE(ReadBytes(s.m.assocFilePath()), record);
}

void TestSaveImport::importWhileRecording() {
    Step3 s(Lines(4));
    s.ts.players.songs.insert(kOther, 100.0);
    const QString file = s.path(QStringLiteral("done.TXT"));
    WriteFinished(file, kOther, {QStringLiteral("甲"), QStringLiteral("乙   "), QStringLiteral("丙")},
                  {12, 34, 56});
    s.open();
    s.recordAt({5, 6});
    s.player().calls.clear();
    s.ts.dialogs.answers.push_back(file);
    s.form->Command5_Click();

    QCOMPARE(s.player().calls, (QStringList{"Seek 240", "Stop", "FileName " + kOther}));
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(s.form->MP->FileName(), kOther);
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
    QCOMPARE(s.rows(),
             (QStringList{QStringLiteral("甲  结束时间: 1.2 秒"), QStringLiteral("乙  结束时间: 3.4 秒"),
                          QStringLiteral("丙  结束时间: 5.6 秒")}));
    QCOMPARE(s.m.lyricSongPath, kOther);
    QCOMPARE(int(s.form->recordLine), 3);
    const auto& shown = s.ts.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::Open);
    QCOMPARE(shown.filter, kLyricsFilter);
    QCOMPARE(shown.initDir, s.m.lyricsFolder());
    QCOMPARE(shown.flags, 1);
    QCOMPARE(s.boxes(), QStringList{});
}

void TestSaveImport::importCancelledKeepsTheStoppedSong() {
    Step3 s(Lines(3));
    s.open();
    s.recordAt({5});
    const QStringList rows = s.rows();
    s.form->Command5_Click();
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
    QCOMPARE(s.rows(), rows);
    QCOMPARE(s.times(), (QList<int>{50, 0, 0}));
    QCOMPARE(s.boxes(), QStringList{});
}

void TestSaveImport::importWhilePausedDoesNotStop() {
    Step3 s(Lines(3));
    s.open();
    s.recordAt({5});
    s.form->Command3_Click();
    s.player().calls.clear();
    s.form->Command5_Click();
    QCOMPARE(s.player().calls, QStringList{"Seek 240"});
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Paused));
}

void TestSaveImport::importForEditing() {
    // The player's "编辑歌词": the list starts empty and the file to edit comes in through the import.
    Step3 s(QStringList{QStringLiteral("播放器读的")});
    s.m.editMode = true;
    s.open();
    QCOMPARE(s.form->List1->count(), 0);
    const QString file = s.path(QStringLiteral("edit.TXT"));
    WriteFinished(file, kSong, {kBegin, QStringLiteral("词"), kEnd}, {50, 150, 2400});
    s.ts.dialogs.answers.push_back(file);
    s.form->Command5_Click();
    QCOMPARE(s.times(), (QList<int>{50, 150, 2400}));
    QCOMPARE(s.rows().size(), 3);
    QVERIFY(s.m.editMode);
    // Re-timing from line 2 and saving under the old name.
    s.form->List1->setCurrentRow(1);
    s.form->List1_Click();
    s.form->Command2_Click();
    s.recordAt({20});
    QCOMPARE(s.times(), (QList<int>{50, 200, 2400}));
    s.ts.dialogs.answers.push_back(file);
    s.form->Command1_Click();
    QVERIFY(!s.m.editMode);
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, file}}));
}

void TestSaveImport::importOfABrokenFileRefillsTheList() {
    Step3 s(Lines(3));
    s.open();
    s.recordAt({5});
    const QString file = s.path(QStringLiteral("broken.TXT"));
    // The header promises four lines; only one follows.
    WriteBytes(file, "\"a\",\"b\",4,\"c\",\"" + kSong.toUtf8() + "\",\"d\",\"e\"\r\n77,\"only\"\r\n");
    s.ts.dialogs.answers.push_back(file);
    s.form->Command5_Click();
    QCOMPARE(s.boxes(), QStringList{kOpenFailed});
    // The list shows what the document now holds, which is what "完成" would save.
    QCOMPARE(int(s.m.lyricLineCount), 4);
    QCOMPARE(s.rows().size(), 4);
    QCOMPARE(s.rows().constFirst(), QStringLiteral("only  结束时间: 7.7 秒"));
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
}

void TestSaveImport::importWithAMissingSongKeepsTheLines() {
    Step3 s(Lines(2));
    s.open();
    const QString file = s.path(QStringLiteral("moved.TXT"));
    WriteFinished(file, QStringLiteral("/gone/away.mp3"), {kBegin, kEnd}, {30, 900});
    s.ts.dialogs.answers.push_back(file);
    s.form->Command5_Click();
    QCOMPARE(s.boxes(), QStringList{});
    QCOMPARE(s.times(), (QList<int>{30, 900}));
    QCOMPARE(s.form->MP->FileName(), QString());
    // Corrections and saving still work; recording says the song is missing.
    s.form->allslow_Click();
    QCOMPARE(s.times(), (QList<int>{35, 905}));
    s.form->List1->setCurrentRow(1);
    s.form->List1_Click();
    s.form->Command2_Click();
    QCOMPARE(s.boxes(), QStringList{"ok|错误！|还没有指定音乐文件！"});
}

void TestSaveImport::importKeepsRecordLineInsideTheNewDocument() {
    Step3 s(Lines(8));
    s.open();
    s.recordAt({1, 2, 3, 4, 5, 6});
    s.form->Command3_Click();
    s.form->List1->setCurrentRow(6);
    s.form->List1_Click();
    QCOMPARE(int(s.form->recordLine), 7);
    const QString file = s.path(QStringLiteral("short.TXT"));
    WriteFinished(file, kSong, {kBegin, QStringLiteral("词"), kEnd}, {50, 150, 2400});
    s.ts.dialogs.answers.push_back(file);
    s.form->Command5_Click();
    QCOMPARE(int(s.form->recordLine), 3);
    // "开始记录" is still enabled from the row click: it shows a line that exists, and the press ends the
    // run.
    QVERIFY(s.form->Command2->isEnabled());
    s.form->Command2_Click();
    QCOMPARE(s.form->Label1->text(), kEnd);
    s.recordAt({30});
    QCOMPARE(s.times(), (QList<int>{50, 150, 2400}));
    QCOMPARE(s.boxes().constLast(), QStringLiteral("ok|恭喜!|全部完成了!"));
}

int RunTestSaveImport(int argc, char** argv) {
    TestSaveImport t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestSaveImport.moc"

namespace qiva::test {

void TestSaveImport::importLrcForEditingTakesTheSongBesideIt() {
    Step3 s(QStringList{QStringLiteral("播放器读的")}, 240.0);
    s.m.editMode = true;
    s.open();
    // ASCII names keep the record's expected bytes plain.
    const QString lrc = s.path(QStringLiteral("Song.lrc"));
    const QString song = s.path(QStringLiteral("Song.MP3"));
    WriteBytes(lrc, kLrc);
    WriteBytes(song, "");
    WriteBytes(s.path(QStringLiteral("Song 2.mp3")), "");
    s.ts.players.songs.insert(song, 200.0);
    s.ts.dialogs.answers.push_back(lrc);
    s.form->Command5_Click();
    QCOMPARE(s.ts.dialogs.shown.back().filter, kLyricsFilter);
    QCOMPARE(s.m.lyricSongPath, song);
    QCOMPARE(s.player().FileName(), song);
    // The last line lasted to the end of the song: that end is now the song's length.
    QCOMPARE(s.times(), (QList<int>{50, 150, 2000}));
    QCOMPARE(s.ts.dialogs.shown.size(), size_t(1));

    // Saved under its old name, as the window asks: LRC is offered, and the file stays LRC.
    s.ts.dialogs.answers.push_back(lrc);
    s.form->Command1_Click();
    QCOMPARE(s.ts.dialogs.shown.back().filterIndexBefore, 2);
    QVERIFY(Utf8(lrc).contains(QStringLiteral("[00:05.00]词\r\n[00:15.00]（结束）\r\n[03:20.00]\r\n")));
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{song, lrc}}));
}

void TestSaveImport::importLrcWithoutASongAsksForOne() {
    for (const bool chosen : {true, false}) {
        Step3 s(QStringList{QStringLiteral("播放器读的")});
        s.m.editMode = true;
        s.open();
        const QString lrc = s.path(QStringLiteral("无歌.lrc"));
        WriteBytes(lrc, kLrc);
        s.ts.dialogs.answers = {lrc, chosen ? kOther : QString()};
        s.ts.players.songs.insert(kOther, 100.0);
        s.form->Command5_Click();
        const auto& asked = s.ts.dialogs.shown.back();
        QCOMPARE(asked.kind, FileDialog::Kind::Open);
        QCOMPARE(asked.filter, kSongFilter);
        QCOMPARE(asked.initDir, s.dir.path());
        QCOMPARE(s.m.lyricSongPath, chosen ? kOther : QString());
        QCOMPARE(s.times(), (QList<int>{50, 150, chosen ? 1000 : kUntilSongEnd}));

        // Without a song the file is saved but linked to nothing.
        const QString saved = s.path(QStringLiteral("out.lrc"));
        s.ts.dialogs.answers.push_back(saved);
        s.form->Command1_Click();
        QVERIFY(QFileInfo::exists(saved));
        QCOMPARE(QFileInfo::exists(s.m.assocFilePath()), chosen);
    }
}

void TestSaveImport::importLrcKeepsTheSongOfStepOne() {
    Step3 s(Lines(2));
    s.open();
    const QString lrc = s.path(QStringLiteral("歌.lrc"));
    WriteBytes(lrc, kLrc);
    WriteBytes(s.path(QStringLiteral("歌.mp3")), "");
    s.ts.dialogs.answers.push_back(lrc);
    s.form->Command5_Click();
    QCOMPARE(s.m.lyricSongPath, kSong);
    QCOMPARE(s.times(), (QList<int>{50, 150, 2400}));
    QCOMPARE(s.m.lyricTitle, QStringLiteral("旧"));
}

void TestSaveImport::finishChoosesTheFormat_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("filter");
    QTest::addColumn<QString>("written");
    QTest::addColumn<bool>("lrc");
    QTest::newRow("typed .lrc, own filter") << "a.lrc" << 1 << "a.lrc" << true;
    QTest::newRow("typed .LRC") << "a.LRC" << 1 << "a.LRC" << true;
    QTest::newRow("LRC filter, no extension") << "a" << 2 << "a.LRC" << true;
    QTest::newRow("LRC filter, other extension") << "a.b" << 2 << "a.b" << true;
    QTest::newRow("LRC filter, typed .txt") << "a.txt" << 2 << "a.txt" << false;
    QTest::newRow("own filter") << "a" << 1 << "a.TXT" << false;
}

void TestSaveImport::finishChoosesTheFormat() {
    QFETCH(QString, typed);
    QFETCH(int, filter);
    QFETCH(QString, written);
    QFETCH(bool, lrc);
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    RecordedThree(s);
    s.ts.dialogs.answers.push_back(s.path(typed));
    s.ts.dialogs.filterAnswers.push_back(filter);
    s.form->Command1_Click();
    QCOMPARE(s.ts.dialogs.shown.back().filter,
             QStringLiteral("歌词文件(*.TXT)|*.TXT|LRC Files(*.LRC)|*.LRC"));
    const QString path = s.path(written);
    QCOMPARE(ReadBytes(path).startsWith('['), lrc);
    if (!lrc) QCOMPARE(ReadBytes(path), ReadBytes(FixturePath(QStringLiteral("three-lines.TXT"))));
    QCOMPARE(ReadBytes(s.m.assocFilePath()), Record({{kSong, path}}));
    // Either way the file reads back as the same lines and times.
    Main back{s.dir.path()};
    back.ReadLyricsFile(path);
    QCOMPARE(back.lyricLines[2].endTime, s.m.lyricLines[2].endTime);
    QCOMPARE(back.lyricLines[3].text, kEnd);
}

void TestSaveImport::finishAsLrcOutOfOrderWritesNothing() {
    Step3 s(Lines(3));
    s.open();
    s.form->Command3_Click();
    s.setTimes({50, 30, 2400});
    const QString path = s.path(QStringLiteral("乱.lrc"));
    s.ts.dialogs.answers.push_back(path);
    s.form->show();
    s.form->Command1_Click();
    QCOMPARE(s.boxes().size(), 1);
    QVERIFY(s.boxes()[0].startsWith(QStringLiteral("ok|错误！|第 2 行的结束时间（3.0 秒）早于第 1 行")));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(!QFileInfo::exists(s.m.assocFilePath()));
    QVERIFY(s.form->isVisible());
}

}  // namespace qiva::test
