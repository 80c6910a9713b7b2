#include "platform/SongDecoder.h"

#include "platform/ContentKind.h"

namespace qiva {

namespace {
std::unique_ptr<AudioDecoder> DecoderFor(const QString& path) {
    (void)path;
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
