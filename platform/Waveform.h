#pragma once
// The waveform of a song: the lowest and highest sample of every short stretch of it, over all channels,
// computed from the decoded song on a worker thread so that the window stays responsive while it grows.
//
// Two levels: fine peaks of 128 frames each (under 3 ms at 44.1 kHz, so that two seconds across a strip of
// about 530 pixels still get a peak or more per pixel), and coarse peaks of 64 fine ones, which a view of the
// whole song reads instead of hundreds of fine peaks per pixel.

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace qiva {

class AudioDecoder;

struct PeakPair {
    int16_t min = 0;
    int16_t max = 0;
    bool operator==(const PeakPair&) const = default;
};

struct WaveformPeaks {
    static constexpr int kFineFrames = 128;
    static constexpr int kCoarseFine = 64;  // fine peaks per coarse peak

    int rate = 0;            // frames per second of the song
    int64_t songFrames = 0;  // the whole song's length, decoded or not
    std::vector<PeakPair> fine;
    std::vector<PeakPair> coarse;  // the last one covers the fine peaks there are so far

    double secondsPerPeak() const { return rate > 0 ? double(kFineFrames) / rate : 0.0; }
    double songSeconds() const { return rate > 0 ? double(songFrames) / rate : 0.0; }
    double decodedSeconds() const { return double(fine.size()) * secondsPerPeak(); }
    // Adds fine peaks at the end and keeps the coarse level in step.
    void append(const PeakPair* peaks, size_t count);
    // The lowest and highest sample of the fine peaks [first, last); empty when none of them is decoded.
    std::optional<PeakPair> span(size_t first, size_t last) const;
    // The same over the seconds [from, to) of the song.
    std::optional<PeakPair> between(double from, double to) const;
};

// Folds interleaved 16-bit frames into fine peaks, whatever the sizes of the blocks it is given.
class PeakBuilder {
public:
    explicit PeakBuilder(int channels) : channels_(channels > 0 ? channels : 1) {}
    // Appends to `out` every fine peak that these frames complete.
    void add(const int16_t* samples, size_t frames, std::vector<PeakPair>& out);
    // Appends the last, shorter peak, if frames are left over.
    void finish(std::vector<PeakPair>& out);

private:
    int channels_;
    int framesIn_ = 0;  // frames of the peak being built
    PeakPair current_{};
};

// Decodes an open song from its start and reports its peaks in blocks, with the fraction of the song done.
// Stops early when `cancelled` turns true; answers false when the decoder gave out before the song's end.
bool ComputePeaks(AudioDecoder& decoder, const std::atomic<bool>& cancelled,
                  const std::function<void(std::vector<PeakPair>&&, double done)>& report);

// The waveform of one song at a time, computed on a thread of its own. Its progress and its peaks arrive
// on the user-interface thread as queued events; opening another song drops the work for the previous one.
class Waveform : public QObject {
    Q_OBJECT
public:
    enum class State { Empty, Computing, Complete, Partial, Failed };

    explicit Waveform(QObject* parent = nullptr);
    ~Waveform() override;  // waits for the workers, which stop at their next block

    void compute(const QString& songPath);
    void cancel();
    const WaveformPeaks& peaks() const { return peaks_; }
    State state() const { return state_; }
    double progress() const { return progress_; }  // 0..1 of the song decoded

signals:
    // New peaks have arrived, or the state changed.
    void changed();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> cancelled;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void run(const QString& path, uint64_t generation, const std::atomic<bool>& cancelled);
    void opened(uint64_t generation, int rate, int64_t frames);
    void received(uint64_t generation, std::vector<PeakPair> block, double done);
    void ended(uint64_t generation, State state);
    void reapFinished();

    std::vector<Worker> workers_;  // the current one last; the others were cancelled
    uint64_t generation_ = 0;
    WaveformPeaks peaks_;
    State state_ = State::Empty;
    double progress_ = 0;
};

}  // namespace qiva
