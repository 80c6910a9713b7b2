#pragma once
// Where the engine's decoded samples go. An output plays one run at a time: begin() at a position, write()
// from the decoding thread, pause and resume, drain at the end of the file, end() to drop what is queued.
// heardFrames() counts the frames of the current run the listener has heard, never a coarse tick.
//
// Threads: begin() and end() run only while no write() or drain() is in progress (the engine stops its
// decoding thread first); every other call may come from either thread at any time.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qiva {

struct AudioFormat {
    int rate = 44100;
    int channels = 2;  // interleaved signed 16-bit samples
};

class AudioOutput {
public:
    enum class Result { Done, Interrupted, Failed };

    virtual ~AudioOutput() = default;
    virtual const char* name() const = 0;

    // Starts a run; false when the output cannot play (the engine then falls back).
    virtual bool begin(const AudioFormat& format) = 0;
    virtual void end() = 0;
    // Blocks while the output's queue is full; returns early when interrupted or when the output fails.
    virtual Result write(const int16_t* samples, size_t frames) = 0;
    // Blocks until everything written has been heard.
    virtual Result drain() = 0;
    // Wakes a blocked write() or drain() and makes every later one return Interrupted until begin().
    virtual void interrupt() = 0;
    virtual void setPaused(bool paused) = 0;
    virtual int64_t heardFrames() const = 0;
    virtual void setVolume(int percent) = 0;
};

// Plays to nowhere in real time by the steady clock, with the same position, pause and end-of-file
// behaviour as a sound card.
std::unique_ptr<AudioOutput> MakeNullOutput();

// Plays through PulseAudio (or PipeWire's PulseAudio server). Returns null when no server answers within
// the timeout; server may be null for the default one.
std::unique_ptr<AudioOutput> MakePulseOutput(const char* server, int timeoutMs);

}  // namespace qiva
