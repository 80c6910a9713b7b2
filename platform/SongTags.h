#pragma once
// What a song file says about itself: the song information and the unsynchronised lyrics of its tags, as
// plain texts. The wizard's step two prefills its boxes from here.

#include <QByteArrayView>
#include <QString>

namespace qiva {

// Every field is empty where the file's tags do not have it.
struct SongTags {
    QString title;
    QString artist;
    QString album;
    QString lyricist;
    QString composer;
    QString lyrics;  // unsynchronised lyrics, line breaks as "\n"
};

// Reads the tags of `path` (MP3: ID3v2, then ID3v1 for what ID3v2 lacks; FLAC, Ogg Vorbis and Opus: their
// Vorbis comments; WAV: ID3v2, then its INFO list). Never throws: a missing,
// unreadable or damaged file, or a format without tags the reader knows, gives empty fields.
SongTags ReadSongTags(const QString& path);

// The text of a tag field declared Latin-1, from its raw bytes. Chinese MP3s were mostly tagged on systems
// that wrote their GBK text into fields marked Latin-1, so such bytes are read as GB18030 when:
//   1. some byte is 0x80 or above (pure ASCII reads the same either way),
//   2. the bytes are a complete, valid GB18030 text (no stray lead byte, nothing cut off, no byte 0x80 or
//      0xFF starting a character),
//   3. no character lands in the private use area (GB18030's user-defined codes, never in real text), and
//   4. the text does not read as a European word in Latin-1: that is, some run of bytes of 0x80 and above
//      is longer than two bytes or has no ASCII letter directly before or after it.
// Rule 4 keeps "Größe", "Mötley Crüe", "Ágætis", "Noël" and "Don’t" (cp1252) as Latin-1 although their
// bytes happen to be valid GB18030; "Café" and "Beyoncé" already fail rule 2. Two Chinese characters in a
// row are four such bytes and always count as Chinese; what rule 4 reads wrongly is a text whose only
// Chinese is a single character written against Latin letters ("爱Love").
// `mayBeCut`: an ID3v1 field is cut at 30 bytes, possibly inside a character; a lone lead byte at its end is
// then dropped rather than turning the whole text into Latin-1.
QString TagTextFromLatin1(QByteArrayView raw, bool mayBeCut = false);

}  // namespace qiva
