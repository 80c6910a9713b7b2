#include "platform/EnginePlayer.h"

#include <QMetaObject>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/PlaybackRun.h"
#include "platform/RealServices.h"

namespace qiva {

namespace {

constexpr int kConnectTimeoutMs = 500;

// After a sound server failed to answer, players made soon after go straight to the null output instead of
// each waiting out the timeout again.
std::atomic<std::chrono::steady_clock::rep> g_pulseRetryAfter{0};

std::unique_ptr<AudioOutput> ConnectOutput(EnginePlayer::Output mode) {
    if (mode == EnginePlayer::Output::Null) return MakeNullOutput();
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (now < g_pulseRetryAfter.load()) return MakeNullOutput();
    if (auto pulse = MakePulseOutput(nullptr, kConnectTimeoutMs)) return pulse;
    g_pulseRetryAfter =
        (std::chrono::steady_clock::now() + std::chrono::seconds(10)).time_since_epoch().count();
    return MakeNullOutput();
}

}  // namespace

EnginePlayer::EnginePlayer(bool autoStart, Output output, QObject* parent)
    : MediaPlayer(autoStart, parent), mode_(output), worker_([this] { workerLoop(); }) {}

EnginePlayer::~EnginePlayer() {
    endRun();
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void EnginePlayer::setVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
    if (output_) output_->setVolume(volume_);
}

QString EnginePlayer::outputName() const {
    return output_ ? QString::fromLatin1(output_->name()) : QString();
}

void EnginePlayer::doOpen(const QString& path) {
    decoder_.open(path);
    base_ = 0;
}

void EnginePlayer::doClose() {
    endRun();
    decoder_.close();
    base_ = 0;
}

void EnginePlayer::doStart() {
    if (runActive_) {
        output_->setPaused(false);
        return;
    }
    // From the end a stopped song starts again; a paused one resumes there and so ends at once.
    if (PlayState() == Stopped && base_ >= decoder_.lengthFrames()) base_ = 0;
    beginRun();
}

void EnginePlayer::doPause() {
    if (runActive_) output_->setPaused(true);
}

void EnginePlayer::doStop() {
    endRun();
    base_ = 0;
}

void EnginePlayer::doSeek(double seconds) {
    // Paused, the song waits at the new place with no output until Play.
    endRun();
    base_ = int64_t(std::llround(seconds * decoder_.rate()));
    if (PlayState() == Playing) beginRun();
}

double EnginePlayer::doPosition() const { return double(heardFrame()) / decoder_.rate(); }

int64_t EnginePlayer::heardFrame() const {
    if (!runActive_) return base_;
    return std::min(decoder_.lengthFrames(), timeline_.songFrame(output_->heardFrames()));
}

void EnginePlayer::doSetSpeed(int percent) {
    wantedSpeed_ = percent;
    if (!runActive_ || PlayState() != Paused) return;
    base_ = heardFrame();
    endRun();
}

void EnginePlayer::useOutput(std::unique_ptr<AudioOutput> output) {
    output_ = std::move(output);
    output_->setVolume(volume_);
}

void EnginePlayer::beginRun() {
    if (!output_) useOutput(ConnectOutput(mode_));
    decoder_.seek(base_);
    timeline_.reset(base_, speed());
    wantedSpeed_ = speed();
    const AudioFormat format{decoder_.rate(), decoder_.channels()};
    if (!output_->begin(format)) {
        // The server went away since the last run: carry on where nobody hears it rather than fail.
        useOutput(MakeNullOutput());
        output_->begin(format);
    }
    runActive_ = true;
    {
        std::lock_guard lock(mutex_);
        runRequested_ = true;
    }
    wake_.notify_all();
}

void EnginePlayer::endRun() {
    if (!runActive_) return;
    std::unique_lock lock(mutex_);
    stopping_ = true;
    runRequested_ = false;
    output_->interrupt();
    idle_.wait(lock, [this] { return !running_; });
    stopping_ = false;
    ++generation_;
    lock.unlock();
    output_->end();
    runActive_ = false;
}

void EnginePlayer::runEnded(uint64_t generation, AudioOutput::Result result) {
    {
        std::lock_guard lock(mutex_);
        if (generation != generation_ || !runActive_) return;  // a stop or a seek came first
    }
    if (result == AudioOutput::Result::Failed) {
        // The sound server went away in mid-song: the song goes on, silently, from what was last heard.
        const int64_t heard = heardFrame();
        endRun();
        useOutput(MakeNullOutput());
        base_ = heard;
        if (PlayState() == Playing) beginRun();
        return;
    }
    if (PlayState() == Playing) {
        reachedEnd();
        return;
    }
    // Paused just as the last sample was heard: it stays paused at the end, and Play then ends it.
    base_ = heardFrame();
    endRun();
}

void EnginePlayer::workerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || runRequested_; });
        if (quit_) return;
        runRequested_ = false;
        running_ = true;
        const uint64_t generation = generation_;
        lock.unlock();
        const AudioOutput::Result result = play();
        lock.lock();
        running_ = false;
        idle_.notify_all();
        if (result == AudioOutput::Result::Interrupted) continue;
        QMetaObject::invokeMethod(
            this, [this, generation, result] { runEnded(generation, result); }, Qt::QueuedConnection);
    }
}

AudioOutput::Result EnginePlayer::play() {
    PlaybackRun run(decoder_, *output_, timeline_, wantedSpeed_, stopping_);
    return run.play(timeline_.percentAt(0));
}

std::unique_ptr<MediaPlayer> RealPlayerFactory::create(bool autoStart) {
    const bool null = qgetenv("QIVA_AUDIO") == "null";
    return std::make_unique<EnginePlayer>(
        autoStart, null ? EnginePlayer::Output::Null : EnginePlayer::Output::Automatic);
}

}  // namespace qiva
