#include "store/LrcFormat.h"

#include <QStringDecoder>
#include <algorithm>
#include <limits>
#include <optional>

#include "store/Codec.h"

namespace qiva {
namespace {

constexpr qint64 kLongestTenths = std::numeric_limits<int16_t>::max();
constexpr size_t kMostLines = static_cast<size_t>(std::numeric_limits<int16_t>::max());
// A word time tag is never longer than this: '<', 9 + 1 + 2 + 1 + 9 characters, '>'.
constexpr qsizetype kLongestTag = 24;

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }
bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool IsLineEnd(QChar c) { return c == u'\r' || c == u'\n'; }

// Up to `most` digits at s[i]; the value of the first `used` of them (the rest are read and dropped).
int ReadDigits(QStringView s, qsizetype& i, int most, qint64& value, int used = 18) {
    int n = 0;
    value = 0;
    while (i < s.size() && n < most && IsDigit(s[i])) {
        if (n < used) value = value * 10 + (s[i].unicode() - u'0');
        ++i;
        ++n;
    }
    return n;
}

// "m:ss", "m:ss.f" or "m:ss:f" at s[from], closed by `close`: the time in milliseconds, and `from` moved
// past the closing character. Anything else leaves `from` where it was.
std::optional<qint64> ReadTime(QStringView s, qsizetype& from, QChar close) {
    qsizetype i = from;
    qint64 minutes = 0, seconds = 0, fraction = 0;
    if (ReadDigits(s, i, 9, minutes) == 0 || i >= s.size() || s[i] != u':') return std::nullopt;
    ++i;
    if (ReadDigits(s, i, 2, seconds) == 0 || i >= s.size()) return std::nullopt;
    if (s[i] == u'.' || s[i] == u':') {
        ++i;
        const int digits = ReadDigits(s, i, 9, fraction, 3);
        if (digits == 0) return std::nullopt;
        for (int d = digits; d < 3; ++d) fraction *= 10;
    }
    if (i >= s.size() || s[i] != close) return std::nullopt;
    from = i + 1;
    return (minutes * 60 + seconds) * 1000 + fraction;
}

bool IsTimeTagAt(QStringView s, qsizetype i) {
    if (i >= s.size() || s[i] != u'[') return false;
    ++i;
    return ReadTime(s, i, u']').has_value();
}

// The text with its word time tags taken out. A tag is recognised when its '>' is reached, against what is
// kept so far, so that taking one out never leaves another behind. Where a tag stood between two blanks,
// one of them goes with it.
QString WithoutWordTags(QStringView rest) {
    if (!rest.contains(u'<')) return rest.toString();
    QString out;
    out.reserve(rest.size());
    for (qsizetype i = 0; i < rest.size(); ++i) {
        out += rest[i];
        if (rest[i] != u'>') continue;
        // Only the last few characters can hold the tag, however long the line.
        const qsizetype near = std::max<qsizetype>(0, out.size() - kLongestTag);
        const qsizetype found = QStringView(out).sliced(near).lastIndexOf(u'<');
        if (found < 0) continue;
        const qsizetype open = near + found;
        qsizetype at = open + 1;
        if (!ReadTime(out, at, u'>') || at != out.size()) continue;
        out.truncate(open);
        if (i + 1 < rest.size() && IsBlank(rest[i + 1]) && (out.isEmpty() || IsBlank(out.back()))) ++i;
    }
    return out;
}

// The words of a line after its time tags. What was hidden behind a word tag is not a time of this line, and
// must not become one when the line is written again.
QString CleanText(QStringView rest) {
    QString text = WithoutWordTags(rest);
    qsizetype skip = 0;
    while (IsTimeTagAt(text, skip)) {
        ++skip;
        ReadTime(text, skip, u']');
    }
    if (skip > 0) text.remove(0, skip);
    return text;
}

QString WithoutLoneSurrogates(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar(QChar::ReplacementCharacter);
    }
    return text;
}

struct Stamp {
    qint64 ms;
    QString text;
    int fileLine;
};

struct Tags {
    QString title, singer, album, lyricist, composer;
    qint64 offsetMs = 0;
    std::optional<qint64> lengthMs;
};

std::optional<qint64> ParseOffset(QStringView value) {
    qsizetype i = 0;
    const bool negative = value.startsWith(u'-');
    if (negative || value.startsWith(u'+')) ++i;
    qint64 ms = 0;
    if (ReadDigits(value, i, 12, ms) == 0 || i != value.size()) return std::nullopt;
    return negative ? -ms : ms;
}

// A line that starts with a tag other than a time: "[key:value]".
void TakeTag(QStringView line, Tags& tags) {
    while (!line.isEmpty() && line.back().isSpace()) line.chop(1);
    const qsizetype colon = line.indexOf(u':');
    if (!line.endsWith(u']') || colon < 0) return;
    const QString key = line.mid(1, colon - 1).trimmed().toString().toLower();
    const QStringView value = line.mid(colon + 1, line.size() - colon - 2).trimmed();
    if (key == u"ti") {
        tags.title = value.toString();
    } else if (key == u"ar") {
        tags.singer = value.toString();
    } else if (key == u"al") {
        tags.album = value.toString();
    } else if (key == u"au") {
        tags.lyricist = value.toString();
    } else if (key == u"composer" || key == u"co") {
        tags.composer = value.toString();
    } else if (key == u"offset") {
        if (const auto ms = ParseOffset(value)) tags.offsetMs = *ms;
    } else if (key == u"length") {
        const QString closed = value.toString() + u']';
        qsizetype at = 0;
        if (const auto ms = ReadTime(closed, at, u']'); ms && at == closed.size()) tags.lengthMs = *ms;
    }
}

[[noreturn]] void Refuse(const QString& text) { throw StoreError(text.toStdString()); }

QString Seconds(qint64 tenths) { return QString::number(static_cast<double>(tenths) / 10, 'f', 1); }

// One line of the file: its time tags become stamps, any other tag goes into `tags`.
void TakeLine(QStringView line, int fileLine, std::vector<Stamp>& stamps, Tags& tags) {
    qsizetype i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (i >= line.size() || line[i] != u'[') return;
    const size_t before = stamps.size();
    while (i < line.size() && line[i] == u'[') {
        qsizetype at = i + 1;
        const auto ms = ReadTime(line, at, u']');
        if (!ms) break;
        stamps.push_back({*ms, QString(), fileLine});
        i = at;
    }
    if (stamps.size() == before) return TakeTag(line.mid(i), tags);
    const QString text = CleanText(line.mid(i));
    for (size_t k = before; k < stamps.size(); ++k) stamps[k].text = text;
    if (stamps.size() > kMostLines + 1) {
        Refuse(QStringLiteral("这个 LRC 文件的歌词超过 32767 行，歌词文件最多只能有 32767 行。"));
    }
}

// The moment a time tag shows its line, after the offset, in milliseconds.
qint64 Shown(qint64 ms, qint64 offsetMs, int fileLine) {
    const qint64 shown = std::max<qint64>(0, ms - offsetMs);
    const qint64 tenths = (shown + 50) / 100;
    if (tenths > kLongestTenths) {
        Refuse(QStringLiteral("LRC 文件第 %1 行的时间 %2 秒超过了 3276.7 秒（54 分 36.7 秒），"
                              "歌词文件只能记到这个时间。")
                   .arg(fileLine)
                   .arg(Seconds(tenths)));
    }
    return shown;
}

// Start times in file order, sorted, become the document's lines with their end times.
std::vector<LyricLine> ToLines(std::vector<Stamp>& stamps, const Tags& tags) {
    std::vector<std::pair<qint64, QString>> starts;
    starts.reserve(stamps.size());
    for (Stamp& s : stamps) starts.emplace_back(Shown(s.ms, tags.offsetMs, s.fileLine), std::move(s.text));
    // Sorted to the millisecond, so that lines a few milliseconds apart keep their order.
    std::stable_sort(starts.begin(), starts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& start : starts) start.first = (start.first + 50) / 100;
    qint64 end = kLongestTenths;
    if (!starts.empty() && starts.back().second.isEmpty()) {
        end = starts.back().first;
        starts.pop_back();
    } else if (tags.lengthMs && !starts.empty()) {
        const qint64 length = (std::max<qint64>(0, *tags.lengthMs) + 50) / 100;
        if (length >= starts.back().first) end = std::min(length, kLongestTenths);
    }
    const bool gap = !starts.empty() && starts.front().first > 0;
    if (starts.size() + (gap ? 1 : 0) > kMostLines) {
        Refuse(QStringLiteral("这个 LRC 文件的歌词超过 32767 行，歌词文件最多只能有 32767 行。"));
    }
    std::vector<LyricLine> lines(1);
    lines.reserve(starts.size() + 2);
    if (gap) lines.push_back({QString(), static_cast<int16_t>(starts.front().first)});
    for (size_t k = 0; k < starts.size(); ++k) {
        const qint64 lineEnd = k + 1 < starts.size() ? starts[k + 1].first : end;
        lines.push_back({std::move(starts[k].second), static_cast<int16_t>(lineEnd)});
    }
    return lines;
}

// "mm:ss.xx" for a time in tenths of a second (at most 54:36.70).
void AppendStamp(QString& out, int tenths) {
    const int minutes = tenths / 600, seconds = tenths / 10 % 60;
    const char16_t stamp[] = {u'[', char16_t(u'0' + minutes / 10), char16_t(u'0' + minutes % 10),
                              u':', char16_t(u'0' + seconds / 10), char16_t(u'0' + seconds % 10),
                              u'.', char16_t(u'0' + tenths % 10),  u'0',
                              u']'};
    out.append(reinterpret_cast<const QChar*>(stamp), std::size(stamp));
}

// LRC has no line breaks inside a line: each becomes one blank. A lone surrogate, which UTF-8 cannot hold,
// becomes U+FFFD, as it does on reading.
QString OneLine(const QString& text) {
    QString out = WithoutLoneSurrogates(text);
    if (!out.contains(u'\r') && !out.contains(u'\n')) return out;
    out.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    out.replace(u'\r', u' ');
    out.replace(u'\n', u' ');
    return out;
}

void RefuseOutOfOrder(const Main& m) {
    for (int i = 1; i <= m.lyricLineCount; ++i) {
        const int16_t end = m.lyricLines[size_t(i)].endTime;
        const int16_t before = i == 1 ? int16_t{0} : m.lyricLines[size_t(i) - 1].endTime;
        if (end >= before) continue;
        QString text = i == 1 ? QStringLiteral("第 1 行的结束时间（%1 秒）早于歌曲的开始。").arg(Seconds(end))
                              : QStringLiteral("第 %1 行的结束时间（%2 秒）早于第 %3 行的结束时间（%4 秒）。")
                                    .arg(i)
                                    .arg(Seconds(end))
                                    .arg(i - 1)
                                    .arg(Seconds(before));
        if (end == 0) text += QStringLiteral("这一行还没有记录时间。");
        text += QStringLiteral("LRC 文件只能按时间先后保存歌词，没有保存。请先改正这一行的时间。");
        throw LrcOrderError(text.toStdString());
    }
}

}  // namespace

QString DecodeLrc(QByteArrayView bytes) {
    const auto decode = [&](QStringConverter::Encoding encoding, qsizetype skip) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        return WithoutLoneSurrogates(decoder(bytes.sliced(skip)));
    };
    if (bytes.startsWith("\xEF\xBB\xBF")) return decode(QStringConverter::Utf8, 3);
    if (bytes.startsWith("\xFF\xFE")) return decode(QStringConverter::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF")) return decode(QStringConverter::Utf16BE, 2);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8(bytes);
    return utf8.hasError() ? DecodeAnsi(bytes) : text;
}

QString LrcLineText(const QString& text) { return CleanText(OneLine(text)); }

bool StartsLikeLrc(QStringView text) {
    for (QChar c : text) {
        if (!IsBlank(c) && !IsLineEnd(c)) return c == u'[';
    }
    return false;
}

LrcContent ParseLrc(QStringView text) {
    std::vector<Stamp> stamps;
    Tags tags;
    int fileLine = 0;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = start;
        while (end < text.size() && !IsLineEnd(text[end])) ++end;
        TakeLine(text.mid(start, end - start), ++fileLine, stamps, tags);
        start = end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
    }
    LrcContent content;
    content.lines = ToLines(stamps, tags);
    content.title = std::move(tags.title);
    content.singer = std::move(tags.singer);
    content.album = std::move(tags.album);
    content.lyricist = std::move(tags.lyricist);
    content.composer = std::move(tags.composer);
    return content;
}

QByteArray FormatLrc(const Main& m) {
    if (m.lyricLineCount < 0 || m.lyricLines.size() < static_cast<size_t>(m.lyricLineCount) + 1) {
        throw StoreError("the lyric line table does not match the line count");
    }
    RefuseOutOfOrder(m);
    QString out;
    out.reserve(64 + qsizetype(m.lyricLineCount) * 40);
    const std::pair<const char16_t*, const QString*> tags[] = {{u"ti", &m.lyricTitle},
                                                               {u"ar", &m.lyricSinger},
                                                               {u"al", &m.lyricAlbum},
                                                               {u"au", &m.lyricLyricist},
                                                               {u"composer", &m.lyricComposer}};
    // Every tag is written, empty or not, so that even a document without lines is recognised as LRC.
    for (const auto& [key, value] : tags) {
        out += u'[' + QString::fromUtf16(key) + u':' + OneLine(*value).trimmed() + QStringLiteral("]\r\n");
    }
    for (int i = 1; i <= m.lyricLineCount; ++i) {
        // Line 1 starts with the song, whatever slot 0 holds.
        AppendStamp(out, i == 1 ? 0 : m.lyricLines[size_t(i) - 1].endTime);
        out += LrcLineText(m.lyricLines[size_t(i)].text);
        out += QStringLiteral("\r\n");
    }
    if (m.lyricLineCount > 0) {
        const LyricLine& last = m.lyricLines[size_t(m.lyricLineCount)];
        // A last line with words that lasts to the end of the song needs no closing time.
        if (last.endTime != kUntilSongEnd || LrcLineText(last.text).isEmpty()) {
            AppendStamp(out, last.endTime);
            out += QStringLiteral("\r\n");
        }
    }
    return out.toUtf8();
}

}  // namespace qiva
