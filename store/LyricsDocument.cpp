// The current lyrics document and the timed lyrics file.

#include "store/Codec.h"
#include "store/FieldReader.h"
#include "store/FileIo.h"
#include "store/Main.h"

namespace qiva {
namespace {

QString Quoted(const QString& text, const char* what) {
    RefuseDoubleQuote(text, what);
    return u'"' + text + u'"';
}

}  // namespace

void Main::ResetLines(int16_t count) {
    if (count < 0) throw StoreError("a lyrics document cannot hold a negative number of lines");
    lyricLines.assign(static_cast<size_t>(count) + 1, LyricLine{});
    lyricLineCount = count;
}

void Main::ReadLyricsFile(const QString& path, const std::function<void()>& afterHeader) {
    FieldReader reader(DecodeAnsi(ReadAllBytes(path)));
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

}  // namespace qiva
