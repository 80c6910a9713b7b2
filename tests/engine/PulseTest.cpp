#include "PulseTest.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "Recording.h"
#include "TestSongs.h"
#include "platform/AudioOutput.h"
#include "platform/EnginePlayer.h"

namespace qiva::test {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

void PulseTest::initTestCase() {
    QVERIFY2(SongFolder::get().ok(), "lame could not make the test songs");
    server_ = qEnvironmentVariable("QIVA_PULSE_SERVER");
    if (server_.isEmpty())
        QSKIP("no PulseAudio server with a null sink (QIVA_PULSE_SERVER is set by scripts/start-pulse.sh)");
    qputenv("PULSE_SERVER", server_.toUtf8());
}

void PulseTest::clickIsHeardWhereThePositionSaysIt() {
    // The recording's timing is only as good as the machine is idle: a run whose fragments arrived with
    // much jitter is measured again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool reliable = false;
        measureClicks(&reliable);
        if (QTest::currentTestFailed() || reliable) return;
        qInfo("the recording's timing was unreliable (busy machine); measuring again");
    }
    QSKIP("the machine is too busy to time the recording of the null sink");
}

void PulseTest::measureClicks(bool* reliable) {
    const QString song = SongFolder::get().cbr();
    int channels = 0;
    const std::vector<int16_t> decoded = DecodeAll(song, &channels);
    Recorder recorder(server_);
    QString error;
    QVERIFY2(recorder.start(&error), qPrintable("cannot record the null sink: " + error));
    EnginePlayer player(false, EnginePlayer::Output::Automatic);
    player.setFileName(song);
    player.setCurrentPosition(0.2);
    const std::vector<Reading> readings = PlayThrough(player);
    QCOMPARE(player.outputName(), QString("pulse"));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorder.stop();
    *reliable = recorder.jitter() < 0.005;
    if (!*reliable) return;
    const std::vector<int16_t>& heard = recorder.samples();
    for (int64_t click : SongFolder::source().clicks) {
        const double inSong = double(PeakFrame(decoded, channels, click, 100)) / 44100;
        // Where the recording has it: the loudest sample around where the readings expect it.
        const double expectedWall = readings.front().wall + (inSong - readings.front().position);
        const auto guess = int64_t((expectedWall - recorder.timeOf(0)) * kRecordRate);
        const int64_t loudest = PeakFrame(heard, 1, guess, int64_t(0.2 * kRecordRate));
        QVERIFY2(std::abs(heard[size_t(loudest)]) > 3000, "the click was not recorded");
        const double reported = PositionAt(readings, recorder.timeOf(loudest));
        const double error = reported - inSong;
        qInfo("click at %.4f s: position reported when it was heard %.4f s (%+.1f ms)", inSong, reported,
              error * 1000);
        QVERIFY2(std::abs(error) <= 0.015, qPrintable(QString("%1 ms").arg(error * 1000)));
    }
}

void PulseTest::pauseAndSeekOnTheServer() {
    EnginePlayer player(false, EnginePlayer::Output::Automatic);
    QSignalSpy spy(&player, &MediaPlayer::PlayStateChange);
    player.setFileName(SongFolder::get().vbr());
    player.Play();
    QCOMPARE(player.outputName(), QString("pulse"));
    QTRY_VERIFY(player.CurrentPosition() > 0.3);
    player.Pause();
    const double held = player.CurrentPosition();
    QTest::qWait(300);
    QVERIFY(std::abs(player.CurrentPosition() - held) < 0.002);
    player.setCurrentPosition(2.0);
    QCOMPARE(player.CurrentPosition(), 2.0);
    QTest::qWait(100);
    QCOMPARE(player.CurrentPosition(), 2.0);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Paused));
    player.Play();
    QTRY_VERIFY(player.CurrentPosition() > 2.05);
    QVERIFY(player.CurrentPosition() < 2.6);
    QTRY_COMPARE_WITH_TIMEOUT(player.PlayState(), int(MediaPlayer::Stopped), 3000);
    QCOMPARE(player.CurrentPosition(), 0.0);
    QCoreApplication::processEvents();
    QCOMPARE(spy.size(), 4);  // play, pause, play, end
}

void PulseTest::serverLostInMidSongLeavesTheSongPlaying() {
    // A server of this test's own, so that it can be killed.
    QTemporaryDir dir;
    const QString socket = dir.filePath("native");
    QProcess daemon;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir.path());
    env.insert("HOME", dir.path());
    daemon.setProcessEnvironment(env);
    daemon.start("pulseaudio",
                 {"-n", "--daemonize=no", "--exit-idle-time=-1", "--log-target=stderr", "--log-level=0", "-L",
                  "module-null-sink", "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
    if (!daemon.waitForStarted(5000)) QSKIP("pulseaudio cannot be started here");
    const QByteArray server = ("unix:" + socket).toUtf8();
    std::unique_ptr<AudioOutput> probe;
    for (int i = 0; i < 50 && !probe; ++i) {
        probe = MakePulseOutput(server.constData(), 200);
        if (!probe) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!probe) QSKIP("the test's own pulseaudio did not answer");
    probe.reset();
    qputenv("PULSE_SERVER", server);
    EnginePlayer player(false, EnginePlayer::Output::Automatic);
    QSignalSpy spy(&player, &MediaPlayer::PlayStateChange);
    player.setFileName(SongFolder::get().cbr());
    player.Play();  // connects to the server named now
    qputenv("PULSE_SERVER", server_.toUtf8());
    QCOMPARE(player.outputName(), QString("pulse"));
    QTRY_VERIFY(player.CurrentPosition() > 0.8);
    daemon.kill();
    daemon.waitForFinished(5000);
    const double lost = player.CurrentPosition();
    QTRY_COMPARE(player.outputName(), QString("null"));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QVERIFY(player.CurrentPosition() >= lost - 0.3);
    QTRY_COMPARE_WITH_TIMEOUT(player.PlayState(), int(MediaPlayer::Stopped), 5000);
    QCOMPARE(spy.size(), 2);
}

void PulseTest::outputTakesAudioFasterOrSlowerThanItPlays() {
    using Result = AudioOutput::Result;
    std::unique_ptr<AudioOutput> out = MakePulseOutput(server_.toUtf8().constData(), 2000);
    QVERIFY(out);
    QVERIFY(out->begin({44100, 2}));
    constexpr size_t kPiece = 3000;
    const std::vector<int16_t> piece(2 * kPiece, 1000);
    // Slower than it plays: the server waits for every piece, and each goes over as soon as it comes.
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(out->write(piece.data(), kPiece), Result::Done);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Too little yet for the server to start playing: nothing is heard.
    QCOMPARE(out->heardFrames(), 0);
    // Faster than it plays: what the server and the waiting room cannot hold makes write wait.
    const auto start = Clock::now();
    for (int i = 0; i < 40; ++i) QCOMPARE(out->write(piece.data(), kPiece), Result::Done);
    QVERIFY(Clock::now() - start > std::chrono::milliseconds(500));
    QCOMPARE(out->drain(), Result::Done);
    // Drained, the server has given everything to the sound card, which may still be playing some of it.
    QTRY_VERIFY2_WITH_TIMEOUT(out->heardFrames() >= int64_t(45 * kPiece) - 2205,
                              qPrintable(QString::number(out->heardFrames())), 2000);
    QVERIFY(out->heardFrames() <= int64_t(45 * kPiece));
    // A write waiting for room gives way at once to an interruption.
    QVERIFY(out->begin({44100, 2}));
    std::atomic<bool> done{false};
    Result result = Result::Done;
    std::thread writer([&] {
        for (int i = 0; i < 100 && result == Result::Done; ++i) result = out->write(piece.data(), kPiece);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QVERIFY(!done);
    out->interrupt();
    writer.join();
    QCOMPARE(result, Result::Interrupted);
    out->end();
}

void PulseTest::positionStopsWhereTheAudioRunsOut() {
    // Between readings of the server's clock the position runs on by the steady clock; when the audio runs
    // out it must still stop at the last sample written, never run past it or go back. The server's own
    // clock runs on past the end meanwhile.
    std::unique_ptr<AudioOutput> out = MakePulseOutput(server_.toUtf8().constData(), 2000);
    QVERIFY(out);
    QVERIFY(out->begin({44100, 2}));
    constexpr int64_t kWritten = 66150;  // more than the server waits for before it starts playing
    const std::vector<int16_t> audio(2 * kWritten, 1000);
    QCOMPARE(out->write(audio.data(), size_t(kWritten)), AudioOutput::Result::Done);
    int64_t last = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(3000);
    while (Clock::now() < deadline) {
        const int64_t heard = out->heardFrames();
        QVERIFY2(heard >= last && heard <= kWritten, qPrintable(QString("%1 after %2").arg(heard).arg(last)));
        last = heard;
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    QVERIFY2(last > kWritten - 2205, qPrintable(QString::number(last)));
    // Paused, it holds; resumed with more audio, it goes on from where the audio ran out, however far the
    // server's clock ran on while there was none.
    out->setPaused(true);
    const int64_t held = out->heardFrames();
    constexpr int64_t kMore = 44100;
    QCOMPARE(out->write(audio.data(), size_t(kMore)), AudioOutput::Result::Done);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    QCOMPARE(out->heardFrames(), held);
    out->setPaused(false);
    QTRY_VERIFY_WITH_TIMEOUT(out->heardFrames() > held + 4410, 3000);
    QVERIFY(out->heardFrames() <= kWritten + kMore);
    QCOMPARE(out->drain(), AudioOutput::Result::Done);
    QTRY_VERIFY2_WITH_TIMEOUT(out->heardFrames() > kWritten + kMore - 4410,
                              qPrintable(QString::number(out->heardFrames())), 3000);
    out->end();
}

void PulseTest::audioRunsOutAndComesBack() {
    // A decoder that falls behind lets the audio run out; what it writes afterwards is heard from where the
    // audio stopped, and the position waits there for it instead of running on through the gap.
    std::unique_ptr<AudioOutput> out = MakePulseOutput(server_.toUtf8().constData(), 2000);
    QVERIFY(out);
    QVERIFY(out->begin({44100, 2}));
    constexpr int64_t kFirst = 66150;
    constexpr int64_t kMore = 44100;
    const std::vector<int16_t> audio(2 * kFirst, 1000);
    QCOMPARE(out->write(audio.data(), size_t(kFirst)), AudioOutput::Result::Done);
    QTRY_VERIFY_WITH_TIMEOUT(out->heardFrames() == kFirst, 4000);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    QCOMPARE(out->write(audio.data(), size_t(kMore)), AudioOutput::Result::Done);
    const auto written = Clock::now();
    while (Clock::now() - written < std::chrono::milliseconds(400)) {
        const int64_t since = int64_t(std::chrono::duration<double>(Clock::now() - written).count() * 44100);
        const int64_t heard = out->heardFrames();
        QVERIFY2(heard <= kFirst + since + 2205, qPrintable(QString("%1 at %2").arg(heard).arg(since)));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QTRY_VERIFY_WITH_TIMEOUT(out->heardFrames() > kFirst + 4410, 3000);
    QVERIFY(out->heardFrames() <= kFirst + kMore);
    out->end();
}

void PulseTest::positionWaitsForTheServerToStart() {
    // The server starts a stream only once it holds a good part of a second of audio, or is told to play
    // what it has; until then nothing is heard, whatever its clock says.
    std::unique_ptr<AudioOutput> out = MakePulseOutput(server_.toUtf8().constData(), 2000);
    QVERIFY(out);
    QVERIFY(out->begin({44100, 2}));
    constexpr int64_t kShort = 8820;  // a fifth of a second: the end of a very short song
    const std::vector<int16_t> audio(2 * kShort, 1000);
    QCOMPARE(out->write(audio.data(), size_t(kShort)), AudioOutput::Result::Done);
    for (int i = 0; i < 50; ++i) {
        QCOMPARE(out->heardFrames(), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    QCOMPARE(out->drain(), AudioOutput::Result::Done);
    QTRY_VERIFY2_WITH_TIMEOUT(out->heardFrames() > kShort - 2205,
                              qPrintable(QString::number(out->heardFrames())), 3000);
    QVERIFY(out->heardFrames() <= kShort);
    out->end();
}

void PulseTest::resumedBeforeTheServerStarted() {
    // Paused and resumed while the server still waited for enough audio: when it starts playing (the null
    // sink takes its time), the position starts from the first sample, not from where the server's clock
    // had run on to, and then follows what is heard.
    std::unique_ptr<AudioOutput> out = MakePulseOutput(server_.toUtf8().constData(), 2000);
    QVERIFY(out);
    QVERIFY(out->begin({44100, 2}));
    const std::vector<int16_t> audio(2 * 44100, 1000);
    QCOMPARE(out->write(audio.data(), 8820), AudioOutput::Result::Done);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    out->setPaused(true);
    QCOMPARE(out->heardFrames(), 0);
    QCOMPARE(out->write(audio.data(), 35280), AudioOutput::Result::Done);
    out->setPaused(false);
    const auto resumed = Clock::now();
    int64_t first = 0;
    while (first == 0 && Clock::now() - resumed < std::chrono::seconds(3)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        first = out->heardFrames();
    }
    QVERIFY2(first > 0 && first < 4410, qPrintable(QString::number(first)));
    const auto started = Clock::now();
    const auto framesSince = [&] {
        return first + int64_t(std::chrono::duration<double>(Clock::now() - started).count() * 44100);
    };
    while (Clock::now() - started < std::chrono::milliseconds(400)) {
        const int64_t heard = out->heardFrames();
        QVERIFY2(heard <= framesSince() + 2205,
                 qPrintable(QString("%1 at %2").arg(heard).arg(framesSince())));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int64_t heard = out->heardFrames();
    QVERIFY2(heard >= framesSince() - 11025, qPrintable(QString("%1 at %2").arg(heard).arg(framesSince())));
    out->end();
}

}  // namespace qiva::test
