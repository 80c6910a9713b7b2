#pragma once
// The media player that every playing window hosts: open a file, play, pause, stop, position and length in
// seconds, a play state and a play-state change event. The real engine decodes MP3 and plays it; tests use
// FakeMediaPlayer with a virtual clock.

#include <QObject>
#include <QString>
#include <memory>
#include <stdexcept>

namespace qiva {

// Raised by FileName or Play for a file that cannot be opened or played.
class PlayerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MediaPlayer : public QObject {
    Q_OBJECT
public:
    enum State : int { Stopped = 0, Paused = 1, Playing = 2 };

    explicit MediaPlayer(bool autoStart, QObject* parent = nullptr);
    ~MediaPlayer() override;

    // Opens the file synchronously; Duration is known when this returns. With auto-start the song then
    // plays. Throws PlayerError for a missing or empty file, or one that is no song of a format the engine
    // plays (the player is then left stopped with no file).
    void setFileName(const QString& path);
    QString FileName() const { return fileName_; }
    void Play();  // throws PlayerError when no playable file is open
    void Pause();
    void Stop();
    double CurrentPosition() const;  // seconds, the position the listener hears
    void setCurrentPosition(double seconds);
    double Duration() const;  // seconds; 0 with no file
    int PlayState() const { return state_; }
    bool autoStart() const { return autoStart_; }
    virtual void setVolume(int percent) { (void)percent; }  // 0..100
    virtual int volume() const { return 100; }
    // Playback speed in percent, the pitch kept: 100, 75 or 50; another value is taken as the nearest of
    // them. Positions and the duration stay song time at every speed. Kept across songs.
    void setSpeed(int percent);
    int speed() const { return speed_; }

signals:
    // Raised on every change of play state, queued: it arrives after the handler whose call caused it has
    // returned, in the order the changes happened.
    void PlayStateChange(int oldState, int newState);

protected:
    // Engine operations, called with the state bookkeeping done by the base class.
    virtual void doOpen(const QString& path) = 0;  // throws PlayerError
    virtual void doClose() = 0;
    virtual void doStart() = 0;  // start or resume output from the current position
    virtual void doPause() = 0;  // halt output, keep the position
    virtual void doStop() = 0;   // halt output, rewind to 0
    virtual void doSeek(double seconds) = 0;
    virtual double doPosition() const = 0;
    virtual double doDuration() const = 0;
    virtual bool hasFile() const = 0;
    virtual void doSetSpeed(int percent) { (void)percent; }

    // Engines call this on the UI thread when the end of the file has been heard.
    void reachedEnd();
    void changeState(int newState);

private:
    bool autoStart_;
    QString fileName_;
    int state_ = Stopped;
    int speed_ = 100;
};

// Makes the players that windows host: the real engine in the program, FakeMediaPlayer in tests.
class MediaPlayerFactory {
public:
    virtual ~MediaPlayerFactory() = default;
    virtual std::unique_ptr<MediaPlayer> create(bool autoStart) = 0;
};

}  // namespace qiva
