#pragma once
// Step three's waveform strip: the song's waveform with the end of every recorded line as a numbered
// marker, the play head and the selected lines. The wheel zooms between the whole song and two seconds;
// while the song plays the view pages along with the play head. A click seeks (unless the window is
// recording); a marker dragged with the mouse moves that line's end in tenths of a second.

#include <QLineF>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

class QTimer;

namespace qiva {

class MediaPlayerControl;
class Waveform;

// The strip's height in twips, by which step three's window grows.
inline constexpr int kWaveformStripHeightTwips = 1200;

// Where a marker dragged towards `proposed` lands: the end time of line `line` (ends holds slots
// 0..lineCount, slot 0 being the time before line 1), never before the end of the nearest recorded line
// above it nor after that of the nearest recorded line below it. Unrecorded lines (end time 0) bound
// nothing: they have no time to keep an order with. Without a recorded line above, the floor is 1 (0 marks
// a line not recorded); without one below, the ceiling is the song's end. Equal times are allowed. When
// the two bounds are already out of order the line keeps its time.
int16_t DraggedEndTime(const std::vector<int16_t>& ends, int line, int proposed, int16_t songEnd);

// What the strip shows of the window it sits in, asked for whenever it paints or is clicked, so that it is
// never out of date with the document.
struct StripLines {
    std::function<std::vector<int16_t>()> ends;  // the lines' end times, slots 0..lineCount
    std::function<bool(int line)> selected;
    std::function<bool()> recording;  // no seeking then
    std::function<bool()> editable;   // markers can be dragged
};

class WaveformStrip : public QWidget {
    Q_OBJECT
public:
    // The narrowest view, in seconds across the strip.
    static constexpr double kNarrowestSpan = 2.0;

    WaveformStrip(const Waveform& waveform, MediaPlayerControl& player, StripLines lines,
                  QWidget* parent = nullptr);

    double viewStart() const { return viewStart_; }
    double viewSpan() const { return viewSpan_; }
    // Multiplies the span by `factor` (below 1 zooms in) keeping the second at `anchor` where it is.
    void zoom(double factor, double anchor);
    double secondsAt(double x) const;
    double xAt(double seconds) const;
    double playHead() const { return head_; }
    const Waveform& waveform() const { return waveform_; }
    // What the strip says of the computation: its progress, a song decoded only in part, or none.
    QString statusText() const;

public slots:
    // Reads the position; while playing, pages the view so that the play head stays in sight.
    void followPlayHead();

signals:
    // A marker was dragged to a new time: the window stores it as the line's end and shows it.
    void lineEndDragged(int line, int16_t endTime);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool syncDuration();  // true for a new song
    void clampView();
    // The line whose marker is under x, 0 for none.
    int markerAt(const std::vector<int16_t>& ends, double x) const;
    void drawPeaks(class QPainter& p, const QRect& area) const;
    void drawSelection(QPainter& p, const QRect& area, const std::vector<int16_t>& ends) const;
    void drawMarkers(QPainter& p, const QRect& area, const std::vector<int16_t>& ends) const;
    void drawStatus(QPainter& p) const;

    const Waveform& waveform_;
    MediaPlayerControl& player_;
    StripLines lines_;
    QTimer* headTimer_;
    double duration_ = 0;
    double viewStart_ = 0;
    double viewSpan_ = 0;
    double head_ = 0;
    int dragLine_ = 0;

    struct StrokesKey {
        double start = 0, span = 0;
        QRect area;
        size_t peaks = 0;
        int rate = 0;
        bool operator==(const StrokesKey&) const = default;
    };
    mutable StrokesKey strokesKey_;
    mutable std::vector<QLineF> strokes_;
};

}  // namespace qiva
