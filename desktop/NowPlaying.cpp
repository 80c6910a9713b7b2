#include "desktop/NowPlaying.h"

#include <QFileInfo>

#include "platform/MediaPlayerControl.h"
#include "platform/SongTags.h"
#include "store/Main.h"

namespace qiva {

SongInfo SongFileInfo(const QString& songPath) {
    const SongTags tags = ReadSongTags(songPath);
    SongInfo info{tags.title.trimmed(), {}, tags.album.trimmed()};
    if (!tags.artist.trimmed().isEmpty()) info.artists = QStringList{tags.artist.trimmed()};
    return info;
}

NowPlaying::NowPlaying(MediaPlayerControl& player, const Main& document, PlayerList list, QObject* parent)
    : QObject(parent), player_(player), document_(document), list_(std::move(list)) {}

QString NowPlaying::songPath() const { return player_.FileName(); }

SongInfo NowPlaying::info() const {
    SongInfo info;
    if (hasLyrics_) {
        info.title = document_.lyricTitle;
        if (!document_.lyricSinger.isEmpty()) info.artists = QStringList{document_.lyricSinger};
        info.album = document_.lyricAlbum;
    }
    const QString path = songPath();
    if (path.isEmpty()) return info;
    if (path != taggedPath_) {
        tagged_ = SongFileInfo(path);
        taggedPath_ = path;
    }
    const SongInfo& file = tagged_;
    if (info.title.isEmpty()) info.title = file.title;
    if (info.artists.isEmpty()) info.artists = file.artists;
    if (info.album.isEmpty()) info.album = file.album;
    if (info.title.isEmpty()) info.title = QFileInfo(path).completeBaseName();
    return info;
}

// Without a selected row the first row comes next; there is no wrapping round at either end.
bool NowPlaying::canGoNext() const { return list_.selectedRow() + 1 < list_.rowCount(); }

bool NowPlaying::canGoPrevious() const { return list_.selectedRow() > 0; }

void NowPlaying::Next() {
    if (canGoNext()) list_.playRow(list_.selectedRow() + 1);
}

void NowPlaying::Previous() {
    if (canGoPrevious()) list_.playRow(list_.selectedRow() - 1);
}

void NowPlaying::SongStarted(bool withLyrics) {
    hasLyrics_ = withLyrics;
    ++songNumber_;
    emit songChanged();
}

}  // namespace qiva
