#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/AudioOutput.h"

namespace qiva {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::nanoseconds;

// The queue the null output pretends to have. Deep, because nobody listens: a decoding thread that is held
// up for a while on a busy machine must not make the position stall. A write takes what fits and waits for
// half the queue to be free before it takes more, as a sound card's buffer is refilled, so that a piece
// longer than the queue (the engine's pieces last two seconds at 8 kHz) never lets it run dry.
constexpr double kQueueSeconds = 1.0;

// The listener's position moves with the steady clock from an anchor (a frame heard at a time point) while
// playing and data is queued; it stands still while paused and when the queue has run dry.
class NullOutput : public AudioOutput {
public:
    const char* name() const override { return "null"; }

    bool begin(const AudioFormat& format) override {
        std::lock_guard lock(m_);
        format_ = format;
        capacity_ = int64_t(kQueueSeconds * format.rate);
        written_ = anchorFrames_ = 0;
        anchorTime_ = Clock::now();
        paused_ = false;
        interrupted_ = false;
        return true;
    }

    void end() override {
        std::lock_guard lock(m_);
        written_ = anchorFrames_ = 0;
        interrupted_ = false;
    }

    Result write(const int16_t*, size_t frames) override {
        std::unique_lock lock(m_);
        auto left = int64_t(frames);
        for (;;) {
            if (interrupted_) return Result::Interrupted;
            const Clock::time_point now = Clock::now();
            restartIfDry(now);
            const int64_t taken = std::min(left, capacity_ - (written_ - heard(now)));
            if (taken > 0) {
                written_ += taken;
                left -= taken;
            }
            if (left == 0) return Result::Done;
            waitUntilHeard(lock, written_ + std::min(left, capacity_ / 2) - capacity_);
        }
    }

    Result drain() override {
        std::unique_lock lock(m_);
        for (;;) {
            if (interrupted_) return Result::Interrupted;
            if (heard(Clock::now()) >= written_) return Result::Done;
            waitUntilHeard(lock, written_);
        }
    }

    void interrupt() override {
        std::lock_guard lock(m_);
        interrupted_ = true;
        wake_.notify_all();
    }

    void setPaused(bool paused) override {
        std::lock_guard lock(m_);
        if (paused == paused_) return;
        const Clock::time_point now = Clock::now();
        anchorFrames_ = heard(now);
        anchorTime_ = now;
        paused_ = paused;
        wake_.notify_all();
    }

    int64_t heardFrames() const override {
        std::lock_guard lock(m_);
        return heard(Clock::now());
    }

    void setVolume(int) override {}

private:
    int64_t heard(Clock::time_point now) const {
        if (paused_) return std::min(anchorFrames_, written_);
        const int64_t ns = std::chrono::duration_cast<nanoseconds>(now - anchorTime_).count();
        return std::min(written_, anchorFrames_ + ns * format_.rate / 1'000'000'000);
    }

    // Once everything queued has been heard the clock waits for data, as a sound card that ran dry does.
    void restartIfDry(Clock::time_point now) {
        if (paused_ || heard(now) < written_) return;
        anchorFrames_ = written_;
        anchorTime_ = now;
    }

    void waitUntilHeard(std::unique_lock<std::mutex>& lock, int64_t frame) {
        if (paused_) {
            wake_.wait(lock);
            return;
        }
        const int64_t ns = ((frame - anchorFrames_) * 1'000'000'000 + format_.rate - 1) / format_.rate;
        wake_.wait_until(lock, anchorTime_ + nanoseconds(std::max<int64_t>(ns, 0)));
    }

    mutable std::mutex m_;
    std::condition_variable wake_;
    AudioFormat format_;
    int64_t capacity_ = 0;
    int64_t written_ = 0;
    int64_t anchorFrames_ = 0;
    Clock::time_point anchorTime_;
    bool paused_ = false;
    bool interrupted_ = false;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeNullOutput() { return std::make_unique<NullOutput>(); }

}  // namespace qiva
