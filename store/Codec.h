#pragma once
// Conversion between the program's text and the bytes of the data files (code page 936).
//
// GB18030 is used for the conversion: it gives the same bytes as code page 936 for every character that code
// page has, and it can represent every other character too, so no path or lyric is ever turned into "?".
// The euro sign is the one character whose code page 936 form differs: it is written as the single byte
// 0x80, and both 0x80 and the GB18030 form A2 E3 read as the euro sign.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace qiva {

// Never fails: a lone surrogate (not a character at all) is written as U+FFFD.
QByteArray EncodeAnsi(const QString& text);

// Never fails: every byte that starts no valid sequence (or a sequence cut off by the end) becomes one
// U+FFFD, and decoding resumes at the next byte, so ASCII separators after a damaged character are still
// seen.
QString DecodeAnsi(QByteArrayView bytes);

}  // namespace qiva
