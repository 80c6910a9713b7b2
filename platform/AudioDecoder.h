#pragma once
// MP3 decoding for the audio engine: opens a file completely at once (so that a file that cannot be played
// is refused before anything is shown to the user), knows its exact length in samples, and seeks to any
// sample. Not thread-safe: one thread at a time.

#include <sys/types.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

struct mpg123_handle_struct;

namespace qiva {

class Mp3Decoder {
public:
    // A file shorter than this is not a song but a false sync in a damaged or non-MP3 file.
    static constexpr double kMinimumSeconds = 0.1;

    Mp3Decoder();
    ~Mp3Decoder();
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Throws PlayerError for a missing, empty, unreadable, non-MP3 or too short file. What is an MP3 is told
    // by the content: another known kind of file is refused at once, and so is one whose first frames do
    // not form one stream.
    void open(const QString& path);
    void close();
    bool isOpen() const { return open_; }

    int rate() const { return rate_; }
    int channels() const { return channels_; }
    int64_t lengthFrames() const { return length_; }  // exact, from a scan of every frame
    double lengthSeconds() const { return rate_ > 0 ? double(length_) / rate_ : 0.0; }

    // Moves to a sample frame (clamped to the file); the next read starts exactly there.
    void seek(int64_t frame);
    int64_t tell() const { return next_; }
    // Decodes up to maxFrames interleaved 16-bit frames into out; returns the number decoded, 0 at the end.
    size_t read(int16_t* out, size_t maxFrames);

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
