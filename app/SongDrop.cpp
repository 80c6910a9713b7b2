#include "app/SongDrop.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <algorithm>

#include "platform/SongFiles.h"

namespace qiva {
namespace {

// A folder's file names by their lower-case form, so that a lyrics file is found in any letter case.
using NameIndex = QHash<QString, QString>;

NameIndex IndexNames(const QStringList& names) {
    NameIndex index;
    index.reserve(names.size());
    // Names come sorted: of two that differ only in case the first stays, whichever order the disk lists.
    for (const QString& name : names) index.insert(name.toLower(), name);
    return index;
}

QStringList FileNames(const QDir& dir) {
    return dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
}

class Finder {
public:
    explicit Finder(qsizetype limit) : limit_(limit) {}

    void AddPath(const QString& path) {
        const QFileInfo info(path);
        if (info.isDir())
            AddFolder(QDir::cleanPath(info.absoluteFilePath()));
        else if (info.isFile() && IsSongFile(info.fileName()))
            AddSong(QDir::cleanPath(info.absolutePath()), info.fileName());
    }
    bool full() const { return found_.tooMany; }
    DroppedSongs result() { return std::move(found_); }

private:
    // Depth first, each folder's own songs before its subfolders, everything in name order.
    void AddFolder(const QString& root) {
        QStringList pending{root};
        while (!pending.isEmpty() && !full()) {
            const QDir dir(pending.takeLast());
            const QString folder = dir.path();
            const QStringList files = FileNames(dir);
            indexes_.insert(folder, IndexNames(files));
            for (const QString& name : files) {
                if (full()) return;
                if (IsSongFile(name)) AddSong(folder, name);
            }
            QStringList subfolders =
                dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name);
            std::reverse(subfolders.begin(), subfolders.end());
            for (const QString& name : subfolders) pending << dir.filePath(name);
        }
    }

    void AddSong(const QString& folder, const QString& name) {
        const QString song = QDir(folder).filePath(name);
        if (seen_.contains(song)) return;
        seen_.insert(song);
        const QString lyrics = LyricsBeside(folder, name);
        if (lyrics.isEmpty()) {
            ++found_.withoutLyrics;
        } else if (song.contains(u'"') || lyrics.contains(u'"')) {
            ++found_.unusablePaths;
        } else if (static_cast<qsizetype>(found_.entries.size()) == limit_) {
            found_.tooMany = true;
        } else {
            found_.entries.push_back({song, lyrics});
        }
    }

    // The program's own lyrics files end in ".TXT", but a ".txt" of the song's name may as well be the
    // wizard's plain lyric text; an ".lrc" is always timed lyrics, so it wins when both are there.
    QString LyricsBeside(const QString& folder, const QString& songName) {
        auto index = indexes_.find(folder);
        if (index == indexes_.end()) index = indexes_.insert(folder, IndexNames(FileNames(QDir(folder))));
        const QString base = songName.left(songName.lastIndexOf(u'.')).toLower();
        for (const QString& extension : {QStringLiteral(".lrc"), QStringLiteral(".txt")}) {
            const auto hit = index->constFind(base + extension);
            if (hit != index->constEnd()) return QDir(folder).filePath(*hit);
        }
        return {};
    }

    qsizetype limit_;
    DroppedSongs found_;
    QSet<QString> seen_;
    QHash<QString, NameIndex> indexes_;
};

}  // namespace

DroppedSongs FindDroppedSongs(const QStringList& paths, qsizetype limit) {
    Finder finder(limit);
    for (const QString& path : paths) {
        if (finder.full()) break;
        finder.AddPath(path);
    }
    return finder.result();
}

}  // namespace qiva
