// The association window up to "关联": layout, the pause at opening, the browse buttons and the two checks
// that run on every change of a box.

#include "ChecksTest.h"

#include <QLabel>
#include <QTest>

#include "Rig.h"
#include "platform/Layout.h"

using namespace qiva;
using namespace qiva::test;

namespace {
const QString kError = QStringLiteral("错误！");
const QString kNoFile = QStringLiteral("请指定一个文件！");
const QString kUnplayable = QStringLiteral("无法播放的音乐文件！");
const QString kUnreadable = QStringLiteral("无法打开的歌词文件！");

// Every box shown so far as "text|title".
QStringList Boxes(const ScriptedPrompter& p) {
    QStringList out;
    for (const auto& b : p.boxes) out << b.text + QLatin1Char('|') + b.title;
    return out;
}
QString Box(const QString& text) { return text + QLatin1Char('|') + kError; }
}  // namespace

void ChecksTest::layoutCaptionsAndTabOrder() {
    Rig r;
    JoinForm& f = *r.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("歌词关联"));
    QCOMPARE(f.size(), QSize(TwipsToPixels(7395), TwipsToPixels(3180)));
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QCOMPARE(f.font().pointSizeF(), 9.0);
    QCOMPARE(f.Label1->geometry(), TwipsRect(720, 720, 975, 495));
    QCOMPARE(f.Text1->geometry(), TwipsRect(2160, 720, 2775, 375));
    QCOMPARE(f.Command1->geometry(), TwipsRect(5520, 720, 1215, 495));
    QCOMPARE(f.Label2->geometry(), TwipsRect(720, 1560, 975, 495));
    QCOMPARE(f.Text2->geometry(), TwipsRect(2160, 1560, 2775, 375));
    QCOMPARE(f.Command2->geometry(), TwipsRect(5520, 1560, 1215, 495));
    QCOMPARE(f.MP->geometry(), TwipsRect(960, 2400, 4695, 615));
    QCOMPARE(f.Command3->geometry(), TwipsRect(6120, 2520, 1095, 495));
    QCOMPARE(f.Label1->text(), QStringLiteral("歌曲文件："));
    QCOMPARE(f.Label2->text(), QStringLiteral("歌词文件："));
    QCOMPARE(f.Command1->text(), QStringLiteral("浏览"));
    QCOMPARE(f.Command2->text(), QStringLiteral("浏览"));
    QCOMPARE(f.Command3->text(), QStringLiteral("关联"));
    QVERIFY(f.Text1->text().isEmpty() && f.Text2->text().isEmpty());
    QVERIFY(f.Command1->isEnabled() && f.Command2->isEnabled() && !f.Command3->isEnabled());
    QVERIFY(!f.songOk && !f.lyricsOk);
    QVERIFY(r.mp().FileName().isEmpty());

    // Tab order: song box, its button, lyrics box, its button, the player's controls, "关联".
    QList<QWidget*> order;
    QWidget* w = f.Text1;
    for (int guard = 0; guard < 50 && (order.isEmpty() || w != f.Text1); ++guard, w = w->nextInFocusChain()) {
        if (w == f.Text1 || w == f.Command1 || w == f.Text2 || w == f.Command2 || w == f.Command3)
            order << w;
        else if (f.MP->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && !order.contains(f.MP))
            order << f.MP;
    }
    QCOMPARE(order, (QList<QWidget*>{f.Text1, f.Command1, f.Text2, f.Command2, f.MP, f.Command3}));
}

void ChecksTest::openingPausesOnlyAPlayingSong_data() {
    QTest::addColumn<int>("ownerState");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<int>("stateAfter");
    QTest::newRow("playing") << int(MediaPlayer::Playing) << QStringList{QStringLiteral("Pause")}
                             << int(MediaPlayer::Paused);
    QTest::newRow("paused") << int(MediaPlayer::Paused) << QStringList{} << int(MediaPlayer::Paused);
    QTest::newRow("stopped") << int(MediaPlayer::Stopped) << QStringList{} << int(MediaPlayer::Stopped);
}

void ChecksTest::openingPausesOnlyAPlayingSong() {
    QFETCH(int, ownerState);
    QFETCH(QStringList, calls);
    QFETCH(int, stateAfter);
    Rig r(ownerState);
    QCOMPARE(r.ownerFake().calls, calls);
    QCOMPARE(r.owner->PlayState(), stateAfter);
    // Trying a song here and closing leaves the player window's song where it was.
    r.chooseBoth();
    r.form->reject();
    QCOMPARE(r.ownerFake().calls, calls);
    QCOMPARE(r.owner->PlayState(), stateAfter);
}

void ChecksTest::eitherCheckOrderEnablesAssociateSecond_data() {
    QTest::addColumn<bool>("songFirst");
    QTest::newRow("song first") << true;
    QTest::newRow("lyrics first") << false;
}

void ChecksTest::eitherCheckOrderEnablesAssociateSecond() {
    QFETCH(bool, songFirst);
    Rig r;
    WriteBytes(r.lyricsPath(), TwoLineLyrics("D:\\old.MP3"));
    if (songFirst)
        r.browseSong(r.songPath());
    else
        r.browseLyrics(r.lyricsPath());
    QCOMPARE(r.form->songOk, songFirst);
    QCOMPARE(r.form->lyricsOk, !songFirst);
    QVERIFY(!r.form->Command3->isEnabled());
    if (songFirst)
        r.browseLyrics(r.lyricsPath());
    else
        r.browseSong(r.songPath());
    QVERIFY(r.form->songOk && r.form->lyricsOk);
    QVERIFY(r.form->Command3->isEnabled());
    QVERIFY(r.ts.prompter.boxes.empty());
    QCOMPARE(r.form->Text1->text(), r.songPath());
    QCOMPARE(r.form->Text2->text(), r.lyricsPath());
    // The accepted song plays in the window's own player; the lyrics now fill the current document.
    QCOMPARE(r.mp().FileName(), r.songPath());
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(r.m.lyricLineCount, int16_t(2));
    QCOMPARE(r.m.lyricAlbum, QStringLiteral("未知"));
    QCOMPARE(r.m.lyricLines.at(1).text, QStringLiteral("未知, with a comma"));
    QCOMPARE(r.m.lyricLines.at(2).endTime, int16_t(2401));
    QCOMPARE(r.m.lyricLines.at(2).text, QStringLiteral("end "));
}

void ChecksTest::dialogsAreSetUpAndKeepTheLyricsFolder() {
    Rig r;
    r.browseSong(r.songPath());
    WriteBytes(r.lyricsPath(), TwoLineLyrics("x"));
    r.browseLyrics(r.lyricsPath());
    r.browseSong(QString());  // cancelled
    r.browseLyrics(QString());
    const auto& shown = r.ts.dialogs.shown;
    QCOMPARE(shown.size(), size_t(4));
    const QString mp3 = QStringLiteral(
        "音乐文件(*.MP3;*.FLAC;*.OGG;*.OPUS;*.WAV)|*.MP3;*.FLAC;*.OGG;*.OPUS;*.WAV|MP3 Files(*.MP3)|*.MP3");
    const QString text =
        QStringLiteral("歌词文件(*.TXT;*.LRC)|*.TXT;*.LRC|Text Files(*.TXT)|*.TXT|LRC Files(*.LRC)|*.LRC");
    const QStringList filters{mp3, text, mp3, text};
    // The song browse sets no folder of its own; once the lyrics browse has set it, it stays for both.
    const QStringList folders{QString(), r.m.lyricsFolder(), r.m.lyricsFolder(), r.m.lyricsFolder()};
    for (size_t i = 0; i < shown.size(); ++i) {
        QVERIFY(shown[i].kind == FileDialog::Kind::Open);
        QCOMPARE(shown[i].filter, filters.at(int(i)));
        QCOMPARE(shown[i].initDir, folders.at(int(i)));
        QCOMPARE(shown[i].flags, 1);
        QVERIFY(shown[i].fileNameBefore.isEmpty());
    }
}

void ChecksTest::cancelledBrowseEmptiesTheBoxWithOneMessage_data() {
    QTest::addColumn<bool>("song");
    QTest::newRow("song") << true;
    QTest::newRow("lyrics") << false;
}

void ChecksTest::cancelledBrowseEmptiesTheBoxWithOneMessage() {
    QFETCH(bool, song);
    Rig r;
    r.chooseBoth();
    QVERIFY(r.form->Command3->isEnabled());
    const int opens = r.mp().calls.count();
    if (song)
        r.browseSong(QString());
    else
        r.browseLyrics(QString());
    // One message and no second check of the emptied box: no empty path reaches the player or the reader.
    QCOMPARE(Boxes(r.ts.prompter), QStringList{Box(kNoFile)});
    QCOMPARE(r.mp().calls.count(), opens);
    QLineEdit* box = song ? r.form->Text1 : r.form->Text2;
    QVERIFY(box->text().isEmpty());
    QCOMPARE(r.form->songOk, !song);
    QCOMPARE(r.form->lyricsOk, song);
    QVERIFY(r.form->Command3->isEnabled());  // once enabled it stays so; "关联" itself refuses
}

void ChecksTest::unplayableSongFailsOnce_data() {
    QTest::addColumn<bool>("failOnPlay");
    QTest::newRow("file name rejected") << false;
    QTest::newRow("play rejected") << true;
}

void ChecksTest::unplayableSongFailsOnce() {
    QFETCH(bool, failOnPlay);
    Rig r;
    const QString bad = r.path(QStringLiteral("notes.MP3"));
    if (failOnPlay) r.ts.players.songs.insert(bad, 10);
    r.browseSong(r.songPath());
    r.mp().failNextPlay = failOnPlay;
    r.browseSong(bad);
    QCOMPARE(Boxes(r.ts.prompter), QStringList{Box(kUnplayable)});
    QVERIFY(r.form->Text1->text().isEmpty());
    QVERIFY(!r.form->songOk);
    QCOMPARE(r.mp().calls.filter(QStringLiteral("FileName")),
             (QStringList{QStringLiteral("FileName ") + r.songPath(), QStringLiteral("FileName ") + bad}));
}

void ChecksTest::unreadableLyricsFailOnce_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("linesBeforeFailure");
    QTest::newRow("missing file") << QByteArray() << false << -1;
    QTest::newRow("fewer records than the count")
        << QByteArray("\"A\",\"S\",3,\"C\",\"p\",\"T\",\"L\"\r\n10,\"one\"\r\n20,\"two\"\r\n") << true << 3;
    QTest::newRow("count not a number")
        << QByteArray("\"A\",\"S\",x,\"C\",\"p\",\"T\",\"L\"\r\n") << true << -1;
    QTest::newRow("count beyond 16 bits")
        << QByteArray("\"A\",\"S\",40000,\"C\",\"p\",\"T\",\"L\"\r\n") << true << -1;
    QTest::newRow("negative count") << QByteArray("\"A\",\"S\",-1,\"C\",\"p\",\"T\",\"L\"\r\n") << true << -1;
    QTest::newRow("end time beyond 16 bits")
        << QByteArray("\"A\",\"S\",1,\"C\",\"p\",\"T\",\"L\"\r\n32768,\"one\"\r\n") << true << 1;
    QTest::newRow("empty file") << QByteArray() << true << -1;
}

void ChecksTest::unreadableLyricsFailOnce() {
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    QFETCH(int, linesBeforeFailure);
    Rig r;
    r.chooseBoth();
    const QString bad = r.path(QStringLiteral("bad.TXT"));
    if (exists) QVERIFY(WriteBytes(bad, content));
    r.browseLyrics(bad);
    QCOMPARE(Boxes(r.ts.prompter), QStringList{Box(kUnreadable)});
    QVERIFY(r.form->Text2->text().isEmpty());
    QVERIFY(!r.form->lyricsOk && r.form->songOk);
    QVERIFY(r.form->Command3->isEnabled());
    // The document keeps what the failed read stored, a line table that matches its count.
    if (linesBeforeFailure >= 0) {
        QCOMPARE(r.m.lyricLineCount, int16_t(linesBeforeFailure));
        QCOMPARE(r.m.lyricLines.size(), size_t(linesBeforeFailure) + 1);
    }
    QCOMPARE(r.m.lyricLines.size(), size_t(r.m.lyricLineCount) + 1);
    // The failed read let go of the file: once repaired, the same file is chosen and read.
    QVERIFY(WriteBytes(bad, TwoLineLyrics("q")));
    r.browseLyrics(bad);
    QCOMPARE(r.ts.prompter.boxes.size(), size_t(1));
    QVERIFY(r.form->lyricsOk);
}

void ChecksTest::countZeroAndExtraRecordsPass() {
    Rig r;
    const QString zero = r.path(QStringLiteral("zero.TXT"));
    WriteBytes(zero, "\"A\",\"S\",0,\"C\",\"p\",\"T\",\"L\"\r\n");
    r.browseLyrics(zero);
    QVERIFY(r.form->lyricsOk);
    QCOMPARE(r.m.lyricLines.size(), size_t(1));
    const QString extra = r.path(QStringLiteral("extra.TXT"));
    WriteBytes(extra, "\"A\",\"S\",1,\"C\",\"p\",\"T\",\"L\"\r\n10,\"one\"\r\n20,\"two\"\r\n");
    r.browseLyrics(extra);
    QVERIFY(r.form->lyricsOk);
    QCOMPARE(r.m.lyricLineCount, int16_t(1));
    QVERIFY(r.ts.prompter.boxes.empty());
}

void ChecksTest::typedTextIsCheckedAtEveryKeystroke() {
    Rig r;
    QTest::keyClick(r.form->Text2, Qt::Key_D);
    QCOMPARE(Boxes(r.ts.prompter), QStringList{Box(kUnreadable)});
    QVERIFY(r.form->Text2->text().isEmpty());
    QTest::keyClick(r.form->Text1, Qt::Key_D);
    QCOMPARE(Boxes(r.ts.prompter), (QStringList{Box(kUnreadable), Box(kUnplayable)}));
    QVERIFY(r.form->Text1->text().isEmpty());
    // A path pasted whole passes at once.
    WriteBytes(r.lyricsPath(), TwoLineLyrics("x"));
    r.form->Text2->insert(r.lyricsPath());
    r.form->Text1->insert(r.songPath());
    QVERIFY(r.form->songOk && r.form->lyricsOk && r.form->Command3->isEnabled());
    QCOMPARE(r.ts.prompter.boxes.size(), size_t(2));
}

void ChecksTest::boxClearedByTheUserAcceptsNothingSilently() {
    Rig r;
    r.chooseBoth();
    const int calls = r.mp().calls.count();
    r.form->Text1->selectAll();
    QTest::keyClick(r.form->Text1, Qt::Key_Delete);
    r.form->Text2->selectAll();
    QTest::keyClick(r.form->Text2, Qt::Key_Backspace);
    QVERIFY(r.ts.prompter.boxes.empty());
    QVERIFY(!r.form->songOk && !r.form->lyricsOk);
    QCOMPARE(r.mp().calls.count(), calls);
}

void ChecksTest::choosingTheSamePathAgainChecksItAgain() {
    Rig r;
    r.chooseBoth();
    // The file changed on disk after it was checked: choosing it again reads what it holds now.
    WriteBytes(r.lyricsPath(), "\"A\",\"S\",1,\"C\",\"p\",\"T\",\"L\"\r\n");
    r.browseLyrics(r.lyricsPath());
    QCOMPARE(Boxes(r.ts.prompter), QStringList{Box(kUnreadable)});
    QVERIFY(!r.form->lyricsOk);
    r.browseSong(r.songPath());
    QCOMPARE(r.mp().calls.filter(QStringLiteral("FileName")).size(), 2);
}

void ChecksTest::closingEndsTheWindowsSong() {
    Rig r;
    r.chooseBoth();
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Playing));
    r.form->close();
    QVERIFY(!r.form->isVisible());
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Stopped));
    // The close box writes nothing.
    QVERIFY(!QFile::exists(r.recordPath()));
    QCOMPARE(ReadBytes(r.lyricsPath()), TwoLineLyrics("D:\\MP3\\old.MP3"));
    QCOMPARE(r.m.assocCount, int16_t(0));
}
