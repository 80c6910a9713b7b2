#include "platform/SndfileDecoder.h"

#include <sndfile.h>

#include <algorithm>
#include <string>

#include "platform/ContentKind.h"
#include "platform/PcmConvert.h"

namespace qiva {

namespace {

constexpr size_t kBlockFrames = 4096;
// Past damage, the reader tries again a FLAC block further on each time (4096 frames is the block size of
// every common encoder), for a few seconds' worth before it takes the song to have ended there.
constexpr int64_t kDamageStep = 4096;
constexpr int kDamageTries = 64;
// How many damaged stretches one run of reads (from an open or a seek) gets past: a file that is damage
// throughout must not have its whole declared length tried block by block.
constexpr int kMostSkips = 256;

sf_count_t FileLength(void* file) { return static_cast<SongFile*>(file)->size(); }

sf_count_t FileSeek(sf_count_t offset, int whence, void* file) {
    auto* f = static_cast<SongFile*>(file);
    return f->seek(offset, whence) ? f->tell() : -1;
}

sf_count_t FileRead(void* to, sf_count_t bytes, void* file) {
    const int64_t n = static_cast<SongFile*>(file)->read(to, size_t(std::max<sf_count_t>(bytes, 0)));
    return n < 0 ? 0 : n;
}

sf_count_t FileWrite(const void*, sf_count_t, void*) { return 0; }
sf_count_t FileTell(void* file) { return static_cast<SongFile*>(file)->tell(); }

bool IsFormat(int format, int wanted) {
    const int major = format & SF_FORMAT_TYPEMASK;
    if (wanted == SF_FORMAT_WAV) return major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX;
    return major == wanted;
}

}  // namespace

SndfileDecoder::Reader::~Reader() { close(); }

bool SndfileDecoder::Reader::open(const QString& path, int64_t start, int format) {
    close();
    if (!file.open(path, start)) return false;
    SF_VIRTUAL_IO io{&FileLength, &FileSeek, &FileRead, &FileWrite, &FileTell};
    SF_INFO info{};
    handle = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!handle || !IsFormat(info.format, format) || info.channels < 1) {
        close();
        return false;
    }
    sourceChannels = info.channels;
    frames = info.frames;
    rate = info.samplerate;
    return true;
}

void SndfileDecoder::Reader::close() {
    if (handle) sf_close(handle);
    handle = nullptr;
    file.close();
    sourceChannels = rate = 0;
    frames = 0;
}

bool SndfileDecoder::Reader::readsAt(int64_t frame) {
    std::vector<float> one(static_cast<size_t>(sourceChannels));
    return sf_seek(handle, frame, SEEK_SET) == frame && sf_readf_float(handle, one.data(), 1) == 1;
}

SndfileDecoder::~SndfileDecoder() { close(); }

void SndfileDecoder::fail(const QString& path, const char* why) {
    close();
    Refuse(path, why);
}

int SndfileDecoder::sfFormat() const { return format_ == Format::Flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV; }

void SndfileDecoder::open(const QString& path) {
    close();
    CheckSongPath(path);
    const Content content = SniffContent(path);
    const ContentKind kind = format_ == Format::Flac ? ContentKind::Flac : ContentKind::Wave;
    const std::string name = ContentKindName(kind);
    if (content.kind != kind) fail(path, ("not " + name).c_str());
    if (!reader_.open(path, content.tagBytes, sfFormat()))
        fail(path, ("libsndfile cannot read this " + name.substr(name.find(' ') + 1)).c_str());
    if (reader_.rate < kMinimumRate || reader_.rate > kMaximumRate) fail(path, "a sample rate out of range");
    // A FLAC file written to a pipe may not say how long it is; libsndfile then cannot seek in it either.
    if (reader_.frames <= 0 || reader_.frames == SF_COUNT_MAX) fail(path, "no length in its header");
    path_ = path;
    start_ = content.tagBytes;
    rate_ = reader_.rate;
    channels_ = PlayedChannels(reader_.sourceChannels);
    length_ = playableFrames(reader_.frames);
    if (double(length_) / rate_ < kMinimumSeconds) fail(path, "no playable audio");
    seek(0);
}

// The header's length, or where the audio of a truncated or damaged file ends: the first frame that cannot
// be read, found by halving. A failed seek leaves libsndfile's FLAC reader unable to seek again, so each
// failure is followed by a fresh reader; a whole file costs one seek to its end.
int64_t SndfileDecoder::playableFrames(int64_t declared) {
    Reader probe;
    if (!probe.open(path_, start_, sfFormat())) return 0;
    if (probe.readsAt(declared - 1)) return declared;
    int64_t good = -1;  // the last frame known to be readable
    int64_t bad = declared - 1;
    while (bad - good > 1) {
        const int64_t mid = good + (bad - good) / 2;
        if (probe.readsAt(mid)) {
            good = mid;
        } else {
            bad = mid;
            if (!probe.open(path_, start_, sfFormat())) return 0;
        }
    }
    return good + 1;
}

void SndfileDecoder::close() {
    reader_.close();
    path_.clear();
    start_ = 0;
    rate_ = channels_ = 0;
    length_ = next_ = 0;
}

void SndfileDecoder::seek(int64_t frame) {
    if (!isOpen()) return;
    silence_ = 0;
    skipsLeft_ = kMostSkips;
    next_ = std::clamp<int64_t>(frame, 0, length_);
    if (next_ < length_ && !seekReader(next_)) {
        // Inside a damaged stretch: silence up to where the stream can be read again.
        if (!skipDamage(next_)) next_ = length_;
    }
}

// A seek that failed on damage leaves libsndfile's reader unusable: a fresh one tries once more.
bool SndfileDecoder::seekReader(int64_t frame) {
    if (sf_seek(reader_.handle, frame, SEEK_SET) == frame) return true;
    return reader_.open(path_, start_, sfFormat()) && sf_seek(reader_.handle, frame, SEEK_SET) == frame;
}

// The stream stopped decoding at `from`, before its end: finds the next place it reads from again and plays
// silence until there. False where none comes within the tries.
bool SndfileDecoder::skipDamage(int64_t from) {
    if (skipsLeft_-- <= 0) return false;
    for (int i = 1; i <= kDamageTries; ++i) {
        const int64_t at = from + i * kDamageStep;
        if (at >= length_) break;
        if (!reader_.open(path_, start_, sfFormat())) return false;
        if (sf_seek(reader_.handle, at, SEEK_SET) == at) {
            silence_ = at - from;
            return true;
        }
    }
    return false;
}

size_t SndfileDecoder::read(int16_t* out, size_t maxFrames) {
    if (!isOpen() || next_ >= length_) return 0;
    const size_t wanted = std::min<size_t>(maxFrames, size_t(length_ - next_));
    const auto source = size_t(reader_.sourceChannels);
    size_t total = 0;
    while (total < wanted) {
        int16_t* to = out + total * size_t(channels_);
        if (silence_ > 0) {
            const size_t quiet = std::min(size_t(silence_), wanted - total);
            std::fill(to, to + quiet * size_t(channels_), int16_t{0});
            silence_ -= int64_t(quiet);
            total += quiet;
            continue;
        }
        const size_t block = std::min(kBlockFrames, wanted - total);
        scratch_.resize(block * source);
        const sf_count_t got = sf_readf_float(reader_.handle, scratch_.data(), sf_count_t(block));
        if (got > 0) {
            ConvertInterleaved(scratch_.data(), reader_.sourceChannels, ChannelOrder::Wave, size_t(got), to);
            total += size_t(got);
            continue;
        }
        if (!skipDamage(next_ + int64_t(total))) break;
    }
    next_ += int64_t(total);
    return total;
}

}  // namespace qiva
