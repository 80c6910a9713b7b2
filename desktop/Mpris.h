#pragma once
// The player on the session bus under the MPRIS names, so that media keys, the desktop's media panel and
// tools such as playerctl can see and drive it. Without a session bus nothing happens and nothing is said.

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace qiva {

class NowPlaying;

class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(NowPlaying& now, QObject* parent = nullptr);
    ~MprisService() override;

    // Claims org.mpris.MediaPlayer2.qiva (or, when another copy of the program holds it, a name of this
    // process's own) and offers the player under it. False without a session bus.
    bool Register();
    void Unregister();
    QString serviceName() const { return service_; }

    // The values of the two interfaces, as a client reads them.
    static QString PlaybackStatusFor(int playState);
    QString PlaybackStatus() const;
    QVariantMap Metadata() const;
    QDBusObjectPath TrackId() const;
    qlonglong PositionMicroseconds() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Seek(qlonglong offsetMicroseconds);
    void SetPosition(const QDBusObjectPath& track, qlonglong positionMicroseconds);

signals:
    void Seeked(qlonglong positionMicroseconds);

private:
    // The player interface's properties that are announced when they change (Position never is).
    QVariantMap AnnouncedProperties() const;
    void AnnounceChanges();

    NowPlaying& now_;
    QString service_;
    QVariantMap announced_;
};

}  // namespace qiva
