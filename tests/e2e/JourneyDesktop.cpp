// The player on the desktop: the desktop lyrics over other windows (on top, filling with the song, dragged,
// locked so that clicks go through, in their place again after a restart) and the MPRIS service driven by
// playerctl on the journey's private session bus, leaving with the player window and back with the next one.

#include <QDBusConnection>
#include <QDir>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "Expected.h"
#include "Journey.h"
#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "desktop/DesktopLyrics.h"
#include "desktop/PlayerDesktop.h"
#include "platform/MediaPlayerControl.h"
#include "wizard/EditForm3.h"

using namespace qiva;

namespace e2e {

namespace {
// Runs "program arg arg..." to its end while this program goes on answering the bus and the display.
QString Run(const QString& command) {
    QStringList args = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QProcess p;
    p.start(args.takeFirst(), args);
    if (!p.waitForStarted(3000) || !WaitFor([&] { return p.state() == QProcess::NotRunning; })) {
        p.kill();
        p.waitForFinished(1000);
        return QStringLiteral("<failed: %1>").arg(command);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString Playerctl(const QString& args) { return Run(QStringLiteral("playerctl --player=qiva ") + args); }
bool Listed() { return Run(QStringLiteral("playerctl --list-all")).split('\n').contains("qiva"); }

// A click through the X server, as a real pointer's.
void ClickScreen(const QPoint& at) {
    Run(QStringLiteral("xdotool mousemove %1 %2 click 1").arg(at.x()).arg(at.y()));
    QTest::qWait(150);
}

// Another program's window, light at one end and dark at the other, noting the clicks it gets.
class Beneath : public QWidget {
public:
    int clicks = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++clicks; }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), height());
        g.setColorAt(0, QColor(250, 250, 245));
        g.setColorAt(1, QColor(40, 60, 90));
        p.fillRect(rect(), g);
    }
};

class SeekedSpy : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> heard;
public slots:
    void Seeked(qlonglong at) { heard << at; }
};

// How many top-level windows lie above this one (xwininfo lists them top first).
int StackingDepth(QWidget* w) {
    const QStringList tree = Run(QStringLiteral("xwininfo -root -children")).split('\n');
    const QString id = QStringLiteral("0x%1 ").arg(w->winId(), 0, 16);
    for (int i = 0; i < tree.size(); ++i)
        if (tree[i].trimmed().startsWith(id)) return i;
    return -1;
}

// Xvfb composites nothing: the see-through window is laid over a picture of the other by hand, as a
// compositing desktop shows it.
void ShotOver(QWidget* beneath, QWidget* lyrics, const QString& name) {
    const QString dir = qEnvironmentVariable("QIVA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(150);
    QPixmap picture = beneath->grab();
    QPainter(&picture).drawPixmap(lyrics->pos() - beneath->pos(), lyrics->grab());
    picture.save(QDir(dir).filePath(name + QStringLiteral(".png")), "PNG");
}
}  // namespace

void Journey::desktopLyricsOverOtherWindows() {
    MainPlay* p = nav_->player();
    QVERIFY(p && WaitFor([&] { return p->desktop()->started(); }));
    DesktopLyrics* lyrics = p->desktop()->lyrics();
    QVERIFY(!lyrics->isVisible());
    ClickRow(p->List1, 0);  // the demo
    QVERIFY(Click(p->desktop()->showButton()));
    QVERIFY(QTest::qWaitForWindowExposed(lyrics));
    // On top of the player, and asking the window manager to keep it there.
    QVERIFY(StackingDepth(lyrics) < StackingDepth(p));
    QVERIFY(Run(QStringLiteral("xprop -id %1 _NET_WM_STATE").arg(lyrics->winId()))
                .contains("_NET_WM_STATE_ABOVE"));

    // The player's line is the line on the desktop, and its fill grows with the song.
    QVERIFY(
        WaitFor([&] { return lyrics->texts().current == p->Label2->text() && lyrics->filledPixels() > 0; }));
    QCOMPARE(lyrics->texts().next, p->Label3->text());
    const int before = lyrics->filledPixels();
    QVERIFY(WaitFor(
        [&] { return lyrics->filledPixels() > before || lyrics->texts().current != p->Label2->text(); }));

    // Dragged with the mouse over another window.
    Beneath other;
    other.setGeometry(100, 560, 900, 300);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    lyrics->raise();
    const QPoint grip = lyrics->geometry().center(), to(550, 680);
    Run(QStringLiteral("xdotool mousemove %1 %2 mousedown 1 mousemove %3 %4 mouseup 1")
            .arg(grip.x())
            .arg(grip.y())
            .arg(to.x())
            .arg(to.y()));
    QVERIFY(WaitFor([&] { return (lyrics->geometry().center() - to).manhattanLength() < 4; }, 3000));
    QVERIFY(StackingDepth(lyrics) < StackingDepth(&other));
    // The picture: a lyric line half sung, the pointer elsewhere.
    Run(QStringLiteral("xdotool mousemove 1200 100"));
    QVERIFY(WaitFor(
        [&] {
            return lyrics->texts().current == DemoLines()[1].second &&
                   lyrics->filledPixels() * 2 > lyrics->lineWidthPixels();
        },
        8000));
    ShotOver(&other, lyrics, QStringLiteral("desktop-lyrics"));

    // Unlocked it takes the click; locked the click reaches the window beneath.
    ClickScreen(to);
    QCOMPARE(other.clicks, 0);
    QVERIFY(Click(p->desktop()->lockButton()) && lyrics->locked());
    QVERIFY(QTest::qWaitForWindowExposed(lyrics));
    ClickScreen(to);
    QVERIFY(WaitFor([&] { return other.clicks == 1; }, 3000));
    QVERIFY(Click(p->desktop()->lockButton()) && !lyrics->locked());
    ClickScreen(to);
    QCOMPARE(other.clicks, 1);
    lyrics->setLocked(true);  // the restart below must find it locked in its place
    rememberedPlace_ = lyrics->geometry();
}

void Journey::mprisDrivenByPlayerctl() {
    MainPlay* p = nav_->player();
    QVERIFY(p && WaitFor(Listed));
    QCOMPARE(Playerctl(QStringLiteral("status")), QStringLiteral("Playing"));
    const QString demo = inFolder(QStringLiteral("演示歌曲.MP3"));
    QCOMPARE(Playerctl(QStringLiteral("metadata --format {{title}}|{{artist}}|{{album}}|{{xesam:url}}")),
             QStringLiteral("演示歌曲|合成语音|QIVA歌词秀演示|") + QUrl::fromLocalFile(demo).toString());
    QCOMPARE(Playerctl(QStringLiteral("metadata mpris:length")).toLongLong(),
             std::llround(p->MP->Duration() * 1e6));

    // Changes are announced: a follower hears the pause and the play.
    QProcess follower;
    follower.start(QStringLiteral("playerctl"), {"--player=qiva", "--follow", "status"});
    QVERIFY(WaitFor([&] { return follower.canReadLine(); }));
    Playerctl(QStringLiteral("play-pause"));
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Paused; }));
    Playerctl(QStringLiteral("play-pause"));
    QVERIFY(WaitFor([&] { return QString::fromUtf8(follower.peek(4096)).count('\n') >= 3; }));
    follower.kill();
    follower.waitForFinished();
    QCOMPARE(QString::fromUtf8(follower.readAllStandardOutput()),
             QStringLiteral("Playing\nPaused\nPlaying\n"));

    // To a place (SetPosition) and by an offset (Seek), each announced by Seeked; the lyric clock follows.
    SeekedSpy spy;
    QVERIFY(QDBusConnection::sessionBus().connect({}, "/org/mpris/MediaPlayer2",
                                                  "org.mpris.MediaPlayer2.Player", "Seeked", &spy,
                                                  SLOT(Seeked(qlonglong))));
    Playerctl(QStringLiteral("position 12"));
    QVERIFY(std::abs(p->MP->CurrentPosition() - 12) < 0.3);
    Playerctl(QStringLiteral("position 5-"));
    QVERIFY(std::abs(Playerctl(QStringLiteral("position")).toDouble() - 7) < 0.3);
    QVERIFY(WaitFor([&] { return spy.heard.size() == 2; }, 3000));
    QVERIFY(std::abs(spy.heard[0] - 12'000'000) < 300'000);
    QVERIFY(WaitFor([&] { return p->Label2->text() == DemoLines()[2].second; }));

    // Next is a click on the row below, with its lyrics.
    Playerctl(QStringLiteral("next"));
    QVERIFY(WaitFor([&] { return p->MP->FileName() == song_; }));
    QCOMPARE(p->List1->currentRow(), 1);
    QCOMPARE(p->Label4->text(), QStringLiteral("歌手： 测试歌手\n歌曲： 春晓\n专辑： 唐诗"));
    QCOMPARE(p->Label2->text(), texts_[0]);
    QCOMPARE(Playerctl(QStringLiteral("metadata title")), QStringLiteral("春晓"));
    Playerctl(QStringLiteral("previous"));
    QVERIFY(WaitFor([&] { return p->List1->currentRow() == 0 && p->MP->FileName() == demo; }));
    Playerctl(QStringLiteral("stop"));
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Stopped; }));
    QCOMPARE(Playerctl(QStringLiteral("status")), QStringLiteral("Stopped"));
    QVERIFY(WaitFor([&] { return p->desktop()->lyrics()->texts().current.isEmpty(); }));
}

void Journey::desktopPartsFollowThePlayerWindow() {
    // Step three has no service of its own; the player's goes with it, and comes back with the next one.
    QVERIFY(Click(nav_->player()->Command4));
    QVERIFY(WaitFor([&] { return nav_->player() == nullptr && nav_->stepThree(); }));
    QVERIFY(WaitFor([] { return !Listed(); }));
    nav_->stepThree()->close();
    QVERIFY(WaitFor([&] { return nav_->player() && nav_->player()->isVisible(); }));
    QVERIFY(WaitFor(Listed));
    PlayerDesktop* desktop = nav_->player()->desktop();
    QVERIFY(WaitFor([&] { return desktop->started() && desktop->lyrics()->isVisible(); }));
    QCOMPARE(desktop->lyrics()->geometry(), rememberedPlace_);
    QVERIFY(desktop->lyrics()->locked() && desktop->lockButton()->isChecked() &&
            desktop->showButton()->isChecked());

    // A restart of the whole program finds its window in the same place.
    QVERIFY(QDir().mkpath(tmp_.filePath(QStringLiteral("restart"))));
    const QString program = tmp_.filePath(QStringLiteral("restart/qiva"));
    QVERIFY(QFile::copy(QStringLiteral(QIVA_BINARY_DIR "/qiva"), program));
    QProcess restarted;
    restarted.start(program, {});
    QVERIFY(restarted.waitForStarted());
    const QString found =
        Run(QStringLiteral("xdotool search --sync --pid %1 --name ^桌面歌词 getwindowgeometry --shell")
                .arg(restarted.processId()));
    restarted.terminate();
    QVERIFY(restarted.waitForFinished(5000));
    const QRect& r = rememberedPlace_;
    QVERIFY2(found.contains(QStringLiteral("X=%1\nY=%2\nWIDTH=%3\nHEIGHT=%4")
                                .arg(r.x())
                                .arg(r.y())
                                .arg(r.width())
                                .arg(r.height())),
             qPrintable(found));
}

}  // namespace e2e

#include "JourneyDesktop.moc"
