#include "Expected.h"

#include <QFile>
#include <QStringEncoder>
#include <QStringList>

namespace e2e {

QByteArray Gb(const QString& text) {
    QStringEncoder encoder("GB18030");
    Q_ASSERT(encoder.isValid());
    return encoder.encode(text);
}

QByteArray LyricsFile(const Header& h, const Lines& lines) {
    const auto q = [](const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); };
    QString text = q(h.album) + u',' + q(h.singer) + u',' + QString::number(lines.size()) + u',' +
                   q(h.composer) + u',' + q(h.songPath) + u',' + q(h.title) + u',' + q(h.lyricist) +
                   QStringLiteral("\r\n");
    for (const auto& [end, line] : lines)
        text += QString::number(end) + u',' + q(line) + QStringLiteral("\r\n");
    return Gb(text);
}

QByteArray RecordFile(const QList<QPair<QString, QString>>& entries) {
    QString text = QString::number(entries.size()) + QStringLiteral("\r\n");
    for (const auto& [song, lyrics] : entries)
        text += u'"' + song + QStringLiteral("\",\"") + lyrics + QStringLiteral("\"\r\n");
    return Gb(text);
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArrayLiteral("<missing ") + path.toUtf8() + '>';
    return f.readAll();
}

Lines DemoLines() {
    Lines lines;
    const QString timing = QString::fromUtf8(FileBytes(QStringLiteral(QIVA_ASSETS "/demo-timing.txt")));
    for (const QString& row : timing.split(u'\n')) {
        if (row.isEmpty() || row.startsWith(u'#')) continue;
        const qsizetype tab = row.indexOf(u'\t');
        lines.append({row.left(tab).toInt(), row.mid(tab + 1)});
    }
    return lines;
}

QString Row(const QString& text, int endTime) {
    return text + QStringLiteral("  结束时间: %1.%2 秒").arg(endTime / 10).arg(endTime % 10);
}

}  // namespace e2e
