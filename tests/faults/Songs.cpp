#include "Songs.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <cmath>

namespace qiva::test {
namespace {

QByteArray Wav(double seconds, int rate) {
    const auto frames = static_cast<quint32>(seconds * rate);
    QByteArray pcm(static_cast<qsizetype>(frames) * 2, '\0');
    for (quint32 i = 0; i < frames; ++i) {
        const auto v = static_cast<qint16>(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        qToLittleEndian(v, pcm.data() + 2 * i);
    }
    QByteArray head(44, '\0');
    char* h = head.data();
    memcpy(h, "RIFF", 4);
    qToLittleEndian<quint32>(36 + static_cast<quint32>(pcm.size()), h + 4);
    memcpy(h + 8, "WAVEfmt ", 8);
    qToLittleEndian<quint32>(16, h + 16);
    qToLittleEndian<quint16>(1, h + 20);  // PCM
    qToLittleEndian<quint16>(1, h + 22);  // mono
    qToLittleEndian<quint32>(static_cast<quint32>(rate), h + 24);
    qToLittleEndian<quint32>(static_cast<quint32>(rate) * 2, h + 28);
    qToLittleEndian<quint16>(2, h + 32);
    qToLittleEndian<quint16>(16, h + 34);
    memcpy(h + 36, "data", 4);
    qToLittleEndian<quint32>(static_cast<quint32>(pcm.size()), h + 40);
    return head + pcm;
}

}  // namespace

QString MakeSong(const QString& folder, const QString& name, double seconds, int rate, int bitrate) {
    const QString wav = QDir(folder).filePath(name + QStringLiteral(".wav"));
    const QString mp3 = QDir(folder).filePath(name);
    QFile f(wav);
    if (!f.open(QIODevice::WriteOnly) || f.write(Wav(seconds, rate)) < 0) return {};
    f.close();
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), QStringLiteral("-t"), QStringLiteral("--noreplaygain"),
                QStringLiteral("-m"), QStringLiteral("m"), QStringLiteral("-b"), QString::number(bitrate),
                wav, mp3});
    if (!lame.waitForFinished(60000) || lame.exitCode() != 0) return {};
    return mp3;
}

bool RepeatSong(const QString& song, int copies, const QString& into) {
    QFile in(song);
    QFile out(into);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return false;
    const QByteArray frames = in.readAll();
    for (int i = 0; i < copies; ++i) {
        if (out.write(frames) != frames.size()) return false;
    }
    return true;
}

}  // namespace qiva::test
