#include "RateTest.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <chrono>
#include <memory>
#include <thread>

#include "TestSongs.h"
#include "platform/AudioDecoder.h"
#include "platform/EnginePlayer.h"

namespace qiva::test {

namespace {

using Clock = std::chrono::steady_clock;

// MPEG-2.5, MPEG-2 and MPEG-1, three rates each.
constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
// Ten seconds are measured once every player has started and the server has settled: while the streams
// connect one after another, the server's clock for the first of them (whose latency changes with every
// stream that joins) runs slow for most of a second. One program plays one stream at a time.
constexpr double kSettleSeconds = 1.5;
constexpr double kMeasuredSeconds = 10;
constexpr double kSongSeconds = 14;
constexpr double kMostApart = 0.015;
constexpr double kLongestStill = 0.1;  // one tick of the lyric clock

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// One player and what was seen of it: whether its position began to move, the first reading of the
// measured time, how far later readings strayed from the steady clock since then, and the longest time
// its position stood still.
struct Track {
    int rate = 0;
    bool pulse = false;  // played through the sound server
    std::unique_ptr<EnginePlayer> player;
    bool moved = false;
    double firstWall = -1, firstPosition = 0;
    double lastPosition = 0, sameSince = 0;
    double worst = 0, longestStill = 0;
    QString where() const { return QStringLiteral("%1 Hz on %2").arg(rate).arg(player->outputName()); }
};

// Reads the position between two clock readings; a reading whose bracket is wide (the test's thread was
// descheduled in between) is dropped, so that what is checked is the player, not the machine. Readings
// before `from` (negative while some player has not started yet) only tell whether the position moves.
void Observe(Track& t, double from) {
    const double before = Now();
    const double position = t.player->CurrentPosition();
    const double after = Now();
    t.moved = t.moved || position > 0;
    const double wall = (before + after) / 2;
    if (after - before > 0.0005 || from < 0 || wall < from) return;
    if (t.firstWall < 0) {
        t.firstWall = t.sameSince = wall;
        t.firstPosition = t.lastPosition = position;
        return;
    }
    if (wall - t.firstWall > kMeasuredSeconds) return;
    t.worst = std::max(t.worst, std::abs((position - t.firstPosition) - (wall - t.firstWall)));
    if (position != t.lastPosition) {
        t.lastPosition = position;
        t.sameSince = wall;
    }
    t.longestStill = std::max(t.longestStill, wall - t.sameSince);
}

QString g_folder;

}  // namespace

void RateTest::initTestCase() {
    static QTemporaryDir dir;
    QVERIFY(dir.isValid());
    g_folder = dir.path();
    // Silence, encoded by lame at each rate; the encoders run side by side.
    std::vector<std::unique_ptr<QProcess>> encoders;
    for (int rate : kRates) {
        const QString wav = dir.filePath(QStringLiteral("%1.wav").arg(rate));
        WriteClickWav(wav, SourceSpec{rate, 1, int64_t(kSongSeconds * rate), {}});
        auto& lame = encoders.emplace_back(std::make_unique<QProcess>());
        lame->start(QStringLiteral("lame"),
                    {"--quiet", "-m", "m", "-b", "32", "--resample", QString::number(rate / 1000.0), wav,
                     dir.filePath(QStringLiteral("%1.mp3").arg(rate))});
    }
    for (auto& lame : encoders) QVERIFY(lame->waitForFinished(60000) && lame->exitCode() == 0);
    for (int rate : kRates) {
        Mp3Decoder d;
        d.open(dir.filePath(QStringLiteral("%1.mp3").arg(rate)));
        QCOMPARE(d.rate(), rate);
    }
}

namespace {

std::vector<Track> MakeTracks(bool withPulse) {
    std::vector<Track> tracks;
    for (const bool pulse : {false, true}) {
        if (pulse && !withPulse) continue;
        for (int rate : kRates) {
            Track& t = tracks.emplace_back();
            t.rate = rate;
            t.pulse = pulse;
            t.player = std::make_unique<EnginePlayer>(
                false, pulse ? EnginePlayer::Output::Automatic : EnginePlayer::Output::Null);
            t.player->setFileName(QStringLiteral("%1/%2.mp3").arg(g_folder).arg(rate));
        }
    }
    return tracks;
}

// Plays every track at once and watches them until each has been measured for long enough.
void Measure(std::vector<Track>& tracks) {
    for (Track& t : tracks) t.player->Play();
    const double deadline = Now() + kSongSeconds;
    double from = -1;
    const auto measuring = [&] {
        return from < 0 || std::any_of(tracks.begin(), tracks.end(), [](const Track& t) {
                   return t.firstWall < 0 || Now() - t.firstWall <= kMeasuredSeconds;
               });
    };
    while (measuring() && Now() < deadline) {
        for (Track& t : tracks) Observe(t, from);
        if (from < 0 && std::all_of(tracks.begin(), tracks.end(), [](const Track& t) { return t.moved; }))
            from = Now() + kSettleSeconds;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
}

QString Fault(const Track& t) {
    if (!t.moved) return t.where() + " never started";
    if (t.firstWall < 0 || Now() - t.firstWall < kMeasuredSeconds)
        return t.where() + " was not measured long";
    if (t.player->PlayState() != MediaPlayer::Playing) return t.where() + " stopped";
    if (t.worst > kMostApart)
        return QStringLiteral("%1 strayed %2 ms from the clock").arg(t.where()).arg(t.worst * 1e3);
    if (t.longestStill > kLongestStill)
        return QStringLiteral("%1 stood still for %2 ms").arg(t.where()).arg(t.longestStill * 1e3);
    return {};
}

}  // namespace

void RateTest::everyRateKeepsTime() {
    const QString server = qEnvironmentVariable("QIVA_PULSE_SERVER");
    if (server.isEmpty())
        qInfo(
            "no PulseAudio server with a null sink (scripts/start-pulse.sh): the null output alone is "
            "tested");
    else
        qputenv("PULSE_SERVER", server.toUtf8());
    // The sound server keeps time only as well as the machine lets it run: a measurement in which its streams
    // lagged is made again, and when most of them still lag together the machine is too busy to tell. The
    // null output has no such excuse.
    bool serverHeldUp = false;
    QString pulseFault;
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::vector<Track> tracks = MakeTracks(!server.isEmpty());
        Measure(tracks);
        pulseFault.clear();
        size_t lagging = 0;
        for (const Track& t : tracks) {
            qInfo("%s: at most %.1f ms from the steady clock, still for at most %.0f ms",
                  qPrintable(t.where()), t.worst * 1000, t.longestStill * 1000);
            if (t.pulse && t.player->outputName() != "pulse") QFAIL(qPrintable(t.where() + ", not pulse"));
            const QString fault = Fault(t);
            if (fault.isEmpty()) continue;
            if (!t.pulse) QFAIL(qPrintable(fault));
            if (pulseFault.isEmpty()) pulseFault = fault;
            ++lagging;
        }
        if (pulseFault.isEmpty()) return;
        serverHeldUp = lagging > std::size(kRates) / 2;
        qInfo("%s, %zu streams of the sound server lagging (busy machine?)", qPrintable(pulseFault), lagging);
    }
    if (serverHeldUp) QSKIP("the machine is too busy for the sound server to keep time");
    QFAIL(qPrintable(pulseFault));
}

}  // namespace qiva::test
