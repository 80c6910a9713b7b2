#include "StretchTest.h"

#include <QtTest>
#include <vector>

#include "TestSongs.h"
#include "platform/TimeStretch.h"

namespace qiva::test {

namespace {

// Faint noise (the stretcher has something to work on between clicks) with a click every `every` frames.
std::vector<int16_t> ClickTrack(int channels, int64_t frames, int64_t first, int64_t every) {
    std::vector<int16_t> pcm(size_t(frames * channels));
    uint32_t seed = 1;
    for (int16_t& s : pcm) {
        seed = seed * 1664525u + 1013904223u;
        s = int16_t(int32_t(seed >> 24) - 128);
    }
    for (int64_t at = first; at < frames; at += every)
        for (int c = 0; c < channels; ++c) pcm[size_t(at * channels + c)] = 20000;
    return pcm;
}

std::vector<int16_t> Stretch(TimeStretch& ts, const std::vector<int16_t>& in, int channels) {
    std::vector<int16_t> out;
    ts.prime(nullptr, 0);
    constexpr size_t kPiece = 5000;  // not a multiple of the stretcher's own block
    const size_t frames = in.size() / size_t(channels);
    for (size_t at = 0; at < frames; at += kPiece)
        ts.process(in.data() + at * size_t(channels), std::min(kPiece, frames - at), out);
    return out;
}

}  // namespace

void StretchTest::initTestCase() { QVERIFY2(SongFolder::get().ok(), "lame could not make the test songs"); }

void StretchTest::clicksComeOutAtSongTimeOverSpeed_data() {
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("percent");
    QTest::newRow("44.1 kHz stereo 50 %") << 44100 << 2 << 50;
    QTest::newRow("44.1 kHz stereo 75 %") << 44100 << 2 << 75;
    QTest::newRow("22.05 kHz mono 50 %") << 22050 << 1 << 50;
    QTest::newRow("48 kHz stereo 75 %") << 48000 << 2 << 75;
}

void StretchTest::clicksComeOutAtSongTimeOverSpeed() {
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(int, percent);
    const int64_t every = rate * 7 / 10;
    const std::vector<int16_t> in = ClickTrack(channels, 8 * rate, rate / 3, every);
    TimeStretch ts(rate, channels, percent);
    const std::vector<int16_t> out = Stretch(ts, in, channels);
    double worst = 0;
    int found = 0;
    for (int64_t click = rate / 3; click < 7 * rate; click += every) {
        const int64_t expected = click * 100 / percent;
        const int64_t got = PeakFrame(out, channels, expected, rate / 10);
        const double ms = double(got - expected) * 1000 / rate;
        qInfo("click at %.3f s of the song: out at %+.2f ms", double(click) / rate, ms);
        worst = std::max(worst, std::abs(ms));
        found += std::abs(out[size_t(got * channels)]) > 5000;
    }
    QCOMPARE(found, 10);
    QVERIFY2(worst <= 7, qPrintable(QString("worst %1 ms").arg(worst)));
}

void StretchTest::finishGivesTheExactLength() {}

void StretchTest::timelineMapsOutputToSongTime() {}

}  // namespace qiva::test
