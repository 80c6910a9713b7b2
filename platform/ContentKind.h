#pragma once
// What a file holds, told by its first bytes rather than by its name: the decoders are chosen by it, and a
// file of another kind renamed to .mp3 is refused before libmpg123 hunts through it for frame syncs, which
// it finds in PCM samples, pictures and compressed data alike.

#include <QString>
#include <cstdint>

namespace qiva {

enum class ContentKind {
    Unknown,  // no known signature: an MPEG audio stream starts with a bare frame header, which is no
              // signature
    Wave,
    Aiff,
    SunAu,
    Ogg,
    Flac,
    Mp4,  // ISO base media: .m4a, .mp4, .3gp, .mov
    Matroska,
    Asf,  // .wma, .wmv
    Midi,
    Jpeg,
    Png,
    Gif,
    Zip,  // also .docx, .odt, .epub
    Pdf,
    Gzip,
    Elf,
};

struct Content {
    ContentKind kind = ContentKind::Unknown;
    int64_t tagBytes = 0;  // ID3v2 tags before the content: other formats carry them too, so they are skipped
};

// Looks at the start of the file. A file that cannot be read is Unknown: opening it fails later, with its
// own message.
Content SniffContent(const QString& path);
// The kind of the bytes at the start of a file's content (after any ID3v2 tag).
ContentKind KindOfBytes(const char* bytes, int64_t size);
// The codec of an Ogg file, told by the first packet of its first page (the stream's identification header).
enum class OggCodec { Other, Vorbis, Opus };
OggCodec OggCodecOf(const QString& path, int64_t tagBytes);

// For messages: "a WAV file", "a JPEG picture"...
const char* ContentKindName(ContentKind kind);

}  // namespace qiva
