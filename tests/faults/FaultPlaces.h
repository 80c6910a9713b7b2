#pragma once
// Places where a write must fail, made for real: a read-only bind mount, a tiny full tmpfs, a file size
// limit, a folder that vanished, a name that is a folder, and /proc. The tests run as root, for whom
// permission bits stop nothing, so only the kernel's own refusals make a write fail.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace qiva::test {

// Gives this process a mount namespace of its own, so that no mount made by a test can outlive it or be
// seen elsewhere. Call in main() before any thread starts. Answers why not when mounting is not permitted.
QString PrivateMounts();
bool MountsPermitted();

// Undoes one mount when destroyed.
class MountGuard {
public:
    MountGuard() = default;
    ~MountGuard();
    MountGuard(const MountGuard&) = delete;
    MountGuard& operator=(const MountGuard&) = delete;

    // A tmpfs of `bytes` at `folder` (which must exist). Empty answer on success, else why not.
    QString mountTinyTmpfs(const QString& folder, qint64 bytes);
    // Makes `folder` read-only in place, contents kept.
    QString bindReadOnly(const QString& folder);

private:
    QByteArray mounted_;
};

// Fills the file system holding `folder` until no byte more fits.
bool FillUp(const QString& folder);

// Lowers this process's file size limit while alive; writes past it then fail with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long previous_ = 0;
};

// Every file directly in `folder` (folders marked "<dir>"), for byte-for-byte comparison.
QMap<QString, QByteArray> Snapshot(const QString& folder);
QByteArray ReadBytes(const QString& path);
bool WriteBytes(const QString& path, const QByteArray& bytes);

}  // namespace qiva::test
