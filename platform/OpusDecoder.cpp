#include "platform/OpusDecoder.h"

#include <opus/opusfile.h>

#include <algorithm>

#include "platform/ContentKind.h"
#include "platform/PcmConvert.h"

namespace qiva {

namespace {

constexpr size_t kBlockFrames = 4096;
// Holes (a page lost in a damaged file) are skipped; this many in a row mean there is nothing more to play.
constexpr int kMostHoles = 64;

int Read(void* file, unsigned char* to, int bytes) {
    const int64_t n = static_cast<SongFile*>(file)->read(to, size_t(std::max(bytes, 0)));
    return int(n);
}

int Seek(void* file, opus_int64 offset, int whence) {
    return static_cast<SongFile*>(file)->seek(offset, whence) ? 0 : -1;
}

opus_int64 Tell(void* file) { return static_cast<SongFile*>(file)->tell(); }

}  // namespace

OpusDecoder::~OpusDecoder() { close(); }

void OpusDecoder::fail(const QString& path, const char* why) {
    close();
    Refuse(path, why);
}

void OpusDecoder::open(const QString& path) {
    close();
    CheckSongPath(path);
    const Content content = SniffContent(path);
    if (content.kind != ContentKind::Ogg) fail(path, "not an Ogg file");
    if (!file_.open(path, content.tagBytes)) fail(path, "cannot open the file");
    // The file is closed here, never by the library.
    const OpusFileCallbacks callbacks{&Read, &Seek, &Tell, nullptr};
    int error = 0;
    opus_ = op_open_callbacks(&file_, &callbacks, nullptr, 0, &error);
    if (!opus_) fail(path, "not an Ogg Opus file");
    if (!op_seekable(opus_)) fail(path, "an Ogg Opus file that cannot be read through");
    const int first = op_channel_count(opus_, 0);
    stereoMix_ = first > 2;
    for (int link = 1; link < op_link_count(opus_); ++link)
        stereoMix_ |= op_channel_count(opus_, link) != first;
    channels_ = stereoMix_ ? 2 : first;
    length_ = op_pcm_total(opus_, -1);
    if (length_ < 0 || double(length_) / kRate < kMinimumSeconds) fail(path, "no playable audio");
    if (length_ / kRate > file_.size()) fail(path, "a length its file cannot hold");
    seek(0);
}

void OpusDecoder::close() {
    if (opus_) op_free(opus_);
    opus_ = nullptr;
    file_.close();
    stereoMix_ = false;
    channels_ = 0;
    length_ = next_ = 0;
}

void OpusDecoder::seek(int64_t frame) {
    if (!opus_) return;
    next_ = std::clamp<int64_t>(frame, 0, length_);
    if (next_ < length_ && op_pcm_seek(opus_, next_) != 0) next_ = length_;
}

// Up to `frames` frames into the scratch buffer, in the played channels; the count, or a negative error.
int OpusDecoder::decode(size_t frames) {
    scratch_.resize(frames * size_t(channels_));
    if (stereoMix_) return op_read_float_stereo(opus_, scratch_.data(), int(scratch_.size()));
    int link = 0;
    return op_read_float(opus_, scratch_.data(), int(scratch_.size()), &link);
}

size_t OpusDecoder::read(int16_t* out, size_t maxFrames) {
    if (!opus_ || next_ >= length_) return 0;
    const size_t wanted = std::min<size_t>(maxFrames, size_t(length_ - next_));
    size_t total = 0;
    for (int holes = 0; total < wanted && holes < kMostHoles;) {
        const int got = decode(std::min(kBlockFrames, wanted - total));
        if (got == OP_HOLE) {
            ++holes;
            continue;
        }
        if (got <= 0) break;
        const size_t frames = std::min(size_t(got), wanted - total);
        ConvertInterleaved(scratch_.data(), channels_, ChannelOrder::Vorbis, frames,
                           out + total * size_t(channels_));
        total += frames;
        holes = 0;
    }
    next_ += int64_t(total);
    return total;
}

}  // namespace qiva
