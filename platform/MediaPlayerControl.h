#pragma once
// The media player control a window hosts: its own play, pause and stop buttons, a position bar the user can
// drag, the time and a volume slider, over a MediaPlayer engine. Windows call the engine's operations through
// it under the control's names (MP->Play(), MP->CurrentPosition(), ...).

#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/MediaPlayer.h"

class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace qiva {

class MediaPlayerControl : public QWidget {
    Q_OBJECT
public:
    MediaPlayerControl(std::unique_ptr<MediaPlayer> engine, QWidget* parent = nullptr);
    ~MediaPlayerControl() override;

    MediaPlayer& engine() { return *engine_; }

    // Opens the file (throws PlayerError like the engine) and shows its length at once.
    void setFileName(const QString& path);
    QString FileName() const { return engine_->FileName(); }
    void Play() {
        forgetTickReading();
        engine_->Play();
    }
    void Pause() {
        forgetTickReading();
        engine_->Pause();
    }
    void Stop() {
        forgetTickReading();
        engine_->Stop();
    }
    // Right after a followed clock's tick, the reading the tick took (see FollowClock).
    double CurrentPosition() const;
    // Moves the song and shows the new place at once, also while paused or stopped.
    void setCurrentPosition(double seconds);
    double Duration() const { return engine_->Duration(); }
    int PlayState() const { return engine_->PlayState(); }
    // 0..100, through the volume slider, which shows it.
    int volume() const { return engine_->volume(); }
    void setVolume(int percent);
    int speed() const { return engine_->speed(); }
    void setSpeed(int percent) { engine_->setSpeed(percent); }

    // The host's own clock, ticking while a song plays: the bar and the time then move at its ticks, in the
    // same wake-up and the same repaint as the host's work, instead of waking the program once more each
    // second. The control's own timer stays as a fallback should the clock stop. Follow the clock before
    // connecting the host's own work to it: the host's first CurrentPosition() in a tick is then the reading
    // the control took a moment before, not a second trip through the sound server's lock.
    void FollowClock(QTimer* clock);

signals:
    void PlayStateChange(int oldState, int newState);
    // A followed clock's tick while playing, with the reading of the position it took.
    void ClockTicked(double position);
    // The song was moved to `position`, by the position bar or by setCurrentPosition.
    void Seeked(double position);
    void VolumeChanged(int percent);

private:
    void refresh();
    void showPosition(double position);
    void clockTick();
    void forgetTickReading() { tickReading_.reset(); }
    void playClicked();

    std::unique_ptr<MediaPlayer> engine_;
    QToolButton* playButton_;
    QToolButton* pauseButton_;
    QToolButton* stopButton_;
    QSlider* positionBar_;
    QLabel* timeLabel_;
    QSlider* volume_;
    QTimer* refreshTimer_;
    bool followingClock_ = false;
    int shownSecond_ = -1;                       // whole seconds of the position on display
    mutable std::optional<double> tickReading_;  // taken by the last tick, for the host's first reading
    QElapsedTimer tickReadingAge_;
    bool dragging_ = false;
};

}  // namespace qiva
