#include "platform/PlaybackRun.h"

#include <algorithm>

namespace qiva {

namespace {

// Decoded audio goes to the output in pieces of about a third of a second at 44.1 kHz: the sound server's
// output wakes the decoding thread when it has room for that much, so each wake-up decodes one piece or so.
// At 8 kHz a piece lasts two seconds, longer than either output queues: each takes it bit by bit.
constexpr size_t kChunkFrames = 16384;
// A change of speed cross-fades this many frames (5 ms at 44.1 kHz): the two speeds' waveforms do not meet
// sample for sample, and a hard cut between them would click.
constexpr size_t kFadeFrames = 220;

}  // namespace

PlaybackRun::PlaybackRun(AudioDecoder& decoder, AudioOutput& output, SongTimeline& timeline,
                         const std::atomic<int>& speed, const std::atomic<bool>& stopping)
    : decoder_(decoder),
      output_(output),
      timeline_(timeline),
      speed_(speed),
      stopping_(stopping),
      channels_(decoder.channels()),
      chunk_(kChunkFrames * size_t(channels_)),
      previous_(kChunkFrames * size_t(channels_)) {}

PlaybackRun::~PlaybackRun() = default;

AudioOutput::Result PlaybackRun::play(int percent) {
    const int64_t from = decoder_.tell();
    if (percent != 100) readHistory(from);
    startPiece(percent, from);
    for (;;) {
        if (stopping_) return Result::Interrupted;
        const int64_t at = decoder_.tell();
        const size_t frames = decoder_.read(chunk_.data(), kChunkFrames);
        if (const int wanted = speed_; wanted != percent_) {
            const Result changed = change(wanted, chunk_, frames, at);
            if (changed != Result::Done) return changed;
        }
        if (frames == 0) {
            const Result ended = stretch_ ? endStretch(nullptr, 0, at, 0) : Result::Done;
            return ended == Result::Done ? output_.drain() : ended;
        }
        const Result fed = feed(chunk_, frames);
        if (fed != Result::Done) return fed;
        std::swap(chunk_, previous_);
        previousFrames_ = frames;
    }
}

// The song just before a run that starts slowed, for its stretcher to start from.
void PlaybackRun::readHistory(int64_t from) {
    const int64_t start = std::max<int64_t>(0, from - int64_t(kChunkFrames));
    decoder_.seek(start);
    size_t got = 0;
    while (got < size_t(from - start)) {
        const size_t n =
            decoder_.read(previous_.data() + got * size_t(channels_), size_t(from - start) - got);
        if (n == 0) break;
        got += n;
    }
    previousFrames_ = got;
    if (decoder_.tell() != from) decoder_.seek(from);
}

AudioOutput::Result PlaybackRun::feed(std::vector<int16_t>& frames, size_t count) {
    if (!stretch_) return write(frames, count);
    stretched_.clear();
    stretch_->process(frames.data(), count, stretched_);
    return write(stretched_, stretched_.size() / size_t(channels_));
}

// Changes speed at song frame `at`: what the old speed gives out past it is kept to fade out under the new.
AudioOutput::Result PlaybackRun::change(int percent, const std::vector<int16_t>& lookahead, size_t frames,
                                        int64_t at) {
    if (stretch_) {
        const Result ended = endStretch(lookahead.data(), frames, at, kFadeFrames);
        if (ended != Result::Done) return ended;
    } else {
        const size_t n = std::min(frames, kFadeFrames) * size_t(channels_);
        fade_.assign(lookahead.begin(), lookahead.begin() + ptrdiff_t(n));
        faded_ = 0;
    }
    timeline_.add(written_, at, percent);
    startPiece(percent, at);
    return Result::Done;
}

// Writes the rest of the stretched song up to `at`; `extra` frames past it become the fade-out.
AudioOutput::Result PlaybackRun::endStretch(const int16_t* lookahead, size_t frames, int64_t at,
                                            size_t extra) {
    stretched_.clear();
    stretch_->finish(lookahead, frames, at - pieceSong_, extra, stretched_);
    const size_t got = stretched_.size() / size_t(channels_);
    const size_t main = got - std::min(got, extra);
    const Result result = write(stretched_, main);
    fade_.assign(stretched_.begin() + ptrdiff_t(main * size_t(channels_)), stretched_.end());
    faded_ = 0;
    return result;
}

void PlaybackRun::startPiece(int percent, int64_t at) {
    percent_ = percent;
    pieceSong_ = at;
    stretch_.reset();
    if (percent == 100) return;
    stretch_ = std::make_unique<TimeStretch>(decoder_.rate(), channels_, percent);
    const size_t prime = std::min(previousFrames_, stretch_->primeFrames());
    stretch_->prime(previous_.data() + (previousFrames_ - prime) * size_t(channels_), prime);
}

AudioOutput::Result PlaybackRun::write(std::vector<int16_t>& frames, size_t count) {
    if (count == 0) return Result::Done;
    crossFade(frames, count);
    const Result result = output_.write(frames.data(), count);
    if (result == Result::Done) written_ += int64_t(count);
    return result;
}

void PlaybackRun::crossFade(std::vector<int16_t>& frames, size_t count) {
    const size_t total = fade_.size() / size_t(channels_);
    const size_t n = std::min(count, total - faded_);
    for (size_t i = 0; i < n; ++i) {
        const float in = float(faded_ + i + 1) / float(total + 1);
        for (size_t c = 0; c < size_t(channels_); ++c) {
            int16_t& s = frames[i * size_t(channels_) + c];
            s = int16_t(float(s) * in + float(fade_[(faded_ + i) * size_t(channels_) + c]) * (1 - in));
        }
    }
    faded_ += n;
}

}  // namespace qiva
