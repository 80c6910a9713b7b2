#include "platform/TimeStretch.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

namespace qiva {

namespace {

using RubberBand::RubberBandStretcher;

// Words sung or spoken slowly must stay clear, and where they fall in time must stay exact:
// - the finer (R3) engine: it is the one made for voices, soft onsets and held notes, and it keeps a click
//   within a few milliseconds of where the song puts it, where the faster engine lets clicks wander by
//   10-15 ms and smears some of them away;
// - its short window: a single resolution instead of three, at a third of the full engine's CPU (less than
//   the faster engine costs with this library's built-in FFT) and a shorter start delay, while a voice
//   still sounds whole;
// - one thread: the decoding thread is the stretcher's thread, and the cost stays on it.
constexpr RubberBandStretcher::Options kOptions =
    RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFiner |
    RubberBandStretcher::OptionWindowShort | RubberBandStretcher::OptionThreadingNever;

// Frames handed to the stretcher in one call: it is told so, and never reallocates while playing.
constexpr size_t kBlock = 2048;

}  // namespace

TimeStretch::TimeStretch(int rate, int channels, int percent)
    : rb_(std::make_unique<RubberBandStretcher>(size_t(rate), size_t(channels), kOptions,
                                                100.0 / double(percent))),
      channels_(channels),
      percent_(percent),
      in_(size_t(channels), std::vector<float>(kBlock)),
      out_(size_t(channels), std::vector<float>(kBlock)) {
    rb_->setMaxProcessSize(kBlock);
    for (size_t c = 0; c < size_t(channels); ++c) {
        inPtr_.push_back(in_[c].data());
        outPtr_.push_back(out_[c].data());
    }
    skip_ = rb_->getStartDelay();
}

TimeStretch::~TimeStretch() = default;

size_t TimeStretch::primeFrames() const { return rb_->getPreferredStartPad(); }

void TimeStretch::prime(const int16_t* before, size_t frames) {
    frames = std::min(frames, primeFrames());
    std::vector<int16_t> pad((primeFrames() - frames) * size_t(channels_), 0);
    std::vector<int16_t> discard;
    process(pad.data(), primeFrames() - frames, discard);
    process(before, frames, discard);
}

void TimeStretch::deinterleave(const int16_t* in, size_t frames) {
    for (size_t c = 0; c < size_t(channels_); ++c)
        for (size_t i = 0; i < frames; ++i) in_[c][i] = float(in[i * size_t(channels_) + c]) / 32768.0f;
}

void TimeStretch::process(const int16_t* in, size_t frames, std::vector<int16_t>& out) {
    while (frames > 0) {
        const size_t n = std::min(frames, kBlock);
        deinterleave(in, n);
        feed(inPtr_.data(), n);
        retrieve(out);
        in += n * size_t(channels_);
        frames -= n;
    }
}

void TimeStretch::feed(const float* const* planes, size_t frames) { rb_->process(planes, frames, false); }

void TimeStretch::retrieve(std::vector<int16_t>& out) {
    for (int available = rb_->available(); available > 0; available = rb_->available()) {
        const size_t got = rb_->retrieve(outPtr_.data(), std::min(size_t(available), kBlock));
        const size_t dropped = std::min(got, skip_);
        skip_ -= dropped;
        for (size_t i = dropped; i < got; ++i)
            for (size_t c = 0; c < size_t(channels_); ++c)
                out.push_back(int16_t(std::clamp(std::lround(out_[c][i] * 32768.0f), -32768L, 32767L)));
        emitted_ += int64_t(got - dropped);
        if (got == 0) break;
    }
}

void TimeStretch::finish(const int16_t* lookahead, size_t frames, int64_t songFrames, size_t extra,
                         std::vector<int16_t>& out) {
    const auto target = int64_t(std::llround(double(songFrames) * 100.0 / percent_));
    const int64_t want = target + int64_t(extra);
    std::vector<int16_t> more;
    process(lookahead, frames, more);
    const std::vector<int16_t> silence(kBlock * size_t(channels_), 0);
    // A bound of a few seconds of silence: the stretcher gives out what it holds long before that.
    for (int i = 0; emitted_ < want && i < 64; ++i) process(silence.data(), kBlock, more);
    const auto before = emitted_ - int64_t(more.size()) / channels_;
    const auto keep = std::clamp<int64_t>(want - before, 0, int64_t(more.size()) / channels_);
    out.insert(out.end(), more.begin(), more.begin() + keep * channels_);
}

void SongTimeline::reset(int64_t songFrame, int percent) {
    std::lock_guard lock(m_);
    pieces_.assign(1, Piece{0, songFrame, percent});
}

void SongTimeline::add(int64_t outFrame, int64_t songFrame, int percent) {
    std::lock_guard lock(m_);
    pieces_.push_back(Piece{outFrame, songFrame, percent});
}

const SongTimeline::Piece& SongTimeline::pieceAt(int64_t outFrame) const {
    auto after = std::upper_bound(pieces_.begin() + 1, pieces_.end(), outFrame,
                                  [](int64_t out, const Piece& p) { return out < p.out; });
    return *(after - 1);
}

int64_t SongTimeline::songFrame(int64_t outFrame) const {
    std::lock_guard lock(m_);
    const Piece& p = pieceAt(outFrame);
    const int64_t since = outFrame - p.out;
    return p.song + (p.percent == 100 ? since : since * p.percent / 100);
}

int SongTimeline::percentAt(int64_t outFrame) const {
    std::lock_guard lock(m_);
    return pieceAt(outFrame).percent;
}

}  // namespace qiva
