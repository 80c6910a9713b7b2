#include "platform/MarkerImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace qiva {

MarkerImage::MarkerImage(QWidget* parent, const QRect& picture)
    : QWidget(parent), size_(picture.size()), left_(picture.left()) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The row reaches the window's right edge: a long line carries the marker that far, or beyond.
    setGeometry(0, picture.top(), std::max(parent->width(), picture.right() + 1), picture.height());
}

void MarkerImage::setPixmap(const QPixmap& picture) {
    picture_ =
        picture.isNull() ? QPixmap() : picture.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update(placeAt(left_));
}

void MarkerImage::moveTo(int left) {
    if (left == left_) return;
    const QRect before = placeAt(left_);
    left_ = left;
    const QRect after = placeAt(left_);
    // One repaint over both places when they touch, which they do at every ordinary step.
    if (before.intersects(after))
        repaint(before.united(after));
    else
        repaint(QRegion(before).united(after));
}

QRect MarkerImage::pictureGeometry() const { return placeAt(left_).translated(0, y()); }

void MarkerImage::paintEvent(QPaintEvent* event) {
    const QRect place = placeAt(left_);
    if (picture_.isNull() || !event->rect().intersects(place)) return;
    QPainter(this).drawPixmap(place.topLeft(), picture_);
}

}  // namespace qiva
