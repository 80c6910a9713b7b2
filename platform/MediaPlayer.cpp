#include "platform/MediaPlayer.h"

#include <algorithm>

namespace qiva {

MediaPlayer::MediaPlayer(bool autoStart, QObject* parent) : QObject(parent), autoStart_(autoStart) {}

MediaPlayer::~MediaPlayer() = default;

void MediaPlayer::setFileName(const QString& path) {
    if (state_ != Stopped) {
        doStop();
        changeState(Stopped);
    }
    doClose();
    fileName_.clear();
    doOpen(path);  // throws: the player stays stopped with no file
    fileName_ = path;
    if (autoStart_) Play();
}

void MediaPlayer::Play() {
    if (!hasFile()) throw PlayerError("no playable file is open");
    if (state_ == Playing) return;
    doStart();
    changeState(Playing);
}

void MediaPlayer::Pause() {
    if (state_ != Playing) return;
    doPause();
    changeState(Paused);
}

void MediaPlayer::Stop() {
    if (!hasFile()) return;
    doStop();
    if (state_ != Stopped) changeState(Stopped);
}

double MediaPlayer::CurrentPosition() const { return hasFile() ? doPosition() : 0.0; }

void MediaPlayer::setCurrentPosition(double seconds) {
    if (!hasFile()) return;
    doSeek(std::clamp(seconds, 0.0, doDuration()));
}

void MediaPlayer::setSpeed(int percent) {
    const int nearest = percent >= 88 ? 100 : percent >= 63 ? 75 : 50;
    if (nearest == speed_) return;
    speed_ = nearest;
    doSetSpeed(nearest);
}

double MediaPlayer::Duration() const { return hasFile() ? doDuration() : 0.0; }

void MediaPlayer::reachedEnd() {
    if (state_ != Playing) return;
    doStop();
    changeState(Stopped);
}

void MediaPlayer::changeState(int newState) {
    const int old = state_;
    if (old == newState) return;
    state_ = newState;
    // Queued so that the event reaches its handler only after the handler that caused it has returned.
    QMetaObject::invokeMethod(
        this, [this, old, newState] { emit PlayStateChange(old, newState); }, Qt::QueuedConnection);
}

}  // namespace qiva
