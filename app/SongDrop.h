#pragma once
// Songs dropped onto the player: the files and folders are searched for songs with a lyrics file of the
// same name beside them.

#include <QStringList>
#include <vector>

#include "store/Main.h"

namespace qiva {

struct DroppedSongs {
    std::vector<AssocEntry> entries;  // one per song with lyrics, in the order found; no song twice
    int withoutLyrics = 0;            // songs with no lyrics file beside them
    int unusablePaths = 0;            // songs whose path holds a double quote, which the record cannot store
    bool tooMany = false;             // the search stopped: more songs with lyrics than the table can hold
};

// Files are taken as given (songs only, see SongFiles.h); folders are searched through, their own files in
// name order before their subfolders, without following links to folders. The lyrics file beside a song
// is "<name>.lrc" or else "<name>.txt", either in any letter case. The search stops once it has found more
// than `limit` songs with lyrics.
DroppedSongs FindDroppedSongs(const QStringList& paths, qsizetype limit = INT16_MAX);

}  // namespace qiva
