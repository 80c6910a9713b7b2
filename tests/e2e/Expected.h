#pragma once
// The bytes the program must leave on disk, built here independently of the program's own writers: the
// texts as the formats lay them out, encoded by Qt's own GB18030 converter.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace e2e {

struct Header {
    QString album, singer, composer, songPath, title, lyricist;
};
using Lines = QList<QPair<int, QString>>;  // end time in tenths, text

QByteArray Gb(const QString& text);
QByteArray LyricsFile(const Header& h, const Lines& lines);
QByteArray RecordFile(const QList<QPair<QString, QString>>& entries);
QByteArray FileBytes(const QString& path);
// The first-run demo's lines, from the timing the demo was made with.
Lines DemoLines();
// A row of step three's list.
QString Row(const QString& text, int endTime);

}  // namespace e2e
