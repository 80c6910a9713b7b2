#pragma once
// "桌面歌词": the song's current line, large, over whatever else is on the screen, with a fill that sweeps
// across it as it is sung, and the next line smaller beneath. A window without a frame and with a
// see-through background, always on top; dragged anywhere with the mouse, and when locked clicks pass
// through it. It follows the player's control: the clock's ticks, seeks and play states.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

namespace qiva {

class Main;
class NowPlaying;

// Where the song is within its lyrics: the line being sung (1-based, 0 for none) and how much of it has
// been sung, from 0 to 1. Past the last line's end the last line stays, wholly sung.
struct LyricMoment {
    int line = 0;
    double sung = 0;
};
LyricMoment MomentAt(const Main& document, double tenths);

// The two texts on display and whether the first one is a lyric line that fills as it is sung.
struct DesktopTexts {
    QString current;
    QString next;
    bool sweeps = false;
    bool operator==(const DesktopTexts&) const = default;
};
// Nothing while nothing plays; the song's title and singers while it has no lyrics on display.
DesktopTexts TextsFor(const NowPlaying& now, int line);

// The remembered place, size, lock and whether the window is shown, in the program's settings file.
struct DesktopLyricsSettings {
    QRect geometry;  // invalid: the default place
    bool locked = false;
    bool shown = false;
    bool operator==(const DesktopLyricsSettings&) const = default;
    static DesktopLyricsSettings Load(const QString& path);
    void Save(const QString& path) const;
};
// ~/.config/qiva/qiva.ini, or wherever the desktop keeps a user's settings.
QString SettingsPath();

class DesktopLyrics : public QWidget {
    Q_OBJECT
public:
    DesktopLyrics(NowPlaying& now, const QString& settingsPath);
    ~DesktopLyrics() override;

    bool locked() const { return locked_; }
    // Whether the window was shown when the program last left it.
    bool shownAtStart() const { return shownAtStart_; }
    void setLocked(bool locked);
    // Shows or hides the window and remembers the choice.
    void setShown(bool shown);
    const DesktopTexts& texts() const { return texts_; }
    // Device pixels of the current line already filled.
    int filledPixels() const { return filled_; }
    int lineWidthPixels() const { return current_.width(); }

signals:
    void lockedChanged(bool locked);
    void shownChanged(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void Follow(double position);
    void ShowTexts(const DesktopTexts& texts);
    void Render();
    void SetFill(double sung);
    void RepaintAll();
    bool StepDirectly(int from, int to, const QImage& source);
    QRect CurrentLineRect() const;
    void SaveSettings();

    NowPlaying& now_;
    QString settingsPath_;
    DesktopLyricsSettings saved_;  // what the settings file holds
    bool locked_ = false;
    bool shown_ = false;
    bool shownAtStart_ = false;
    DesktopTexts texts_;
    int line_ = -1;
    double sung_ = 0;
    QImage current_, currentSung_, next_;  // the texts drawn once per line, at the display's scale
    QPoint currentAt_, nextAt_;
    int filled_ = 0;
    bool hovered_ = false;
    // True from a change of the whole picture until it has been painted into the window's backing store.
    bool stale_ = true;
    enum class Drag { None, Move, Resize } drag_ = Drag::None;
    QPoint dragOffset_;
};

}  // namespace qiva
