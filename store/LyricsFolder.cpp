#include "store/LyricsFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "store/Main.h"

namespace qiva {
namespace {

const QString kFolderName = QStringLiteral("歌词");

bool MakeUsable(const QString& folder) {
    if (!QDir().mkpath(folder)) return false;
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

}  // namespace

QString LyricsFolderIn(const QString& programDir, const QString& userDataDir) {
    const QString preferred = QDir(programDir).filePath(kFolderName);
    if (MakeUsable(preferred)) return QDir::toNativeSeparators(preferred);
    // Even when this one cannot be made, returning it lets every later file operation report its own error.
    const QString fallback = QDir(userDataDir).filePath(kFolderName);
    MakeUsable(fallback);
    return QDir::toNativeSeparators(fallback);
}

QString LyricsFolder() {
    return LyricsFolderIn(QCoreApplication::applicationDirPath(),
                          QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

}  // namespace qiva
