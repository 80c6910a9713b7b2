#pragma once
// WAV and FLAC songs, through libsndfile: both hold their exact length in their headers, and libsndfile
// seeks in both to the very sample. A truncated FLAC file is played up to its last whole frame, with the
// length of what is there; a damaged stretch inside one is played as silence, so that everything after it
// still comes at its time.

#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/SongFile.h"

struct sf_private_tag;

namespace qiva {

class SndfileDecoder final : public AudioDecoder {
public:
    enum class Format { Wave, Flac };

    explicit SndfileDecoder(Format format) : format_(format) {}
    ~SndfileDecoder() override;

    // Takes the file only when libsndfile reads it as the format asked for.
    void open(const QString& path) override;
    void close() override;
    bool isOpen() const override { return reader_.handle != nullptr; }

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    int64_t lengthFrames() const override { return length_; }

    void seek(int64_t frame) override;
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override;

private:
    // One libsndfile reader over its own file, so that probing the end never disturbs the one that plays.
    struct Reader {
        SongFile file;
        sf_private_tag* handle = nullptr;
        int sourceChannels = 0;
        int rate = 0;
        int64_t frames = 0;
        ~Reader();
        bool open(const QString& path, int64_t start, int format);
        void close();
        bool readsAt(int64_t frame);
    };

    [[noreturn]] void fail(const QString& path, const char* why);
    int sfFormat() const;
    int64_t playableFrames(int64_t declared);
    bool seekReader(int64_t frame);
    bool skipDamage(int64_t from);

    Format format_;
    QString path_;
    int64_t start_ = 0;
    Reader reader_;
    std::vector<float> scratch_;
    int rate_ = 0;
    int channels_ = 0;
    int64_t length_ = 0;
    int64_t next_ = 0;
    int64_t silence_ = 0;  // frames of a damaged stretch still to be played as silence
    int skipsLeft_ = 0;
};

}  // namespace qiva
