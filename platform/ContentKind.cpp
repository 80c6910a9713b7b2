#include "platform/ContentKind.h"

#include <QFile>
#include <array>
#include <cstring>
#include <string_view>

namespace qiva {

namespace {

using namespace std::string_view_literals;

struct Signature {
    ContentKind kind;
    int offset;
    std::string_view bytes;
};

// RIFF and IFF files name their form at offset 8 (Matches checks the container at 0).
constexpr std::array kSignatures{
    Signature{ContentKind::Wave, 8, "WAVE"sv},
    Signature{ContentKind::Aiff, 8, "AIFF"sv},
    Signature{ContentKind::Aiff, 8, "AIFC"sv},
    Signature{ContentKind::SunAu, 0, ".snd"sv},
    Signature{ContentKind::Ogg, 0, "OggS"sv},
    Signature{ContentKind::Flac, 0, "fLaC"sv},
    Signature{ContentKind::Mp4, 4, "ftyp"sv},
    Signature{ContentKind::Matroska, 0, "\x1A\x45\xDF\xA3"sv},
    Signature{ContentKind::Asf, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11"sv},
    Signature{ContentKind::Midi, 0, "MThd"sv},
    Signature{ContentKind::Jpeg, 0, "\xFF\xD8\xFF"sv},
    Signature{ContentKind::Png, 0, "\x89PNG\r\n\x1A\n"sv},
    Signature{ContentKind::Gif, 0, "GIF87a"sv},
    Signature{ContentKind::Gif, 0, "GIF89a"sv},
    Signature{ContentKind::Zip, 0, "PK\x03\x04"sv},
    Signature{ContentKind::Pdf, 0, "%PDF-"sv},
    Signature{ContentKind::Gzip, 0, "\x1F\x8B\x08"sv},
    Signature{ContentKind::Elf, 0, "\177ELF"sv},
};

bool Matches(const Signature& s, const char* bytes, int64_t size) {
    if (s.offset + int64_t(s.bytes.size()) > size ||
        std::string_view(bytes + s.offset, s.bytes.size()) != s.bytes)
        return false;
    if (s.kind == ContentKind::Wave)
        return std::memcmp(bytes, "RIFF", 4) == 0 || std::memcmp(bytes, "RIFX", 4) == 0;
    if (s.kind == ContentKind::Aiff) return std::memcmp(bytes, "FORM", 4) == 0;
    return true;
}

// The size of the ID3v2 tag at the start of bytes, or 0. Its size is four 7-bit bytes; a footer adds ten.
int64_t Id3v2Size(const unsigned char* b, int64_t size) {
    if (size < 10 || std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
    if ((b[6] | b[7] | b[8] | b[9]) & 0x80) return 0;
    const int64_t body = (int64_t(b[6]) << 21) | (int64_t(b[7]) << 14) | (int64_t(b[8]) << 7) | b[9];
    return 10 + body + ((b[5] & 0x10) ? 10 : 0);
}

}  // namespace

ContentKind KindOfBytes(const char* bytes, int64_t size) {
    for (const Signature& s : kSignatures)
        if (Matches(s, bytes, size)) return s.kind;
    return ContentKind::Unknown;
}

Content SniffContent(const QString& path) {
    QFile file(path);
    Content content;
    if (!file.open(QIODevice::ReadOnly)) return content;
    std::array<char, 16> head{};
    // Some files carry more than one tag in a row; a handful is as many as any tagger writes.
    for (int tags = 0; tags < 8; ++tags) {
        if (!file.seek(content.tagBytes)) return content;
        const int64_t n = file.read(head.data(), int64_t(head.size()));
        if (n <= 0) return content;
        const int64_t tag = Id3v2Size(reinterpret_cast<const unsigned char*>(head.data()), n);
        if (tag == 0) {
            content.kind = KindOfBytes(head.data(), n);
            return content;
        }
        content.tagBytes += tag;
    }
    return content;
}

OggCodec OggCodecOf(const QString& path, int64_t tagBytes) {
    // A page: "OggS", version, flags, granule, serial, sequence, checksum, then the count of its segments
    // at offset 26, their lengths, and the packets; the first packet of a stream starts with its codec's
    // name.
    constexpr int64_t kHeader = 27;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(tagBytes)) return OggCodec::Other;
    const QByteArray page = file.read(kHeader + 255 + 8);
    if (page.size() < kHeader || !page.startsWith("OggS")) return OggCodec::Other;
    const QByteArray packet = page.mid(kHeader + static_cast<unsigned char>(page[26]));
    if (packet.startsWith(QByteArrayView("\x01vorbis"))) return OggCodec::Vorbis;
    if (packet.startsWith(QByteArrayView("OpusHead"))) return OggCodec::Opus;
    return OggCodec::Other;
}

const char* ContentKindName(ContentKind kind) {
    switch (kind) {
        case ContentKind::Unknown:
            return "a file of no known kind";
        case ContentKind::Wave:
            return "a WAV file";
        case ContentKind::Aiff:
            return "an AIFF file";
        case ContentKind::SunAu:
            return "an AU file";
        case ContentKind::Ogg:
            return "an Ogg file";
        case ContentKind::Flac:
            return "a FLAC file";
        case ContentKind::Mp4:
            return "an MP4 file";
        case ContentKind::Matroska:
            return "a Matroska file";
        case ContentKind::Asf:
            return "a Windows Media file";
        case ContentKind::Midi:
            return "a MIDI file";
        case ContentKind::Jpeg:
            return "a JPEG picture";
        case ContentKind::Png:
            return "a PNG picture";
        case ContentKind::Gif:
            return "a GIF picture";
        case ContentKind::Zip:
            return "a ZIP archive";
        case ContentKind::Pdf:
            return "a PDF document";
        case ContentKind::Gzip:
            return "a gzip archive";
        case ContentKind::Elf:
            return "a program";
    }
    return "a file of no known kind";
}

}  // namespace qiva
