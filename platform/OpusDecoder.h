#pragma once
// Ogg Opus songs, through libopusfile, the format's reference library. libsndfile reads Opus too, but finds
// no length at all in a file cut short, where libopusfile takes it from the last whole page. The length
// leaves out the encoder's pre-skip at the start and its padding at the end; seeks land on the very sample,
// the decoder run in from far enough before it that what follows is what a straight decode gives.

#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/SongFile.h"

struct OggOpusFile;

namespace qiva {

class OpusDecoder final : public AudioDecoder {
public:
    OpusDecoder() = default;
    ~OpusDecoder() override;

    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return opus_ != nullptr; }

    int rate() const override { return opus_ ? kRate : 0; }  // Opus always decodes at 48 kHz
    // Mono or stereo as the file is; surround, or links of different channels, mixed down to stereo.
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return length_; }

    void seek(int64_t frame) override;
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override;

private:
    static constexpr int kRate = 48000;

    [[noreturn]] void fail(const QString& path, const char* why);
    int decode(size_t frames);

    SongFile file_;
    OggOpusFile* opus_ = nullptr;
    bool stereoMix_ = false;
    std::vector<float> scratch_;
    int channels_ = 0;
    int64_t length_ = 0;
    int64_t next_ = 0;
};

}  // namespace qiva
