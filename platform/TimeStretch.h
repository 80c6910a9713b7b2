#pragma once
// Slower playback with the pitch kept: a real-time time-stretcher between the decoder and the output, and the
// map from what the output has played back to song time.
//
// A stretcher starts primed with the song just before its first frame and drops its own start delay, so
// that output frame k of a stretcher started at song frame s is song frame s + k × speed exactly (up to the
// small wander of the phase vocoder); SongTimeline then turns any output frame back into a song frame.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace qiva {

class TimeStretch {
public:
    // percent: the speed, 100 × song time / output time (75 or 50 in the program; any 10..100 works).
    TimeStretch(int rate, int channels, int percent);
    ~TimeStretch();
    TimeStretch(const TimeStretch&) = delete;
    TimeStretch& operator=(const TimeStretch&) = delete;

    // How much song before the first frame the stretcher wants to hear first.
    size_t primeFrames() const;
    // Feeds the song just before the first frame (fewer than primeFrames() are padded with silence before
    // them); call once, before the first process().
    void prime(const int16_t* before, size_t frames);
    // Stretches interleaved frames and appends what comes out to out (interleaved).
    void process(const int16_t* in, size_t frames, std::vector<int16_t>& out);
    // Ends the stretch at song frame `songFrames` from the first: appends to out exactly what is left of the
    // output for the song so far, and `extra` frames beyond it for a cross-fade, feeding the stretcher
    // `lookahead` (the song that follows) and then silence for as long as it needs.
    void finish(const int16_t* lookahead, size_t frames, int64_t songFrames, size_t extra,
                std::vector<int16_t>& out);
    int64_t emitted() const { return emitted_; }  // output frames appended so far, start delay dropped
    int percent() const { return percent_; }

private:
    void feed(const float* const* planes, size_t frames);
    void retrieve(std::vector<int16_t>& out);
    void deinterleave(const int16_t* in, size_t frames);

    std::unique_ptr<RubberBand::RubberBandStretcher> rb_;
    int channels_;
    int percent_;
    size_t skip_ = 0;  // start delay still to drop
    int64_t emitted_ = 0;
    std::vector<std::vector<float>> in_, out_;
    std::vector<float*> inPtr_, outPtr_;
};

// Where each stretch of output began in the song, and at what speed: written by the decoding thread as it
// writes output, read by the thread that asks for the position.
class SongTimeline {
public:
    void reset(int64_t songFrame, int percent);
    // From output frame `outFrame` on, the output is song from `songFrame` on at `percent`.
    void add(int64_t outFrame, int64_t songFrame, int percent);
    int64_t songFrame(int64_t outFrame) const;
    int percentAt(int64_t outFrame) const;

private:
    struct Piece {
        int64_t out, song;
        int percent;
    };
    const Piece& pieceAt(int64_t outFrame) const;  // mutex held
    mutable std::mutex m_;
    std::vector<Piece> pieces_{{0, 0, 100}};
};

}  // namespace qiva
