#include "platform/SongFile.h"

#include <QFile>
#include <QFileInfo>

#include "platform/MediaPlayer.h"

namespace qiva {

namespace {
// Large enough that a library asking for a few bytes at a time costs one system call per buffer, as for
// the MP3 decoder.
constexpr size_t kReadBuffer = 64 * 1024;
}  // namespace

void CheckSongPath(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) Refuse(path, "no such file");
    if (!info.isFile()) Refuse(path, "not a file");
    if (info.size() == 0) Refuse(path, "the file is empty");
}

void Refuse(const QString& path, const char* why) {
    throw PlayerError(QStringLiteral("cannot play %1: %2").arg(path, QString::fromUtf8(why)).toStdString());
}

bool SongFile::open(const QString& path, int64_t start) {
    close();
    file_.reset(std::fopen(QFile::encodeName(path).constData(), "rb"));
    if (!file_) return false;
    if (!buffer_) buffer_ = std::make_unique<char[]>(kReadBuffer);
    std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kReadBuffer);
    if (fseeko(file_.get(), 0, SEEK_END) != 0) {
        close();
        return false;
    }
    start_ = start;
    size_ = int64_t(ftello(file_.get())) - start;
    if (size_ <= 0 || !seek(0, SEEK_SET)) {
        close();
        return false;
    }
    return true;
}

void SongFile::close() {
    file_.reset();
    start_ = size_ = 0;
}

int64_t SongFile::read(void* to, size_t bytes) {
    if (!file_) return -1;
    const size_t n = std::fread(to, 1, bytes, file_.get());
    return n < bytes && std::ferror(file_.get()) ? -1 : int64_t(n);
}

bool SongFile::seek(int64_t offset, int whence) {
    if (!file_) return false;
    int64_t to = offset;
    if (whence == SEEK_CUR) to += tell();
    if (whence == SEEK_END) to += size_;
    if (to < 0) return false;
    return fseeko(file_.get(), off_t(start_ + to), SEEK_SET) == 0;
}

int64_t SongFile::tell() const { return file_ ? int64_t(ftello(file_.get())) - start_ : -1; }

}  // namespace qiva
