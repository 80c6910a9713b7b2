#include "platform/SongDecoder.h"

#include "platform/ContentKind.h"
#include "platform/OpusDecoder.h"
#include "platform/SndfileDecoder.h"
#include "platform/VorbisDecoder.h"

namespace qiva {

namespace {
std::unique_ptr<AudioDecoder> DecoderFor(const QString& path) {
    const Content content = SniffContent(path);
    switch (content.kind) {
        case ContentKind::Wave:
            return std::make_unique<SndfileDecoder>(SndfileDecoder::Format::Wave);
        case ContentKind::Flac:
            return std::make_unique<SndfileDecoder>(SndfileDecoder::Format::Flac);
        case ContentKind::Ogg:
            switch (OggCodecOf(path, content.tagBytes)) {
                case OggCodec::Vorbis:
                    return std::make_unique<VorbisDecoder>();
                case OggCodec::Opus:
                    return std::make_unique<OpusDecoder>();
                case OggCodec::Other:
                    break;
            }
            break;
        default:
            break;
    }
    // An MPEG stream has no signature of its own: what no other decoder claims goes to the MP3 decoder,
    // which refuses the known foreign kinds with a message naming them.
    return std::make_unique<Mp3Decoder>();
}
}  // namespace

void SongDecoder::open(const QString& path) {
    close();
    std::unique_ptr<AudioDecoder> decoder = DecoderFor(path);
    decoder->open(path);
    format_ = std::move(decoder);
}

}  // namespace qiva
