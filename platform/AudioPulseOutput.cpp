#include <pulse/pulseaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/AudioOutput.h"
#include "platform/PulseLibrary.h"

namespace qiva {

namespace {

// Only reached once MakePulseOutput has found the library.
const PulseLibrary& pa() { return *Pulse(); }

// The server's queue for our stream, and how much of it must be free before the server asks for more. The
// queue's length does not change what position is reported (that comes from the server's timing), nor how
// fast pause, seek and volume act (pause corks the stream, seek starts a new one, volume goes to the
// server): a long queue refilled in large pieces only lets the decoding thread and the loop's thread wake
// a few times a second instead of dozens.
constexpr pa_usec_t kQueueUsec = 1000 * PA_USEC_PER_MSEC;
constexpr pa_usec_t kRefillUsec = 250 * PA_USEC_PER_MSEC;
// Decoded audio waits in a ring of our own until the server asks for it; the loop's thread then hands it
// over in the same wake-up as the request. Written from the decoding thread instead, each piece would wake
// the loop's thread once more to send it. The decoding thread is woken only once half the ring is free.
constexpr pa_usec_t kRingUsec = 750 * PA_USEC_PER_MSEC;
// Asking the server's clock where the stream is costs a trip through the loop's lock. Once the stream is
// seen to move, the position between two such readings a quarter second apart moves on by the steady clock,
// as the server's own interpolation would; it never passes what was written, nor goes back.
// The server's clock is not believed before the server has started playing: it runs on from the first
// write while the server still waits for most of a second of audio. After the audio ran out it may have run
// on past the end; playback starts again from the last sample written, so the library must not hold the
// clock at the furthest point it reached (our own rule keeps the position from going back).
constexpr auto kClockReadEvery = std::chrono::milliseconds(250);
using SteadyClock = std::chrono::steady_clock;

pa_volume_t PulseVolume(int percent) {
    return pa_volume_t(uint64_t(PA_VOLUME_NORM) * uint64_t(std::clamp(percent, 0, 100)) / 100);
}

// Every libpulse call below runs with the threaded main loop's lock held: the loop's own thread runs the
// callbacks, which record what happened, hand the server what waits in the ring, and wake whoever waits.
class PulseOutput : public AudioOutput {
public:
    ~PulseOutput() override {
        if (!loop_) return;
        end();
        if (context_) {
            pa().pa_threaded_mainloop_lock(loop_);
            pa().pa_context_set_state_callback(context_, nullptr, nullptr);
            pa().pa_context_disconnect(context_);
            pa().pa_context_unref(context_);
            pa().pa_threaded_mainloop_unlock(loop_);
        }
        if (started_) pa().pa_threaded_mainloop_stop(loop_);
        pa().pa_threaded_mainloop_free(loop_);
    }

    const char* name() const override { return "pulse"; }

    bool connect(const char* server, int timeoutMs) {
        loop_ = pa().pa_threaded_mainloop_new();
        if (!loop_) return false;
        context_ = pa().pa_context_new(pa().pa_threaded_mainloop_get_api(loop_), "QIVA");
        if (!context_) return false;
        pa().pa_context_set_state_callback(context_, &PulseOutput::onChange, this);
        // Never start a server of our own: where none runs the engine plays to the null output instead.
        if (pa().pa_context_connect(context_, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
        if (pa().pa_threaded_mainloop_start(loop_) < 0) return false;
        started_ = true;
        Locked lock(loop_);
        waitFor(timeoutMs, [this] {
            return pa().pa_context_get_state(context_) != PA_CONTEXT_CONNECTING &&
                   pa().pa_context_get_state(context_) != PA_CONTEXT_AUTHORIZING &&
                   pa().pa_context_get_state(context_) != PA_CONTEXT_SETTING_NAME &&
                   pa().pa_context_get_state(context_) != PA_CONTEXT_UNCONNECTED;
        });
        return pa().pa_context_get_state(context_) == PA_CONTEXT_READY;
    }

    bool begin(const AudioFormat& format) override {
        end();
        std::lock_guard clock(clockMutex_);
        Locked lock(loop_);
        if (pa().pa_context_get_state(context_) != PA_CONTEXT_READY) return false;
        format_ = format;
        const pa_sample_spec spec{PA_SAMPLE_S16NE, uint32_t(format.rate), uint8_t(format.channels)};
        stream_ = pa().pa_stream_new(context_, "QIVA", &spec, nullptr);
        if (!stream_) return false;
        pa().pa_stream_set_state_callback(stream_, &PulseOutput::onChange, this);
        pa().pa_stream_set_write_callback(stream_, &PulseOutput::onWritable, this);
        pa().pa_stream_set_latency_update_callback(stream_, &PulseOutput::onTiming, this);
        pa().pa_stream_set_underflow_callback(stream_, &PulseOutput::onUnderflow, this);
        pa().pa_stream_set_started_callback(stream_, &PulseOutput::onStarted, this);
        pa_buffer_attr attr{};
        attr.maxlength = attr.prebuf = attr.fragsize = uint32_t(-1);
        attr.tlength = uint32_t(pa().pa_usec_to_bytes(kQueueUsec, &spec));
        attr.minreq = uint32_t(pa().pa_usec_to_bytes(kRefillUsec, &spec));
        pa_cvolume volume;
        pa().pa_cvolume_set(&volume, spec.channels, PulseVolume(volume_));
        // Interpolated timing: the stream's time is the sample being heard right now, between the server's
        // timing reports too; not held monotonic by the library (see above).
        const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE |
                                             PA_STREAM_NOT_MONOTONIC);
        written_ = heard_ = offset_ = 0;
        clockTrusted_ = rebase_ = rebaseWaits_ = startReported_ = playingSinceStart_ = false;
        ranOutAt_ = -1;
        reportPlaying_ = false;
        estimate_ = Estimate{};
        paused_ = false;
        interrupted_ = false;
        failed_ = false;
        frameBytes_ = sizeof(int16_t) * size_t(format.channels);
        const size_t ringBytes = pa().pa_usec_to_bytes(kRingUsec, &spec);
        ring_.assign(ringBytes - ringBytes % frameBytes_, 0);
        head_ = filled_ = 0;
        if (pa().pa_stream_connect_playback(stream_, nullptr, &attr, flags, &volume, nullptr) < 0)
            return false;
        waitFor(kTimeoutMs, [this] { return pa().pa_stream_get_state(stream_) != PA_STREAM_CREATING; });
        return streamReady();
    }

    void end() override {
        std::lock_guard clock(clockMutex_);
        Locked lock(loop_);
        if (!stream_) return;
        pa().pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa().pa_stream_set_write_callback(stream_, nullptr, nullptr);
        pa().pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
        pa().pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
        pa().pa_stream_set_started_callback(stream_, nullptr, nullptr);
        if (pa().pa_stream_get_state(stream_) == PA_STREAM_READY) pa().pa_stream_disconnect(stream_);
        pa().pa_stream_unref(stream_);
        stream_ = nullptr;
        written_ = heard_ = 0;
        ranOutAt_ = -1;
        estimate_ = Estimate{};
        head_ = filled_ = 0;
    }

    Result write(const int16_t* samples, size_t frames) override {
        Locked lock(loop_);
        const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
        size_t left = frames * frameBytes_;
        while (left > 0) {
            if (interrupted_) return Result::Interrupted;
            if (failed_ || !streamReady()) return Result::Failed;
            const size_t space = ring_.size() - filled_;
            if (space == 0) {
                pa().pa_threaded_mainloop_wait(loop_);
                continue;
            }
            const size_t n = std::min(space, left);
            push(bytes, n);
            bytes += n;
            left -= n;
            // At the start of a run, or when the ring ran dry, the server is already waiting for this.
            feed();
        }
        return failed_ ? Result::Failed : Result::Done;
    }

    Result drain() override {
        Locked lock(loop_);
        while (filled_ > 0) {
            if (interrupted_) return Result::Interrupted;
            if (failed_ || !streamReady()) return Result::Failed;
            feed();
            if (filled_ > 0) pa().pa_threaded_mainloop_wait(loop_);
        }
        if (interrupted_) return Result::Interrupted;
        if (failed_ || !streamReady()) return Result::Failed;
        drained_ = drainDone_ = false;
        pa_operation* op = pa().pa_stream_drain(stream_, &PulseOutput::onDrained, this);
        if (!op) return Result::Failed;
        while (!drainDone_ && !interrupted_ && streamReady()) pa().pa_threaded_mainloop_wait(loop_);
        if (pa().pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa().pa_operation_cancel(op);
        pa().pa_operation_unref(op);
        if (drained_) return Result::Done;
        return interrupted_ ? Result::Interrupted : Result::Failed;
    }

    void interrupt() override {
        Locked lock(loop_);
        interrupted_ = true;
        pa().pa_threaded_mainloop_signal(loop_, 0);
    }

    // While paused the position stands where the pause found it, whatever the server's clock does with the
    // little it had already sent to the sound card; playback resumes from there.
    void setPaused(bool paused) override {
        std::lock_guard clock(clockMutex_);
        Locked lock(loop_);
        if (paused == paused_) return;
        if (paused) heardLocked(SteadyClock::now());
        paused_ = paused;
        estimate_ = Estimate{};
        if (!paused) {
            rebase_ = true;
            rebaseWaits_ = !clockTrusted_ || ranOut();
            if (rebaseWaits_) reportPlaying_ = false;  // a report from before the pause does not count
            serverFrames();  // places the position on the server's clock now, if it can be believed
        }
        if (streamReady())
            pa().pa_operation_unref(pa().pa_stream_cork(stream_, paused ? 1 : 0, nullptr, nullptr));
    }

    int64_t heardFrames() const override {
        std::lock_guard clock(clockMutex_);
        if (paused_) return heard_;
        const SteadyClock::time_point now = SteadyClock::now();
        if (estimate_.moving && now - estimate_.at < kClockReadEvery) return runOn(now);
        Locked lock(loop_);
        return heardLocked(now);
    }

    void setVolume(int percent) override {
        Locked lock(loop_);
        volume_ = percent;
        if (!streamReady()) return;
        pa_cvolume volume;
        pa().pa_cvolume_set(&volume, uint8_t(format_.channels), PulseVolume(percent));
        pa_operation* op = pa().pa_context_set_sink_input_volume(context_, pa().pa_stream_get_index(stream_),
                                                                 &volume, nullptr, nullptr);
        if (op) pa().pa_operation_unref(op);
    }

private:
    static constexpr int kTimeoutMs = 2000;

    struct Locked {
        explicit Locked(pa_threaded_mainloop* loop) : loop_(loop) { pa().pa_threaded_mainloop_lock(loop_); }
        ~Locked() { pa().pa_threaded_mainloop_unlock(loop_); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;
        pa_threaded_mainloop* loop_;
    };

    std::optional<int64_t> streamFrames() const {
        pa_usec_t usec = 0;
        if (!streamReady() || pa().pa_stream_get_time(stream_, &usec) != 0) return std::nullopt;
        return int64_t(usec * uint64_t(format_.rate) / PA_USEC_PER_SEC);
    }

    // The server's clock in heard frames (both locks held), or nothing while it cannot be believed. A resume
    // is placed on the clock at once while the stream plays normally; one made before the server started,
    // or after the audio ran out, waits for a timing report that shows the stream playing again: until
    // then the clock may be past what will be heard next.
    std::optional<int64_t> serverFrames() const {
        if (!clockTrusted_ || (rebase_ && rebaseWaits_ && !reportPlaying_)) return std::nullopt;
        const std::optional<int64_t> frames = streamFrames();
        if (!frames) return std::nullopt;
        if (rebase_) {
            offset_ = heard_ - *frames;
            rebase_ = false;
        }
        return *frames + offset_;
    }

    // The position by the steady clock since the last reading of the server's clock (clock mutex held).
    int64_t runOn(SteadyClock::time_point now) const {
        const auto since = std::chrono::duration_cast<std::chrono::microseconds>(now - estimate_.at);
        const int64_t frames = estimate_.frames + since.count() * format_.rate / 1'000'000;
        heard_ = std::clamp<int64_t>(frames, heard_, limit());
        return heard_;
    }

    // The position from a new reading of the server's clock (both locks held). Once the audio has run out
    // the server's clock stands where it was when the queue ran dry while the sound card still plays what
    // it was given: the position then runs on by the steady clock, up to the last sample it was given.
    int64_t heardLocked(SteadyClock::time_point now) const {
        if (ranOut()) {
            if (!estimate_.moving) {
                const std::optional<int64_t> at = serverFrames();
                if (!at) return heard_;
                estimate_ = Estimate{*at, std::min(ranOutTime_, now), true, true};
            }
            return runOn(now);
        }
        const std::optional<int64_t> at = serverFrames();
        if (!at) {
            estimate_ = Estimate{};
            return heard_;
        }
        estimate_ = Estimate{*at, now, estimate_.read && *at > estimate_.frames, true};
        heard_ = std::clamp<int64_t>(*at, heard_, limit());
        return heard_;
    }

    // Appends to the ring (lock held); the caller made sure that `n` bytes fit.
    void push(const uint8_t* bytes, size_t n) {
        const size_t tail = (head_ + filled_) % ring_.size();
        const size_t first = std::min(n, ring_.size() - tail);
        std::copy_n(bytes, first, ring_.begin() + ptrdiff_t(tail));
        std::copy_n(bytes + first, n - first, ring_.begin());
        filled_ += n;
    }

    // Hands the server as much of the ring as it has room for (lock held).
    void feed() {
        while (filled_ > 0 && !failed_ && streamReady()) {
            const size_t room = pa().pa_stream_writable_size(stream_);
            if (room == size_t(-1)) failed_ = true;
            const size_t n = std::min({room - room % frameBytes_, filled_, ring_.size() - head_});
            if (failed_ || n == 0) break;
            if (pa().pa_stream_write(stream_, ring_.data() + head_, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                failed_ = true;
                break;
            }
            head_ = (head_ + n) % ring_.size();
            filled_ -= n;
            written_ += int64_t(n / frameBytes_);
        }
    }

    bool streamReady() const {
        return stream_ && pa().pa_context_get_state(context_) == PA_CONTEXT_READY &&
               pa().pa_stream_get_state(stream_) == PA_STREAM_READY;
    }

    // Waits (lock held) until done() holds or the time is up; a timer on the loop wakes the wait.
    template <typename Done>
    void waitFor(int timeoutMs, Done done) {
        timedOut_ = false;
        pa_time_event* timer = pa().pa_context_rttime_new(
            context_, pa().pa_rtclock_now() + pa_usec_t(timeoutMs) * PA_USEC_PER_MSEC,
            &PulseOutput::onTimeout, this);
        while (!done() && !timedOut_) pa().pa_threaded_mainloop_wait(loop_);
        if (timer) pa().pa_threaded_mainloop_get_api(loop_)->time_free(timer);
    }

    static void onChange(pa_context*, void* self) { static_cast<PulseOutput*>(self)->signal(); }
    static void onChange(pa_stream*, void* self) { static_cast<PulseOutput*>(self)->signal(); }
    static void onWritable(pa_stream*, size_t, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->feed();
        // Wake the decoding thread for a good piece of work, or whoever waits for the ring to empty.
        if (out->failed_ || out->filled_ <= out->ring_.size() / 2) out->signal();
    }
    // The first timing report after the server said it started, or any that shows the stream playing, puts
    // the clock right: from then on it can be believed. A short piece may have run out again before that.
    static void onTiming(pa_stream* stream, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        const pa_timing_info* timing = pa().pa_stream_get_timing_info(stream);
        const bool playing = timing && timing->playing;
        out->reportPlaying_ = playing;
        if (out->startReported_ || playing) out->clockTrusted_ = true;
        if ((out->startReported_ && out->playingSinceStart_) || playing) out->ranOutAt_ = -1;
        out->startReported_ = false;
    }
    static void onStarted(pa_stream*, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->startReported_ = out->playingSinceStart_ = true;
    }
    static void onUnderflow(pa_stream*, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->ranOutAt_ = out->written_.load();
        out->ranOutTime_ = SteadyClock::now();
        out->playingSinceStart_ = out->reportPlaying_ = false;
    }
    static void onDrained(pa_stream*, int success, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->drained_ = success != 0;
        out->drainDone_ = true;
        out->signal();
    }
    static void onTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* self) {
        auto* out = static_cast<PulseOutput*>(self);
        out->timedOut_ = true;
        out->signal();
    }
    void signal() { pa().pa_threaded_mainloop_signal(loop_, 0); }

    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    AudioFormat format_;
    std::vector<uint8_t> ring_;
    size_t head_ = 0;    // where the oldest byte not yet handed to the server lies
    size_t filled_ = 0;  // bytes waiting in the ring
    size_t frameBytes_ = 4;
    bool failed_ = false;               // the server refused a write: the run cannot go on
    std::atomic<int64_t> written_ = 0;  // frames handed to the server in this run
    mutable int64_t heard_ = 0;
    // The last reading of the server's clock (in heard frames), and whether it had moved since the one
    // before.
    struct Estimate {
        int64_t frames = 0;
        SteadyClock::time_point at{};
        bool moving = false;
        bool read = false;
    };
    mutable Estimate estimate_;
    mutable std::mutex clockMutex_;  // heard_, estimate_ and paused_; taken before the loop's lock
    mutable int64_t offset_ = 0;     // heard frames minus the stream's own clock, set on resuming
    // Where the audio ran out (the frames written then), or -1: until the server plays again the position
    // goes no further, whatever is written meanwhile. Read without the loop's lock by the steady clock.
    std::atomic<int64_t> ranOutAt_ = -1;
    bool ranOut() const { return ranOutAt_ >= 0; }
    // The furthest the position may go: the last frame written, or where the audio ran out.
    int64_t limit() const {
        const int64_t end = ranOutAt_;
        return end < 0 ? written_.load() : std::min<int64_t>(end, written_);
    }
    // Set on the loop's thread or with both locks held, read with the loop's lock held.
    SteadyClock::time_point ranOutTime_{};  // when the server said the audio ran out
    bool clockTrusted_ = false;             // the server's clock can be believed
    bool startReported_ = false;            // the server said it started; no timing report since
    bool playingSinceStart_ = false;        // and the audio has not run out since it said so
    bool reportPlaying_ = false;            // the last timing report showed the stream playing
    mutable bool rebase_ = false;           // a resume still waits to be placed on the server's clock
    bool rebaseWaits_ = false;              // and it waits for a report that shows the stream playing
    bool paused_ = false;
    int volume_ = 100;
    bool interrupted_ = false;
    bool drained_ = false;
    bool drainDone_ = false;
    bool started_ = false;
    bool timedOut_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> MakePulseOutput(const char* server, int timeoutMs) {
    if (Pulse() == nullptr) return nullptr;
    auto out = std::make_unique<PulseOutput>();
    if (!out->connect(server, timeoutMs)) return nullptr;
    return out;
}

}  // namespace qiva
