#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "Suites.h"
#include "platform/doubles/Doubles.h"
#include "wizard/EditForm1.h"

namespace qiva::test {

namespace {
const QString kSongA = QStringLiteral("/歌曲/a.mp3");
const QString kSongB = QStringLiteral("/歌曲/b.mp3");  // not playable
const QString kSongC = QStringLiteral("/歌曲/c.mp3");
const QString kCannotPlay = QStringLiteral("无法播放的音乐文件！");

struct StepOneRig {
    TestServices t;
    Main m{ScratchFolder()};
    std::unique_ptr<EditForm1> w;

    StepOneRig() {
        t.players.songs = {{kSongA, 200}, {kSongC, 180}};
        w = std::make_unique<EditForm1>(m, t.services);
    }
    FakeMediaPlayer& mp() { return static_cast<FakeMediaPlayer&>(w->MP->engine()); }
    void browse(const QString& answer) {
        t.dialogs.answers.push_back(answer);
        w->Command1->click();
    }
    void type(const QString& text) { w->Text1->setText(text); }
    void test() { w->Command3->click(); }
    bool testEnabled() const { return w->Command3->isEnabled(); }
    bool nextEnabled() const { return w->Command2->isEnabled(); }
};

// The widgets that take the focus with Tab, in the order Tab visits them; the player's own buttons count
// as one stop "MP".
QStringList TabStops(EditForm1& w) {
    const QList<QWidget*> named{w.Text1, w.Command1, w.Command2, w.Command3};
    const QStringList names{"Text1", "Command1", "Command2", "Command3"};
    QStringList stops;
    QWidget* x = w.Text1;
    do {
        QString name;
        if (named.contains(x))
            name = names[named.indexOf(x)];
        else if (w.MP->isAncestorOf(x) && (x->focusPolicy() & Qt::TabFocus))
            name = QStringLiteral("MP");
        if (!name.isEmpty() && (stops.isEmpty() || stops.last() != name)) stops << name;
        x = x->nextInFocusChain();
    } while (x != w.Text1);
    return stops;
}
}  // namespace

class TestStepOne : public QObject {
    Q_OBJECT
private slots:
    void initialState();
    void browsePicksAFile();
    void browseCancelled();
    void typingEnablesTheTest();
    void testPlaysAndHandsOnThePath();
    void failedTestKeepsAnEarlierSuccess_data();
    void failedTestKeepsAnEarlierSuccess();
    void firstFailedTestLeavesNextDisabled();
    void testUsesThePathTheBoxShows();
    void browsingAfterASuccessKeepsIt();
    void nextShowsStepTwoAndStopsTheSong();
    void closeShowsThePlayer();
};

void TestStepOne::initialState() {
    StepOneRig r;
    EditForm1& w = *r.w;
    QCOMPARE(w.windowTitle(), QStringLiteral("与歌曲关联窗体"));
    QVERIFY(!w.windowIcon().isNull());
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(w.Label2->text(), QStringLiteral("您想将这份歌词和哪首歌曲相关联？"));
    QCOMPARE(w.Label3->text(), QStringLiteral("文件长度："));
    QVERIFY(w.Label1->text().startsWith(QStringLiteral("步骤一：请选择 一首歌 和 这份歌词 相关联。")));
    QVERIFY(w.Label4->font().bold());
    QVERIFY(!w.Label3->font().bold());
    QCOMPARE(w.Command1->text(), QStringLiteral("浏览文件···"));
    QCOMPARE(w.Command3->text(), QStringLiteral("测试文件的可靠性"));
    QCOMPARE(w.Command2->text(), QStringLiteral("下一步"));
    QVERIFY(w.Text1->text().isEmpty());
    QVERIFY(w.Command1->isEnabled());
    QVERIFY(!r.testEnabled());
    QVERIFY(!r.nextEnabled());
    QVERIFY(r.mp().autoStart());
    QVERIFY(r.mp().FileName().isEmpty());
    QCOMPARE(TabStops(w), (QStringList{"Text1", "Command1", "Command2", "MP", "Command3"}));
}

void TestStepOne::browsePicksAFile() {
    StepOneRig r;
    r.browse(kSongB);
    r.browse(kSongA);
    QCOMPARE(r.t.dialogs.shown.size(), size_t{2});
    const auto& second = r.t.dialogs.shown[1];
    QCOMPARE(second.kind, FileDialog::Kind::Open);
    QCOMPARE(second.filter, QStringLiteral("音乐文件(*.MP3;*.FLAC;*.OGG;*.OPUS;*.WAV)|*.MP3;*.FLAC;*.OGG;*."
                                           "OPUS;*.WAV|MP3 Files(*.MP3)|*.MP3"));
    QCOMPARE(second.flags, 1);
    QCOMPARE(second.fileNameBefore, QString());  // cleared before every showing
    QCOMPARE(second.initDir, QString());
    QCOMPARE(r.w->Text1->text(), kSongA);
    QVERIFY(r.testEnabled());
    QVERIFY(r.t.prompter.boxes.empty());
    QVERIFY(r.mp().calls.isEmpty());  // choosing is not testing
}

void TestStepOne::browseCancelled() {
    StepOneRig r;
    r.type(QStringLiteral("半截路径"));
    r.browse(QString());
    QCOMPARE(r.t.prompter.boxes.size(), size_t{1});
    QCOMPARE(r.t.prompter.boxes[0].text, QStringLiteral("请指定一个文件！"));
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(r.w->Text1->text().isEmpty());
    QVERIFY(r.testEnabled());  // kept, as typing left it

    StepOneRig fresh;
    fresh.browse(QString());
    QVERIFY(!fresh.testEnabled());  // kept, as it started
}

void TestStepOne::typingEnablesTheTest() {
    StepOneRig r;
    QTest::keyClicks(r.w->Text1, QStringLiteral("/"));
    QVERIFY(r.testEnabled());
    QTest::keyClick(r.w->Text1, Qt::Key_Backspace);
    QVERIFY(r.w->Text1->text().isEmpty());
    QVERIFY(r.testEnabled());  // an empty box does not disable it
    QVERIFY(!r.nextEnabled());
}

void TestStepOne::testPlaysAndHandsOnThePath() {
    StepOneRig r;
    r.browse(kSongA);
    r.test();
    QCOMPARE(r.mp().calls, (QStringList{"FileName " + kSongA, "Play"}));
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Playing));
    QVERIFY(r.nextEnabled());
    QCOMPARE(r.m.lyricSongPath, kSongA);
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestStepOne::failedTestKeepsAnEarlierSuccess_data() {
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("failPlay");
    QTest::newRow("file cannot be opened") << kSongB << false;
    QTest::newRow("play fails") << kSongC << true;
}

void TestStepOne::failedTestKeepsAnEarlierSuccess() {
    QFETCH(QString, second);
    QFETCH(bool, failPlay);
    StepOneRig r;
    r.browse(kSongA);
    r.test();
    r.browse(second);
    r.mp().failNextPlay = failPlay;
    r.test();
    QCOMPARE(r.t.prompter.texts(), QStringList{kCannotPlay});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(r.w->Text1->text().isEmpty());
    QVERIFY(!r.testEnabled());
    QVERIFY(r.nextEnabled());
    QCOMPARE(r.m.lyricSongPath, kSongA);
}

void TestStepOne::firstFailedTestLeavesNextDisabled() {
    StepOneRig r;
    r.browse(kSongB);
    r.test();
    QCOMPARE(r.t.prompter.texts(), QStringList{kCannotPlay});
    QVERIFY(!r.nextEnabled());
    QVERIFY(r.m.lyricSongPath.isEmpty());
}

void TestStepOne::testUsesThePathTheBoxShows() {
    {  // typed, nothing ever browsed
        StepOneRig r;
        r.type(kSongA);
        r.test();
        QCOMPARE(r.mp().FileName(), kSongA);
        QCOMPARE(r.m.lyricSongPath, kSongA);
    }
    {  // browsed, then edited by hand: the edited path is played and handed on
        StepOneRig r;
        r.browse(kSongA);
        r.type(kSongC);
        r.test();
        QCOMPARE(r.mp().calls.first(), "FileName " + kSongC);
        QCOMPARE(r.m.lyricSongPath, kSongC);
        r.type(kSongB);  // an edit naming no playable song is never handed on
        r.test();
        QCOMPARE(r.t.prompter.texts(), QStringList{kCannotPlay});
        QCOMPARE(r.m.lyricSongPath, kSongC);
    }
    {  // browse cancelled after a choice: the box is empty, so the test has nothing to play
        StepOneRig r;
        r.browse(kSongA);
        r.browse(QString());
        QVERIFY(r.testEnabled());
        r.test();
        QCOMPARE(r.t.prompter.texts(), (QStringList{"请指定一个文件！", kCannotPlay}));
        QVERIFY(r.mp().calls.isEmpty());
        QVERIFY(!r.nextEnabled());
        QVERIFY(!r.testEnabled());
    }
}

void TestStepOne::browsingAfterASuccessKeepsIt() {
    StepOneRig r;
    r.browse(kSongA);
    r.test();
    r.browse(kSongC);
    QCOMPARE(r.w->Text1->text(), kSongC);
    QVERIFY(r.nextEnabled());
    QCOMPARE(r.m.lyricSongPath, kSongA);
}

void TestStepOne::nextShowsStepTwoAndStopsTheSong() {
    StepOneRig r;
    r.w->Command2->click();  // disabled until a test succeeds
    QVERIFY(r.t.nav.calls.isEmpty());
    r.w->show();
    r.browse(kSongA);
    r.test();
    r.w->Command2->click();
    QCOMPARE(r.t.nav.calls, QStringList{"ShowStepTwo"});
    QCOMPARE(r.mp().calls.last(), QStringLiteral("Stop"));
    QCOMPARE(r.mp().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(r.w->isHidden());
    QCOMPARE(r.w->Text1->text(), kSongA);  // hidden, not closed
}

void TestStepOne::closeShowsThePlayer() {
    TestServices t;
    Main m(ScratchFolder());
    QPointer<EditForm1> w = new EditForm1(m, t.services);
    w->setAttribute(Qt::WA_DeleteOnClose);
    w->show();
    QVERIFY(w->close());
    QCOMPARE(t.nav.calls, QStringList{"ShowPlayer"});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(w.isNull());
}

int RunStepOneTests(int argc, char** argv) {
    TestStepOne t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestStepOne.moc"
