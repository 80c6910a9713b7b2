#include "FaultPlaces.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csignal>
#include <cstring>

namespace qiva::test {
namespace {
QString g_mountProblem = QStringLiteral("the mount namespace was never made private");

QString Errno(const char* what) {
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(strerror(errno)));
}
}  // namespace

QString PrivateMounts() {
    if (unshare(CLONE_NEWNS) != 0) {
        g_mountProblem = Errno("unshare(CLONE_NEWNS)");
    } else if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_mountProblem = Errno("making / private");
    } else {
        g_mountProblem.clear();
    }
    return g_mountProblem;
}

bool MountsPermitted() { return g_mountProblem.isEmpty(); }

MountGuard::~MountGuard() {
    if (!mounted_.isEmpty()) umount2(mounted_.constData(), MNT_DETACH);
}

QString MountGuard::mountTinyTmpfs(const QString& folder, qint64 bytes) {
    if (!MountsPermitted()) return g_mountProblem;
    const QByteArray target = QFile::encodeName(folder);
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (mount("qiva-full", target.constData(), "tmpfs", 0, options.constData()) != 0) return Errno("tmpfs");
    mounted_ = target;
    return {};
}

QString MountGuard::bindReadOnly(const QString& folder) {
    if (!MountsPermitted()) return g_mountProblem;
    const QByteArray target = QFile::encodeName(folder);
    if (mount(target.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0) return Errno("bind");
    mounted_ = target;
    if (mount(nullptr, target.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        return Errno("read-only remount");
    }
    return {};
}

bool FillUp(const QString& folder) {
    QFile filler(QDir(folder).filePath(QStringLiteral("filler.bin")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const QByteArray block(4096, 'x');
    while (filler.write(block) > 0) {
    }
    // The last partial page too: single bytes until nothing more goes in.
    while (filler.write("x", 1) == 1) {
    }
    return true;
}

FileSizeLimit::FileSizeLimit(qint64 bytes) {
    // Without this the kernel would end the test with SIGXFSZ instead of failing the write.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    previous_ = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(previous_);
    setrlimit(RLIMIT_FSIZE, &limit);
}

QMap<QString, QByteArray> Snapshot(const QString& folder) {
    QMap<QString, QByteArray> files;
    const QDir dir(folder);
    for (const QFileInfo& info : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        files.insert(info.fileName(), info.isDir() ? QByteArray("<dir>") : ReadBytes(info.filePath()));
    }
    return files;
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

}  // namespace qiva::test
