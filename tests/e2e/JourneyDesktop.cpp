// The player on the desktop: the desktop lyrics over other windows (on top, filling with the song, dragged,
// locked so that clicks go through, in their place again after a restart) and the MPRIS service driven by
// playerctl on the journey's private session bus, leaving with the player window and back with the next one.

#include <QDBusConnection>
#include <QDir>
#include <QListWidget>
#include <QMouseEvent>
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
// Runs a command to its end while this program goes on answering the bus and the display.
QString Run(const QString& program, const QStringList& args, int timeoutMs = 10000) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(3000)) return QStringLiteral("<%1 did not start>").arg(program);
    if (!WaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return QStringLiteral("<%1 hung>").arg(program);
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString Playerctl(const QStringList& args) {
    return Run(QStringLiteral("playerctl"), QStringList{QStringLiteral("--player=qiva")} + args);
}

bool Listed() {
    return Run(QStringLiteral("playerctl"), {QStringLiteral("--list-all")}).split('\n').contains("qiva");
}

QString Xdotool(const QStringList& args) { return Run(QStringLiteral("xdotool"), args); }

// Clicks the display at a point of the screen, through the X server as a real pointer would.
void ClickScreen(const QPoint& at) {
    Xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("click"), QStringLiteral("1")});
    QTest::qWait(150);
}

// A plain window of another program's kind, noting the clicks it gets.
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

// Hears the Seeked signal on the bus.
class SeekedSpy : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> heard;
public slots:
    void Seeked(qlonglong at) { heard << at; }
};

// How many top-level windows of the X server lie above this one (xwininfo lists them top first).
int StackingDepth(QWidget* w) {
    const QStringList tree =
        Run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")}).split('\n');
    const QString id = QStringLiteral("0x%1 ").arg(w->winId(), 0, 16);
    for (int i = 0; i < tree.size(); ++i)
        if (tree[i].trimmed().startsWith(id)) return i;
    return -1;
}

// The desktop lyrics over the window beneath them, as a compositing desktop shows them: Xvfb composites
// nothing, so the see-through window is laid over a picture of the other by hand.
void ShotOver(QWidget* beneath, QWidget* lyrics, const QString& name) {
    const QString dir = qEnvironmentVariable("QIVA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QTest::qWait(150);
    QPixmap picture = beneath->grab();
    QPainter p(&picture);
    p.drawPixmap(lyrics->geometry().topLeft() - beneath->geometry().topLeft(), lyrics->grab());
    p.end();
    picture.save(QDir(dir).filePath(name + QStringLiteral(".png")), "PNG");
}
}  // namespace

void Journey::desktopLyricsOverOtherWindows() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QVERIFY(WaitFor([&] { return p->desktop()->started(); }));
    DesktopLyrics* lyrics = p->desktop()->lyrics();
    QVERIFY(!lyrics->isVisible());
    ClickRow(p->List1, 0);  // the demo
    QVERIFY(Click(p->desktop()->showButton()));
    QVERIFY(QTest::qWaitForWindowExposed(lyrics));
    QVERIFY(p->desktop()->showButton()->isChecked());

    // On top of the player, and asking the window manager to keep it there.
    QVERIFY(StackingDepth(lyrics) < StackingDepth(p));
    QVERIFY(Run(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(lyrics->winId()), QStringLiteral("_NET_WM_STATE")})
                .contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

    // The line of the player is the line on the desktop, and its fill grows with the song.
    QVERIFY(
        WaitFor([&] { return lyrics->texts().current == p->Label2->text() && lyrics->filledPixels() > 0; }));
    const QString line = lyrics->texts().current;
    const int before = lyrics->filledPixels();
    QVERIFY(
        WaitFor([&] { return lyrics->filledPixels() > before || lyrics->texts().current != line; }, 3000));
    QCOMPARE(lyrics->texts().next, p->Label3->text());

    // Dragged with the mouse over another window.
    Beneath other;
    other.setWindowTitle(QStringLiteral("另一个窗口"));
    other.setGeometry(100, 560, 900, 300);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    lyrics->raise();
    const QPoint grip = lyrics->geometry().center() + QPoint(0, 20);
    const QPoint to(550, 680);
    Xdotool({QStringLiteral("mousemove"), QString::number(grip.x()), QString::number(grip.y()),
             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(to.x()), QString::number(to.y()), QStringLiteral("mouseup"),
             QStringLiteral("1")});
    QVERIFY(WaitFor(
        [&] {
            return lyrics->geometry().contains(to) &&
                   (lyrics->geometry().center() - to).manhattanLength() < 60;
        },
        3000));
    QVERIFY(StackingDepth(lyrics) < StackingDepth(&other));
    // The picture: a lyric line half sung, the pointer elsewhere.
    Xdotool({QStringLiteral("mousemove"), QStringLiteral("1200"), QStringLiteral("100")});
    QVERIFY(WaitFor(
        [&] {
            return lyrics->texts().current == DemoLines()[1].second &&
                   lyrics->filledPixels() * 2 > lyrics->lineWidthPixels();
        },
        8000));
    ShotOver(&other, lyrics, QStringLiteral("desktop-lyrics"));

    // Unlocked it takes the click; locked the click reaches the window beneath.
    const QPoint onLyrics = lyrics->geometry().center();
    ClickScreen(onLyrics);
    QCOMPARE(other.clicks, 0);
    QVERIFY(Click(p->desktop()->lockButton()));
    QVERIFY(lyrics->locked());
    QVERIFY(QTest::qWaitForWindowExposed(lyrics));
    ClickScreen(onLyrics);
    QVERIFY(WaitFor([&] { return other.clicks == 1; }, 3000));
    QVERIFY(Click(p->desktop()->lockButton()));
    QVERIFY(!lyrics->locked());
    ClickScreen(onLyrics);
    QCOMPARE(other.clicks, 1);
    lyrics->setLocked(true);  // the restart below must find it locked in its place
    rememberedPlace_ = lyrics->geometry();
}

void Journey::mprisDrivenByPlayerctl() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QVERIFY(WaitFor(Listed));
    QCOMPARE(Playerctl({QStringLiteral("status")}), QStringLiteral("Playing"));
    const QString demo = inFolder(QStringLiteral("演示歌曲.MP3"));
    QCOMPARE(Playerctl({QStringLiteral("metadata"), QStringLiteral("--format"),
                        QStringLiteral("{{title}}|{{artist}}|{{album}}|{{xesam:url}}")}),
             QStringLiteral("演示歌曲|合成语音|QIVA歌词秀演示|") + QUrl::fromLocalFile(demo).toString());
    const qlonglong length =
        Playerctl({QStringLiteral("metadata"), QStringLiteral("mpris:length")}).toLongLong();
    QVERIFY(std::abs(length - qlonglong(p->MP->Duration() * 1e6)) < 2);

    // Changes are announced: a follower hears the pause and the play.
    QProcess follower;
    follower.start(QStringLiteral("playerctl"),
                   {QStringLiteral("--player=qiva"), QStringLiteral("--follow"), QStringLiteral("status")});
    QVERIFY(follower.waitForStarted());
    QVERIFY(WaitFor([&] { return follower.canReadLine(); }));
    Playerctl({QStringLiteral("play-pause")});
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Paused; }));
    Playerctl({QStringLiteral("play-pause")});
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Playing; }));
    QVERIFY(WaitFor([&] {
        return follower.bytesAvailable() > 0 && QString::fromUtf8(follower.peek(4096)).count('\n') >= 3;
    }));
    follower.kill();
    follower.waitForFinished();
    QCOMPARE(QString::fromUtf8(follower.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
             (QStringList{QStringLiteral("Playing"), QStringLiteral("Paused"), QStringLiteral("Playing")}));

    // Seeking: to a place (SetPosition) and by an offset (Seek), each announced by Seeked.
    SeekedSpy spy;
    QVERIFY(QDBusConnection::sessionBus().connect(QString(), QStringLiteral("/org/mpris/MediaPlayer2"),
                                                  QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                                  QStringLiteral("Seeked"), &spy, SLOT(Seeked(qlonglong))));
    Playerctl({QStringLiteral("position"), QStringLiteral("12")});
    QVERIFY(std::abs(p->MP->CurrentPosition() - 12) < 0.3);
    Playerctl({QStringLiteral("position"), QStringLiteral("3-")});
    QVERIFY(std::abs(p->MP->CurrentPosition() - 9) < 0.3);
    QVERIFY(std::abs(Playerctl({QStringLiteral("position")}).toDouble() - 9) < 0.3);
    QVERIFY(WaitFor([&] { return spy.heard.size() == 2; }, 3000));
    QVERIFY(std::abs(spy.heard[0] - 12'000'000) < 300'000);
    // The lyric clock follows the jump.
    const int16_t line = p->curLine;
    QVERIFY(WaitFor([&] { return p->Label2->text() == m_->lyricLines[line].text; }));

    // Next is a click on the row below, with its lyrics.
    Playerctl({QStringLiteral("next")});
    QVERIFY(WaitFor([&] { return p->MP->FileName() == song_; }));
    QCOMPARE(p->List1->currentRow(), 1);
    QCOMPARE(p->Label4->text(), QStringLiteral("歌手： 测试歌手\n歌曲： 春晓\n专辑： 唐诗"));
    QCOMPARE(p->Label2->text(), texts_[0]);
    QCOMPARE(Playerctl({QStringLiteral("metadata"), QStringLiteral("title")}), QStringLiteral("春晓"));
    Playerctl({QStringLiteral("previous")});
    QVERIFY(WaitFor([&] { return p->List1->currentRow() == 0 && p->MP->FileName() == demo; }));
    Playerctl({QStringLiteral("stop")});
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Stopped; }));
    QCOMPARE(Playerctl({QStringLiteral("status")}), QStringLiteral("Stopped"));
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
    MainPlay* p = nav_->player();
    QVERIFY(WaitFor([&] { return p->desktop()->started() && p->desktop()->lyrics()->isVisible(); }));
    QCOMPARE(p->desktop()->lyrics()->geometry(), rememberedPlace_);
    QVERIFY(p->desktop()->lyrics()->locked() && p->desktop()->lockButton()->isChecked());
    QVERIFY(p->desktop()->showButton()->isChecked());

    // A restart of the whole program, which finds its window in the same place.
    const QString program = tmp_.filePath(QStringLiteral("restart/qiva"));
    QVERIFY(QDir().mkpath(tmp_.filePath(QStringLiteral("restart"))));
    QVERIFY(QFile::copy(QStringLiteral(QIVA_BINARY_DIR "/qiva"), program));
    QProcess restarted;
    restarted.start(program, {});
    QVERIFY(restarted.waitForStarted());
    const QString found = Xdotool({QStringLiteral("search"), QStringLiteral("--sync"),
                                   QStringLiteral("--pid"), QString::number(restarted.processId()),
                                   QStringLiteral("--name"), QStringLiteral("^桌面歌词"),
                                   QStringLiteral("getwindowgeometry"), QStringLiteral("--shell")});
    restarted.terminate();
    QVERIFY(restarted.waitForFinished(5000));
    QVERIFY2(found.contains(QStringLiteral("X=%1\n").arg(rememberedPlace_.x())) &&
                 found.contains(QStringLiteral("Y=%1\n").arg(rememberedPlace_.y())) &&
                 found.contains(QStringLiteral("WIDTH=%1\n").arg(rememberedPlace_.width())),
             qPrintable(found));
}

}  // namespace e2e

#include "JourneyDesktop.moc"
