// Step three's window and its recording run, on the player double's virtual clock.

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QSlider>
#include <QTest>

#include "Fixture.h"
#include "Suites.h"
#include "app/MainPlay.h"
#include "app/Navigator.h"
#include "platform/Layout.h"
#include "wizard/EditForm1.h"
#include "wizard/EditForm2.h"
#include "wizard/WaveformStrip.h"

namespace qiva::test {

namespace {
const QString kBegin = QStringLiteral("（开始）");
const QString kPause = QStringLiteral("（长时间停顿 ）");
const QString kEnd = QStringLiteral("（结束）");
const QString kDone = QStringLiteral("ok|恭喜!|全部完成了!");
const QString kTooLong = QStringLiteral("ok|错误！|超过3276.7秒（54分36.7秒）的时间无法记录！");

// A row of the list: the end time in seconds with its tenth (every time here is 0 or later).
QString Row(const QString& text, int t) {
    return QStringLiteral("%1  结束时间: %2.%3 秒").arg(text).arg(t / 10).arg(t % 10);
}
}  // namespace

class TestRecording : public QObject {
    Q_OBJECT
private slots:
    void layoutAndTexts();
    void formLoadClearsTimesAndLoadsTheSong();
    void formLoadForEditingShowsAnEmptyList();
    void formLoadWithAMissingSong();
    void threeLineRun();
    void tenLineRun();
    void pressStoresTheTenthRoundedDown();
    void lastLineTakesTheSongLength_data();
    void lastLineTakesTheSongLength();
    void rerecordFromLineFive_data();
    void rerecordFromLineFive();
    void enabledStates_data();
    void enabledStates();
    void startWithoutASong();
    void pressOnTheLastLine();
    void documentWithoutLines();
    void documentWithOneLine();
    void positionBeyondTheLimitIsRefused();
    void songLengthBeyondTheLimitIsRefused();
    void spaceBarRecordsWhileTheButtonHasFocus();
    void closingShowsThePlayer();
    void anAbandonedEditEndsWithItsWindow();
};

void TestRecording::layoutAndTexts() {
    Step3 s(QStringList{kBegin, QStringLiteral("好日子   "), kEnd});
    s.open();
    EditForm3& f = *s.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("歌词编辑"));
    // The waveform strip below the designed controls adds its own height, and nothing else.
    QCOMPARE(f.size(), QSize(TwipsToPixels(7905), TwipsToPixels(8625 + kWaveformStripHeightTwips)));
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QVERIFY(!(f.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(f.windowFlags() & Qt::WindowMaximizeButtonHint));

    struct Expect {
        QWidget* w;
        QRect twips;
        QString text;
    };
    const QList<Expect> controls{
        {f.Label2,
         {240, 240, 7575, 615},
         QStringLiteral(
             "现在，请您进行最後的处理！先请您单击开始记录，然后在每句歌词结束的时候按下“单击这里记录”！")},
        {f.MP, {0, 960, 7935, 615}, {}},
        {f.Label1, {720, 1920, 4215, 615}, {}},
        {f.Label4,
         {0, 2040, 7575, 495},
         QStringLiteral("当歌词") + QString(50, u' ') + QStringLiteral("结束时请按下“单击这里记录”")},
        {f.Command4, {1440, 3120, 4455, 1095}, QStringLiteral("单击这里记录")},
        {f.Command2, {1560, 4440, 1455, 615}, QStringLiteral("开始记录")},
        {f.Command3, {4440, 4440, 1335, 615}, QStringLiteral("请停一下")},
        {f.List1, {240, 5280, 5175, 2370}, {}},
        {f.Label3,
         {5880, 5640, 1815, 1335},
         QStringLiteral("当列表可用的时候，单击右键，将会出现弹出菜单，可以进行编辑！是双击列表框对歌词进行，"
                        "单击对时间进行编辑。")},
        {f.Label5, {5760, 7320, 1935, 600}, QStringLiteral("如果是编辑歌词，请用原来的文件名保存文件！")},
        {f.Command5, {960, 7920, 1815, 495}, QStringLiteral("导入完成歌词")},
        {f.Command1, {6000, 7920, 1575, 495}, QStringLiteral("完成")},
    };
    for (const Expect& e : controls) {
        QCOMPARE(e.w->geometry(), TwipsRect(e.twips.x(), e.twips.y(), e.twips.width(), e.twips.height()));
        if (auto* label = qobject_cast<QLabel*>(e.w)) QCOMPARE(label->text(), e.text);
        if (auto* button = qobject_cast<QPushButton*>(e.w)) QCOMPARE(button->text(), e.text);
    }
    QCOMPARE(f.Label1->text(), QString());
    for (QLabel* bold : {f.Label1, f.Label2}) {
        QVERIFY(bold->font().bold());
        QCOMPARE(bold->font().pointSizeF(), 10.5);
        QCOMPARE(bold->font().families().constFirst(), QStringLiteral("宋体"));
    }
    QCOMPARE(f.Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(f.Label5->palette().color(QPalette::WindowText), QColor(Qt::red));
    // Label1 lies over Label4's blank gap, so it must be the upper of the two.
    const QObjectList& kids = f.children();
    QVERIFY(kids.indexOf(f.Label1) > kids.indexOf(f.Label4));

    QCOMPARE(f.List1->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(!f.MP->engine().autoStart());
    QCOMPARE(f.popit->title(), QString());
    QStringList captions;
    for (QAction* a : f.popit->actions()) captions << a->text();
    QCOMPARE(captions, (QStringList{QStringLiteral("全部歌词提前半秒"), QStringLiteral("全部歌词延后半秒"),
                                    QStringLiteral("选中歌词提前半秒"), QStringLiteral("选中歌词延后半秒")}));
    QCOMPARE((QList<QAction*>{f.allfast, f.allslow, f.selectfast, f.selectslow}), f.popit->actions());

    // The list scrolls sideways over at least 1000 pixels, so long rows can be read.
    f.show();
    QTRY_VERIFY(f.List1->horizontalScrollBar()->maximum() + f.List1->viewport()->width() >= 1000);
}

void TestRecording::formLoadClearsTimesAndLoadsTheSong() {
    Step3 s(QStringList{kBegin, QStringLiteral("好日子   "), kEnd});
    s.m.lyricLines[1].endTime = 85;
    s.m.lyricLines[3].endTime = 2401;
    s.open();
    QCOMPARE(s.times(), (QList<int>{0, 0, 0}));
    QCOMPARE(s.rows(), (QStringList{Row(kBegin, 0), Row(QStringLiteral("好日子"), 0), Row(kEnd, 0)}));
    QCOMPARE(s.text(2), QStringLiteral("好日子   "));  // only the row hides the blanks
    QCOMPARE(s.player().calls, QStringList{"FileName " + kSong});
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(int(s.form->recordLine), 1);
}

void TestRecording::formLoadForEditingShowsAnEmptyList() {
    Step3 s(QStringList{kBegin, kEnd});
    s.m.editMode = true;
    s.m.lyricLines[2].endTime = 50;
    s.open();
    QCOMPARE(s.form->List1->count(), 0);
    QCOMPARE(s.times(), (QList<int>{0, 0}));
    QVERIFY(s.m.editMode);
    // The rows come back with the first record press.
    s.recordAt({3.0});
    QCOMPARE(s.rows(), (QStringList{Row(kBegin, 30), Row(kEnd, 2400)}));
}

void TestRecording::formLoadWithAMissingSong() {
    Step3 s(QStringList{kBegin, kEnd});
    s.m.lyricSongPath = QStringLiteral("/nowhere/gone.mp3");
    s.open();  // must not throw
    QCOMPARE(s.form->MP->FileName(), QString());
    QCOMPARE(s.form->List1->count(), 2);
}

void TestRecording::threeLineRun() {
    Step3 s(QStringList{kBegin, kPause, kEnd}, 240.1);
    s.open();
    s.form->Command2_Click();
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(s.form->Label1->text(), kBegin);
    s.recordAt({8.5});
    QCOMPARE(s.t(1), 85);
    QCOMPARE(s.form->Label1->text(), kPause);
    QCOMPARE(s.boxes(), QStringList{});
    s.recordAt({31.25});
    QCOMPARE(s.boxes(), QStringList{kDone});
    QCOMPARE(s.times(), (QList<int>{85, 312, 2401}));
    QCOMPARE(s.rows(), (QStringList{Row(kBegin, 85), Row(kPause, 312), Row(kEnd, 2401)}));
    QCOMPARE(int(s.form->recordLine), 3);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(s.player().calls.mid(s.player().calls.size() - 2), (QStringList{"Seek 240.1", "Stop"}));
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
}

void TestRecording::tenLineRun() {
    Step3 s(Lines(10), 200.0);
    s.open();
    s.recordAt({5, 12.5, 20, 33.25, 41, 50, 66.5, 80, 99.75});
    QCOMPARE(s.times(), (QList<int>{50, 125, 200, 332, 410, 500, 665, 800, 997, 2000}));
    QCOMPARE(s.boxes(), QStringList{kDone});
    QCOMPARE(s.rows().at(3), Row(QStringLiteral("第4句"), 332));
    QCOMPARE(s.rows().size(), 10);
    // Every line shown in turn, the last one never needed a press.
    QCOMPARE(s.form->Label1->text(), QStringLiteral("第9句"));
}

void TestRecording::pressStoresTheTenthRoundedDown() {
    Step3 s(Lines(3));
    s.open();
    s.recordAt({12.37});
    QCOMPARE(s.t(1), 123);
}

void TestRecording::lastLineTakesTheSongLength_data() {
    QTest::addColumn<double>("length");
    QTest::addColumn<int>("last");
    QTest::newRow("245.25 s") << 245.25 << 2452;
    QTest::newRow("245.75 s") << 245.75 << 2458;
}

void TestRecording::lastLineTakesTheSongLength() {
    QFETCH(double, length);
    QFETCH(int, last);
    Step3 s(Lines(2), length);
    s.open();
    s.recordAt({10});
    QCOMPARE(s.times(), (QList<int>{100, last}));
}

void TestRecording::rerecordFromLineFive_data() {
    QTest::addColumn<double>("pressAt");
    QTest::addColumn<int>("line5");
    QTest::addColumn<int>("line6");
    QTest::newRow("press after line 6's old end clears it") << 95.0 << 950 << 0;
    QTest::newRow("press before line 6's old end keeps it") << 85.0 << 850 << 900;
    QTest::newRow("press at line 6's old end clears it") << 90.0 << 900 << 0;
}

void TestRecording::rerecordFromLineFive() {
    QFETCH(double, pressAt);
    QFETCH(int, line5);
    QFETCH(int, line6);
    Step3 s(Lines(10), 300.0);
    s.open();
    s.form->Command2_Click();
    s.form->Command3_Click();
    s.setTimes({100, 300, 500, 805, 870, 900, 1000, 1100, 1200, 3000});
    s.form->List1->setCurrentRow(4);
    s.form->List1_Click();
    QCOMPARE(int(s.form->recordLine), 5);
    QCOMPARE(s.player().CurrentPosition(), 80.0);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Paused));
    s.form->Command2_Click();
    QCOMPARE(s.form->Label1->text(), QStringLiteral("第5句"));
    s.recordAt({pressAt});
    QCOMPARE(s.t(5), line5);
    QCOMPARE(s.t(6), line6);
    QCOMPARE(s.t(4), 805);
    QCOMPARE(s.t(7), 1000);
    QCOMPARE(int(s.form->recordLine), 6);
    QCOMPARE(s.form->Label1->text(), QStringLiteral("第6句"));
}

namespace {
enum Scenario {
    Opened,
    Started,
    Paused,
    PressNotLast,
    PressLast,
    RowClickedRecorded,
    RowClickedUnrecorded,
    Import
};
}

void TestRecording::enabledStates_data() {
    // Columns: Command2 开始记录, Command3 请停一下, Command4 单击这里记录, Command1 完成, List1; "-"
    // unchanged.
    QTest::addColumn<int>("scenario");
    QTest::addColumn<QString>("expected");
    QTest::newRow("window opened") << int(Opened) << "on off off off off";
    QTest::newRow("开始记录 (after a pause and a row click)") << int(Started) << "off on on - off";
    QTest::newRow("请停一下") << int(Paused) << "- off off on on";
    QTest::newRow("单击这里记录, not the last line") << int(PressNotLast) << "- - - - -";
    QTest::newRow("单击这里记录, last line reached") << int(PressLast) << "off off off on on";
    QTest::newRow("row clicked, line before it recorded") << int(RowClickedRecorded) << "on - - - -";
    QTest::newRow("row clicked, line before it not recorded") << int(RowClickedUnrecorded) << "- - - - -";
    QTest::newRow("导入完成歌词 while recording, cancelled") << int(Import) << "- off off on on";
}

void TestRecording::enabledStates() {
    QFETCH(int, scenario);
    QFETCH(QString, expected);
    Step3 s(Lines(4));
    QStringList before{"?", "?", "?", "?", "?"};
    if (scenario != Opened) s.open();
    EditForm3* f = s.form.get();
    switch (scenario) {
        case Opened:
            s.open();
            break;
        case Started:
            s.recordAt({5});
            f->Command3_Click();
            f->List1->setCurrentRow(1);
            f->List1_Click();
            before = s.enabledState();
            f->Command2_Click();
            break;
        case Paused:
            f->Command2_Click();
            before = s.enabledState();
            f->Command3_Click();
            break;
        case PressNotLast:
            f->Command2_Click();
            before = s.enabledState();
            s.recordAt({5});
            break;
        case PressLast:
            s.recordAt({5, 6});
            before = s.enabledState();
            s.recordAt({7});
            break;
        case RowClickedRecorded:
        case RowClickedUnrecorded:
            s.recordAt({5});
            f->Command3_Click();
            f->List1->setCurrentRow(scenario == RowClickedRecorded ? 1 : 2);
            before = s.enabledState();
            f->List1_Click();
            break;
        case Import:
            f->Command2_Click();
            before = s.enabledState();
            f->Command5_Click();
            break;
    }
    const QStringList want = expected.split(u' ');
    QStringList resolved;
    for (int i = 0; i < want.size(); ++i) resolved << (want[i] == "-" ? before[i] : want[i]);
    QCOMPARE(s.enabledState(), resolved);
    QVERIFY(s.form->Command5->isEnabled());
}

void TestRecording::startWithoutASong() {
    Step3 s(Lines(3));
    s.m.lyricSongPath = QStringLiteral("/nowhere/gone.mp3");
    s.open();
    s.form->Command2_Click();
    QCOMPARE(s.boxes(), QStringList{"ok|错误！|还没有指定音乐文件！"});
    QCOMPARE(s.enabledState(), (QStringList{"on", "off", "off", "off", "off"}));
    QCOMPARE(s.form->Label1->text(), QString());

    // A song that opens but will not play is stopped.
    Step3 t(Lines(3));
    t.open();
    t.player().failNextPlay = true;
    t.form->Command2_Click();
    QCOMPARE(t.player().calls, (QStringList{"FileName " + kSong, "Play", "Stop"}));
    QCOMPARE(t.boxes(), QStringList{"ok|错误！|还没有指定音乐文件！"});
}

void TestRecording::pressOnTheLastLine() {
    // Choosing the last row and pressing finishes the run instead of moving past the table.
    Step3 s(Lines(4), 100.0);
    s.open();
    s.recordAt({10, 20});
    s.form->Command3_Click();
    s.setTimes({100, 200, 300});
    s.form->List1->setCurrentRow(3);
    s.form->List1_Click();
    QCOMPARE(int(s.form->recordLine), 4);
    s.form->Command2_Click();
    QCOMPARE(s.form->Label1->text(), QStringLiteral("第4句"));
    s.recordAt({50});
    QCOMPARE(int(s.form->recordLine), 4);
    QCOMPARE(s.times(), (QList<int>{100, 200, 300, 1000}));
    QCOMPARE(s.boxes(), QStringList{kDone});
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    // A further press (only reachable by calling the handler) stays on the last line.
    s.form->Command4_Click();
    QCOMPARE(int(s.form->recordLine), 4);
}

void TestRecording::documentWithoutLines() {
    Step3 s(QStringList{});
    s.open();
    QCOMPARE(s.form->List1->count(), 0);
    s.form->Command2_Click();
    QCOMPARE(s.boxes(), QStringList{"ok|错误！|还没有可以记录的歌词！"});
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(s.enabledState(), (QStringList{"on", "off", "off", "off", "off"}));
    s.form->Command4_Click();  // nothing to store into
    QCOMPARE(s.m.lyricLines.size(), size_t{1});
    QCOMPARE(int(s.form->recordLine), 1);
}

void TestRecording::documentWithOneLine() {
    // The one line is the last line: it needs no press, and the first press ends it with the song.
    Step3 s(QStringList{kEnd}, 61.25);
    s.open();
    s.form->Command2_Click();
    QCOMPARE(s.form->Label1->text(), kEnd);
    s.recordAt({3});
    QCOMPARE(s.times(), QList<int>{612});
    QCOMPARE(int(s.form->recordLine), 1);
    QCOMPARE(s.boxes(), QStringList{kDone});
    QCOMPARE(s.enabledState(), (QStringList{"off", "off", "off", "on", "on"}));
}

void TestRecording::positionBeyondTheLimitIsRefused() {
    Step3 s(Lines(4), 4000.0);
    s.open();
    s.recordAt({3276.75});
    QCOMPARE(s.t(1), 32767);
    s.recordAt({3276.9});
    QCOMPARE(s.boxes(), QStringList{kTooLong});
    QCOMPARE(s.times(), (QList<int>{32767, 0, 0, 0}));
    QCOMPARE(int(s.form->recordLine), 2);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(s.enabledState(), (QStringList{"off", "on", "on", "off", "off"}));
}

void TestRecording::songLengthBeyondTheLimitIsRefused() {
    Step3 s(Lines(3), 3300.0);
    s.open();
    s.recordAt({10, 20});
    QCOMPARE(s.boxes(), QStringList{kTooLong});
    QCOMPARE(s.times(), (QList<int>{100, 0, 0}));
    QCOMPARE(int(s.form->recordLine), 2);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Playing));
}

void TestRecording::spaceBarRecordsWhileTheButtonHasFocus() {
    Step3 s(Lines(4), 100.0);
    s.open();
    EditForm3& f = *s.form;
    f.show();
    QVERIFY(QTest::qWaitForWindowActive(&f));
    QTest::mouseClick(f.Command2, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), f.Command4);

    s.player().advance(8.5);
    QTest::keyClick(f.windowHandle(), Qt::Key_Space);
    QCOMPARE(s.t(1), 85);
    QCOMPARE(QApplication::focusWidget(), f.Command4);

    // A click on the player's position bar does not take the focus away.
    QSlider* bar = f.MP->findChild<QSlider*>();
    QVERIFY(bar);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(2, bar->height() / 2));
    QCoreApplication::processEvents();  // the bar seeks once the click has been handled
    QCOMPARE(QApplication::focusWidget(), f.Command4);

    // Holding the space bar down records once: the repeats of a held key do not press again.
    s.player().advance(2.0);
    const double held = s.player().CurrentPosition();
    QTest::keyPress(f.windowHandle(), Qt::Key_Space);
    for (int i = 0; i < 3; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(f.Command4, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), true);
        QApplication::sendEvent(f.Command4, &release);
    }
    QTest::keyRelease(f.windowHandle(), Qt::Key_Space);
    QCOMPARE(s.t(2), static_cast<int>(held * 10));
    QCOMPARE(int(f.recordLine), 3);
}

void TestRecording::closingShowsThePlayer() {
    Step3 s(Lines(3));
    s.open();
    s.form->show();
    s.form->Command2_Click();
    s.form->close();
    QCOMPARE(s.ts.nav.calls, QStringList{"ShowPlayer"});
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(!s.form->isVisible());
}

void TestRecording::anAbandonedEditEndsWithItsWindow() {
    QTemporaryDir dir;
    Main m(dir.path());
    TestServices ts;
    ts.players.songs = {{kSong, 240}};
    Navigator nav(m, ts.players, ts.dialogs, ts.prompter);
    nav.ShowPlayer();
    nav.player()->Command4->click();  // 编辑歌词
    QPointer<EditForm3> edit = nav.stepThree();
    QVERIFY(edit && m.editMode);
    QVERIFY(edit->close());  // the close box, no "完成"
    QVERIFY(!m.editMode);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(edit.isNull());
    QVERIFY(nav.player() && nav.player()->isVisible());

    // The next "新建歌词" is a new run: step three lists the lines of step two's text.
    nav.player()->Command1->click();
    EditForm1* one = nav.stepOne();
    one->Text1->setText(kSong);
    one->Command3->click();
    one->Command2->click();
    EditForm2* two = nav.stepTwo();
    two->setText1(QStringLiteral("B今天P好日子E"));
    two->Command1->click();
    EditForm3* three = nav.stepThree();
    QVERIFY(three);
    QStringList rows;
    for (int i = 0; i < three->List1->count(); ++i) rows << three->List1->item(i)->text();
    QCOMPARE(rows, (QStringList{Row(kBegin, 0), Row(QStringLiteral("今天"), 0),
                                Row(QStringLiteral("好日子"), 0), Row(kEnd, 0)}));
    QVERIFY(ts.prompter.boxes.empty());
}

int RunTestRecording(int argc, char** argv) {
    TestRecording t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestRecording.moc"
