#pragma once
// Step two's text work: the two cleaning tools and the expansion of the marked lyric text into the numbered
// lyric lines of the current lyrics document. Pure functions, so they are tested without a window.

#include <QString>

#include "store/Main.h"

namespace qiva {

// Positions inside the lyric text and the line count are 16-bit signed numbers.
inline constexpr int kMaxLyricTextLength = 32767;
inline constexpr int kMaxLyricLineCount = 32767;

inline const QString kBeginLineText = QStringLiteral("（开始）");
inline const QString kEndLineText = QStringLiteral("（结束）");
inline const QString kLongPauseLineText = QStringLiteral("（长时间停顿 ）");

enum class MarkCheck { Ok, TextTooLong, TooManyLines };

// Lines the marks of `text` call for, the beginning line included: one per "P", two per "S" or "E" after
// the first character, plus one. Not limited to 16 bits, so an oversized text can be told apart.
int MarkLineCount(const QString& text);

// Whether `text` fits the 16-bit model: at most kMaxLyricTextLength characters and kMaxLyricLineCount lines.
MarkCheck CheckMarks(const QString& text);

// Replaces doc.lyricLines and doc.lyricLineCount with the lines the marks of `text` give: "（开始）" first,
// the runs between marks, "（长时间停顿 ）" after each "S", "（结束）" last; every end time 0. The first
// character is the beginning mark and is never examined. Anything but MarkCheck::Ok leaves doc untouched.
[[nodiscard]] MarkCheck ExpandMarks(const QString& text, Main& doc);

// Drops every space, carriage return, line feed, ideographic space (U+3000) and line or paragraph separator
// (U+2028, U+2029); tabs and all else stay.
QString RemoveSpaces(const QString& text);

// "A" to "Z" become "a" to "z"; every other character (full-width letters included) stays.
QString LowercaseAscii(const QString& text);

}  // namespace qiva

namespace qiva {

// Shown when a lyric text or a song-information field holds an ASCII double quote, which the timed lyrics
// file cannot carry.
inline const QString kNoDoubleQuotes =
    QStringLiteral("歌词和歌曲信息中不能有英文双引号（\"），请换成中文引号“”后再试！");

}  // namespace qiva
