#pragma once
// Decoding for the audio engine: a decoder opens a file completely at once (so that a file that cannot be
// played is refused before anything is shown to the user), knows its exact length in samples, and seeks to
// any sample. Not thread-safe: one thread at a time.

#include <sys/types.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

struct mpg123_handle_struct;

namespace qiva {

class AudioDecoder {
public:
    // A file shorter than this is not a song but a false sync in a damaged file or one of another kind.
    static constexpr double kMinimumSeconds = 0.1;
    // The rates of lossless and Vorbis files the outputs are given; anything else is a damaged header.
    static constexpr int kMinimumRate = 1000;
    static constexpr int kMaximumRate = 384000;

    AudioDecoder() = default;
    virtual ~AudioDecoder() = default;
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Throws PlayerError for a missing, empty, unreadable, foreign or too short file.
    virtual void open(const QString& path) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual int rate() const = 0;
    virtual int channels() const = 0;
    virtual int64_t lengthFrames() const = 0;  // exact
    double lengthSeconds() const { return rate() > 0 ? double(lengthFrames()) / rate() : 0.0; }

    // Moves to a sample frame (clamped to the file); the next read starts exactly there.
    virtual void seek(int64_t frame) = 0;
    virtual int64_t tell() const = 0;
    // Decodes up to maxFrames interleaved 16-bit frames into out; returns the number decoded, 0 at the end.
    virtual size_t read(int16_t* out, size_t maxFrames) = 0;
};

class Mp3Decoder final : public AudioDecoder {
public:
    Mp3Decoder();
    ~Mp3Decoder() override;

    // What is an MP3 is told by the content: another known kind of file is refused at once, and so is one
    // whose first frames do not form one stream.
    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return open_; }

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return length_; }  // from a scan of every frame

    void seek(int64_t frame) override;
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override;

private:
    void fail(const QString& path, const char* why);
    bool firstFramesAgree();
    static ssize_t readBytes(void* self, void* to, size_t bytes);
    static off_t seekBytes(void* self, off_t offset, int whence);

    mpg123_handle_struct* handle_ = nullptr;
    // The file, read through a large buffer: mpg123 asks for each frame's header and body separately, and
    // reading those straight from the file would cost two system calls per frame, 76 a second.
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<char[]> buffer_;  // outlives the file that uses it
    std::unique_ptr<std::FILE, FileCloser> file_;
    bool open_ = false;
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    int64_t next_ = 0;
};

}  // namespace qiva
