#include "StretchTest.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "Recording.h"
#include "TestSongs.h"
#include "platform/EnginePlayer.h"
#include "platform/PlaybackRun.h"
#include "platform/SongDecoder.h"

namespace qiva::test {

namespace {

// How fast the song time moves against the steady clock over `ms` of playing, once the position moves.
double Rate(EnginePlayer& player, int ms) {
    const double from = player.CurrentPosition();
    if (!QTest::qWaitFor([&] { return player.CurrentPosition() > from; }, 2000)) return 0;
    const double wall = Now();
    const double start = player.CurrentPosition();
    QTest::qWait(ms);
    return (player.CurrentPosition() - start) / (Now() - wall);
}

// The steady-clock time at which the readings put a song position.
double WallAt(const std::vector<Reading>& readings, double position) {
    for (size_t i = 1; i < readings.size(); ++i) {
        const Reading& a = readings[i - 1];
        const Reading& b = readings[i];
        if (b.position < position) continue;
        if (b.position - a.position < 1e-9) return b.wall;
        return a.wall + (b.wall - a.wall) * (position - a.position) / (b.position - a.position);
    }
    return -1;
}

// The longest run of near silence between the first and the last sound recorded, in seconds.
double LongestGap(const std::vector<int16_t>& heard) {
    const auto loud = [](int16_t s) { return std::abs(s) > 1000; };
    const auto first = std::find_if(heard.begin(), heard.end(), loud);
    const auto last = std::find_if(heard.rbegin(), heard.rend(), loud).base();
    size_t run = 0, longest = 0;
    for (auto it = first; it < last; ++it) {
        run = std::abs(*it) < 200 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return double(longest) / kRecordRate;
}

constexpr int kToneRate = 44100;
constexpr int64_t kToneClickEvery = kToneRate / 2;
constexpr int64_t kToneFirstClick = kToneRate * 3 / 10;

// Where the tone song's clicks fall in the decoded song.
std::vector<int64_t> ToneClicks(const std::vector<int16_t>& decoded) {
    std::vector<int64_t> at;
    for (int64_t c = kToneFirstClick; c < 6 * kToneRate - kToneRate / 4; c += kToneClickEvery)
        at.push_back(PeakFrame(decoded, 2, c, 100));
    return at;
}

// Keeps everything written, heard at once; `onWrite` is told the frames written so far.
class CaptureOutput : public AudioOutput {
public:
    const char* name() const override { return "capture"; }
    bool begin(const AudioFormat&) override { return true; }
    void end() override {}
    Result write(const int16_t* samples, size_t frames) override {
        all.insert(all.end(), samples, samples + frames * 2);
        if (onWrite) onWrite(int64_t(all.size() / 2));
        return Result::Done;
    }
    Result drain() override { return Result::Done; }
    void interrupt() override {}
    void setPaused(bool) override {}
    int64_t heardFrames() const override { return int64_t(all.size() / 2); }
    void setVolume(int) override {}
    std::vector<int16_t> all;
    std::function<void(int64_t)> onWrite;
};

}  // namespace

void StretchTest::initTestCase() {
    QVERIFY2(SongFolder::get().ok(), "lame could not make the test songs");
    // 6 s of a steady tone, so that any gap in what is heard shows, with a click every half second.
    SourceSpec tone{kToneRate, 2, 6 * kToneRate, {}, 2000};
    for (int64_t at = kToneFirstClick; at < tone.frames - kToneRate / 4; at += kToneClickEvery)
        tone.clicks.push_back(at);
    toneSong_ = SongFolder::get().path("tone.mp3");
    WriteClickWav(SongFolder::get().path("tone.wav"), tone);
    QVERIFY(Encode(SongFolder::get().path("tone.wav"), toneSong_, {"-b", "192"}));
    server_ = qEnvironmentVariable("QIVA_PULSE_SERVER");
    if (!server_.isEmpty()) qputenv("PULSE_SERVER", server_.toUtf8());
}

void StretchTest::runThroughChangesIsWholeAndInTime() {
    // A run from 50 % to 100 % to 75 % and back to 50 %, everything the output got kept: the tone never
    // drops out or swells at a change, every click comes out where the timeline says that song frame plays,
    // and the output ends exactly with the song.
    constexpr int kRate = kToneRate;
    const std::vector<int64_t> clicks = ToneClicks(DecodeAll(toneSong_));
    SongDecoder decoder;
    decoder.open(toneSong_);
    const int64_t frames = decoder.lengthFrames();
    CaptureOutput output;
    SongTimeline timeline;
    std::atomic<int> speed{50};
    std::atomic<bool> stopping{false};
    output.onWrite = [&](int64_t written) {
        const std::vector<std::pair<int64_t, int>> plan{
            {kRate * 3 / 2, 100}, {3 * kRate, 75}, {5 * kRate, 50}};
        for (const auto& [after, percent] : plan)
            if (written >= after) speed = percent;
    };
    timeline.reset(0, 50);
    PlaybackRun run(decoder, output, timeline, speed, stopping);
    QCOMPARE(run.play(50), AudioOutput::Result::Done);
    const auto total = int64_t(output.all.size() / 2);
    QVERIFY(std::abs(timeline.songFrame(total) - frames) <= 2);
    QCOMPARE(timeline.percentAt(0), 50);
    QCOMPARE(timeline.percentAt(total - 1), 50);
    QVERIFY(timeline.percentAt(5 * kRate / 2) == 100 || timeline.percentAt(4 * kRate) == 75);
    for (int64_t click : clicks) {
        int64_t out = 0;
        while (timeline.songFrame(out) < click) ++out;
        const int64_t got = PeakFrame(output.all, 2, out, kRate / 10);
        const double ms = double(timeline.songFrame(got) - click) * 1000 / kRate;  // in song time
        QVERIFY2(std::abs(ms) <= 5, qPrintable(QString("click at %1: %2 ms off").arg(click).arg(ms)));
    }
    // The tone's level over every 5 ms that holds no click (the stretcher rings on a little after one).
    constexpr int64_t kWindow = kRate / 200;
    for (int64_t w = kRate / 20; w + kWindow < total - kRate / 20; w += kWindow) {
        const int64_t song = timeline.songFrame(w);
        const bool nearClick = std::any_of(clicks.begin(), clicks.end(),
                                           [&](int64_t c) { return std::abs(c - song) < kRate / 25; });
        if (nearClick) continue;
        int peak = 0;
        for (int64_t i = w; i < w + kWindow; ++i)
            peak = std::max(peak, std::abs(int(output.all[size_t(2 * i)])));
        QVERIFY2(peak > 1400 && peak < 3000,
                 qPrintable(QString("peak %1 at output frame %2").arg(peak).arg(w)));
    }
}

void StretchTest::positionMovesAtTheSpeed_data() {
    QTest::addColumn<int>("percent");
    QTest::newRow("100 %") << 100;
    QTest::newRow("75 %") << 75;
    QTest::newRow("50 %") << 50;
}

void StretchTest::positionMovesAtTheSpeed() {
    QFETCH(int, percent);
    EnginePlayer player(false, EnginePlayer::Output::Null);
    player.setSpeed(percent);
    player.setFileName(SongFolder::get().vbr());
    QCOMPARE(player.Duration(), SongFolder::get().source().frames / 44100.0);  // song time at any speed
    player.Play();
    const double rate = Rate(player, 600);
    QVERIFY2(std::abs(rate - percent / 100.0) < 0.03, qPrintable(QString::number(rate)));
    // A seek and the next song keep the speed.
    player.setCurrentPosition(1.0);
    QVERIFY(std::abs(Rate(player, 300) - percent / 100.0) < 0.05);
    player.setFileName(SongFolder::get().mono());
    QCOMPARE(player.speed(), percent);
    player.Play();
    QVERIFY(std::abs(Rate(player, 300) - percent / 100.0) < 0.05);
}

void StretchTest::changeWhilePausedTakesEffectOnPlay() {
    EnginePlayer player(false, EnginePlayer::Output::Null);
    player.setFileName(SongFolder::get().cbr());
    player.Play();
    QTRY_VERIFY(player.CurrentPosition() > 0.3);
    player.Pause();
    const double held = player.CurrentPosition();
    player.setSpeed(50);
    QCOMPARE(player.CurrentPosition(), held);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Paused));
    player.Play();
    QVERIFY(std::abs(Rate(player, 400) - 0.5) < 0.05);
    QVERIFY(player.CurrentPosition() < held + 0.3);
}

void StretchTest::heardWhereThePositionSays_data() {
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("changeTo");  // then 75 %, or 0 for no change
    QTest::newRow("75 %") << 75 << 0;
    QTest::newRow("50 %") << 50 << 0;
    QTest::newRow("100 %, 50 % and 75 %") << 100 << 50;
}

void StretchTest::heardWhereThePositionSays() {
    QFETCH(int, percent);
    QFETCH(int, changeTo);
    if (server_.isEmpty()) QSKIP("no PulseAudio server with a null sink (scripts/start-pulse.sh sets one)");
    // The recording's timing is only as good as the machine is idle: a run with much jitter is measured
    // again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool reliable = false;
        measure(percent, changeTo, &reliable);
        if (QTest::currentTestFailed() || reliable) return;
        qInfo("the recording's timing was unreliable (busy machine); measuring again");
    }
    QSKIP("the machine is too busy to time the recording of the null sink");
}

// Plays the tone song through the null sink at `percent` (changing to `changeTo`, then to 75 %, on the way
// when it is not 0): every click is heard where the position says, the position never jumps, and the tone
// never stops.
void StretchTest::measure(int percent, int changeTo, bool* reliable) {
    const std::vector<int16_t> decoded = DecodeAll(toneSong_);
    Recorder recorder(server_);
    QString error;
    QVERIFY2(recorder.start(&error), qPrintable("cannot record the null sink: " + error));
    EnginePlayer player(false, EnginePlayer::Output::Automatic);
    player.setSpeed(percent);
    player.setFileName(toneSong_);
    player.setCurrentPosition(0.1);
    const std::vector<Reading> readings = PlayThrough(player, [&](double position) {
        if (changeTo != 0 && position > 0.6 && player.speed() == percent) player.setSpeed(changeTo);
        if (changeTo != 0 && position > 2.8 && player.speed() == changeTo) player.setSpeed(75);
    });
    QCOMPARE(player.outputName(), QString("pulse"));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    recorder.stop();
    *reliable = recorder.jitter() < 0.005;
    if (!*reliable) return;
    const std::vector<int16_t>& heard = recorder.samples();
    std::vector<double> errors;  // milliseconds
    for (const int64_t click : ToneClicks(decoded)) {
        const double inSong = double(click) / kToneRate;
        const auto guess = int64_t((WallAt(readings, inSong) - recorder.timeOf(0)) * kRecordRate);
        const int64_t loudest = PeakFrame(heard, 1, guess, int64_t(0.1 * kRecordRate));
        QVERIFY2(std::abs(heard[size_t(loudest)]) > 3000, "the click was not recorded");
        errors.push_back((PositionAt(readings, recorder.timeOf(loudest)) - inSong) * 1000);
        qInfo("click at %.3f s: position when heard %+.1f ms off", inSong, errors.back());
    }
    // The stretcher's start delay unaccounted for would put every click 15-22 ms off: the median tells.
    std::vector<double> sizes;
    for (double e : errors) sizes.push_back(std::abs(e));
    std::sort(sizes.begin(), sizes.end());
    QVERIFY2(sizes[sizes.size() / 2] <= 5, qPrintable(QString("median %1 ms").arg(sizes[sizes.size() / 2])));
    QVERIFY2(sizes.back() <= 15, qPrintable(QString("worst %1 ms").arg(sizes.back())));
    for (size_t i = 1; i < readings.size(); ++i)
        QVERIFY(readings[i].position - readings[i - 1].position <=
                readings[i].wall - readings[i - 1].wall + 0.005);
    const double gap = LongestGap(heard);
    QVERIFY2(gap <= 0.05, qPrintable(QString("a gap of %1 ms").arg(gap * 1000)));
}

}  // namespace qiva::test
