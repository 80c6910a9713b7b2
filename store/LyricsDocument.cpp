// The current lyrics document and the timed lyrics file.

#include "store/Codec.h"
#include "store/FieldReader.h"
#include "store/FileIo.h"
#include "store/LrcFormat.h"
#include "store/Main.h"

namespace qiva {
namespace {

QString Quoted(const QString& text, const char* what) {
    RefuseDoubleQuote(text, what);
    return u'"' + text + u'"';
}

// The program's own files begin with a quoted field; the reader skips blanks before a field.
bool StartsWithQuote(const QByteArray& bytes) {
    for (char c : bytes) {
        if (c != ' ' && c != '\t') return c == '"';
    }
    return false;
}

}  // namespace

void Main::ResetLines(int16_t count) {
    if (count < 0) throw StoreError("a lyrics document cannot hold a negative number of lines");
    lyricLines.assign(static_cast<size_t>(count) + 1, LyricLine{});
    lyricLineCount = count;
}

LyricsFormat Main::ReadLyricsFile(const QString& path, const std::function<void()>& afterHeader) {
    const QByteArray bytes = ReadAllBytes(path);
    if (StartsWithQuote(bytes)) {
        ReadOwnFormat(bytes, afterHeader);
        return LyricsFormat::Own;
    }
    if (const QString text = DecodeLrc(bytes); StartsLikeLrc(text)) {
        ReadLrc(text, afterHeader);
        return LyricsFormat::Lrc;
    }
    // Earlier versions read any file as their own, up to the first field that does not fit; so does this
    // one, but the error then says what the file is not.
    try {
        ReadOwnFormat(bytes, afterHeader);
    } catch (const StoreError& e) {
        throw StoreError(QStringLiteral("这个文件既不是本程序的歌词文件，也不是 LRC 歌词文件（%1）")
                             .arg(e.what())
                             .toStdString());
    }
    return LyricsFormat::Own;
}

void Main::ReadLrc(const QString& text, const std::function<void()>& afterHeader) {
    // The whole file is parsed before anything is assigned: a file that fails leaves the document alone.
    LrcContent content = ParseLrc(text);
    const auto count = static_cast<int16_t>(content.lines.size() - 1);
    lyricAlbum = std::move(content.album);
    lyricSinger = std::move(content.singer);
    ResetLines(count);
    lyricComposer = std::move(content.composer);
    lyricSongPath.clear();
    lyricTitle = std::move(content.title);
    lyricLyricist = std::move(content.lyricist);
    if (afterHeader) afterHeader();
    lyricLines = std::move(content.lines);
}

void Main::ReadOwnFormat(const QByteArray& bytes, const std::function<void()>& afterHeader) {
    FieldReader reader(DecodeAnsi(bytes));
    lyricAlbum = reader.NextText("album");
    lyricSinger = reader.NextText("singer");
    // The line table is rebuilt together with the count, so the two agree at every moment, even when a later
    // header field is missing.
    ResetLines(reader.NextInt16("line count"));
    lyricComposer = reader.NextText("composer");
    lyricSongPath = reader.NextText("song path");
    lyricTitle = reader.NextText("title");
    lyricLyricist = reader.NextText("lyricist");
    if (afterHeader) afterHeader();
    for (size_t i = 1; i < lyricLines.size(); ++i) {
        lyricLines[i].endTime = reader.NextInt16("end time");
        lyricLines[i].text = reader.NextText("line text");
    }
}

void Main::WriteLyricsFile(const QString& path) const {
    if (lyricLineCount < 0 || lyricLines.size() < static_cast<size_t>(lyricLineCount) + 1) {
        throw StoreError("the lyric line table does not match the line count");
    }
    const QChar comma = u',';
    QString out = Quoted(lyricAlbum, "album") + comma + Quoted(lyricSinger, "singer") + comma +
                  QString::number(lyricLineCount) + comma + Quoted(lyricComposer, "composer") + comma +
                  Quoted(lyricSongPath, "song path") + comma + Quoted(lyricTitle, "title") + comma +
                  Quoted(lyricLyricist, "lyricist") + QStringLiteral("\r\n");
    for (int i = 1; i <= lyricLineCount; ++i) {
        const LyricLine& line = lyricLines[static_cast<size_t>(i)];
        out +=
            QString::number(line.endTime) + comma + Quoted(line.text, "line text") + QStringLiteral("\r\n");
    }
    WriteAtomically(path, EncodeAnsi(out));
}

void Main::WriteLrcFile(const QString& path) const { WriteAtomically(path, FormatLrc(*this)); }

}  // namespace qiva
