#pragma once
// The player window: the song list, the hosted media player and the three-line lyric display whose clock
// follows the song.

#include <QWidget>
#include <cstdint>

#include "platform/Services.h"
#include "store/Main.h"

class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

namespace qiva {

class LineLabel;
class ListRowsMeasuredLater;
class MarkerImage;
class MediaPlayerControl;
class PlayerDesktop;

class MainPlay : public QWidget {
    Q_OBJECT
public:
    MainPlay(Main& m, Services& s, QWidget* parent = nullptr);
    ~MainPlay() override;

    // Controls, under the names the other windows and the tests know them by.
    QListWidget* List1;
    QPushButton* Command1;  // 新建歌词
    QPushButton* Command2;  // 重新关联歌词
    QPushButton* Command3;  // 刷新列表
    QPushButton* Command4;  // 编辑歌词
    MediaPlayerControl* MP;
    QTimer* Timer1;     // the lyric clock
    LineLabel* Label1;  // previous line
    LineLabel* Label2;  // current line
    LineLabel* Label3;  // next line
    QLabel* Label4;     // song information
    QLabel* Label5;
    MarkerImage* Image1;  // the marker
    // The desktop lyrics with their two buttons, and the MPRIS service: started once the window is painted.
    PlayerDesktop* desktop() const { return desktop_; }

    // Window variables.
    int16_t curLine = 0;
    float markerStep = 0;  // twips per tick
    bool startedFromList = false;
    float markerLeft;  // Image1's left edge in twips; only this moves

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void List1_Click();
    void Timer1_Timer();
    void MP_PlayStateChange(int oldState, int newState);
    // Songs dropped onto the window: one association for each song among `paths` (files, and folders
    // searched through) with a lyrics file of its name beside it, then one message saying what was done.
    void AddDroppedSongs(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void BuildDesktopParts();
    void Form_Load();
    void LoadMarkerPicture();
    bool LoadAssociationTable();
    void FillList();
    int AppendDroppedSongs(const std::vector<AssocEntry>& entries, QString& error);
    void RefillKeepingSelection();
    bool StartSong(const QString& songPath);
    void StartLyricDisplay(const QString& lyricsPath, bool showSongInfo, bool reportFailure);
    bool ReadLyrics(const QString& lyricsPath, bool showSongInfo, bool reportFailure);
    void ShowSongInfo();
    void ShowFirstLine();
    void ChangeLine(int line, bool pastLastLine, double positionTenths);
    void SetLyricLabels(const QString& previous, const QString& current, const QString& next);
    void ClearLyricDisplay();
    void RestartDisplay();
    bool EndOfSong(double tenths) const;
    int LineCount() const;
    QString LineText(int line) const;
    int EndTime(int line) const;
    int SongEndTenths() const;
    float StepFor(int line) const;
    int SelectedRow() const;
    void PlaceMarker(float leftTwips);

    Main& m_;
    Services& s_;
    // False while no lyrics are on display (the row's file could not be read, or a restart had no row):
    // the clock then keeps only its end-of-song duty.
    bool lyricsShown_ = false;
    // True once the position has passed the last line's end: the last line stays and the marker rests.
    bool pastLastLine_ = false;
    // A message that must wait until the window has been painted once.
    QString pendingMessage_;
    ListRowsMeasuredLater* listRows_ = nullptr;
    PlayerDesktop* desktop_ = nullptr;
};

}  // namespace qiva
