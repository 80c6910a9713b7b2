#include "platform/SongTags.h"

#include <taglib/fileref.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpegfile.h>
#include <taglib/tdebuglistener.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/wavfile.h>

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <algorithm>
#include <exception>
#include <initializer_list>
#include <string>

#include "store/Codec.h"

namespace qiva {
namespace {

unsigned Byte(QByteArrayView b, qsizetype i) { return static_cast<unsigned char>(b[i]); }
bool InRange(unsigned c, unsigned low, unsigned high) { return c >= low && c <= high; }
bool IsAsciiLetter(unsigned c) { return InRange(c, 'A', 'Z') || InRange(c, 'a', 'z'); }

// The length of the GB18030 character that starts at b[i]; 0 where none can start.
int GbCharLength(QByteArrayView b, qsizetype i) {
    const unsigned lead = Byte(b, i);
    if (lead < 0x80) return 1;
    if (!InRange(lead, 0x81, 0xFE) || i + 1 >= b.size()) return 0;
    const unsigned second = Byte(b, i + 1);
    if (InRange(second, 0x40, 0x7E) || InRange(second, 0x80, 0xFE)) return 2;
    const bool four = InRange(second, 0x30, 0x39) && i + 3 < b.size() &&
                      InRange(Byte(b, i + 2), 0x81, 0xFE) && InRange(Byte(b, i + 3), 0x30, 0x39);
    return four ? 4 : 0;
}

bool IsWholeGb18030(QByteArrayView b) {
    for (qsizetype i = 0; i < b.size();) {
        const int n = GbCharLength(b, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

// Accented letters of European words stand alone or in pairs, always against a Latin letter.
bool ReadsAsEuropean(QByteArrayView b) {
    for (qsizetype i = 0; i < b.size();) {
        if (Byte(b, i) < 0x80) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < b.size() && Byte(b, end) >= 0x80) ++end;
        const bool letterBefore = i > 0 && IsAsciiLetter(Byte(b, i - 1));
        const bool letterAfter = end < b.size() && IsAsciiLetter(Byte(b, end));
        if (end - i > 2 || !(letterBefore || letterAfter)) return false;
        i = end;
    }
    return true;
}

bool IsRealText(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == QChar::ReplacementCharacter || InRange(c.unicode(), 0xE000, 0xF8FF);
    });
}

QString FromTagLib(const TagLib::String& s) { return QString::fromUtf8(s.toCString(true)); }

// A string TagLib read from a field declared Latin-1 holds one character per byte of the field.
QString FromLatin1Field(const TagLib::String& s, bool mayBeCut) {
    if (!s.isLatin1()) return FromTagLib(s);
    const std::string bytes = s.to8Bit(false);
    return TagTextFromLatin1(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())), mayBeCut);
}

QString FieldText(const TagLib::String& s, TagLib::String::Type encoding) {
    return encoding == TagLib::String::Latin1 ? FromLatin1Field(s, false) : FromTagLib(s);
}

QString TextFrame(const TagLib::ID3v2::Tag& tag, const char* id) {
    for (TagLib::ID3v2::Frame* frame : tag.frameList(id)) {
        const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frame);
        if (text == nullptr) continue;
        const QString value = FieldText(text->toString(), text->textEncoding()).trimmed();
        if (!value.isEmpty()) return value;
    }
    return {};
}

QString LyricsText(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text.trimmed();
}

QString LyricsFrame(const TagLib::ID3v2::Tag& tag) {
    for (TagLib::ID3v2::Frame* frame : tag.frameList("USLT")) {
        const auto* uslt = dynamic_cast<const TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame);
        if (uslt == nullptr) continue;
        const QString text = LyricsText(FieldText(uslt->text(), uslt->textEncoding()));
        if (!text.isEmpty()) return text;
    }
    return {};
}

void ReadId3v2(const TagLib::ID3v2::Tag& tag, SongTags& out) {
    out.title = TextFrame(tag, "TIT2");
    out.artist = TextFrame(tag, "TPE1");
    out.album = TextFrame(tag, "TALB");
    out.lyricist = TextFrame(tag, "TEXT");
    out.composer = TextFrame(tag, "TCOM");
    out.lyrics = LyricsFrame(tag);
}

// ID3v1 knows no text encoding at all: its fields are read as Latin-1 and given the same chance of GBK.
void FillFromId3v1(const TagLib::ID3v1::Tag& tag, SongTags& out) {
    const auto fill = [](QString& field, const TagLib::String& value) {
        if (field.isEmpty()) field = FromLatin1Field(value, true).trimmed();
    };
    fill(out.title, tag.title());
    fill(out.artist, tag.artist());
    fill(out.album, tag.album());
}

void ReadMpeg(TagLib::MPEG::File& file, SongTags& out) {
    if (file.hasID3v2Tag())
        if (const TagLib::ID3v2::Tag* tag = file.ID3v2Tag(); tag != nullptr) ReadId3v2(*tag, out);
    if (file.hasID3v1Tag())
        if (const TagLib::ID3v1::Tag* tag = file.ID3v1Tag(); tag != nullptr) FillFromId3v1(*tag, out);
}

// The first non-empty value of any of `keys`; Vorbis comments are UTF-8 by definition, so no guessing.
QString Property(const TagLib::PropertyMap& properties, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const auto found = properties.find(key);
        if (found == properties.end()) continue;
        for (const TagLib::String& value : found->second)
            if (const QString text = FromTagLib(value).trimmed(); !text.isEmpty()) return text;
    }
    return {};
}

// Vorbis comments of FLAC, Ogg Vorbis and Opus files. What an earlier tag of the same file gave is kept.
void FillFromProperties(const TagLib::PropertyMap& properties, SongTags& out) {
    const auto fill = [&](QString& field, std::initializer_list<const char*> keys) {
        if (field.isEmpty()) field = Property(properties, keys);
    };
    fill(out.title, {"TITLE"});
    fill(out.artist, {"ARTIST"});
    fill(out.album, {"ALBUM"});
    fill(out.lyricist, {"LYRICIST"});
    fill(out.composer, {"COMPOSER"});
    if (out.lyrics.isEmpty()) out.lyrics = LyricsText(Property(properties, {"LYRICS", "UNSYNCEDLYRICS"}));
}

// A WAV file's INFO list names no encoding: it holds UTF-8 or the system's code page, which InfoText below
// hands on byte for byte, to be given the same chance of GBK as an ID3v1 tag.
void FillFromInfo(const TagLib::RIFF::Info::Tag& info, SongTags& out) {
    const auto fill = [&](QString& field, const char* id) {
        if (field.isEmpty()) field = FromLatin1Field(info.fieldText(id), false).trimmed();
    };
    fill(out.title, "INAM");
    fill(out.artist, "IART");
    fill(out.album, "IPRD");
    fill(out.lyricist, "IWRI");
    fill(out.composer, "IMUS");
}

void ReadOther(TagLib::File& file, SongTags& out) {
    auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(&file);
    if (wav == nullptr) return FillFromProperties(file.properties(), out);
    // A WAV file's ID3v2 tag comes from the same taggers as an MP3's, with the same GBK in Latin-1 fields.
    if (wav->hasID3v2Tag()) ReadId3v2(*wav->ID3v2Tag(), out);
    if (wav->hasInfoTag()) FillFromInfo(*wav->InfoTag(), out);
}

// INFO texts that are valid UTF-8 as UTF-8, any others as one character per byte (TagLib's own reader
// drops them).
class InfoText : public TagLib::RIFF::Info::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        QByteArrayView bytes(data.data(), qsizetype(data.size()));
        while (!bytes.isEmpty() && bytes.back() == '\0') bytes.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes);
        if (!utf8.hasError()) return TagLib::String(text.toStdString(), TagLib::String::UTF8);
        return TagLib::String(std::string(bytes.data(), size_t(bytes.size())), TagLib::String::Latin1);
    }
};

// TagLib describes every damaged tag on stderr; a damaged tag here only means fewer prefilled boxes.
class QuietTagLib : public TagLib::DebugListener {
public:
    QuietTagLib() {
        TagLib::setDebugListener(this);
        TagLib::RIFF::Info::Tag::setStringHandler(&infoText_);
    }
    void printMessage(const TagLib::String&) override {}

private:
    InfoText infoText_;
};

}  // namespace

QString TagTextFromLatin1(QByteArrayView raw, bool mayBeCut) {
    const QString latin1 = QString::fromLatin1(raw);
    if (std::all_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return latin1;
    QByteArrayView bytes = raw;
    if (mayBeCut && bytes.size() > 1 && Byte(bytes, bytes.size() - 1) >= 0x81 && !IsWholeGb18030(bytes))
        bytes = bytes.first(bytes.size() - 1);
    if (!IsWholeGb18030(bytes) || ReadsAsEuropean(bytes)) return latin1;
    try {
        const QString decoded = DecodeAnsi(bytes);
        return IsRealText(decoded) ? decoded : latin1;
    } catch (const std::exception&) {
        return latin1;
    }
}

SongTags ReadSongTags(const QString& path) {
    static QuietTagLib quiet;
    SongTags tags;
    if (!QFileInfo(path).isFile()) return tags;
    try {
        const QByteArray name = QFile::encodeName(path);
        // Tags only: the audio's own length comes from the engine, which decodes it exactly.
        TagLib::FileRef ref(name.constData(), false);
        if (ref.isNull()) return tags;
        if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref.file()))
            ReadMpeg(*mpeg, tags);
        else
            ReadOther(*ref.file(), tags);
    } catch (const std::exception&) {
        return {};
    }
    return tags;
}

}  // namespace qiva
