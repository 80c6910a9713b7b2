// The wizard's lyric text file. The text box holds line breaks as "\n"; the file holds CR LF, so saving turns
// each line break into CR LF and opening turns each CR LF back into one line break. Saving then adds one
// CR LF of its own, which is why every save-then-open cycle grows the text by one line break at its end.

#include "store/Codec.h"
#include "store/FileIo.h"
#include "store/Main.h"

namespace qiva {

QString OpenLyricText(const QString& path) {
    QString text = DecodeAnsi(ReadAllBytes(path));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

void SaveLyricText(const QString& path, const QString& text) {
    QString crlf = text;
    // A text that already carries CR LF pairs must not gain a second CR per line.
    crlf.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    crlf.replace(QChar(u'\n'), QStringLiteral("\r\n"));
    crlf += QStringLiteral("\r\n");
    WriteAtomically(path, EncodeAnsi(crlf));
}

}  // namespace qiva
