#pragma once
// The lyric marker: a picture that slides along one row of its window. The widget covers that row from the
// window's left edge to its right one, draws nothing but the picture and lets every click through to what
// lies under it.
//
// Moving the picture repaints its old and new places at once, in the same wake-up of the program as the
// move. Moving a small child widget instead makes Qt run about 1.7 times the instructions per step (its
// geometry, the posted repaint and the parent's siblings), and the marker steps ten times a second for as
// long as a song plays.

#include <QPixmap>
#include <QRect>
#include <QWidget>

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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect placeAt(int left) const { return QRect(left, 0, size_.width(), size_.height()); }

    QSize size_;
    int left_;
    QPixmap picture_;
};

}  // namespace qiva
