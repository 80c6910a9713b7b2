#pragma once
// Wizard step three, "歌词编辑": the user plays the song and presses "单击这里记录" at the end of each lyric
// line; the window stores the position as that line's end time, takes the last line's end from the song's
// length, offers re-recording from a chosen line, text replacement and half-second shifts, imports a
// finished file for re-timing and saves the timed lyrics file, which is then linked to its song.

#include <QWidget>
#include <cstdint>
#include <memory>

#include "platform/FileDialog.h"
#include "platform/MediaPlayerControl.h"
#include "platform/Services.h"
#include "store/Main.h"

class QAction;
class QComboBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace qiva {

class Waveform;
class WaveformStrip;

class EditForm3 : public QWidget {
    Q_OBJECT
public:
    // Form_Load: every line's end time is cleared and the song is loaded without playing.
    EditForm3(Main& m, Services& s, QWidget* parent = nullptr);
    ~EditForm3() override;

    // The controls, under their names.
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    MediaPlayerControl* MP;
    QPushButton* Command1;  // 完成
    QPushButton* Command2;  // 开始记录
    QPushButton* Command3;  // 请停一下
    QPushButton* Command4;  // 单击这里记录
    QPushButton* Command5;  // 导入完成歌词
    QListWidget* List1;
    QLabel* SpeedLabel;  // "播放速度：" and its choice of 100 %, 75 % and 50 %
    QComboBox* SpeedBox;
    std::unique_ptr<FileDialog> CD1;
    QMenu* popit;
    QAction* allfast;
    QAction* allslow;
    QAction* selectfast;
    QAction* selectslow;
    // The song's waveform under the designed controls (EditForm3Waveform.cpp).
    WaveformStrip* Waveform1;

    // The line the next press of "单击这里记录" stores; always within 1..lyricLineCount (1 when empty).
    int16_t recordLine = 1;

public slots:
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void flashlistview();

    // Corrections (EditForm3Corrections.cpp).
    void Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos);
    void List1_Click();
    void List1_DblClick();
    void allfast_Click();
    void allslow_Click();
    void selectfast_Click();
    void selectslow_Click();

    // A marker of the waveform dragged: stored and shown as any corrected time is.
    void Waveform1_MarkerDrag(int lineNumber, int16_t endTime);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;  // Form_Unload

private:
    enum class KeyAction { None, Record, TakeBack, Earlier, Later };

    void createControls();
    void createSpeedBox();
    void createMenu();
    void connectHandlers();
    void addRow(const LyricLine& line);
    // The number of lines that really exist: lyricLineCount, bounded by the line table's size.
    int lineCount() const;
    LyricLine& line(int i);
    void keepRecordLineInRange();
    void loadSong();
    // Shows the message and answers true when a time the press needs does not fit a 16-bit end time.
    bool refusedTooLong(bool needsPosition, bool needsDuration);
    void reachLastLine();
    void shift(int delta, bool selectedOnly);
    void findSongForLrc(const QString& lyricsPath, const QString& songBefore);
    // The keyboard (EditForm3Keys.cpp).
    void installKeys();
    KeyAction actionFor(const QKeyEvent& key) const;
    void runKey(KeyAction action);
    void takeBackPress();
    void nudgeSelected(int delta);
    void createWaveform();
    void computeWaveform();

    Main& m_;
    Services& s_;
    bool importedLrc_ = false;  // the last import read an LRC file
    Waveform* waveform_ = nullptr;
};

}  // namespace qiva
