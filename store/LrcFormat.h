#pragma once
// LRC, the timed lyrics format that other players and lyrics tools read and write, as a second format of the
// current lyrics document. Main::ReadLyricsFile picks it by content; Main::WriteLrcFile writes it.
//
// Reading, as other players do:
// - UTF-8 with or without a BOM, UTF-16 LE or BE with a BOM; any other file is GB18030 (code page 936), the
//   encoding of older Chinese LRC files. A file counts as UTF-8 only when every byte sequence is valid UTF-8.
// - CR LF, LF or a lone CR end a line.
// - Time tags [mm:ss], [mm:ss.x], [mm:ss.xx], [mm:ss.xxx] and [mm:ss:xx]; minutes may run past 59 and seconds
//   past 59 count on (as other readers take [02:83.37]). Several time tags at the start of a line give one
//   lyric line each. Lines may come in any order: they are sorted by time, equal times in file order.
// - [offset:+n] / [offset:-n] in milliseconds: a positive offset shows the lyrics earlier, so it is taken off
//   every time (never below 0). Word time tags <mm:ss.xx> are taken out of the text.
// - [ti:] [ar:] [al:] [au:] fill the song name, singer, album and lyricist. LRC has no tag for the composer:
//   it is kept in a tag of this program's own, [composer:] (also read as [co:]), which other players ignore.
//   Tag names are read in any letter case, values without blanks at either end. Other tags ([by:], [re:] ...)
//   and lines without a time tag are ignored.
// - LRC holds no song path: lyricSongPath is left empty (the association table knows the song).
//
// LRC gives the moment each line starts; the document holds the moment each line ends, so a line ends where
// the next one starts. A first time after 0 puts an empty line before it, so that nothing is shown until the
// singing starts. The last line ends at a trailing time tag without text, else at [length:] (when it lies
// after the last start), else at the end of the song: kUntilSongEnd, which the player reads as the song's
// length. Times are held to the tenth of a second, rounded to the nearest.
//
// Writing is the inverse: UTF-8 without a BOM, CR LF, the song information as tags (empty fields left out),
// one [mm:ss.xx] line per lyric line at the end time of the line before it, and a closing time tag without
// text at the last line's end (left out when that line lasts to the end of the song). A document written
// and read back is the same document, but for the song path, blanks at either end of the song information
// and what LRC cannot hold in a text: a line break is written as a blank, and word time tags or a time tag
// at the start of a text (which every LRC reader would take as times) are left out. A document whose end
// times do not rise from line to line cannot be put in LRC's order without reordering it, and is refused
// with a message naming the first line out of order.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <vector>

#include "store/Main.h"

namespace qiva {

// The document's end times do not rise from line to line; what() is the message for the user, in Chinese.
class LrcOrderError : public StoreError {
public:
    using StoreError::StoreError;
};

// What an LRC file holds, in the document's terms.
struct LrcContent {
    QString title, singer, album, lyricist, composer;
    std::vector<LyricLine> lines{1};  // slots 0..N, as Main::lyricLines
};

// The file's text in the encoding it was written in (see above). Never fails.
QString DecodeLrc(QByteArrayView bytes);

// True when the first character that is not a blank or a line end is '['.
bool StartsLikeLrc(QStringView text);

// Throws StoreError (in Chinese, for the user) for a time past 3276.7 s or more lines than 32767.
LrcContent ParseLrc(QStringView text);

// A line's text as an LRC file holds it (see above); what the reader gives back for it.
QString LrcLineText(const QString& text);

// The document as the bytes of an LRC file. Throws LrcOrderError when the end times do not rise from line
// to line, StoreError when the line table does not match its count.
QByteArray FormatLrc(const Main& m);

}  // namespace qiva
