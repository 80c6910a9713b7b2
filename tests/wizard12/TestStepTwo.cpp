#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "StepTwoRig.h"
#include "app/Navigator.h"
#include "wizard/EditForm1.h"
#include "wizard/ExpandMarks.h"

namespace qiva::test {

namespace {
QList<QLineEdit*> Fields(EditForm2& w) { return {w.Text2, w.Text3, w.Text4, w.Text5, w.Text6}; }

// A short MP3 made by lame, tagged by TagLib with `frames` {id, text} and the unsynchronised `lyrics`.
QString TaggedSong(const QString& name, const QList<QPair<const char*, QString>>& frames,
                   const QString& lyrics) {
    const QString wav = QDir(ScratchFolder()).filePath(name + ".wav");
    const QString mp3 = QDir(ScratchFolder()).filePath(name + ".mp3");
    if (QProcess::execute("sox", {"-n", "-r", "22050", "-c", "1", wav, "synth", "0.2", "sine", "440"}) != 0 ||
        QProcess::execute("lame", {"--quiet", "-b", "32", wav, mp3}) != 0)
        return {};
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    const auto text = [](const QString& s) { return TagLib::String(s.toStdString(), TagLib::String::UTF8); };
    for (const auto& [id, value] : frames) {
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF16);
        frame->setText(text(value));
        tag->addFrame(frame);
    }
    if (!lyrics.isEmpty()) {
        auto* uslt = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::UTF8);
        uslt->setText(text(lyrics));
        tag->addFrame(uslt);
    }
    return file.save() ? mp3 : QString();
}
}  // namespace

class TestStepTwo : public QObject {
    Q_OBJECT
private slots:
    void initialState();
    void songThatCannotBeLoadedIsReported();
    void songInformationAndLyricsFromTheSongsTags();
    void enablingRuleFollowsTyping();
    void textBoxKeepsWhatItIsGiven();
    void spaceRemover();
    void lowercaser();
    void nextPublishesAndHandsOver();
    void nextStopsOnlyAPlayingSong_data();
    void nextStopsOnlyAPlayingSong();
    void nextRefusesWhatDoesNotFit_data();
    void nextRefusesWhatDoesNotFit();
    void nextRefusesDoubleQuotes_data();
    void nextRefusesDoubleQuotes();
    void closeShowsThePlayer();
    void newRunStartsFresh();
    void hiddenStepsDoNotKeepTheProgramRunning();
};

void TestStepTwo::initialState() {
    StepTwoRig r;
    EditForm2& w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("歌词采集窗体"));
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(w.text1().isEmpty());
    for (QLineEdit* field : Fields(w)) QCOMPARE(field->text(), QStringLiteral("未知"));
    QVERIFY(!r.nextEnabled());
    QVERIFY(!r.saveEnabled());
    QVERIFY(w.Command2->isEnabled() && w.Command4->isEnabled() && w.Command5->isEnabled());
    QCOMPARE(w.Command1->parentWidget(), w.Frame1);
    QCOMPARE(w.Frame1->title(), QStringLiteral("歌曲信息："));
    QCOMPARE(w.Label8->text(), QStringLiteral("在标B,P,E,S前，请用一下小写器。"));
    QCOMPARE(w.Label7->text(),
             QStringLiteral("如果要输入英文，请输入小写！   开始处别忘了 B  结束处别忘了 E  "
                            "短时间的停顿 P  长时间的停顿 S"));
    QCOMPARE(w.Label7->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(w.Label7->font().pointSizeF(), 10.5);
    QVERIFY(w.Label7->font().bold() && w.Label1->font().bold() && w.Text1->font().bold());
    QCOMPARE(w.Text1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(
        w.Label1->text().endsWith(QStringLiteral("在软件的“歌词”文件夹中有一个“步骤二示例”，请参考一下。")));
    // The song waits for the player's own buttons.
    QVERIFY(!r.mp().autoStart());
    QCOMPARE(r.mp().calls, QStringList{"FileName " + kStepTwoSong});
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(r.t.prompter.boxes.empty());
    QCOMPARE(w.Text1->nextInFocusChain()->window(), &w);
}

void TestStepTwo::songThatCannotBeLoadedIsReported() {
    StepTwoRig r(QStringLiteral("/歌曲/已删除.mp3"));
    QCOMPARE(r.t.prompter.texts(), QStringList{"无法播放的音乐文件！"});
    QVERIFY(r.mp().FileName().isEmpty());
    r.w->setText1(QStringLiteral("B好E"));
    QVERIFY(r.nextEnabled());
}

void TestStepTwo::songInformationAndLyricsFromTheSongsTags() {
    const QString song = TaggedSong(
        "tagged",
        {{"TIT2", "七里香"}, {"TPE1", "周杰伦"}, {"TEXT", "方文山"}, {"TCOM", "周杰伦"}, {"TALB", "  "}},
        "窗外的麻雀\r\n在电线杆上多嘴");
    QVERIFY2(!song.isEmpty(), "sox, lame or TagLib could not make the song");
    StepTwoRig r(song);
    QVERIFY(r.t.prompter.boxes.empty());
    QStringList boxes;
    for (QLineEdit* field : Fields(*r.w)) boxes << field->text();
    QCOMPARE(boxes, (QStringList{"七里香", "周杰伦", "未知", "方文山", "周杰伦"}));
    QCOMPARE(r.w->text1(), QStringLiteral("窗外的麻雀\n在电线杆上多嘴"));
    QVERIFY(r.nextEnabled() && r.saveEnabled());
    // Without lyrics in the tags the text box stays empty, ready for typing.
    StepTwoRig plain(TaggedSong("plain", {{"TIT2", "晴天"}}, {}));
    QCOMPARE(plain.w->Text2->text(), QStringLiteral("晴天"));
    QCOMPARE(plain.w->Text3->text(), QStringLiteral("未知"));
    QVERIFY(plain.w->text1().isEmpty() && !plain.nextEnabled());
}

void TestStepTwo::enablingRuleFollowsTyping() {
    StepTwoRig r;
    QTest::keyClicks(r.w->Text1, QStringLiteral("B"));
    QVERIFY(r.nextEnabled() && r.saveEnabled());
    QTest::keyClick(r.w->Text1, Qt::Key_Backspace);
    QVERIFY(!r.nextEnabled() && !r.saveEnabled());
    QTest::keyClick(r.w->Text1, Qt::Key_Return);  // a line break alone is text too, typed as CR LF
    QCOMPARE(r.w->text1(), QStringLiteral("\r\n"));
    QVERIFY(r.nextEnabled() && r.saveEnabled());
}

void TestStepTwo::textBoxKeepsWhatItIsGiven() {
    StepTwoRig r;
    // Every kind of line break as it was given, the paragraph and line separators included.
    const QString text = QStringLiteral("一\r\n二\r三\n四\t五\u00a0六\u2028七\u2029八\n\r");
    r.w->setText1(text);
    QCOMPARE(r.w->text1(), text);
    QCOMPARE(r.w->Text1->blockCount(), 8);
}

void TestStepTwo::spaceRemover() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("今天 是\r\n好日子\u3000P\t"));
    r.w->Command4->click();
    QCOMPARE(r.w->text1(), QStringLiteral("今天是好日子P\t"));
    r.w->setText1(QStringLiteral("  \n \u3000\n"));
    QVERIFY(r.nextEnabled());
    r.w->Command4->click();
    QVERIFY(r.w->text1().isEmpty());
    QVERIFY(!r.nextEnabled() && !r.saveEnabled());
}

void TestStepTwo::lowercaser() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("Love Me P今天ＡＢ"));
    r.w->Command5->click();
    QCOMPARE(r.w->text1(), QStringLiteral("love me p今天ＡＢ"));
}

void TestStepTwo::nextPublishesAndHandsOver() {
    StepTwoRig r;
    r.w->show();
    r.w->setText1(QStringLiteral("B今天P好日子\nE"));
    r.w->Text2->clear();
    r.w->Text3->setText(QStringLiteral("  "));
    r.w->Text5->setText(QStringLiteral("词人"));
    r.w->Text6->clear();
    r.w->Command1->click();
    QCOMPARE(r.w->Text2->text(), QStringLiteral("Unknown"));
    QCOMPARE(r.w->Text6->text(), QStringLiteral("Unknown"));
    QCOMPARE(r.m.lyricTitle, QStringLiteral("Unknown"));
    QCOMPARE(r.m.lyricSinger, QStringLiteral("  "));
    QCOMPARE(r.m.lyricAlbum, QStringLiteral("未知"));
    QCOMPARE(r.m.lyricLyricist, QStringLiteral("词人"));
    QCOMPARE(r.m.lyricComposer, QStringLiteral("Unknown"));
    QCOMPARE(int(r.m.lyricLineCount), 4);
    QCOMPARE(r.m.lyricLines[3].text, QStringLiteral("好日子\n"));
    QCOMPARE(r.m.lyricSongPath, kStepTwoSong);
    QCOMPARE(r.t.nav.calls, QStringList{"ShowStepThree"});
    QVERIFY(r.w->isHidden());
    QCOMPARE(r.w->text1(), QStringLiteral("B今天P好日子\nE"));  // hidden, not closed
}

void TestStepTwo::nextStopsOnlyAPlayingSong_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("stopped");
    QTest::newRow("playing") << int(MediaPlayer::Playing) << true;
    QTest::newRow("paused") << int(MediaPlayer::Paused) << false;
    QTest::newRow("stopped") << int(MediaPlayer::Stopped) << false;
}

void TestStepTwo::nextStopsOnlyAPlayingSong() {
    QFETCH(int, state);
    QFETCH(bool, stopped);
    StepTwoRig r;
    if (state != MediaPlayer::Stopped) r.mp().Play();
    r.mp().advance(12);
    if (state == MediaPlayer::Paused) r.mp().Pause();
    r.mp().calls.clear();
    r.w->setText1(QStringLiteral("B今天E"));
    r.w->Command1->click();
    QCOMPARE(r.mp().calls, stopped ? QStringList{"Stop"} : QStringList{});
    QCOMPARE(r.mp().PlayState(), stopped ? int(MediaPlayer::Stopped) : state);
}

void TestStepTwo::nextRefusesWhatDoesNotFit_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("32768 characters")
        << "B" + QString(32767, u'歌') << QStringLiteral("歌词超过 32767 个字，无法继续！请删减歌词后再试。");
    QTest::newRow("32769 lines") << "B" + QString(16384, u'S')
                                 << QStringLiteral(
                                        "歌词中的标记太多，需要的歌词行数超过 32767 行，无法继续！");
}

void TestStepTwo::nextRefusesWhatDoesNotFit() {
    QFETCH(QString, text);
    QFETCH(QString, message);
    StepTwoRig r;
    r.w->show();
    r.m.lyricTitle = QStringLiteral("旧歌");
    r.m.lyricLineCount = 1;
    r.m.lyricLines = {{}, {QStringLiteral("旧行"), 7}};
    r.w->setText1(text);
    r.w->Text2->clear();
    r.mp().Play();
    r.w->Command1->click();
    QCOMPARE(r.t.prompter.texts(), QStringList{message});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(r.w->Text2->text().isEmpty());
    QCOMPARE(r.m.lyricTitle, QStringLiteral("旧歌"));
    QCOMPARE(int(r.m.lyricLineCount), 1);
    QCOMPARE(r.m.lyricLines[1].text, QStringLiteral("旧行"));
    QCOMPARE(r.w->text1(), text);
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Playing));
    QVERIFY(r.t.nav.calls.isEmpty());
    QVERIFY(r.w->isVisible());
}

void TestStepTwo::nextRefusesDoubleQuotes_data() {
    QTest::addColumn<int>("box");  // 1 = the lyric text, 2..6 = the song-information fields
    for (int box = 1; box <= 6; ++box) QTest::newRow(qPrintable(QStringLiteral("Text%1").arg(box))) << box;
}

void TestStepTwo::nextRefusesDoubleQuotes() {
    QFETCH(int, box);
    StepTwoRig r;
    r.m.lyricLineCount = 0;
    r.w->setText1(box == 1 ? QStringLiteral("B他说\"你好\"E") : QStringLiteral("B你好E"));
    QLineEdit* fields[] = {r.w->Text2, r.w->Text3, r.w->Text4, r.w->Text5, r.w->Text6};
    if (box > 1) fields[box - 2]->setText(QStringLiteral("a\"b"));
    r.w->Command1->click();
    QCOMPARE(r.t.prompter.texts(), QStringList{kNoDoubleQuotes});
    QCOMPARE(int(r.m.lyricLineCount), 0);  // nothing expanded, nothing published
    QVERIFY(r.m.lyricTitle.isEmpty());
    QVERIFY(r.t.nav.calls.isEmpty());
}

void TestStepTwo::closeShowsThePlayer() {
    TestServices t;
    Main m(ScratchFolder());
    QPointer<EditForm2> w = new EditForm2(m, t.services);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QVERIFY(w->close());
    QCOMPARE(t.nav.calls, QStringList{"ShowPlayer"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.isNull());
}

void TestStepTwo::newRunStartsFresh() {
    FakePlayerFactory players;
    players.songs = {{kStepTwoSong, 240}};
    ScriptedDialogFactory dialogs;
    ScriptedPrompter prompter;
    Main m(ScratchFolder());
    Navigator nav(m, players, dialogs, prompter);

    auto runToStepTwo = [&] {
        nav.ShowStepOne();
        EditForm1* one = nav.stepOne();
        QVERIFY(one->Text1->text().isEmpty());
        QVERIFY(!one->Command2->isEnabled());
        one->Text1->setText(kStepTwoSong);
        one->Command3->click();
        one->Command2->click();
        QVERIFY(one->isHidden());
        QVERIFY(nav.stepTwo() && nav.stepTwo()->isVisible());
    };
    runToStepTwo();
    QPointer<EditForm1> oldOne = nav.stepOne();
    QPointer<EditForm2> oldTwo = nav.stepTwo();
    oldTwo->setText1(QStringLiteral("B旧歌词E"));
    oldTwo->Text2->setText(QStringLiteral("旧歌名"));

    runToStepTwo();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(oldOne.isNull() && oldTwo.isNull());
    QVERIFY(nav.stepTwo()->text1().isEmpty());
    QCOMPARE(nav.stepTwo()->Text2->text(), QStringLiteral("未知"));
    QVERIFY(prompter.boxes.empty());
}

void TestStepTwo::hiddenStepsDoNotKeepTheProgramRunning() {
    QVERIFY(QGuiApplication::quitOnLastWindowClosed());
    TestServices t;
    t.players.anyPathDuration = 100;
    Main m(ScratchFolder());
    EditForm1 one(m, t.services);
    one.show();
    one.Text1->setText(kStepTwoSong);
    one.Command3->click();
    one.Command2->click();
    QVERIFY(one.isHidden());
    StepTwoRig two;
    two.w->show();
    two.w->setText1(QStringLiteral("B好E"));
    two.w->Command1->click();
    QVERIFY(two.w->isHidden());
    QWidget player;
    player.show();
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    QTimer::singleShot(0, &player, [&player] { player.close(); });
    QTimer watchdog;  // the program would have stayed
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
    watchdog.start(5000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(lastClosed.count(), 1);
}

int RunStepTwoTests(int argc, char** argv) {
    TestStepTwo t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestStepTwo.moc"
