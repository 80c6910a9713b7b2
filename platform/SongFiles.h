#pragma once
// Which files the program takes for songs. The list grows with the decoders.

#include <QString>
#include <QStringList>

namespace qiva {

// File name extensions of songs, lower case, without the dot.
inline const QStringList kSongExtensions = {QStringLiteral("mp3"), QStringLiteral("flac"),
                                            QStringLiteral("ogg"), QStringLiteral("opus"),
                                            QStringLiteral("wav")};

// Whether `fileName` (a name or a path) ends in a song extension, in any letter case.
inline bool IsSongFile(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0) return false;
    const QStringView extension = QStringView(fileName).mid(dot + 1);
    for (const QString& known : kSongExtensions)
        if (extension.compare(known, Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The song of the same name beside a file ("Song.lrc" finds "Song.mp3", any letter case), or "" for none.
QString SongBeside(const QString& path);

}  // namespace qiva
