#include "desktop/Mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "desktop/NowPlaying.h"
#include "platform/MediaPlayerControl.h"

namespace qiva {

namespace {
const QString kObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kService = QStringLiteral("org.mpris.MediaPlayer2.qiva");
const QString kPlayerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

qlonglong Microseconds(double seconds) { return static_cast<qlonglong>(std::llround(seconds * 1e6)); }

// org.mpris.MediaPlayer2: who the player is.
class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ yes)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool Fullscreen READ no)
    Q_PROPERTY(bool CanSetFullscreen READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    RootAdaptor(MprisService* service, NowPlaying& now) : QDBusAbstractAdaptor(service), now_(now) {}
    bool yes() const { return true; }
    bool no() const { return false; }
    QString Identity() const { return QStringLiteral("QIVA歌词秀"); }
    QString DesktopEntry() const { return QStringLiteral("qiva"); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const { return {QStringLiteral("audio/mpeg")}; }

public slots:
    void Raise() { now_.list().raise(); }
    // After the reply has gone out.
    void Quit() {
        QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                  Qt::QueuedConnection);
    }

private:
    NowPlaying& now_;
};

// org.mpris.MediaPlayer2.Player: the transport, the song and its position.
class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    PlayerAdaptor(MprisService* service, NowPlaying& now)
        : QDBusAbstractAdaptor(service), service_(service), now_(now) {
        connect(service, &MprisService::Seeked, this, &PlayerAdaptor::Seeked);
    }
    QString PlaybackStatus() const { return service_->PlaybackStatus(); }
    double one() const { return 1.0; }
    QVariantMap Metadata() const { return service_->Metadata(); }
    double Volume() const { return now_.player().volume() / 100.0; }
    void setVolume(double v) {
        now_.player().setVolume(static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 100)));
    }
    qlonglong Position() const { return service_->PositionMicroseconds(); }
    bool CanGoNext() const { return now_.canGoNext(); }
    bool CanGoPrevious() const { return now_.canGoPrevious(); }
    bool CanPlay() const { return service_->CanPlay(); }
    bool CanPause() const { return service_->CanPause(); }
    bool CanSeek() const { return service_->CanSeek(); }
    bool CanControl() const { return true; }

public slots:
    void Next() { now_.Next(); }
    void Previous() { now_.Previous(); }
    void Pause() { service_->Pause(); }
    void PlayPause() { service_->PlayPause(); }
    void Stop() { service_->Stop(); }
    void Play() { service_->Play(); }
    void Seek(qlonglong offset) { service_->Seek(offset); }
    void SetPosition(const QDBusObjectPath& track, qlonglong position) {
        service_->SetPosition(track, position);
    }
    void OpenUri(const QString& uri) { (void)uri; }  // the list plays only the songs it has lyrics for

signals:
    void Seeked(qlonglong position);

private:
    MprisService* service_;
    NowPlaying& now_;
};
}  // namespace

MprisService::MprisService(NowPlaying& now, QObject* parent) : QObject(parent), now_(now) {
    new RootAdaptor(this, now);
    new PlayerAdaptor(this, now);
}

MprisService::~MprisService() { Unregister(); }

bool MprisService::Register() {
    if (!service_.isEmpty()) return true;
    // Registered again after an unregistration: the connections are still there.
    disconnect(&now_.player(), nullptr, this, nullptr);
    disconnect(&now_, nullptr, this, nullptr);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    if (!bus.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors)) return false;
    for (const QString& name : {kService, kService + QStringLiteral(".instance") +
                                              QString::number(QCoreApplication::applicationPid())})
        if (bus.registerService(name)) {
            service_ = name;
            break;
        }
    if (service_.isEmpty()) {
        bus.unregisterObject(kObjectPath);
        return false;
    }
    announced_ = AnnouncedProperties();
    MediaPlayerControl& player = now_.player();
    connect(&player, &MediaPlayerControl::PlayStateChange, this, &MprisService::AnnounceChanges);
    connect(&player, &MediaPlayerControl::Seeked, this, [this](double position) {
        if (!service_.isEmpty()) emit Seeked(Microseconds(position));
    });
    connect(&player, &MediaPlayerControl::VolumeChanged, this, &MprisService::AnnounceChanges);
    connect(&now_, &NowPlaying::songChanged, this, &MprisService::AnnounceChanges);
    connect(&now_, &NowPlaying::listChanged, this, &MprisService::AnnounceChanges);
    return true;
}

void MprisService::Unregister() {
    if (service_.isEmpty()) return;
    // The connections stay: every announcement asks for a name first.
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterObject(kObjectPath);
    bus.unregisterService(service_);
    service_.clear();
}

QString MprisService::PlaybackStatusFor(int playState) {
    switch (playState) {
        case MediaPlayer::Playing:
            return QStringLiteral("Playing");
        case MediaPlayer::Paused:
            return QStringLiteral("Paused");
        default:
            return QStringLiteral("Stopped");
    }
}

QString MprisService::PlaybackStatus() const { return PlaybackStatusFor(now_.player().PlayState()); }

QDBusObjectPath MprisService::TrackId() const {
    if (now_.songPath().isEmpty())
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/org/qiva/track/%1").arg(now_.songNumber()));
}

QVariantMap MprisService::Metadata() const {
    QVariantMap m{{QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId())}};
    const QString path = now_.songPath();
    if (path.isEmpty()) return m;
    const SongInfo info = now_.info();
    m.insert(QStringLiteral("xesam:title"), info.title);
    if (!info.artists.isEmpty()) m.insert(QStringLiteral("xesam:artist"), info.artists);
    if (!info.album.isEmpty()) m.insert(QStringLiteral("xesam:album"), info.album);
    m.insert(QStringLiteral("mpris:length"), Microseconds(now_.player().Duration()));
    m.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString());
    return m;
}

// The engine's own reading: the control hands its tick's reading to the lyric clock alone.
qlonglong MprisService::PositionMicroseconds() const {
    return Microseconds(now_.player().engine().CurrentPosition());
}

bool MprisService::CanPlay() const { return !now_.songPath().isEmpty() || now_.list().rowCount() > 0; }
bool MprisService::CanPause() const { return !now_.songPath().isEmpty(); }
bool MprisService::CanSeek() const { return now_.player().Duration() > 0; }

void MprisService::Play() {
    MediaPlayerControl& player = now_.player();
    if (player.FileName().isEmpty()) {
        // Nothing open yet: the selected row, or the first, plays as a click on it would.
        const int row = std::max(0, now_.list().selectedRow());
        if (row < now_.list().rowCount()) now_.list().playRow(row);
        return;
    }
    try {
        player.Play();
    } catch (const PlayerError&) {
        // A file that can no longer be played: the player stays as it is, as with its own play button.
    }
}

void MprisService::Pause() { now_.player().Pause(); }

void MprisService::PlayPause() {
    if (now_.player().PlayState() == MediaPlayer::Playing)
        Pause();
    else
        Play();
}

void MprisService::Stop() { now_.player().Stop(); }

// Before the start means the start; past the end means the next song.
void MprisService::Seek(qlonglong offsetMicroseconds) {
    if (!CanSeek()) return;
    MediaPlayerControl& player = now_.player();
    const double target = player.engine().CurrentPosition() + offsetMicroseconds / 1e6;
    if (target > player.Duration()) {
        now_.Next();
        return;
    }
    player.setCurrentPosition(std::max(0.0, target));
}

// Only for the song playing now, and only to a place within it.
void MprisService::SetPosition(const QDBusObjectPath& track, qlonglong positionMicroseconds) {
    if (!CanSeek() || track != TrackId() || positionMicroseconds < 0) return;
    const double target = positionMicroseconds / 1e6;
    if (target > now_.player().Duration()) return;
    now_.player().setCurrentPosition(target);
}

QVariantMap MprisService::AnnouncedProperties() const {
    return {{QStringLiteral("PlaybackStatus"), PlaybackStatus()},
            {QStringLiteral("Metadata"), Metadata()},
            {QStringLiteral("CanGoNext"), now_.canGoNext()},
            {QStringLiteral("CanGoPrevious"), now_.canGoPrevious()},
            {QStringLiteral("CanPlay"), CanPlay()},
            {QStringLiteral("CanPause"), CanPause()},
            {QStringLiteral("CanSeek"), CanSeek()},
            {QStringLiteral("Volume"), now_.player().volume() / 100.0}};
}

void MprisService::AnnounceChanges() {
    const QVariantMap now = AnnouncedProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    announced_ = now;
    if (changed.isEmpty() || service_.isEmpty()) return;
    QDBusMessage signal = QDBusMessage::createSignal(
        kObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << kPlayerInterface << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

}  // namespace qiva

#include "Mpris.moc"
