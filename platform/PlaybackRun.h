#pragma once
// One run of the engine on its decoding thread: decoder, then the time-stretcher below 100 %, then the
// output. The speed may change while the run plays: the change is made where the decoding has got to, so
// the output never stops; the stretcher that ends gives out exactly the song up to that frame, the one
// that starts is primed with the song before it, and a few milliseconds of the two are cross-faded. The
// timeline records each change so that the position heard stays song time throughout.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/AudioOutput.h"
#include "platform/TimeStretch.h"

namespace qiva {

class PlaybackRun {
public:
    // speed: the speed asked for now (read before every piece); stopping: ends the run at the next piece.
    PlaybackRun(AudioDecoder& decoder, AudioOutput& output, SongTimeline& timeline,
                const std::atomic<int>& speed, const std::atomic<bool>& stopping);
    ~PlaybackRun();
    PlaybackRun(const PlaybackRun&) = delete;
    PlaybackRun& operator=(const PlaybackRun&) = delete;

    // Plays from the decoder's position at `percent` to the end of the song (drained) or until stopped.
    AudioOutput::Result play(int percent);

private:
    using Result = AudioOutput::Result;
    void readHistory(int64_t from);
    Result feed(std::vector<int16_t>& frames, size_t count);
    Result change(int percent, const std::vector<int16_t>& lookahead, size_t frames, int64_t at);
    Result endStretch(const int16_t* lookahead, size_t frames, int64_t at, size_t extra);
    void startPiece(int percent, int64_t at);
    Result write(std::vector<int16_t>& frames, size_t count);
    void crossFade(std::vector<int16_t>& frames, size_t count);

    AudioDecoder& decoder_;
    AudioOutput& output_;
    SongTimeline& timeline_;
    const std::atomic<int>& speed_;
    const std::atomic<bool>& stopping_;
    int channels_;
    int percent_ = 100;
    std::unique_ptr<TimeStretch> stretch_;  // none at 100 %: the samples go straight to the output
    int64_t pieceSong_ = 0;                 // the song frame the current speed began at
    int64_t written_ = 0;                   // output frames written in this run
    std::vector<int16_t> chunk_, previous_, stretched_;
    size_t previousFrames_ = 0;  // the song just before the chunk being played, for priming a stretcher
    std::vector<int16_t> fade_;  // the old speed's output past a change, faded out under the new one
    size_t faded_ = 0;           // frames of fade_ already mixed in
};

}  // namespace qiva
