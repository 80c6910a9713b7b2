#pragma once
// Hearing what the engine played: the sound server's null sink is recorded through its monitor, and the
// positions the player reported are read alongside, both on the steady clock.

#include <pulse/error.h>
#include <pulse/simple.h>

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/EnginePlayer.h"

namespace qiva::test {

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline constexpr int kRecordRate = 48000;

// Records the server's default source (the null sink's monitor) in small fragments on a thread of its own.
// Every fragment's arrival is timed on the steady clock; the earliest arrival relative to the samples
// counted is the best estimate of when each recorded sample was played.
class Recorder {
public:
    explicit Recorder(const QString& server) : server_(server.toUtf8()) {}
    ~Recorder() { stop(); }

    bool start(QString* error) {
        const pa_sample_spec spec{PA_SAMPLE_S16NE, kRecordRate, 1};
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = kFragment * sizeof(int16_t);
        int err = 0;
        const QByteArray sink = qgetenv("QIVA_PULSE_SINK");
        const QByteArray monitor = sink.isEmpty() ? QByteArray() : sink + ".monitor";
        pa_ = pa_simple_new(server_.constData(), "engine test", PA_STREAM_RECORD,
                            monitor.isEmpty() ? nullptr : monitor.constData(), "monitor", &spec, nullptr,
                            &attr, &err);
        if (!pa_) {
            *error = QString::fromUtf8(pa_strerror(err));
            return false;
        }
        thread_ = std::thread([this] { run(); });
        // An idle null sink renders seconds ahead; the recording flows in real time only once the sink has
        // taken up the small latency asked for here.
        const double deadline = Now() + 5;
        while (recorded_ < kRecordRate / 5 && Now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (recorded_ < kRecordRate / 5) *error = "the recording does not flow";
        steady_ = true;
        return recorded_ >= kRecordRate / 5;
    }

    void stop() {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
        if (pa_) pa_simple_free(pa_);
        pa_ = nullptr;
        if (offsets_.empty()) return;
        std::sort(offsets_.begin(), offsets_.end());
        epoch_ = offsets_[offsets_.size() / 50];
        jitter_ = offsets_[offsets_.size() / 2] - epoch_;
    }

    // After stop(): the steady-clock time at which recorded sample `frame` was played. Fragments arrive a
    // little late, and some much later on a busy machine; an early few per cent fix the recording's clock.
    double timeOf(int64_t frame) const { return epoch_ + double(frame) / kRecordRate; }
    // How much later than the early ones the typical fragment arrived: large when the timing is unreliable.
    double jitter() const { return jitter_; }
    const std::vector<int16_t>& samples() const { return samples_; }

private:
    static constexpr size_t kFragment = 96;  // 2 ms

    void run() {
        std::vector<int16_t> fragment(kFragment);
        while (!quit_) {
            int err = 0;
            if (pa_simple_read(pa_, fragment.data(), fragment.size() * sizeof(int16_t), &err) < 0) return;
            const double arrived = Now();
            samples_.insert(samples_.end(), fragment.begin(), fragment.end());
            recorded_ = samples_.size();
            if (steady_) offsets_.push_back(arrived - double(samples_.size()) / kRecordRate);
        }
    }

    QByteArray server_;
    pa_simple* pa_ = nullptr;
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::vector<int16_t> samples_;
    std::atomic<size_t> recorded_{0};
    std::atomic<bool> steady_{false};
    std::vector<double> offsets_;
    double epoch_ = 0;
    double jitter_ = 0;
};

struct Reading {
    double wall, position;
};

// The reported position at a steady-clock time, interpolated between the two readings around it.
inline double PositionAt(const std::vector<Reading>& readings, double wall) {
    for (size_t i = 1; i < readings.size(); ++i) {
        const Reading& a = readings[i - 1];
        const Reading& b = readings[i];
        if (b.wall < wall) continue;
        if (b.wall - a.wall < 1e-9) return b.position;
        return a.position + (b.position - a.position) * (wall - a.wall) / (b.wall - a.wall);
    }
    return -1;
}

// Plays until the end, reading the position about every millisecond; `each` is told every position read.
inline std::vector<Reading> PlayThrough(EnginePlayer& player,
                                        const std::function<void(double)>& each = nullptr) {
    std::vector<Reading> readings;
    player.Play();
    const double deadline = Now() + player.Duration() * 2 + 3;  // a slowed song lasts up to twice as long
    while (player.PlayState() == MediaPlayer::Playing && Now() < deadline) {
        const double before = Now();
        const double position = player.CurrentPosition();
        const double after = Now();
        if (after - before < 0.0005) readings.push_back({(before + after) / 2, position});
        if (each) each(position);
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return readings;
}

}  // namespace qiva::test
