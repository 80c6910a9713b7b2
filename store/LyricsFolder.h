#pragma once

#include <QString>

namespace qiva {

// The lyrics folder below `programDir`, created when missing; when that folder cannot be created or written
// (a program installed in a read-only place), the one below `userDataDir` instead. Native separators, no
// trailing separator.
QString LyricsFolderIn(const QString& programDir, const QString& userDataDir);

}  // namespace qiva
