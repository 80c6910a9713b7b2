// The wizard's lyric text file: the text exactly as it stands, every line break in its own form (a file
// written elsewhere may hold LF or CR alone), then one CR LF of its own. Opening keeps every byte's
// character, so a file opened and saved unchanged comes back with only that CR LF added, and each
// save-then-open cycle grows the text by one line break at its end.

#include "store/Codec.h"
#include "store/FileIo.h"
#include "store/Main.h"

namespace qiva {

QString OpenLyricText(const QString& path) { return DecodeAnsi(ReadAllBytes(path)); }

void SaveLyricText(const QString& path, const QString& text) {
    WriteAtomically(path, EncodeAnsi(text + QStringLiteral("\r\n")));
}

}  // namespace qiva
