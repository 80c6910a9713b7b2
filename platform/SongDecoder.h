#pragma once
// The decoder of any song the program plays: it looks at the file's content and hands the work to the
// decoder of that format, so that the engine, the waveform and the tests need not know which one it is.

#include <memory>

#include "platform/AudioDecoder.h"

namespace qiva {

class SongDecoder final : public AudioDecoder {
public:
    SongDecoder() = default;
    ~SongDecoder() override = default;

    // Throws PlayerError for a file that no decoder takes; the previous song is closed either way.
    void open(const QString& path) override;
    void close() override { format_.reset(); }
    bool isOpen() const override { return format_ && format_->isOpen(); }

    int rate() const override { return format_ ? format_->rate() : 0; }
    int channels() const override { return format_ ? format_->channels() : 0; }
    int64_t lengthFrames() const override { return format_ ? format_->lengthFrames() : 0; }

    void seek(int64_t frame) override {
        if (format_) format_->seek(frame);
    }
    int64_t tell() const override { return format_ ? format_->tell() : 0; }
    size_t read(int16_t* out, size_t maxFrames) override {
        return format_ ? format_->read(out, maxFrames) : 0;
    }

private:
    std::unique_ptr<AudioDecoder> format_;
};

}  // namespace qiva
