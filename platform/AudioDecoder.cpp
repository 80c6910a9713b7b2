#include "platform/AudioDecoder.h"

#include <mpg123.h>

#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "platform/ContentKind.h"
#include "platform/MediaPlayer.h"

namespace qiva {

namespace {
constexpr size_t kReadBuffer = 64 * 1024;  // about four seconds of a 128 kbit/s song
// How many frames at the start must form one stream: false syncs in other data hardly ever line up even
// twice, while every real stream does from its first frame on (a tenth of a second at 44.1 kHz).
constexpr int kFirstFrames = 4;

bool SameStream(const mpg123_frameinfo& a, const mpg123_frameinfo& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate &&
           (a.mode == MPG123_M_MONO) == (b.mode == MPG123_M_MONO);
}
}  // namespace

Mp3Decoder::Mp3Decoder() {
    int err = MPG123_OK;
    handle_ = mpg123_new(nullptr, &err);
    if (!handle_)
        throw PlayerError(std::string("cannot start the MP3 decoder: ") + mpg123_plain_strerror(err));
    // Gapless: the length and positions are those of the source, without the encoder's delay and padding.
    // Sixteen frames decoded ahead of a seek target let the bit reservoir of VBR files fill up again, so the
    // samples after a seek are those of a straight decode.
    // No Frankenstein streams: a file whose frames change layer or rate part-way overflows mpg123's own
    // output buffer when decoded after a seek (found by fuzzing); such a file ends where the change comes.
    mpg123_param(handle_, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_NO_FRANKENSTEIN, 0.0);
    mpg123_param(handle_, MPG123_PREFRAMES, 16, 0.0);
    mpg123_param(handle_, MPG123_RESYNC_LIMIT, 1024, 0.0);
    mpg123_replace_reader_handle(handle_, &Mp3Decoder::readBytes, &Mp3Decoder::seekBytes, nullptr);
}

ssize_t Mp3Decoder::readBytes(void* self, void* to, size_t bytes) {
    std::FILE* file = static_cast<Mp3Decoder*>(self)->file_.get();
    const size_t n = std::fread(to, 1, bytes, file);
    return n < bytes && std::ferror(file) ? -1 : ssize_t(n);
}

off_t Mp3Decoder::seekBytes(void* self, off_t offset, int whence) {
    std::FILE* file = static_cast<Mp3Decoder*>(self)->file_.get();
    if (fseeko(file, offset, whence) != 0) return -1;
    return ftello(file);
}

Mp3Decoder::~Mp3Decoder() {
    close();
    mpg123_delete(handle_);
}

void Mp3Decoder::fail(const QString& path, const char* why) {
    close();
    throw PlayerError(QStringLiteral("cannot play %1: %2").arg(path, QString::fromUtf8(why)).toStdString());
}

void Mp3Decoder::open(const QString& path) {
    close();
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) fail(path, "no such file");
    if (!info.isFile()) fail(path, "not a file");
    if (info.size() == 0) fail(path, "the file is empty");
    const Content content = SniffContent(path);
    if (content.kind != ContentKind::Unknown)
        fail(path, (std::string(ContentKindName(content.kind)) + ", not an MP3 file").c_str());
    // Every supported rate, but always 16-bit samples: the output then never has to convert.
    mpg123_format_none(handle_);
    const long* rates = nullptr;
    size_t count = 0;
    mpg123_rates(&rates, &count);
    for (size_t i = 0; i < count; ++i)
        mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file_) fail(path, "cannot open the file");
    if (!buffer_) buffer_ = std::make_unique<char[]>(kReadBuffer);
    std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kReadBuffer);
    if (mpg123_open_handle(handle_, this) != MPG123_OK) fail(path, "cannot open the file");
    open_ = true;
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK) fail(path, "not an MP3 file");
    // Whatever lies between the tags and the first frame was skipped as junk: a little is common, but audio
    // found only after most of the file is a false sync in something else.
    if (mpg123_framepos(handle_) - content.tagBytes > (info.size() - content.tagBytes) / 2)
        fail(path, "no MP3 audio in the first half of the file");
    if (!firstFramesAgree()) fail(path, "its first frames do not form one MP3 stream");
    // Fix the format so that a stray header later in the file cannot change it under the output.
    mpg123_format_none(handle_);
    mpg123_format(handle_, rate, channels, encoding);
    if (mpg123_scan(handle_) != MPG123_OK) fail(path, "the file cannot be read through");
    const off_t length = mpg123_length(handle_);
    if (length <= 0 || double(length) / double(rate) < kMinimumSeconds) fail(path, "no playable audio");
    rate_ = int(rate);
    channels_ = channels;
    length_ = length;
    seek(0);
}

// Reads the frames after the one that mpg123_getformat found: each must start where the one before ended
// and keep its version, layer, rate and channels.
bool Mp3Decoder::firstFramesAgree() {
    mpg123_frameinfo first{};
    if (mpg123_info(handle_, &first) != MPG123_OK) return false;
    off_t next = mpg123_framepos(handle_) + first.framesize;
    for (int i = 1; i < kFirstFrames; ++i) {
        const int rc = mpg123_framebyframe_next(handle_);
        mpg123_frameinfo frame{};
        if ((rc != MPG123_OK && rc != MPG123_NEW_FORMAT) || mpg123_info(handle_, &frame) != MPG123_OK)
            return false;
        if (mpg123_framepos(handle_) != next || !SameStream(first, frame)) return false;
        next += frame.framesize;
    }
    return true;
}

void Mp3Decoder::close() {
    if (open_) mpg123_close(handle_);
    open_ = false;
    file_.reset();
    rate_ = channels_ = 0;
    length_ = next_ = 0;
}

void Mp3Decoder::seek(int64_t frame) {
    if (!open_) return;
    frame = std::clamp<int64_t>(frame, 0, length_);
    const off_t at = mpg123_seek(handle_, off_t(frame), SEEK_SET);
    // In a damaged file mpg123 may land past the frame asked for, even past the scanned end; the position
    // must stay inside the song so that reads and lengths agree.
    next_ = std::clamp<int64_t>(at >= 0 ? int64_t(at) : frame, 0, length_);
}

size_t Mp3Decoder::read(int16_t* out, size_t maxFrames) {
    if (!open_ || next_ >= length_) return 0;
    const size_t frameBytes = sizeof(int16_t) * size_t(channels_);
    const size_t wanted = std::min<size_t>(maxFrames, size_t(length_ - next_));
    size_t total = 0;
    while (total < wanted) {
        size_t done = 0;
        const int rc = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out) + total * frameBytes,
                                   (wanted - total) * frameBytes, &done);
        total += done / frameBytes;
        if (rc == MPG123_NEW_FORMAT || (rc == MPG123_OK && done > 0)) continue;
        if (rc != MPG123_OK || done == 0) break;  // the end, or damage the decoder cannot get past
    }
    next_ += int64_t(total);
    return total;
}

}  // namespace qiva
