#pragma once
// What the player plays, as the desktop lyrics and the MPRIS service see it: the player control with its
// engine, the current lyrics document, whether the song's lyrics are on display, and the player's list of
// rows. The player window tells it when a song has started; everything else comes from the control.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

namespace qiva {

class Main;
class MediaPlayerControl;

// The title, singers and album a song is shown under.
struct SongInfo {
    QString title;
    QStringList artists;
    QString album;
};

// What the song file's own tags say about it; empty fields where they say nothing.
SongInfo SongFileInfo(const QString& songPath);

// The rows of the player's list, for next and previous.
struct PlayerList {
    std::function<int()> rowCount;
    std::function<int()> selectedRow;  // -1 without a selected row
    std::function<void(int)> playRow;  // selects the row and plays it as a click on it does
    std::function<void()> raise;       // brings the player window to the front
};

class NowPlaying : public QObject {
    Q_OBJECT
public:
    NowPlaying(MediaPlayerControl& player, const Main& document, PlayerList list, QObject* parent = nullptr);

    MediaPlayerControl& player() const { return player_; }
    const Main& document() const { return document_; }
    const PlayerList& list() const { return list_; }
    bool hasLyrics() const { return hasLyrics_; }
    // The open song's file, empty when none is open.
    QString songPath() const;
    // Counts the songs started: a new number for every start, so that a client can tell tracks apart.
    int songNumber() const { return songNumber_; }
    // From the lyrics document when the song's lyrics are on display, else from the song file, else its
    // file name.
    SongInfo info() const;

    bool canGoNext() const;
    bool canGoPrevious() const;
    void Next();
    void Previous();

    // The player window has started a song (or restarted it) with its lyrics on display or without.
    void SongStarted(bool withLyrics);
    // The player window's list changed its rows or its selection.
    void ListChanged() { emit listChanged(); }

signals:
    void songChanged();
    void listChanged();

private:
    MediaPlayerControl& player_;
    const Main& document_;
    PlayerList list_;
    bool hasLyrics_ = false;
    int songNumber_ = 0;
    // The tags of the song last asked about: the desktop lyrics and the bus ask again and again, the file
    // is read once per song.
    mutable QString taggedPath_;
    mutable SongInfo tagged_;
};

}  // namespace qiva
