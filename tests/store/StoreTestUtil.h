#pragma once
// Shared helpers of the store tests: fixtures, raw file bytes, and a file-size limit that makes writes fail
// part-way (the tests run as any user, root included, so folder permissions cannot be relied on).

#include <sys/resource.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <csignal>

namespace qiva::test {

inline QString Fixture(const QString& name) { return QStringLiteral(QIVA_TEST_DATA "/store/") + name; }

inline QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void PutBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// While alive, no file written by this process may grow beyond `limit` bytes: writes past it fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = saved_;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

int RunCodecTest(int argc, char** argv);
int RunFieldReaderTest(int argc, char** argv);
int RunLyricsFileTest(int argc, char** argv);
int RunLrcFormatTest(int argc, char** argv);
int RunAssociationTest(int argc, char** argv);
int RunLyricTextTest(int argc, char** argv);

}  // namespace qiva::test
