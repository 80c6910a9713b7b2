#pragma once
// The lyric marker: a picture that slides along one row of its window. The widget covers that row from the
// window's left edge to its right one, draws nothing but the picture and lets every click through to what
// lies under it.
//
// The marker steps ten times a second for as long as a song plays, so a step costs as little as it can:
// the row keeps a copy of what lies beneath it, taken whenever Qt paints the row, and a step draws that copy
// and the picture straight into the window's backing store and flushes just the parts of the two places that
// the picture does not leave clear. Where the copy might not match the window (no copy yet, a widget stacked
// above the row, a scaled or non-raster backing store or one of another pixel format, a window not on
// screen), the step is an ordinary synchronous repaint of both places instead. Either
// way is far cheaper than moving a small child widget, which costs a geometry change, a posted repaint and a
// walk over the parent's other children on every step.

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QWidget>

class QPainter;

namespace qiva {

class MarkerImage : public QWidget {
public:
    // `picture` is the picture's first place, in the parent's pixels; its size never changes.
    MarkerImage(QWidget* parent, const QRect& picture);

    // Any picture is stretched to the marker's size, once, when it is set.
    void setPixmap(const QPixmap& picture);
    const QPixmap& pixmap() const { return picture_; }
    // The picture's left edge in the parent's pixels.
    void moveTo(int left);
    int left() const { return left_; }
    QRect pictureGeometry() const;
    // How many steps went straight to the backing store; the others were repainted by Qt.
    int directSteps() const { return directSteps_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QRect placeAt(int left) const { return QRect(left, 0, size_.width(), size_.height()); }
    void keepUnderlay(const QPainter& painter, const QRegion& region);
    bool stepDirectly(const QRegion& dirty);
    void drawStep(QImage& image, const QPoint& offset, const QRegion& dirty) const;
    bool coveredFromAbove(const QRect& area) const;

    QSize size_;
    int left_;
    QPixmap picture_;
    QImage pictureImage_;  // the picture again, premultiplied, for the steps to draw
    QRect shown_;          // the picture's pixels that are not fully clear, in its own coordinates
    QImage underlay_;      // what lies beneath the row, as Qt last painted it
    QRegion known_;        // where underlay_ still matches the window, in the row's pixels
    int directSteps_ = 0;
};

}  // namespace qiva
