// The platform layer's own behaviour: play-state bookkeeping and event order of the player base class, the
// control widget over it, the filter conversion of the file dialog, twips and fonts.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>

#include "app/Startup.h"
#include "platform/Layout.h"
#include "platform/MarkerImage.h"
#include "platform/MediaPlayerControl.h"
#include "platform/PulseLibrary.h"
#include "platform/RealServices.h"
#include "platform/doubles/Doubles.h"

using namespace qiva;
using namespace qiva::test;

namespace {
QList<QPair<int, int>> Events(const QSignalSpy& spy) {
    QList<QPair<int, int>> out;
    for (const auto& args : spy) out << qMakePair(args.at(0).toInt(), args.at(1).toInt());
    return out;
}
using Ev = QList<QPair<int, int>>;
}  // namespace

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void playStateEventsArriveAfterTheCallingHandlerInOrder();
    void autoStartPlaysWhenGivenAFile();
    void failedOpenLeavesThePlayerEmptyAndStopped();
    void endOfSongStopsWithAnEvent();
    void seekIsClampedToTheSong();
    void pauseAndStopOutsidePlayingChangeNothing();
    void controlButtonsDriveTheEngine();
    void positionBarFollowsTheSongAndSeeks();
    void timeFollowsTheHostClockWithoutWakingOnItsOwn();
    void aTickAsksTheEngineForThePositionOnce();
    void timeLabelHoldsLongSongsWithoutRelayout();
    void markerRepaintsItsOldAndNewPlaces();
    void markerLetsClicksAndSiblingsThrough();
    void markerStepsKeepUpWithWhatChangesBeneath();
    void markerNeverPaintsOverWidgetsAboveIt();
    void clearPartsOfTheMarkerShowWhatLiesBeneath();
    void aStepDrawsThePixelsQtWould();
    void filtersMatchAnyLetterCase();
    void twipsFollowTheLogicalDpi();
    void songFontResolvesToAChineseFont();
    void fixedWindowsHaveNoMinimiseOrMaximise();
    void standardButtonsSpeakChinese();
    void programNameComesFromTheDesktopEntry();
    void realSaveAsAddsTheFiltersExtension();
    void realOpenListsEveryLetterCase();
    void saveAsExtensionRule_data();
    void saveAsExtensionRule();
    void soundServerLibraryLoadsOnlyWhole();
};

void PlatformTest::playStateEventsArriveAfterTheCallingHandlerInOrder() {
    FakePlayerFactory f;
    f.anyPathDuration = 100;
    auto p = f.create(false);
    QSignalSpy spy(p.get(), &MediaPlayer::PlayStateChange);
    p->setFileName(QStringLiteral("/a.mp3"));
    p->Play();
    // A new file while playing: the player stops, then plays again (a row click during playback).
    p->Stop();
    p->Play();
    QCOMPARE(spy.count(), 0);  // nothing is delivered inside the handler that caused it
    QCOMPARE(p->PlayState(), int(MediaPlayer::Playing));
    QCoreApplication::processEvents();
    QCOMPARE(Events(spy), (Ev{{0, 2}, {2, 0}, {0, 2}}));
}

void PlatformTest::autoStartPlaysWhenGivenAFile() {
    FakePlayerFactory f;
    f.songs.insert(QStringLiteral("/s.mp3"), 30);
    auto autoPlayer = f.create(true);
    auto manual = f.create(false);
    autoPlayer->setFileName(QStringLiteral("/s.mp3"));
    manual->setFileName(QStringLiteral("/s.mp3"));
    QCOMPARE(autoPlayer->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(manual->PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(manual->Duration(), 30.0);
    // A new file while playing stops the old one first.
    QCoreApplication::processEvents();
    QSignalSpy spy(autoPlayer.get(), &MediaPlayer::PlayStateChange);
    autoPlayer->setFileName(QStringLiteral("/s.mp3"));
    QCoreApplication::processEvents();
    QCOMPARE(Events(spy), (Ev{{2, 0}, {0, 2}}));
}

void PlatformTest::failedOpenLeavesThePlayerEmptyAndStopped() {
    FakePlayerFactory f;
    f.songs.insert(QStringLiteral("/good.mp3"), 10);
    auto p = f.create(true);
    p->setFileName(QStringLiteral("/good.mp3"));
    QVERIFY_THROWS_EXCEPTION(PlayerError, p->setFileName(QStringLiteral("/bad.mp3")));
    QCOMPARE(p->PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(p->FileName(), QString());
    QCOMPARE(p->Duration(), 0.0);
    QVERIFY_THROWS_EXCEPTION(PlayerError, p->Play());
}

void PlatformTest::endOfSongStopsWithAnEvent() {
    FakePlayerFactory f;
    f.anyPathDuration = 2;
    auto raw = f.create(false);
    auto* p = static_cast<FakeMediaPlayer*>(raw.get());
    p->setFileName(QStringLiteral("/x.mp3"));
    p->Play();
    QCoreApplication::processEvents();
    QSignalSpy spy(p, &MediaPlayer::PlayStateChange);
    p->advance(1.5);
    QCOMPARE(p->CurrentPosition(), 1.5);
    p->advance(1.0);
    QCOMPARE(p->PlayState(), int(MediaPlayer::Stopped));
    QCoreApplication::processEvents();
    QCOMPARE(Events(spy), (Ev{{2, 0}}));
}

void PlatformTest::seekIsClampedToTheSong() {
    FakePlayerFactory f;
    f.anyPathDuration = 10;
    auto p = f.create(false);
    p->setCurrentPosition(5);  // no file: ignored
    QCOMPARE(p->CurrentPosition(), 0.0);
    p->setFileName(QStringLiteral("/x.mp3"));
    p->setCurrentPosition(25);
    QCOMPARE(p->CurrentPosition(), 10.0);
    p->setCurrentPosition(-3);
    QCOMPARE(p->CurrentPosition(), 0.0);
}

void PlatformTest::pauseAndStopOutsidePlayingChangeNothing() {
    FakePlayerFactory f;
    f.anyPathDuration = 10;
    auto p = f.create(false);
    QSignalSpy spy(p.get(), &MediaPlayer::PlayStateChange);
    p->Pause();
    p->Stop();
    p->setFileName(QStringLiteral("/x.mp3"));
    p->Pause();
    p->Play();
    p->Pause();
    p->Pause();
    p->Play();
    QCoreApplication::processEvents();
    QCOMPARE(Events(spy), (Ev{{0, 2}, {2, 1}, {1, 2}}));
}

void PlatformTest::controlButtonsDriveTheEngine() {
    FakePlayerFactory f;
    f.anyPathDuration = 60;
    MediaPlayerControl control(f.create(false));
    control.resize(300, 40);
    const auto buttons = control.findChildren<QToolButton*>();
    QCOMPARE(buttons.size(), 3);
    QToolButton* play = buttons[0];
    QToolButton* pause = buttons[1];
    QToolButton* stop = buttons[2];
    play->click();  // no file: nothing happens, no exception escapes
    QCOMPARE(control.PlayState(), int(MediaPlayer::Stopped));
    QSignalSpy spy(&control, &MediaPlayerControl::PlayStateChange);
    control.setFileName(QStringLiteral("/x.mp3"));
    QCoreApplication::processEvents();
    QVERIFY(play->isEnabled());
    play->click();
    QCOMPARE(control.PlayState(), int(MediaPlayer::Playing));
    QCoreApplication::processEvents();
    QVERIFY(pause->isEnabled());
    pause->click();
    QCOMPARE(control.PlayState(), int(MediaPlayer::Paused));
    QCoreApplication::processEvents();
    stop->click();
    QCoreApplication::processEvents();
    QCOMPARE(Events(spy), (Ev{{0, 2}, {2, 1}, {1, 0}}));
}

void PlatformTest::positionBarFollowsTheSongAndSeeks() {
    FakePlayerFactory f;
    f.anyPathDuration = 60;
    MediaPlayerControl control(f.create(false));
    auto* fake = f.last();
    QSlider* bar = control.findChildren<QSlider*>().constFirst();
    QTimer* refresh = control.findChild<QTimer*>();
    control.setFileName(QStringLiteral("/x.mp3"));
    QCOMPARE(bar->maximum(), 60000);
    control.Play();
    QCoreApplication::processEvents();
    QVERIFY(refresh->isActive());  // the bar follows a playing song
    fake->advance(12.5);
    QTRY_COMPARE_WITH_TIMEOUT(bar->value(), 12500, 2500);
    // The time shows whole seconds; the next refresh comes just after the song's next second begins.
    control.setCurrentPosition(20.25);
    QCOMPARE(bar->value(), 20250);
    QVERIFY(refresh->isActive());
    QCOMPARE(refresh->interval(), 755);
    control.setCurrentPosition(21);
    QCOMPARE(refresh->interval(), 1005);
    control.Pause();
    QCoreApplication::processEvents();
    QVERIFY(!refresh->isActive());   // nothing to follow while paused
    control.setCurrentPosition(30);  // a seek while paused shows at once
    QCOMPARE(bar->value(), 30000);
    control.Stop();
    QCoreApplication::processEvents();
    QCOMPARE(bar->value(), 0);
}

namespace {
QLabel* TimeLabel(const MediaPlayerControl& control) { return control.findChild<QLabel*>(); }
void Tick(QTimer& clock) { QMetaObject::invokeMethod(&clock, "timeout", Qt::DirectConnection); }
}  // namespace

void PlatformTest::timeFollowsTheHostClockWithoutWakingOnItsOwn() {
    FakePlayerFactory f;
    f.anyPathDuration = 60;
    MediaPlayerControl control(f.create(false));
    QTimer clock;  // never started: the test ticks it
    control.FollowClock(&clock);
    auto* fake = f.last();
    QTimer* own = control.findChild<QTimer*>();
    control.setFileName(QStringLiteral("/x.mp3"));
    control.Play();
    QCoreApplication::processEvents();
    // The control's own timer is only a fallback, due well after the clock's next tick.
    QVERIFY(own->isActive());
    QCOMPARE(own->interval(), 1250);
    fake->advance(0.5);
    Tick(clock);
    QCOMPARE(TimeLabel(control)->text(), QStringLiteral("00:00 / 01:00"));
    QCOMPARE(own->interval(), 1250);  // nothing changed on display: nothing done
    fake->advance(1.0);
    Tick(clock);
    QCOMPARE(TimeLabel(control)->text(), QStringLiteral("00:01 / 01:00"));
    QCOMPARE(own->interval(), 750);
    // Ticks while paused leave the display alone; so does a clock that stopped, bar the fallback.
    control.Pause();
    QCoreApplication::processEvents();
    fake->advance(3);
    Tick(clock);
    QCOMPARE(TimeLabel(control)->text(), QStringLiteral("00:01 / 01:00"));
    QVERIFY(!own->isActive());
}

void PlatformTest::aTickAsksTheEngineForThePositionOnce() {
    FakePlayerFactory f;
    f.anyPathDuration = 60;
    MediaPlayerControl control(f.create(false));
    QTimer clock;
    control.FollowClock(&clock);
    QList<double> seen;
    QObject::connect(&clock, &QTimer::timeout, &control, [&] { seen << control.CurrentPosition(); });
    auto* fake = f.last();
    control.setFileName(QStringLiteral("/x.mp3"));
    control.Play();
    fake->advance(1.5);
    int reads = fake->positionReads;
    Tick(clock);
    QCOMPARE(seen, QList<double>{1.5});
    QCOMPARE(fake->positionReads, reads + 1);
    // The tick's reading is handed out once: the next question asks the engine again.
    fake->advance(0.25);
    QCOMPARE(control.CurrentPosition(), 1.75);
    // A seek right after a tick is seen at once.
    Tick(clock);
    control.setCurrentPosition(30);
    QCOMPARE(control.CurrentPosition(), 30.0);
    // So is a pause, and a reading left over from a tick does not outlive it.
    Tick(clock);
    control.Pause();
    fake->advance(1);
    QCOMPARE(control.CurrentPosition(), 30.0);
    control.Play();
    Tick(clock);
    fake->advance(1);
    QTest::qWait(30);
    QCOMPARE(control.CurrentPosition(), 31.0);
    // Paused, a tick asks nothing of its own.
    control.Pause();
    reads = fake->positionReads;
    Tick(clock);
    QCOMPARE(fake->positionReads, reads + 1);  // the host's own question only
}

void PlatformTest::timeLabelHoldsLongSongsWithoutRelayout() {
    FakePlayerFactory f;
    f.anyPathDuration = 999 * 60 + 59;
    MediaPlayerControl control(f.create(false));
    control.resize(TwipsRect(0, 0, 3375, 615).size());
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QLabel* time = TimeLabel(control);
    const QSize before = time->size();
    control.setFileName(QStringLiteral("/x.mp3"));
    control.setCurrentPosition(f.anyPathDuration - 1);
    QCOMPARE(time->text(), QStringLiteral("999:58 / 999:59"));
    QCoreApplication::processEvents();  // a label that could grow would be laid out again here
    QCOMPARE(time->size(), before);
    QVERIFY(time->fontMetrics().horizontalAdvance(time->text()) <= time->contentsRect().width());
    QVERIFY(time->geometry().right() < control.findChildren<QSlider*>().constLast()->geometry().left());
}

namespace {
// What the window shows: the window system's copy of its pixels, which a repaint that missed a place leaves
// stale (a fresh rendering of the widgets would hide that).
QImage Shot(QWidget& w) {
    QCoreApplication::processEvents();
    return w.screen()->grabWindow(w.winId()).toImage();
}
QPixmap Solid(int size, Qt::GlobalColor colour) {
    QPixmap p(size, size);
    p.fill(colour);
    return p;
}
QWidget* Panel(QWidget* parent, const QRect& place, const QColor& colour) {
    auto* w = new QWidget(parent);
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
    w->setGeometry(place);
    return w;
}
class Painted : public QWidget {
public:
    Painted(QWidget* parent, QColor colour) : QWidget(parent), colour_(colour) {}

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), colour_); }

private:
    QColor colour_;
};
}  // namespace

void PlatformTest::markerRepaintsItsOldAndNewPlaces() {
    QWidget window;
    window.setFixedSize(300, 80);
    Panel(&window, window.rect(), Qt::white);
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    marker->setPixmap(Solid(32, Qt::red));
    QCOMPARE(marker->pixmap().size(), QSize(30, 30));
    QCOMPARE(marker->pictureGeometry(), QRect(10, 20, 30, 30));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(Shot(window).pixelColor(25, 35), QColor(Qt::red));
    marker->moveTo(15);  // an ordinary step: the places overlap
    QCOMPARE(marker->pictureGeometry(), QRect(15, 20, 30, 30));
    QCOMPARE(marker->directSteps(), 1);  // drawn straight into the backing store
    QImage shot = Shot(window);
    QCOMPARE(shot.pixelColor(12, 35), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(16, 35), QColor(Qt::red));
    marker->moveTo(250);  // a new line: back to the start, or far along after a seek
    shot = Shot(window);
    QCOMPARE(shot.pixelColor(25, 35), QColor(Qt::white));
    QCOMPARE(shot.pixelColor(260, 35), QColor(Qt::red));
    // The row reaches the window's right edge, and a picture past it is simply cut off there.
    marker->moveTo(290);
    QCOMPARE(Shot(window).pixelColor(295, 35), QColor(Qt::red));
    marker->setPixmap(QPixmap());
    QCOMPARE(Shot(window).pixelColor(295, 35), QColor(Qt::white));
}

void PlatformTest::markerLetsClicksAndSiblingsThrough() {
    QWidget window;
    window.setFixedSize(300, 80);
    Panel(&window, QRect(200, 10, 60, 60), Qt::blue);
    auto* button = new QPushButton(QStringLiteral("下"), &window);
    button->setGeometry(100, 10, 60, 60);
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    marker->setPixmap(Solid(30, Qt::red));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The row lies over the button, yet the button takes the click.
    QCOMPARE(window.childAt(130, 40), button);
    QSignalSpy clicked(button, &QPushButton::clicked);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, QPoint(130, 40));
    QCOMPARE(clicked.count(), 1);
    // What lies under the row shows through it, and the picture passes over it and leaves it whole.
    QCOMPARE(Shot(window).pixelColor(205, 30), QColor(Qt::blue));
    marker->moveTo(210);
    QCOMPARE(Shot(window).pixelColor(215, 35), QColor(Qt::red));
    marker->moveTo(20);
    QCOMPARE(Shot(window).pixelColor(215, 35), QColor(Qt::blue));
}

void PlatformTest::markerStepsKeepUpWithWhatChangesBeneath() {
    QWidget window;
    window.setFixedSize(300, 80);
    QWidget* beneath = Panel(&window, window.rect(), Qt::white);
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    marker->setPixmap(Solid(30, Qt::red));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Shot(window);
    // What lies beneath changes while the picture sits on it: the old place shows the new colour.
    QPalette green = beneath->palette();
    green.setColor(QPalette::Window, Qt::green);
    beneath->setPalette(green);
    QCOMPARE(Shot(window).pixelColor(12, 35), QColor(Qt::red));
    marker->moveTo(20);
    QCOMPARE(Shot(window).pixelColor(12, 35), QColor(Qt::green));
    // A change not yet painted when the step comes is painted in the same turn of the event loop.
    green.setColor(QPalette::Window, Qt::blue);
    beneath->setPalette(green);
    marker->moveTo(25);
    QCOMPARE(Shot(window).pixelColor(22, 35), QColor(Qt::blue));
    // A grab paints the row elsewhere and leaves its copy of the window alone.
    const QImage grabbed = window.grab().toImage();
    QCOMPARE(grabbed.pixelColor(30, 35), QColor(Qt::red));
    const int direct = marker->directSteps();
    marker->moveTo(200);  // apart: both places in one step
    QCOMPARE(marker->directSteps(), direct + 1);
    const QImage shot = Shot(window);
    QCOMPARE(shot.pixelColor(30, 35), QColor(Qt::blue));
    QCOMPARE(shot.pixelColor(210, 35), QColor(Qt::red));
    // Hidden and shown again, the row starts from what Qt paints anew.
    marker->hide();
    QCOMPARE(Shot(window).pixelColor(210, 35), QColor(Qt::blue));
    marker->moveTo(100);
    marker->show();
    QTRY_COMPARE(Shot(window).pixelColor(110, 35), QColor(Qt::red));  // a shown widget is painted later
    marker->moveTo(104);
    QCOMPARE(Shot(window).pixelColor(102, 35), QColor(Qt::blue));
}

void PlatformTest::markerNeverPaintsOverWidgetsAboveIt() {
    QWidget window;
    window.setFixedSize(300, 80);
    Panel(&window, window.rect(), Qt::white);
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    marker->setPixmap(Solid(30, Qt::red));
    // Stacked above the row, and drawn like a label: Qt does not count it as opaque.
    auto* above = new Painted(&window, Qt::yellow);
    above->setGeometry(100, 0, 40, 80);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Shot(window);
    const int direct = marker->directSteps();
    marker->moveTo(90);  // under the widget above: Qt paints this step, and the widget stays on top
    QCOMPARE(marker->directSteps(), direct);
    QImage shot = Shot(window);
    QCOMPARE(shot.pixelColor(95, 35), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(110, 35), QColor(Qt::yellow));
    marker->moveTo(60);  // leaving it: the old place is still under the widget
    QCOMPARE(marker->directSteps(), direct);
    marker->moveTo(50);  // clear of it
    QCOMPARE(marker->directSteps(), direct + 1);
    // Raised above the panel that covered it, the row steps directly across that place too.
    above->stackUnder(marker);
    Shot(window);
    marker->moveTo(95);
    QCOMPARE(marker->directSteps(), direct + 2);
    shot = Shot(window);
    QCOMPARE(shot.pixelColor(110, 35), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(130, 35), QColor(Qt::yellow));
}

void PlatformTest::clearPartsOfTheMarkerShowWhatLiesBeneath() {
    QWidget window;
    window.setFixedSize(300, 80);
    Panel(&window, window.rect(), Qt::white);
    Panel(&window, QRect(40, 0, 40, 80), Qt::blue);
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    // A red square with a clear margin of five pixels all round, like an arrow in its box.
    QPixmap picture(30, 30);
    picture.fill(Qt::transparent);
    QPainter(&picture).fillRect(5, 5, 20, 20, Qt::red);
    marker->setPixmap(picture);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QImage shot = Shot(window);
    QCOMPARE(shot.pixelColor(12, 22), QColor(Qt::white));  // the margin
    QCOMPARE(shot.pixelColor(20, 30), QColor(Qt::red));
    for (int left = 14; left <= 50; left += 6) marker->moveTo(left);  // onto the blue panel and across it
    QVERIFY(marker->directSteps() > 0);
    shot = Shot(window);
    QCOMPARE(shot.pixelColor(52, 22), QColor(Qt::blue));  // the margin over the panel
    QCOMPARE(shot.pixelColor(60, 30), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(76, 30), QColor(Qt::blue));
    // Every place the square passed shows what lies beneath again.
    for (int x = 10; x < 55; ++x) {
        const QColor beneath = x >= 40 ? QColor(Qt::blue) : QColor(Qt::white);
        QCOMPARE(shot.pixelColor(x, 30), beneath);
        QCOMPARE(shot.pixelColor(x, 44), beneath);
    }
}

void PlatformTest::aStepDrawsThePixelsQtWould() {
    QWidget window;
    window.setFixedSize(300, 80);
    Panel(&window, window.rect(), QColor(201, 77, 33));
    auto* marker = new MarkerImage(&window, QRect(10, 20, 30, 30));
    // Every degree of see-through, in several colours, as the smoothed edges of a scaled picture have.
    QImage picture(30, 30, QImage::Format_ARGB32);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            picture.setPixel(x, y, qRgba(8 * x, 255 - 8 * y, 120, (x * 30 + y) % 256));
    marker->setPixmap(QPixmap::fromImage(picture));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    Shot(window);
    QTest::qWait(50);  // whatever Qt still had to paint after showing the window
    marker->moveTo(100);
    QCOMPARE(marker->directSteps(), 1);
    // Read before the event loop turns again, so that nothing Qt paints can cover the step.
    const QImage stepped = window.screen()->grabWindow(window.winId()).toImage().copy(100, 20, 30, 30);
    // Qt's own rendering of the window, marker and all.
    const QImage painted = window.grab().toImage().copy(100, 20, 30, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            QVERIFY2(stepped.pixel(x, y) == painted.pixel(x, y),
                     qPrintable(QString("(%1, %2): %3 against %4")
                                    .arg(x)
                                    .arg(y)
                                    .arg(stepped.pixel(x, y), 0, 16)
                                    .arg(painted.pixel(x, y), 0, 16)));
}

void PlatformTest::filtersMatchAnyLetterCase() {
    QCOMPARE(QtFilterFor(QStringLiteral("MP3 Files(*.MP3)|*.MP3")),
             QStringLiteral("MP3 Files(*.MP3) (*.MP3 *.mp3)"));
    QCOMPARE(QtFilterFor(QStringLiteral("歌词文件(*.TXT)|*.TXT")),
             QStringLiteral("歌词文件(*.TXT) (*.TXT *.txt)"));
    QCOMPARE(QtFilterFor(QStringLiteral("A|*.txt|B|*.MP3;*.WAV")),
             QStringLiteral("A (*.txt);;B (*.MP3 *.mp3 *.WAV *.wav)"));
}

namespace {
// Drives the next real file dialog the way a user would: `act` gets it once it is up and must close it.
void WhenTheDialogOpens(const std::function<void(QFileDialog*)>& act) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || !dialog->isVisible()) return;
        poll->deleteLater();
        poll->stop();
        act(dialog);
    });
    poll->start(20);
}

void TypeAndAccept(const QString& name) {
    WhenTheDialogOpens([name](QFileDialog* dialog) {
        QLineEdit* box = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        box->setText(name);
        QTest::keyClick(box, Qt::Key_Return);
    });
}
}  // namespace

void PlatformTest::realSaveAsAddsTheFiltersExtension() {
    QTemporaryDir dir;
    QtFileDialogFactory factory;
    QWidget owner;
    owner.show();
    std::unique_ptr<FileDialog> cd = factory.create(&owner);
    cd->InitDir = dir.path();
    cd->Filter = QStringLiteral("Text Files(*.TXT)|*.TXT");
    const std::pair<const char*, const char*> names[] = {
        {"歌", "歌.TXT"}, {"歌.txt", "歌.txt"}, {"a.b", "a.b"}};
    for (const auto& [typed, written] : names) {
        cd->FileName = QString();
        TypeAndAccept(QString::fromUtf8(typed));
        cd->ShowSave();
        QCOMPARE(cd->FileName, QDir(dir.path()).filePath(QString::fromUtf8(written)));
        QCOMPARE(cd->FilterIndex, 1);
    }
    // The second pair chosen: its extension, and the caller learns which pair it was.
    cd->Filter = QStringLiteral("歌词文件(*.TXT)|*.TXT|LRC 歌词(*.lrc)|*.lrc");
    cd->FilterIndex = 2;
    TypeAndAccept(QStringLiteral("歌"));
    cd->ShowSave();
    QCOMPARE(cd->FileName, QDir(dir.path()).filePath(QStringLiteral("歌.lrc")));
    QCOMPARE(cd->FilterIndex, 2);
}

void PlatformTest::realOpenListsEveryLetterCase() {
    QTemporaryDir dir;
    for (const char* name : {"a.txt", "b.TXT", "c.Txt", "d.mp3", "e"}) {
        QFile f(QDir(dir.path()).filePath(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QtFileDialogFactory factory;
    std::unique_ptr<FileDialog> cd = factory.create(nullptr);
    cd->InitDir = dir.path();
    cd->Filter = QStringLiteral("Text Files(*.TXT)|*.TXT");
    QStringList listed;
    WhenTheDialogOpens([&listed](QFileDialog* dialog) {
        auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
        // The folder is read on a thread of the model's own; the rows come a moment later.
        (void)QTest::qWaitFor([view] { return view->model()->rowCount(view->rootIndex()) >= 3; }, 3000);
        QTest::qWait(100);  // and nothing more comes
        for (int i = 0; i < view->model()->rowCount(view->rootIndex()); ++i)
            listed << view->model()->index(i, 0, view->rootIndex()).data().toString();
        dialog->reject();
    });
    cd->ShowOpen();
    QCOMPARE(cd->FileName, QString());
    listed.sort();
    QCOMPARE(listed, (QStringList{"a.txt", "b.TXT", "c.Txt"}));
}

void PlatformTest::saveAsExtensionRule_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    const QString text = QStringLiteral("Text Files(*.TXT)|*.TXT");
    QTest::newRow("no extension") << text << 1 << "/d/歌"
                                  << "/d/歌.TXT";
    QTest::newRow("own extension, own case") << text << 1 << "/d/歌.txt"
                                             << "/d/歌.txt";
    QTest::newRow("a dot in a folder name only") << text << 1 << "/d.1/歌"
                                                 << "/d.1/歌.TXT";
    QTest::newRow("any other extension") << text << 1 << "/d/歌.mp3"
                                         << "/d/歌.mp3";
    QTest::newRow("second pair") << "A|*.TXT|B|*.lrc;*.txt" << 2 << "/d/x"
                                 << "/d/x.lrc";
    QTest::newRow("pair the filter lacks") << text << 3 << "/d/x"
                                           << "/d/x";
    QTest::newRow("no single extension") << "All|*.*" << 1 << "/d/x"
                                         << "/d/x";
    QTest::newRow("no filter") << QString() << 1 << "/d/x"
                               << "/d/x";
}

void PlatformTest::saveAsExtensionRule() {
    QFETCH(QString, filter);
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    // The double answers as the user typed; the dialog layer adds what the real one adds.
    ScriptedDialogFactory factory;
    factory.answers = {typed};
    std::unique_ptr<FileDialog> cd = factory.create(nullptr);
    cd->Filter = filter;
    cd->FilterIndex = index;
    cd->ShowSave();
    QCOMPARE(cd->FileName, written);
    // An Open returns the name as chosen.
    factory.answers = {typed};
    cd->ShowOpen();
    QCOMPARE(cd->FileName, typed);
}

void PlatformTest::twipsFollowTheLogicalDpi() {
    const double dpi = QGuiApplication::primaryScreen()->logicalDotsPerInch();
    QCOMPARE(TwipsToPixels(1440), qRound(dpi));
    QCOMPARE(TwipsToPixels(9255), qRound(9255 * dpi / 1440));
    QCOMPARE(qRound(PixelsToTwips(TwipsToPixels(1440))), 1440);
    const QRect r = TwipsRect(360, 360, 4935, 2580);
    QCOMPARE(r.width(), qRound(4935 * dpi / 1440));
}

void PlatformTest::songFontResolvesToAChineseFont() {
    const QFont font = SongFont(14.25, true);
    QCOMPARE(font.pointSizeF(), 14.25);
    QVERIFY(font.bold());
    QLabel label(QStringLiteral("新用户请重新关联歌词！！"));
    label.setFont(font);
    // Every character of the text has a glyph in the resolved font (no empty boxes).
    const QFontMetrics metrics(label.font());
    for (const QChar c : label.text()) QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
}

void PlatformTest::fixedWindowsHaveNoMinimiseOrMaximise() {
    QWidget w;
    MakeFixedWindow(&w, 7395, 3180, QStringLiteral("歌词关联"));
    QCOMPARE(w.windowTitle(), QStringLiteral("歌词关联"));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QCOMPARE(w.width(), TwipsToPixels(7395));
    QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
}

void PlatformTest::standardButtonsSpeakChinese() {
    SetUpApplication(*qApp);
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("询问！"), QStringLiteral("是否继续？"),
                    QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove(QLatin1Char('&')), QStringLiteral("是(Y)"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("否(N)"));
    QVERIFY(!QApplication::windowIcon().isNull());
}

void PlatformTest::programNameComesFromTheDesktopEntry() {
    SetUpApplication(*qApp);
    // Qt appends a display name to every window caption, so none is set; the desktop takes the program's
    // name from the entry that the window class and the desktop file name point to.
    QCOMPARE(QGuiApplication::applicationDisplayName(), QGuiApplication::applicationName());
    QFile entry(QStringLiteral(QIVA_ASSETS "/desktop/") + QGuiApplication::desktopFileName() +
                QStringLiteral(".desktop"));
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(entry.readAll()).split(u'\n');
    QVERIFY(lines.contains(QStringLiteral("Name=QIVA歌词秀")));
    QVERIFY(lines.contains(QStringLiteral("StartupWMClass=") + QGuiApplication::applicationName()));
}

void PlatformTest::soundServerLibraryLoadsOnlyWhole() {
    // A machine without libpulse, or with a library that lacks a function, gets no half-made output.
    QCOMPARE(LoadPulseLibrary("libqiva-no-such-library.so.0"), nullptr);
    QCOMPARE(LoadPulseLibrary("libc.so.6"), nullptr);  // loads, but has none of them
    // Here libpulse is installed: every function is found, once for the whole program.
    const PulseLibrary* pulse = Pulse();
    QVERIFY(pulse != nullptr);
    QCOMPARE(Pulse(), pulse);
    QVERIFY(pulse->pa_threaded_mainloop_new != nullptr);
    QVERIFY(pulse->pa_usec_to_bytes != nullptr);
    const pa_sample_spec spec{PA_SAMPLE_S16NE, 44100, 2};
    QCOMPARE(pulse->pa_usec_to_bytes(PA_USEC_PER_SEC, &spec), size_t(44100 * 4));
}

QTEST_MAIN(PlatformTest)
#include "test_platform.moc"
