#pragma once
// Ogg Vorbis songs, through libvorbisfile, the format's reference library: its length follows the granule
// positions of the stream (the encoder's padding at the end left out) and its seeks land on the very
// sample, with the overlap of the block before decoded, so that what follows a seek is what a straight
// decode gives. libsndfile's own Ogg Vorbis seeks land on the sample but decode it differently.

#include <memory>

#include "platform/AudioDecoder.h"
#include "platform/SongFile.h"

struct OggVorbis_File;

namespace qiva {

class VorbisDecoder final : public AudioDecoder {
public:
    VorbisDecoder();
    ~VorbisDecoder() override;

    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return open_; }

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    // A chained file plays its links for as long as they keep the first one's rate and channels.
    int64_t lengthFrames() const override { return length_; }

    void seek(int64_t frame) override;
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override;

private:
    [[noreturn]] void fail(const QString& path, const char* why);
    bool sameFormat(int link) const;

    SongFile file_;
    std::unique_ptr<OggVorbis_File> vorbis_;
    bool open_ = false;
    int rate_ = 0;
    int sourceChannels_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    int64_t next_ = 0;
};

}  // namespace qiva
