#include "platform/VorbisDecoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>

#include "platform/ContentKind.h"
#include "platform/PcmConvert.h"

namespace qiva {

namespace {

// Holes (a page lost in a damaged file) are skipped; this many in a row mean there is nothing more to play.
constexpr int kMostHoles = 64;

size_t Read(void* to, size_t size, size_t count, void* file) {
    const int64_t n = static_cast<SongFile*>(file)->read(to, size * count);
    return n <= 0 || size == 0 ? 0 : size_t(n) / size;
}

int Seek(void* file, ogg_int64_t offset, int whence) {
    return static_cast<SongFile*>(file)->seek(offset, whence) ? 0 : -1;
}

long Tell(void* file) { return long(static_cast<SongFile*>(file)->tell()); }

}  // namespace

VorbisDecoder::VorbisDecoder() : vorbis_(std::make_unique<OggVorbis_File>()) {}

VorbisDecoder::~VorbisDecoder() { close(); }

void VorbisDecoder::fail(const QString& path, const char* why) {
    close();
    Refuse(path, why);
}

void VorbisDecoder::open(const QString& path) {
    close();
    CheckSongPath(path);
    const Content content = SniffContent(path);
    if (content.kind != ContentKind::Ogg) fail(path, "not an Ogg file");
    if (!file_.open(path, content.tagBytes)) fail(path, "cannot open the file");
    // The file is closed here, never by the library.
    const ov_callbacks callbacks{&Read, &Seek, nullptr, &Tell};
    if (ov_open_callbacks(&file_, vorbis_.get(), nullptr, 0, callbacks) != 0)
        fail(path, "not an Ogg Vorbis file");
    open_ = true;
    const vorbis_info* info = ov_info(vorbis_.get(), 0);
    if (!ov_seekable(vorbis_.get()) || !info) fail(path, "an Ogg Vorbis file that cannot be read through");
    if (info->rate < kMinimumRate || info->rate > kMaximumRate) fail(path, "a sample rate out of range");
    rate_ = int(info->rate);
    sourceChannels_ = info->channels;
    channels_ = PlayedChannels(sourceChannels_);
    for (int link = 0; link < ov_streams(vorbis_.get()) && sameFormat(link); ++link) {
        const ogg_int64_t frames = ov_pcm_total(vorbis_.get(), link);
        if (frames < 0) break;
        length_ += frames;
    }
    if (double(length_) / rate_ < kMinimumSeconds) fail(path, "no playable audio");
    if (length_ / rate_ > file_.size()) fail(path, "a length its file cannot hold");
    seek(0);
}

bool VorbisDecoder::sameFormat(int link) const {
    const vorbis_info* info = ov_info(vorbis_.get(), link);
    return info && info->rate == rate_ && info->channels == sourceChannels_;
}

void VorbisDecoder::close() {
    if (open_) ov_clear(vorbis_.get());
    open_ = false;
    file_.close();
    rate_ = sourceChannels_ = channels_ = 0;
    length_ = next_ = 0;
}

void VorbisDecoder::seek(int64_t frame) {
    if (!open_) return;
    next_ = std::clamp<int64_t>(frame, 0, length_);
    if (next_ < length_ && ov_pcm_seek(vorbis_.get(), next_) != 0) next_ = length_;
}

size_t VorbisDecoder::read(int16_t* out, size_t maxFrames) {
    if (!open_ || next_ >= length_) return 0;
    const size_t wanted = std::min<size_t>(maxFrames, size_t(length_ - next_));
    size_t total = 0;
    for (int holes = 0; total < wanted && holes < kMostHoles;) {
        float** pcm = nullptr;
        int link = 0;
        const long got =
            ov_read_float(vorbis_.get(), &pcm, int(std::min<size_t>(wanted - total, 4096)), &link);
        if (got == OV_HOLE) {
            ++holes;
            continue;
        }
        if (got <= 0 || !sameFormat(link)) break;
        const size_t frames = std::min(size_t(got), wanted - total);
        ConvertPlanar(pcm, sourceChannels_, ChannelOrder::Vorbis, frames, out + total * size_t(channels_));
        total += frames;
        holes = 0;
    }
    next_ += int64_t(total);
    return total;
}

}  // namespace qiva
