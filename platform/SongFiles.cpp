#include "platform/SongFiles.h"

#include <QDir>
#include <QFileInfo>

namespace qiva {

QString SongBeside(const QString& path) {
    const QFileInfo file(path);
    const QString base = file.completeBaseName();
    QStringList names = file.dir().entryList(QDir::Files | QDir::Readable, QDir::Name);
    // Preferred in the order of the extensions, then in name order: "a.mp3" before "a.MP3".
    for (const QString& extension : kSongExtensions) {
        for (const QString& name : names) {
            const QFileInfo candidate(name);
            if (candidate.completeBaseName() == base &&
                candidate.suffix().compare(extension, Qt::CaseInsensitive) == 0)
                return file.dir().filePath(name);
        }
    }
    return QString();
}

}  // namespace qiva
