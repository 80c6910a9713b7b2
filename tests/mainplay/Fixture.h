#pragma once
// A player window over the doubles, in a temporary lyrics folder of its own.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>
#include <utility>
#include <vector>

#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "platform/Layout.h"
#include "platform/MarkerImage.h"
#include "platform/MediaPlayerControl.h"
#include "platform/doubles/Doubles.h"
#include "store/Main.h"

namespace qiva::test {

using Lines = std::vector<std::pair<QString, int16_t>>;  // text, end time in tenths

struct PlayerFixture {
    QTemporaryDir dir;
    TestServices ts;
    Main m{dir.path()};
    std::unique_ptr<MainPlay> w;

    QString path(const QString& name) const { return QDir(dir.path()).filePath(name); }

    // Writes a timed lyrics file with the store's writer (the window's document is not touched).
    QString writeLyrics(const QString& name, const Lines& lines,
                        const QString& singer = QStringLiteral("歌手"),
                        const QString& title = QStringLiteral("歌名"),
                        const QString& album = QStringLiteral("专辑")) {
        Main doc(dir.path());
        doc.lyricSinger = singer;
        doc.lyricTitle = title;
        doc.lyricAlbum = album;
        doc.lyricSongPath = path(QStringLiteral("song.mp3"));
        doc.ResetLines(static_cast<int16_t>(lines.size()));
        for (size_t i = 0; i < lines.size(); ++i) doc.lyricLines[i + 1] = {lines[i].first, lines[i].second};
        const QString p = path(name);
        doc.WriteLyricsFile(p);
        return p;
    }

    void writeBytes(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }

    // Adds {song, lyrics} to the record file through the store, as the association window does.
    void associate(const QString& song, const QString& lyrics) {
        Main record(dir.path());
        record.LoadAssociations();
        record.AppendAssociation(song, lyrics);
        record.CommitAssociation(ts.prompter);
    }

    // One song of `seconds` with the given lines, associated as the next row.
    QString addSong(const QString& name, double seconds, const Lines& lines) {
        const QString song = path(name + QStringLiteral(".mp3"));
        ts.players.songs.insert(song, seconds);
        associate(song, writeLyrics(name + QStringLiteral(".TXT"), lines));
        return song;
    }

    MainPlay& open() {
        w = std::make_unique<MainPlay>(m, ts.services);
        // The tests tick the clock themselves on the player's virtual clock; the real timer must not add
        // ticks of its own when a slow machine takes longer than 100 ms between two steps.
        w->Timer1->setInterval(24 * 3600 * 1000);
        return *w;
    }

    FakeMediaPlayer& player() const { return static_cast<FakeMediaPlayer&>(w->MP->engine()); }

    // Delivers the queued play-state events.
    static void settle() {
        for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
    }

    void click(int row) {
        w->List1->setCurrentRow(row);
        w->List1_Click();
    }

    // One clock tick after the song has moved on by `seconds`, if the clock is running. The tick reaches
    // everything that follows the clock, as the timer's own would.
    void tick(double seconds = 0.1) {
        player().advance(seconds);
        settle();
        if (w->Timer1->isActive()) QMetaObject::invokeMethod(w->Timer1, "timeout", Qt::DirectConnection);
    }

    // One tick at exactly `seconds` into the song (the user dragged the position bar there).
    void tickAt(double seconds) {
        w->MP->setCurrentPosition(seconds);
        tick(0);
    }

    QStringList labels() const { return {w->Label1->text(), w->Label2->text(), w->Label3->text()}; }
    double label2Twips() const { return PixelsToTwips(w->Label2->width()); }
    int markerPixels() const { return w->Image1->left(); }
};

}  // namespace qiva::test
