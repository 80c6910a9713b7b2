#include "fuzz/FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <exception>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/ContentKind.h"
#include "platform/MediaPlayer.h"
#include "platform/OpusDecoder.h"
#include "platform/Prompter.h"
#include "platform/SndfileDecoder.h"
#include "platform/VorbisDecoder.h"
#include "store/LrcFormat.h"
#include "store/Main.h"
#include "wizard/ExpandMarks.h"

namespace qiva::fuzz {
namespace {

// One folder per process, in memory where the system offers it: every input is written to a file there,
// because the readers under test take paths, as the windows hand them.
const QDir& Scratch() {
    static QTemporaryDir dir = [] {
        const QString shm = QStringLiteral("/dev/shm");
        if (QFileInfo(shm).isDir() && QFileInfo(shm).isWritable()) {
            QTemporaryDir inMemory(QDir(shm).filePath(QStringLiteral("qiva-fuzz-XXXXXX")));
            if (inMemory.isValid()) return inMemory;
        }
        return QTemporaryDir();
    }();
    static const QDir folder(dir.path());
    return folder;
}

QString ScratchPath(const char* name) { return Scratch().filePath(QString::fromUtf8(name)); }

bool WriteInput(const QString& path, const uint8_t* data, size_t size) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const auto n = static_cast<qint64>(size);
    return size == 0 || f.write(reinterpret_cast<const char*>(data), n) == n;
}

QByteArray ReadBack(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every duplicate question of a commit answers Yes, so every loaded entry is written again.
class YesPrompter : public Prompter {
public:
    void MsgBox(const QString&, const QString&) override {}
    bool AskYesNo(const QString&, const QString&) override { return true; }
    QString InputBox(const QString&, const QString&, const QString& answer) override { return answer; }
};

std::string Broken(const char* what) { return std::string(what); }

bool SameEntries(const Main& a, const Main& b) {
    if (a.assocCount != b.assocCount) return false;
    for (int i = 1; i <= a.assocCount; ++i) {
        const auto k = static_cast<size_t>(i);
        if (a.assocTable[k].songPath != b.assocTable[k].songPath) return false;
        if (a.assocTable[k].lyricsPath != b.assocTable[k].lyricsPath) return false;
    }
    return true;
}

bool TableKept(const Main& m) {
    return m.assocCount == 1 && m.assocTable.size() == 2 && m.assocTable[1].songPath == u"keep.mp3" &&
           m.assocTable[1].lyricsPath == u"keep.TXT";
}

// Writing the loaded table back (with one more entry) and loading it again must give the same table.
std::string AssociationsRoundTrip(Main& m, const QByteArray& original) {
    if (m.assocCount == INT16_MAX) return {};
    m.AppendAssociation(QStringLiteral("新歌.mp3"), QStringLiteral("新歌,词.TXT"));
    YesPrompter yes;
    try {
        m.CommitAssociation(yes);
    } catch (const StoreError&) {
        // Only a loaded path with a double quote in it may be refused, and then nothing is written.
        if (ReadBack(m.assocFilePath()) != original)
            return Broken("a refused commit changed the record file");
        return {};
    }
    Main back(m.lyricsFolder());
    back.LoadAssociations();
    if (!SameEntries(m, back)) return Broken("the rewritten record file reads back differently");
    return {};
}

bool LinesConsistent(const Main& m) {
    return m.lyricLineCount >= 0 && m.lyricLines.size() == static_cast<size_t>(m.lyricLineCount) + 1 &&
           m.lyricLines[0].text.isEmpty() && m.lyricLines[0].endTime == 0;
}

bool SameDocument(const Main& a, const Main& b) {
    if (a.lyricAlbum != b.lyricAlbum || a.lyricSinger != b.lyricSinger ||
        a.lyricComposer != b.lyricComposer || a.lyricSongPath != b.lyricSongPath ||
        a.lyricTitle != b.lyricTitle || a.lyricLyricist != b.lyricLyricist ||
        a.lyricLineCount != b.lyricLineCount || a.lyricLines.size() != b.lyricLines.size()) {
        return false;
    }
    for (size_t i = 0; i < a.lyricLines.size(); ++i) {
        if (a.lyricLines[i].text != b.lyricLines[i].text) return false;
        if (a.lyricLines[i].endTime != b.lyricLines[i].endTime) return false;
    }
    return true;
}

bool HasDoubleQuote(const Main& m) {
    for (const QString* s : {&m.lyricAlbum, &m.lyricSinger, &m.lyricComposer, &m.lyricSongPath, &m.lyricTitle,
                             &m.lyricLyricist}) {
        if (s->contains(u'"')) return true;
    }
    return std::any_of(m.lyricLines.begin(), m.lyricLines.end(),
                       [](const LyricLine& l) { return l.text.contains(u'"'); });
}

// A document that was read (or expanded) is written, read back and written again: the same document and
// the same bytes both times. A double quote may only make the writer refuse.
std::string DocumentRoundTrip(const Main& doc) {
    const QString first = ScratchPath("rewritten.TXT");
    QFile::remove(first);
    try {
        doc.WriteLyricsFile(first);
    } catch (const StoreError&) {
        if (!HasDoubleQuote(doc)) return Broken("a document without double quotes could not be written");
        if (QFile::exists(first)) return Broken("a refused write left a file behind");
        return {};
    }
    Main back(Scratch().path());
    back.ReadLyricsFile(first);
    if (!SameDocument(doc, back)) return Broken("the rewritten lyrics file reads back differently");
    const QString second = ScratchPath("rewritten-again.TXT");
    back.WriteLyricsFile(second);
    if (ReadBack(first) != ReadBack(second)) return Broken("writing the same document gave different bytes");
    return {};
}

std::string CheckExpansion(const QString& text) {
    Main doc(Scratch().path());
    doc.ResetLines(2);
    const MarkCheck check = ExpandMarks(text, doc);
    if (check != MarkCheck::Ok) {
        if (doc.lyricLineCount != 2 || doc.lyricLines.size() != 3)
            return Broken("a refused expansion changed");
        return {};
    }
    if (!LinesConsistent(doc)) return Broken("the expanded line table does not match its count");
    if (doc.lyricLineCount != MarkLineCount(text)) return Broken("the expansion gave another line count");
    for (const LyricLine& l : doc.lyricLines) {
        if (l.endTime != 0) return Broken("an expanded line has an end time");
    }
    return DocumentRoundTrip(doc);
}

template <typename Run>
std::string Guarded(Run run) {
    try {
        return run();
    } catch (const StoreError& e) {
        return std::string("an unexpected store error: ") + e.what();
    } catch (const std::exception& e) {
        return std::string("an exception the program does not catch: ") + e.what();
    }
}

std::string AssociationsOnce(const uint8_t* data, size_t size) {
    Main m(Scratch().path());
    if (!WriteInput(m.assocFilePath(), data, size)) return Broken("the scratch folder cannot be written");
    const QByteArray original = ReadBack(m.assocFilePath());
    m.assocTable = {AssocEntry{}, AssocEntry{QStringLiteral("keep.mp3"), QStringLiteral("keep.TXT")}};
    m.assocCount = 1;
    try {
        m.LoadAssociations();
    } catch (const StoreError&) {
        if (!TableKept(m)) return Broken("a failed load changed the table");
        if (ReadBack(m.assocFilePath()) != original) return Broken("a load changed the record file");
        return {};
    }
    if (m.assocCount < 0) return Broken("a load gave a negative count");
    if (m.assocCount == 0 && !(m.assocTable.size() == 2 && m.assocTable[1].songPath == u"keep.mp3")) {
        return Broken("a count of 0 changed the table");
    }
    if (m.assocCount > 0 && m.assocTable.size() != static_cast<size_t>(m.assocCount) + 1) {
        return Broken("the table does not match its count");
    }
    return AssociationsRoundTrip(m, original);
}

std::string LyricsFileOnce(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("lyrics.TXT");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    Main m(Scratch().path());
    bool headerConsistent = true;
    try {
        m.ReadLyricsFile(path, [&] { headerConsistent = LinesConsistent(m); });
    } catch (const StoreError&) {
        if (!LinesConsistent(m)) return Broken("a failed read left the line table and its count apart");
        return {};
    }
    if (!headerConsistent) return Broken("the line table and its count disagreed after the header");
    if (!LinesConsistent(m)) return Broken("the line table does not match its count");
    return DocumentRoundTrip(m);
}

// What writing `doc` as LRC and reading it back must give: no song path, the song information on one line
// without blanks at its ends, each text as an LRC line holds it, every end time as it was.
Main AsLrcHoldsIt(const Main& doc) {
    const auto oneLine = [](QString v) {
        return v.replace(QStringLiteral("\r\n"), QStringLiteral(" "))
            .replace(u'\r', u' ')
            .replace(u'\n', u' ')
            .trimmed();
    };
    Main out(doc.lyricsFolder());
    out.lyricAlbum = oneLine(doc.lyricAlbum);
    out.lyricSinger = oneLine(doc.lyricSinger);
    out.lyricComposer = oneLine(doc.lyricComposer);
    out.lyricTitle = oneLine(doc.lyricTitle);
    out.lyricLyricist = oneLine(doc.lyricLyricist);
    out.ResetLines(doc.lyricLineCount);
    for (size_t i = 1; i < out.lyricLines.size(); ++i)
        out.lyricLines[i] = {LrcLineText(doc.lyricLines[i].text), doc.lyricLines[i].endTime};
    return out;
}

bool EndTimesRise(const Main& m) {
    for (int i = 1; i <= m.lyricLineCount; ++i) {
        if (m.lyricLines[size_t(i)].endTime < (i == 1 ? 0 : m.lyricLines[size_t(i) - 1].endTime))
            return false;
    }
    return true;
}

// The document written as LRC, read back and written again.
std::string LrcRoundTrip(const Main& doc) {
    const QString first = ScratchPath("rewritten.lrc");
    QFile::remove(first);
    try {
        doc.WriteLrcFile(first);
    } catch (const StoreError&) {
        if (EndTimesRise(doc)) return Broken("a document in time order could not be written as LRC");
        if (QFile::exists(first)) return Broken("a refused LRC write left a file behind");
        return {};
    }
    if (!EndTimesRise(doc)) return Broken("a document out of time order was written as LRC");
    Main back(Scratch().path());
    if (back.ReadLyricsFile(first) != LyricsFormat::Lrc)
        return Broken("a written LRC file did not read as LRC");
    if (!SameDocument(AsLrcHoldsIt(doc), back)) return Broken("the LRC file reads back differently");
    const QString second = ScratchPath("rewritten-again.lrc");
    back.WriteLrcFile(second);
    if (ReadBack(first) != ReadBack(second))
        return Broken("writing the same document as LRC gave other bytes");
    return {};
}

void FillOld(Main& m) {
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricSongPath = m.lyricTitle = m.lyricLyricist =
        QStringLiteral("old");
    m.ResetLines(2);
    m.lyricLines[1] = {QStringLiteral("old1"), 1};
    m.lyricLines[2] = {QStringLiteral("old2"), 2};
}

bool IsOld(const Main& m) {
    Main old(m.lyricsFolder());
    FillOld(old);
    return SameDocument(m, old);
}

bool ReadsAsLrc(const QByteArray& bytes) {
    const qsizetype first = [&] {
        qsizetype i = 0;
        while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t')) ++i;
        return i;
    }();
    return !(first < bytes.size() && bytes[first] == '"') && StartsLikeLrc(DecodeLrc(bytes));
}

std::string LrcFileOnce(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("lyrics.lrc");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    Main m(Scratch().path());
    FillOld(m);
    LyricsFormat format = LyricsFormat::Own;
    try {
        format = m.ReadLyricsFile(path);
    } catch (const StoreError&) {
        if (!LinesConsistent(m)) return Broken("a failed read left the line table and its count apart");
        if (ReadsAsLrc(ReadBack(path)) && !IsOld(m)) return Broken("a failed LRC read changed the document");
        return {};
    }
    if (!LinesConsistent(m)) return Broken("the line table does not match its count");
    if (format == LyricsFormat::Lrc) {
        if (!ReadsAsLrc(ReadBack(path))) return Broken("a file that does not start with a tag read as LRC");
        if (!m.lyricSongPath.isEmpty()) return Broken("an LRC file gave a song path");
        if (!EndTimesRise(m)) return Broken("an LRC file gave end times out of order");
        if (!SameDocument(AsLrcHoldsIt(m), m)) return Broken("an LRC file gave what LRC cannot hold");
    }
    return LrcRoundTrip(m);
}

std::string LyricTextOnce(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("text.TXT");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    // Any file at all opens: its bytes simply become the text.
    const QString text = OpenLyricText(path);
    const QString saved = ScratchPath("text-saved.TXT");
    SaveLyricText(saved, text);
    // Saving adds one CR LF and changes nothing else.
    if (OpenLyricText(saved) != text + QStringLiteral("\r\n"))
        return Broken("a saved text opens differently");
    if (std::string why = CheckExpansion(text); !why.empty()) return why;
    return CheckExpansion(LowercaseAscii(RemoveSpaces(text)));
}

std::string DecodeThrough(AudioDecoder& d) {
    std::vector<int16_t> buffer(4096 * 2);
    int64_t total = 0;
    for (size_t n = d.read(buffer.data(), 4096); n > 0; n = d.read(buffer.data(), 4096)) {
        if (n > 4096) return Broken("the decoder wrote past the buffer it was given");
        total += static_cast<int64_t>(n);
        if (d.tell() != total) return Broken("the decoder's position does not follow what it decoded");
    }
    if (total > d.lengthFrames()) return Broken("the decoder gave more frames than the length it reported");
    return {};
}

std::string SeekAround(AudioDecoder& d) {
    std::vector<int16_t> buffer(256 * 2);
    const int64_t length = d.lengthFrames();
    for (const int64_t target : {length / 2, length - 1, length, length + 1000, int64_t{-5}, int64_t{0}}) {
        d.seek(target);
        // A damaged file may keep the decoder from landing on the very frame; it must stay inside the song.
        const int64_t at = d.tell();
        if (at < 0 || at > length) {
            return "a seek to frame " + std::to_string(target) + " of " + std::to_string(length) +
                   " landed at " + std::to_string(at);
        }
        const size_t n = d.read(buffer.data(), 256);
        if (at + static_cast<int64_t>(n) > length || d.tell() != at + static_cast<int64_t>(n)) {
            return "a read after landing at frame " + std::to_string(at) + " of " + std::to_string(length) +
                   " gave " + std::to_string(n) + " frames";
        }
    }
    return {};
}

// The promises every decoder keeps: a refused file leaves nothing open; an accepted one has a rate and
// channels the outputs take and a length of at least a tenth of a second, decodes through within that
// length and stays inside it on every seek.
std::string SongOnce(AudioDecoder& d, const QString& path, int lowestRate, int highestRate) {
    try {
        d.open(path);
    } catch (const PlayerError&) {
        if (d.isOpen() || d.lengthFrames() != 0) return Broken("a refused song was left open");
        return {};
    }
    if (d.channels() < 1 || d.channels() > 2) return Broken("the song has an impossible channel count");
    if (d.rate() < lowestRate || d.rate() > highestRate) return Broken("the song has an impossible rate");
    if (d.lengthSeconds() < AudioDecoder::kMinimumSeconds) return Broken("a too short song was accepted");
    if (std::string why = DecodeThrough(d); !why.empty()) return why;
    return SeekAround(d);
}

std::string Mp3Once(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("song.mp3");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    Mp3Decoder d;
    return SongOnce(d, path, 8000, 48000);
}

std::string SndfileOnce(const uint8_t* data, size_t size, SndfileDecoder::Format format) {
    const QString path = ScratchPath(format == SndfileDecoder::Format::Flac ? "song.flac" : "song.wav");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    SndfileDecoder d(format);
    return SongOnce(d, path, AudioDecoder::kMinimumRate, AudioDecoder::kMaximumRate);
}

// Vorbis or Opus as the first packet says; anything else goes to the Opus decoder, which must refuse it.
std::string OggOnce(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("song.ogg");
    if (!WriteInput(path, data, size)) return Broken("the scratch folder cannot be written");
    if (OggCodecOf(path, SniffContent(path).tagBytes) == OggCodec::Vorbis) {
        VorbisDecoder d;
        return SongOnce(d, path, AudioDecoder::kMinimumRate, AudioDecoder::kMaximumRate);
    }
    OpusDecoder d;
    return SongOnce(d, path, 48000, 48000);
}

template <typename Once>
std::string SongGuarded(Once once) {
    return Guarded([&] {
        try {
            return once();
        } catch (const PlayerError& e) {
            return std::string("an unexpected player error: ") + e.what();
        }
    });
}

}  // namespace

std::string Associations(const uint8_t* data, size_t size) {
    return Guarded([&] { return AssociationsOnce(data, size); });
}

std::string LyricsFile(const uint8_t* data, size_t size) {
    return Guarded([&] { return LyricsFileOnce(data, size); });
}

std::string LrcFile(const uint8_t* data, size_t size) {
    return Guarded([&] { return LrcFileOnce(data, size); });
}

std::string LyricText(const uint8_t* data, size_t size) {
    return Guarded([&] { return LyricTextOnce(data, size); });
}

std::string Mp3(const uint8_t* data, size_t size) {
    return SongGuarded([&] { return Mp3Once(data, size); });
}

std::string Flac(const uint8_t* data, size_t size) {
    return SongGuarded([&] { return SndfileOnce(data, size, SndfileDecoder::Format::Flac); });
}

std::string Wav(const uint8_t* data, size_t size) {
    return SongGuarded([&] { return SndfileOnce(data, size, SndfileDecoder::Format::Wave); });
}

std::string Ogg(const uint8_t* data, size_t size) {
    return SongGuarded([&] { return OggOnce(data, size); });
}

Target TargetNamed(const std::string& name) {
    if (name == "assoc") return &Associations;
    if (name == "lyrics") return &LyricsFile;
    if (name == "lrc") return &LrcFile;
    if (name == "text") return &LyricText;
    if (name == "mp3") return &Mp3;
    if (name == "flac") return &Flac;
    if (name == "wav") return &Wav;
    if (name == "ogg") return &Ogg;
    return nullptr;
}

}  // namespace qiva::fuzz
