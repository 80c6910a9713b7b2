#include "store/FileIo.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "store/Main.h"

namespace qiva {
namespace {

[[noreturn]] void Fail(const QString& what, const QString& path, const QString& why) {
    throw StoreError(QStringLiteral("%1 %2: %3").arg(what, path, why).toStdString());
}

}  // namespace

QByteArray ReadAllBytes(const QString& path) {
    // QFile opens a folder without complaint on some systems; reading it would then yield nothing.
    if (QFileInfo(path).isDir()) Fail(QStringLiteral("cannot open"), path, QStringLiteral("it is a folder"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) Fail(QStringLiteral("cannot open"), path, file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) Fail(QStringLiteral("cannot read"), path, file.errorString());
    return bytes;
}

void WriteAtomically(const QString& path, const QByteArray& bytes) {
    if (QFileInfo(path).isDir()) Fail(QStringLiteral("cannot write"), path, QStringLiteral("it is a folder"));
    QSaveFile file(path);
    // Unbuffered: through Qt's write buffer a write cut short by a full disk or a size limit is reported as
    // success and the shortened file is committed. Written directly, every short write is seen here.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        Fail(QStringLiteral("cannot create"), path, file.errorString());
    }
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            Fail(QStringLiteral("cannot write"), path, why);
        }
        done += n;
    }
    if (!file.commit()) Fail(QStringLiteral("cannot write"), path, file.errorString());
}

void RefuseDoubleQuote(const QString& text, const char* what) {
    if (!text.contains(u'"')) return;
    throw StoreError(QStringLiteral("%1 contains a double quote, which the file format cannot hold: %2")
                         .arg(QString::fromUtf8(what), text.left(200))
                         .toStdString());
}

}  // namespace qiva
