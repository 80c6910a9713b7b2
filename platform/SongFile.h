#pragma once
// The bytes of a song's stream for the decoders' libraries, read through a large buffer and without what
// lies before the stream (ID3v2 tags, which taggers put before any format): the libraries see a file that
// starts where the stream does.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace qiva {

// Throws PlayerError for a path that names no readable, non-empty file; `why` of any later refusal goes
// through Refuse, so that every decoder words its messages alike.
void CheckSongPath(const QString& path);
[[noreturn]] void Refuse(const QString& path, const char* why);

class SongFile {
public:
    // False when the file cannot be opened or is no longer than `start`.
    bool open(const QString& path, int64_t start);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // As fread, fseek and ftell, counted from the start of the stream; read answers -1 on a read error.
    int64_t read(void* to, size_t bytes);
    bool seek(int64_t offset, int whence);
    int64_t tell() const;
    int64_t size() const { return size_; }

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<char[]> buffer_;  // outlives the file that uses it
    std::unique_ptr<std::FILE, Closer> file_;
    int64_t start_ = 0;
    int64_t size_ = 0;
};

}  // namespace qiva
