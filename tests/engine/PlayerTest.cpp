#include "PlayerTest.h"

#include <QElapsedTimer>
#include <QtTest>
#include <chrono>
#include <thread>

#include "TestSongs.h"
#include "platform/EnginePlayer.h"
#include "platform/RealServices.h"

namespace qiva::test {

namespace {

using Events = QList<QPair<int, int>>;

Events Take(QSignalSpy& spy) {
    Events out;
    for (const QList<QVariant>& e : spy) out << qMakePair(e[0].toInt(), e[1].toInt());
    spy.clear();
    return out;
}

void Settle() { QCoreApplication::processEvents(); }

// Runs the event loop until the position reaches `seconds` (or fails the test after `timeoutMs`).
bool WaitForPosition(const MediaPlayer& p, double seconds, int timeoutMs = 3000) {
    QElapsedTimer t;
    t.start();
    while (p.CurrentPosition() < seconds) {
        if (t.elapsed() > timeoutMs) return false;
        QTest::qWait(5);
    }
    return true;
}

constexpr auto kStopped = int(MediaPlayer::Stopped);
constexpr auto kPaused = int(MediaPlayer::Paused);
constexpr auto kPlaying = int(MediaPlayer::Playing);

}  // namespace

void PlayerTest::initTestCase() { QVERIFY2(SongFolder::get().ok(), "lame could not make the test songs"); }

void PlayerTest::eventsFollowTheCalls() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(SongFolder::get().cbr());
    Settle();
    QCOMPARE(Take(spy), Events{});
    p.Play();
    QCOMPARE(p.PlayState(), kPlaying);
    QCOMPARE(spy.size(), 0);  // queued: not inside the caller
    Settle();
    QCOMPARE(Take(spy), (Events{{kStopped, kPlaying}}));
    QVERIFY(WaitForPosition(p, 0.1));
    p.Pause();
    p.Play();
    p.Play();  // already playing: nothing happens
    p.setCurrentPosition(1.0);
    p.Stop();
    p.Stop();
    p.Pause();  // stopped: nothing to pause
    QCOMPARE(p.PlayState(), kStopped);
    QCOMPARE(p.CurrentPosition(), 0.0);
    Settle();
    QCOMPARE(Take(spy), (Events{{kPlaying, kPaused}, {kPaused, kPlaying}, {kPlaying, kStopped}}));
}

void PlayerTest::eventsOfOneHandlerArriveAfterItInOrder() {
    // A row clicked during playback: stop, new file, play, all in one handler.
    EnginePlayer p(false, EnginePlayer::Output::Null);
    p.setFileName(SongFolder::get().cbr());
    p.Play();
    Settle();
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    QList<int> statesSeenByHandler;
    connect(&p, &MediaPlayer::PlayStateChange, &p, [&] { statesSeenByHandler << p.PlayState(); });
    p.Stop();
    p.setFileName(SongFolder::get().vbr());
    p.Play();
    QCOMPARE(spy.size(), 0);
    Settle();
    QCOMPARE(Take(spy), (Events{{kPlaying, kStopped}, {kStopped, kPlaying}}));
    QCOMPARE(statesSeenByHandler, (QList<int>{kPlaying, kPlaying}));
}

void PlayerTest::autoStartPlaysOnFileName() {
    EnginePlayer p(true, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(SongFolder::get().cbr());
    QCOMPARE(p.PlayState(), kPlaying);
    p.setFileName(SongFolder::get().mono());  // the playing song stops, the new one starts
    QCOMPARE(p.Duration(), 3.0);
    Settle();
    QCOMPARE(Take(spy), (Events{{kStopped, kPlaying}, {kPlaying, kStopped}, {kStopped, kPlaying}}));
    QVERIFY(WaitForPosition(p, 0.05));
}

void PlayerTest::endOfFileIsHeardThenStops() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(SongFolder::get().vbr());
    p.setCurrentPosition(2.6);
    QElapsedTimer heard;
    p.Play();
    heard.start();
    QTRY_COMPARE_WITH_TIMEOUT(p.PlayState(), kStopped, 5000);
    // Decoding 0.4 s takes a millisecond; the end comes when it has been heard.
    QVERIFY2(heard.elapsed() >= 390, qPrintable(QString::number(heard.elapsed())));
    Settle();
    QCOMPARE(Take(spy), (Events{{kStopped, kPlaying}, {kPlaying, kStopped}}));
    QCOMPARE(p.CurrentPosition(), 0.0);
    // Play again starts from the top.
    p.Play();
    QVERIFY(WaitForPosition(p, 0.05));
    QVERIFY(p.CurrentPosition() < 1.0);
}

void PlayerTest::pauseHoldsThePosition() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    p.setFileName(SongFolder::get().cbr());
    p.Play();
    QVERIFY(WaitForPosition(p, 0.2));
    p.Pause();
    const double held = p.CurrentPosition();
    QTest::qWait(200);
    QCOMPARE(p.CurrentPosition(), held);
    QCOMPARE(p.PlayState(), kPaused);
    p.Play();
    const double resumed = p.CurrentPosition();
    QVERIFY(resumed >= held && resumed < held + 0.02);
    QVERIFY(WaitForPosition(p, held + 0.1));
}

void PlayerTest::seekKeepsTheState() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(SongFolder::get().cbr());
    p.setCurrentPosition(1.25);  // stopped: stays stopped, Play starts there
    QCOMPARE(p.CurrentPosition(), 1.25);
    QCOMPARE(p.PlayState(), kStopped);
    p.Play();
    QVERIFY(p.CurrentPosition() >= 1.25 && p.CurrentPosition() < 1.3);
    p.Pause();
    p.setCurrentPosition(2.0);  // paused: stays paused, exactly there
    QCOMPARE(p.PlayState(), kPaused);
    QCOMPARE(p.CurrentPosition(), 2.0);
    QTest::qWait(100);
    QCOMPARE(p.CurrentPosition(), 2.0);
    p.Play();
    p.setCurrentPosition(0.5);  // playing: goes on playing from there
    QCOMPARE(p.PlayState(), kPlaying);
    QVERIFY(p.CurrentPosition() >= 0.5 && p.CurrentPosition() < 0.55);
    QVERIFY(WaitForPosition(p, 0.6));
    QVERIFY(p.CurrentPosition() < 1.0);
    p.setCurrentPosition(-3);
    QVERIFY(p.CurrentPosition() < 0.05);
    Settle();
    QCOMPARE(Take(spy), (Events{{kStopped, kPlaying}, {kPlaying, kPaused}, {kPaused, kPlaying}}));
}

void PlayerTest::seekPastTheEndEndsTheSong() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(SongFolder::get().cbr());
    p.Play();
    p.Pause();
    p.setCurrentPosition(99);
    QCOMPARE(p.CurrentPosition(), 3.0);
    p.Play();
    QTRY_COMPARE(p.PlayState(), kStopped);
    Settle();
    QCOMPARE(Take(spy),
             (Events{{kStopped, kPlaying}, {kPlaying, kPaused}, {kPaused, kPlaying}, {kPlaying, kStopped}}));
}

void PlayerTest::positionFollowsTheSteadyClock() {
    using Clock = std::chrono::steady_clock;
    const auto seconds = [](Clock::duration d) { return std::chrono::duration<double>(d).count(); };
    EnginePlayer p(false, EnginePlayer::Output::Null);
    p.setFileName(SongFolder::get().cbr());
    const Clock::time_point called = Clock::now();
    p.Play();
    // Each reading is bracketed by two clock readings; a reading whose bracket is wide (the thread was
    // descheduled in between) is taken again, so that what is checked is the player, not the machine.
    struct Reading {
        double wall, position;
    };
    const auto read = [&](Reading& r) {
        for (;;) {
            const Clock::time_point before = Clock::now();
            const double pos = p.CurrentPosition();
            const Clock::time_point after = Clock::now();
            if (after - before < std::chrono::microseconds(500)) {
                r = {seconds(before - called), pos};
                return;
            }
        }
    };
    Reading first{};
    do read(first);
    while (first.position <= 0.0);
    QVERIFY2(first.wall - first.position < 0.1, "the output took long to start");
    Reading r{};
    double worst = 0;
    do {
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
        read(r);
        worst = std::max(worst, std::abs((r.position - first.position) - (r.wall - first.wall)));
    } while (r.wall - first.wall < 2.0);
    QVERIFY2(worst <= 0.010, qPrintable(QString("position strayed %1 ms from the clock").arg(worst * 1000)));
}

void PlayerTest::destroyedAtAnyMoment() {
    for (int moment = 0; moment < 4; ++moment) {
        auto p = std::make_unique<EnginePlayer>(true, EnginePlayer::Output::Null);
        p->setFileName(SongFolder::get().cbr());
        if (moment == 1) p->Pause();
        if (moment >= 2) p->setCurrentPosition(2.999);
        if (moment == 3) std::this_thread::sleep_for(std::chrono::milliseconds(50));  // its end is queued
        p.reset();
        Settle();
    }
}

void PlayerTest::volumeIsClamped() {
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QCOMPARE(p.volume(), 100);
    p.setVolume(150);
    QCOMPARE(p.volume(), 100);
    p.setVolume(-5);
    QCOMPARE(p.volume(), 0);
    p.setVolume(40);
    p.setFileName(SongFolder::get().cbr());
    p.Play();
    QCOMPARE(p.volume(), 40);
}

void PlayerTest::factoryHonoursTheNullSetting() {
    qputenv("QIVA_AUDIO", "null");
    RealPlayerFactory factory;
    auto player = factory.create(true);
    auto* engine = qobject_cast<EnginePlayer*>(player.get());
    QVERIFY(engine);
    QVERIFY(player->autoStart());
    player->setFileName(SongFolder::get().cbr());
    QCOMPARE(engine->outputName(), QString("null"));
}

}  // namespace qiva::test
