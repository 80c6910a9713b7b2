#pragma once
// The real player: decoding (MP3, FLAC, Ogg Vorbis, Opus, WAV) on a thread of its own, heard through
// PulseAudio, or through a null output paced by the steady clock where no sound server answers or
// QIVA_AUDIO=null asks for it. Below 100 % a time-stretcher slows the song between decoder and output
// (PlaybackRun); the position stays song time. Every state change and the end of the file reach the player on
// the thread that owns it.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/AudioOutput.h"
#include "platform/MediaPlayer.h"
#include "platform/SongDecoder.h"
#include "platform/TimeStretch.h"

namespace qiva {

class EnginePlayer : public MediaPlayer {
    Q_OBJECT
public:
    enum class Output {
        Automatic,  // PulseAudio when a server answers, else the null output
        Null,
    };

    explicit EnginePlayer(bool autoStart, Output output = Output::Automatic, QObject* parent = nullptr);
    ~EnginePlayer() override;

    void setVolume(int percent) override;
    int volume() const override { return volume_; }
    // "pulse" or "null": the output of the current run, or of the last one.
    QString outputName() const;

protected:
    void doOpen(const QString& path) override;
    void doClose() override;
    void doStart() override;
    void doPause() override;
    void doStop() override;
    void doSeek(double seconds) override;
    double doPosition() const override;
    double doDuration() const override { return decoder_.lengthSeconds(); }
    bool hasFile() const override { return decoder_.isOpen(); }
    // Playing, the new speed starts where the decoding has got to, a little ahead of what is heard; paused,
    // the run starts again at the new speed on Play.
    void doSetSpeed(int percent) override;

private:
    void beginRun();
    void endRun();
    void useOutput(std::unique_ptr<AudioOutput> output);
    void runEnded(uint64_t generation, AudioOutput::Result result);
    void workerLoop();
    AudioOutput::Result play();
    int64_t heardFrame() const;

    Output mode_;
    SongDecoder decoder_;
    std::unique_ptr<AudioOutput> output_;
    int64_t base_ = 0;       // the frame the current run started at; the position when there is none
    SongTimeline timeline_;  // the song frame of each frame the output plays in the current run
    std::atomic<int> wantedSpeed_{100};  // read by the decoding thread before every piece
    bool runActive_ = false;             // a run is playing or paused
    int volume_ = 100;

    // Hand-over between the owning thread and the decoding thread.
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    bool quit_ = false;
    bool runRequested_ = false;
    bool running_ = false;
    uint64_t generation_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread worker_;
};

}  // namespace qiva
