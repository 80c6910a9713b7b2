#include "wizard/ExpandMarks.h"

#include <vector>

namespace qiva {

namespace {

// Index of the second character: the first one is the beginning mark, skipped whatever it is. A character
// outside the Basic Multilingual Plane is one character too, so its surrogate pair is skipped whole.
qsizetype FirstExamined(const QString& text) {
    if (text.isEmpty()) return 0;
    if (text.size() > 1 && text[0].isHighSurrogate() && text[1].isLowSurrogate()) return 2;
    return 1;
}

}  // namespace

int MarkLineCount(const QString& text) {
    int c = 0;
    for (qsizetype k = FirstExamined(text); k < text.size(); ++k) {
        const QChar ch = text[k];
        if (ch == u'P')
            c += 1;
        else if (ch == u'S' || ch == u'E')
            c += 2;
    }
    return c + 1;
}

MarkCheck CheckMarks(const QString& text) {
    if (text.size() > kMaxLyricTextLength) return MarkCheck::TextTooLong;
    if (MarkLineCount(text) > kMaxLyricLineCount) return MarkCheck::TooManyLines;
    return MarkCheck::Ok;
}

MarkCheck ExpandMarks(const QString& text, Main& doc) {
    const MarkCheck check = CheckMarks(text);
    if (check != MarkCheck::Ok) return check;

    const int count = MarkLineCount(text);
    std::vector<LyricLine> lines(static_cast<size_t>(count) + 1);
    lines[1].text = kBeginLineText;
    lines[static_cast<size_t>(count)].text = kEndLineText;  // after line 1: a lone line reads "（结束）"

    // The pending text is always the run of characters since the last mark.
    size_t j = 2;
    qsizetype runStart = FirstExamined(text);
    for (qsizetype k = runStart; k < text.size(); ++k) {
        const QChar ch = text[k];
        if (ch != u'P' && ch != u'S' && ch != u'E') continue;
        lines[j++].text = text.mid(runStart, k - runStart);
        if (ch == u'S') lines[j++].text = kLongPauseLineText;
        runStart = k + 1;
    }
    // A run after the last mark has no line of its own and is dropped.

    doc.lyricLines = std::move(lines);
    doc.lyricLineCount = static_cast<int16_t>(count);
    return MarkCheck::Ok;
}

QString RemoveSpaces(const QString& text) {
    QString result;
    result.reserve(text.size());
    // The line and paragraph separators show as line breaks in the text box, so they go as well.
    for (const QChar ch : text)
        if (ch != u' ' && ch != u'\r' && ch != u'\n' && ch != u'\u3000' && ch != QChar::LineSeparator &&
            ch != QChar::ParagraphSeparator)
            result.append(ch);
    return result;
}

QString LowercaseAscii(const QString& text) {
    QString result;
    result.reserve(text.size());
    for (const QChar ch : text) result.append(ch >= u'A' && ch <= u'Z' ? QChar(ch.unicode() + 32) : ch);
    return result;
}

}  // namespace qiva
