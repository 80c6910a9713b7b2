#include "platform/MarkerImage.h"

#include <QBackingStore>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>

namespace qiva {

namespace {

// The backing store's image when the row can copy from it and draw into it: a raster image at one device
// pixel per pixel, in one of the 32-bit formats that X and the other raster platforms use.
QImage* PlainImage(QPaintDevice* device) {
    if (device == nullptr || device->devType() != QInternal::Image) return nullptr;
    auto* image = static_cast<QImage*>(device);
    const bool plainFormat =
        image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32_Premultiplied;
    return plainFormat && image->devicePixelRatio() == 1.0 ? image : nullptr;
}

// ... that nobody is painting on right now.
QImage* IdleImage(QPaintDevice* device) {
    return device != nullptr && !device->paintingActive() ? PlainImage(device) : nullptr;
}

// A premultiplied pixel over another, rounded as Qt's own raster engine rounds.
QRgb Over(QRgb source, QRgb target) {
    const uint clear = 255 - qAlpha(source);
    if (clear == 0) return source;
    uint redBlue = (target & 0xff00ff) * clear;
    redBlue = ((redBlue + ((redBlue >> 8) & 0xff00ff) + 0x800080) >> 8) & 0xff00ff;
    uint alphaGreen = ((target >> 8) & 0xff00ff) * clear;
    alphaGreen = (alphaGreen + ((alphaGreen >> 8) & 0xff00ff) + 0x800080) & 0xff00ff00;
    return source + (alphaGreen | redBlue);
}

// The part of a picture that shows: where it is clear, a step changes nothing on screen. The demo's arrow
// leaves a quarter of its square clear, and a step's write to the X server is that much smaller.
QRect ShownPart(const QPixmap& picture) {
    if (picture.isNull() || !picture.hasAlphaChannel()) return picture.rect();
    const QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    QRect shown;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(line[x]) != 0) shown |= QRect(x, y, 1, 1);
    }
    return shown;
}

}  // namespace

MarkerImage::MarkerImage(QWidget* parent, const QRect& picture)
    : QWidget(parent), size_(picture.size()), left_(picture.left()) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // The row reaches the window's right edge: a long line carries the marker that far, or beyond.
    setGeometry(0, picture.top(), std::max(parent->width(), picture.right() + 1), picture.height());
}

void MarkerImage::setPixmap(const QPixmap& picture) {
    picture_ =
        picture.isNull() ? QPixmap() : picture.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    shown_ = ShownPart(picture_);
    pictureImage_ = picture_.isNull()
                        ? QImage()
                        : picture_.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    update(placeAt(left_));
}

void MarkerImage::moveTo(int left) {
    if (left == left_) return;
    const QRect before = shown_.translated(left_, 0);
    left_ = left;
    const QRect after = shown_.translated(left_, 0);
    // One rectangle over both places when they touch, which they do at every ordinary step.
    const QRegion dirty =
        (before.intersects(after) ? QRegion(before.united(after)) : QRegion(before).united(after)) & rect();
    if (!stepDirectly(dirty)) repaint(dirty);
}

QRect MarkerImage::pictureGeometry() const { return placeAt(left_).translated(0, y()); }

void MarkerImage::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    keepUnderlay(painter, event->region());
    const QRect place = placeAt(left_);
    if (picture_.isNull() || !event->rect().intersects(place)) return;
    painter.drawPixmap(place.topLeft(), picture_);
}

void MarkerImage::hideEvent(QHideEvent*) { known_ = QRegion(); }
void MarkerImage::moveEvent(QMoveEvent*) { known_ = QRegion(); }
void MarkerImage::resizeEvent(QResizeEvent*) { known_ = QRegion(); }

// Qt paints the row after everything beneath it, so at this moment the backing store holds, over `region`,
// exactly what the picture covers. A paint elsewhere (a grab, a print) leaves the copy as it is.
void MarkerImage::keepUnderlay(const QPainter& painter, const QRegion& region) {
    QBackingStore* store = window()->backingStore();
    if (store == nullptr || painter.paintEngine() == nullptr ||
        painter.paintEngine()->paintDevice() != store->paintDevice())
        return;
    const QImage* image = PlainImage(store->paintDevice());
    if (image == nullptr) {
        known_ = QRegion();
        return;
    }
    if (underlay_.size() != size() || underlay_.format() != image->format()) {
        underlay_ = QImage(size(), image->format());
        known_ = QRegion();
    }
    const QPoint offset = mapTo(window(), QPoint());
    QPainter copy(&underlay_);
    copy.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : region) copy.drawImage(r.topLeft(), *image, r.translated(offset));
    known_ += region;
}

bool MarkerImage::stepDirectly(const QRegion& dirty) {
    if (dirty.isEmpty()) return true;
    if (!isVisible() || !(dirty - known_).isEmpty()) return false;
    for (const QRect& r : dirty)
        if (coveredFromAbove(r)) return false;
    QWidget* top = window();
    QWindow* handle = top->windowHandle();
    QBackingStore* store = top->backingStore();
    if (handle == nullptr || !handle->isExposed() || store == nullptr || !IdleImage(store->paintDevice()))
        return false;
    const QPoint offset = mapTo(top, QPoint());
    const QRegion target = dirty.translated(offset);
    store->beginPaint(target);
    QImage* image = IdleImage(store->paintDevice());
    if (image != nullptr && image->format() == underlay_.format() &&
        image->rect().contains(target.boundingRect()))
        drawStep(*image, offset, dirty);
    else
        image = nullptr;
    store->endPaint();
    if (image == nullptr) return false;
    store->flush(target, handle);
    ++directSteps_;
    return true;
}

// Ten times a second a QPainter's set-up would cost more than these few hundred pixels: each row of `dirty`
// is copied from the underlay and the picture is laid over it, pixel by pixel.
void MarkerImage::drawStep(QImage& image, const QPoint& offset, const QRegion& dirty) const {
    const QRect place = placeAt(left_);
    const bool opaque = image.format() == QImage::Format_RGB32;
    for (const QRect& r : dirty) {
        const QRect over = r & place;
        for (int y = r.top(); y <= r.bottom(); ++y) {
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y + offset.y())) + offset.x();
            const auto* under = reinterpret_cast<const QRgb*>(underlay_.constScanLine(y));
            std::copy_n(under + r.left(), r.width(), out + r.left());
            if (pictureImage_.isNull() || y < over.top() || y > over.bottom()) continue;
            const auto* picture = reinterpret_cast<const QRgb*>(pictureImage_.constScanLine(y - place.top()));
            for (int x = over.left(); x <= over.right(); ++x) {
                const QRgb pixel = Over(picture[x - place.left()], out[x]);
                out[x] = opaque ? pixel | 0xff000000 : pixel;
            }
        }
    }
}

// Widgets stacked above the row, at any level up to the window, would be painted over by a direct step.
bool MarkerImage::coveredFromAbove(const QRect& area) const {
    const QWidget* w = this;
    QRect inParent = area.translated(pos());
    while (!w->isWindow() && w->parentWidget() != nullptr) {
        const QWidget* parent = w->parentWidget();
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size(); ++i) {
            const auto* above = qobject_cast<const QWidget*>(siblings.at(i));
            if (above && !above->isWindow() && above->isVisible() && above->geometry().intersects(inParent))
                return true;
        }
        inParent.translate(parent->pos());
        w = parent;
    }
    return false;
}

}  // namespace qiva
