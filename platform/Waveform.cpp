#include "platform/Waveform.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/MediaPlayer.h"
#include "platform/SongDecoder.h"

namespace qiva {

namespace {
// Frames decoded at a time: about 1.5 s of a song, a millisecond or two of work, so that a cancelled
// worker stops soon.
constexpr size_t kBlockFrames = 64 * 1024;
// Peaks handed to the window at a time: about 12 s of a 44.1 kHz song, some 25 events for five minutes.
constexpr size_t kReportPeaks = 4096;

PeakPair Widen(PeakPair a, PeakPair b) { return {std::min(a.min, b.min), std::max(a.max, b.max)}; }

constexpr PeakPair kNothing{std::numeric_limits<int16_t>::max(), std::numeric_limits<int16_t>::min()};
}  // namespace

void WaveformPeaks::append(const PeakPair* peaks, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (fine.size() % kCoarseFine == 0)
            coarse.push_back(peaks[i]);
        else
            coarse.back() = Widen(coarse.back(), peaks[i]);
        fine.push_back(peaks[i]);
    }
}

std::optional<PeakPair> WaveformPeaks::span(size_t first, size_t last) const {
    last = std::min(last, fine.size());
    if (first >= last) return std::nullopt;
    PeakPair out = kNothing;
    // Whole coarse peaks in the middle, fine ones at the two ragged ends.
    size_t i = first;
    for (; i < last && i % kCoarseFine != 0; ++i) out = Widen(out, fine[i]);
    for (; i + kCoarseFine <= last; i += kCoarseFine) out = Widen(out, coarse[i / kCoarseFine]);
    for (; i < last; ++i) out = Widen(out, fine[i]);
    return out;
}

std::optional<PeakPair> WaveformPeaks::between(double from, double to) const {
    const double perPeak = secondsPerPeak();
    if (perPeak <= 0 || to <= from || to <= 0) return std::nullopt;
    const auto first = static_cast<size_t>(std::max(0.0, std::floor(from / perPeak)));
    const auto last = static_cast<size_t>(std::max(0.0, std::ceil(to / perPeak)));
    return span(first, std::max(last, first + 1));
}

void PeakBuilder::add(const int16_t* samples, size_t frames, std::vector<PeakPair>& out) {
    const auto channels = size_t(channels_);
    while (frames > 0) {
        if (framesIn_ == 0) current_ = kNothing;
        // Straight runs of samples within one peak: a loop the compiler can keep in registers.
        const size_t take = std::min(frames, size_t(WaveformPeaks::kFineFrames - framesIn_));
        int16_t lo = current_.min;
        int16_t hi = current_.max;
        for (const int16_t *s = samples, *end = samples + take * channels; s < end; ++s) {
            lo = std::min(lo, *s);
            hi = std::max(hi, *s);
        }
        current_ = {lo, hi};
        samples += take * channels;
        frames -= take;
        framesIn_ += int(take);
        if (framesIn_ == WaveformPeaks::kFineFrames) {
            out.push_back(current_);
            framesIn_ = 0;
        }
    }
}

void PeakBuilder::finish(std::vector<PeakPair>& out) {
    if (framesIn_ > 0) out.push_back(current_);
    framesIn_ = 0;
}

bool ComputePeaks(AudioDecoder& decoder, const std::atomic<bool>& cancelled,
                  const std::function<void(std::vector<PeakPair>&&, double done)>& report) {
    const int channels = std::max(1, decoder.channels());
    const int64_t length = decoder.lengthFrames();
    std::vector<int16_t> samples(kBlockFrames * size_t(channels));
    std::vector<PeakPair> peaks;
    PeakBuilder builder(channels);
    decoder.seek(0);
    int64_t decoded = 0;
    auto fraction = [&] { return length > 0 ? std::min(1.0, double(decoded) / double(length)) : 1.0; };
    while (!cancelled.load(std::memory_order_relaxed)) {
        const size_t n = decoder.read(samples.data(), kBlockFrames);
        if (n == 0) break;
        decoded += int64_t(n);
        builder.add(samples.data(), n, peaks);
        if (peaks.size() >= kReportPeaks) report(std::exchange(peaks, {}), fraction());
    }
    if (cancelled.load(std::memory_order_relaxed)) return false;
    builder.finish(peaks);
    report(std::move(peaks), fraction());
    return decoded >= length;
}

Waveform::Waveform(QObject* parent) : QObject(parent) {}

Waveform::~Waveform() {
    for (Worker& w : workers_) w.cancelled->store(true);
    for (Worker& w : workers_) w.thread.join();
}

void Waveform::cancel() {
    ++generation_;  // what the old worker still sends is dropped on arrival
    if (!workers_.empty()) workers_.back().cancelled->store(true);
    reapFinished();
    peaks_ = {};
    progress_ = 0;
    state_ = State::Empty;
    emit changed();
}

void Waveform::compute(const QString& songPath) {
    cancel();
    state_ = State::Computing;
    const uint64_t generation = generation_;
    Worker w{{}, std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false)};
    w.thread = std::thread([this, songPath, generation, cancelled = w.cancelled, done = w.done] {
        run(songPath, generation, *cancelled);
        done->store(true);
    });
    workers_.push_back(std::move(w));
    emit changed();
}

// A cancelled worker may still be opening its song (which scans the whole file): it is left to finish on
// its own rather than waited for, and joined here or at the end once it has.
void Waveform::reapFinished() {
    std::erase_if(workers_, [](Worker& w) {
        if (!w.done->load()) return false;
        w.thread.join();
        return true;
    });
}

// On the worker's thread: everything it finds goes to the window's thread as queued calls, which this
// object's destructor outlives by joining the worker first.
void Waveform::run(const QString& path, uint64_t generation, const std::atomic<bool>& cancelled) {
    SongDecoder decoder;
    try {
        decoder.open(path);
    } catch (const PlayerError&) {
        QMetaObject::invokeMethod(this, [this, generation] { ended(generation, State::Failed); });
        return;
    }
    const int rate = decoder.rate();
    const int64_t frames = decoder.lengthFrames();
    QMetaObject::invokeMethod(this, [this, generation, rate, frames] { opened(generation, rate, frames); });
    const bool whole = ComputePeaks(decoder, cancelled, [&](std::vector<PeakPair>&& block, double done) {
        QMetaObject::invokeMethod(this, [this, generation, block = std::move(block), done]() mutable {
            received(generation, std::move(block), done);
        });
    });
    if (cancelled.load()) return;
    QMetaObject::invokeMethod(
        this, [this, generation, whole] { ended(generation, whole ? State::Complete : State::Partial); });
}

void Waveform::opened(uint64_t generation, int rate, int64_t frames) {
    if (generation != generation_) return;
    peaks_.rate = rate;
    peaks_.songFrames = frames;
    emit changed();
}

void Waveform::received(uint64_t generation, std::vector<PeakPair> block, double done) {
    if (generation != generation_) return;
    peaks_.append(block.data(), block.size());
    progress_ = done;
    emit changed();
}

void Waveform::ended(uint64_t generation, State state) {
    if (generation != generation_) return;
    state_ = state;
    if (state == State::Complete) progress_ = 1.0;
    reapFinished();
    emit changed();
}

}  // namespace qiva
