#include "wizard/WaveformStrip.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/MediaPlayerControl.h"
#include "platform/Waveform.h"
#include "wizard/TimingCorrections.h"

namespace qiva {

namespace {
constexpr int kHeadIntervalMs = 40;  // 25 pictures a second while the song plays
constexpr int kLabelBand = 13;       // pixels above the waveform for the line numbers
constexpr double kGrab = 4.0;        // pixels either side of a marker that pick it up
constexpr double kWheelStep = 1.25;  // zoom per notch of the wheel
// While playing, the view moves on when the head passes 90% of the width and puts it back at 10%.
constexpr double kPageAt = 0.9;
constexpr double kPageTo = 0.1;

const QColor kPeakColour(40, 90, 160);
const QColor kMarkerColour(0, 130, 0);
const QColor kHeadColour(220, 0, 0);
}  // namespace

int16_t DraggedEndTime(const std::vector<int16_t>& ends, int line, int proposed, int16_t songEnd) {
    const int n = static_cast<int>(ends.size()) - 1;
    if (line < 1 || line > n) return 0;
    int lo = 1;
    for (int i = line - 1; i >= 1; --i)
        if (ends[size_t(i)] != 0) {
            lo = ends[size_t(i)];
            break;
        }
    int hi = songEnd > 0 ? songEnd : std::numeric_limits<int16_t>::max();
    for (int i = line + 1; i <= n; ++i)
        if (ends[size_t(i)] != 0) {
            hi = ends[size_t(i)];
            break;
        }
    if (lo > hi) return ends[size_t(line)];
    return static_cast<int16_t>(std::clamp(proposed, lo, hi));
}

WaveformStrip::WaveformStrip(const Waveform& waveform, MediaPlayerControl& player, StripLines lines,
                             QWidget* parent)
    : QWidget(parent),
      waveform_(waveform),
      player_(player),
      lines_(std::move(lines)),
      headTimer_(new QTimer(this)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setAccessibleName(QStringLiteral("波形"));
    headTimer_->setInterval(kHeadIntervalMs);
    connect(headTimer_, &QTimer::timeout, this, &WaveformStrip::followPlayHead);
    // The head moves by itself only while the song plays; otherwise it moves with seeks and state changes.
    connect(&player_, &MediaPlayerControl::PlayStateChange, this, [this](int, int state) {
        if (state == MediaPlayer::Playing)
            headTimer_->start();
        else
            headTimer_->stop();
        followPlayHead();
    });
    connect(&player_, &MediaPlayerControl::Seeked, this, &WaveformStrip::followPlayHead);
    connect(&waveform_, &Waveform::changed, this, [this] {
        syncDuration();
        update();
    });
}

// A new song shows whole; the same song keeps the user's zoom.
bool WaveformStrip::syncDuration() {
    const double d = player_.Duration();
    if (d == duration_) return false;
    duration_ = d;
    viewStart_ = 0;
    viewSpan_ = d;
    return true;
}

void WaveformStrip::clampView() {
    viewSpan_ = std::clamp(viewSpan_, std::min(kNarrowestSpan, duration_), duration_);
    viewStart_ = std::clamp(viewStart_, 0.0, duration_ - viewSpan_);
}

void WaveformStrip::zoom(double factor, double anchor) {
    syncDuration();
    if (duration_ <= 0 || viewSpan_ <= 0) return;
    const double before = viewSpan_;
    viewSpan_ *= factor;
    clampView();
    viewStart_ = anchor - (anchor - viewStart_) * viewSpan_ / before;
    clampView();
    update();
}

double WaveformStrip::secondsAt(double x) const {
    return width() > 0 ? viewStart_ + x * viewSpan_ / width() : viewStart_;
}

double WaveformStrip::xAt(double seconds) const {
    return viewSpan_ > 0 ? (seconds - viewStart_) * width() / viewSpan_ : 0.0;
}

void WaveformStrip::followPlayHead() {
    const bool newSong = syncDuration();
    const double start = viewStart_;
    const double column = std::floor(xAt(head_));
    head_ = player_.CurrentPosition();
    const bool outOfSight = head_ < viewStart_ || head_ > viewStart_ + kPageAt * viewSpan_;
    if (player_.PlayState() == MediaPlayer::Playing && outOfSight && viewSpan_ < duration_) {
        viewStart_ = head_ - kPageTo * viewSpan_;
        clampView();
    }
    // Most ticks move the head by less than a pixel: nothing to paint then.
    if (newSong || viewStart_ != start || std::floor(xAt(head_)) != column) update();
}

void WaveformStrip::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) zoom(std::pow(kWheelStep, -notches), secondsAt(event->position().x()));
    event->accept();
}

int WaveformStrip::markerAt(const std::vector<int16_t>& ends, double x) const {
    int best = 0;
    double bestDistance = kGrab;
    for (int i = 1; i < static_cast<int>(ends.size()); ++i) {
        if (ends[size_t(i)] == 0) continue;
        const double d = std::abs(xAt(ends[size_t(i)] / 10.0) - x);
        if (d <= bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    syncDuration();
    const double x = event->position().x();
    dragLine_ = lines_.editable() ? markerAt(lines_.ends(), x) : 0;
    if (dragLine_ == 0 && !lines_.recording() && duration_ > 0)
        player_.setCurrentPosition(std::clamp(secondsAt(x), 0.0, duration_));
    event->accept();
}

void WaveformStrip::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    const std::vector<int16_t> ends = lines_.ends();
    if (dragLine_ >= static_cast<int>(ends.size()) || !lines_.editable()) dragLine_ = 0;
    if (dragLine_ == 0) {
        const bool overMarker =
            !(event->buttons() & Qt::LeftButton) && lines_.editable() && markerAt(ends, x) != 0;
        setCursor(overMarker ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const int proposed = static_cast<int>(std::lround(secondsAt(x) * 10));
    const int16_t songEnd = SongEndTime(duration_).value_or(std::numeric_limits<int16_t>::max());
    const int16_t t = DraggedEndTime(ends, dragLine_, proposed, songEnd);
    if (t == ends[size_t(dragLine_)]) return;
    emit lineEndDragged(dragLine_, t);
    update();
}

void WaveformStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragLine_ = 0;
    event->accept();
}

// Painting: the selected lines' stretches behind the waveform, then the markers with their numbers in the
// band above it, the play head over everything, and the state of the computation in a corner.
void WaveformStrip::paintEvent(QPaintEvent*) {
    syncDuration();
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect area(0, kLabelBand, width(), height() - kLabelBand);
    const std::vector<int16_t> ends = lines_.ends();
    drawSelection(p, area, ends);
    drawPeaks(p, area);
    drawMarkers(p, area, ends);
    if (duration_ > 0) {
        p.setPen(kHeadColour);
        const double x = std::floor(xAt(head_)) + 0.5;
        p.drawLine(QPointF(x, 0), QPointF(x, height()));
    }
    drawStatus(p);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void WaveformStrip::drawPeaks(QPainter& p, const QRect& area) const {
    const WaveformPeaks& peaks = waveform_.peaks();
    if (viewSpan_ <= 0 || peaks.fine.empty()) return;
    // The strokes change only with the view and the peaks, not with the play head that repaints the strip
    // many times a second.
    const StrokesKey key{viewStart_, viewSpan_, area, peaks.fine.size(), peaks.rate};
    if (!(key == strokesKey_)) {
        strokesKey_ = key;
        strokes_.clear();
        const double mid = area.top() + area.height() / 2.0;
        const double scale = (area.height() / 2.0 - 1) / 32768.0;
        for (int x = 0; x < area.width(); ++x) {
            const std::optional<PeakPair> pair = peaks.between(secondsAt(x), secondsAt(x + 1));
            if (!pair) continue;
            // Even a silent stretch gets a pixel, so that decoded silence differs from what is still to come.
            const double top = mid - pair->max * scale;
            const double bottom = std::max(top + 1, mid - pair->min * scale);
            strokes_.emplace_back(x + 0.5, top, x + 0.5, bottom);
        }
    }
    p.setPen(kPeakColour);
    p.drawLines(strokes_.data(), int(strokes_.size()));
}

void WaveformStrip::drawSelection(QPainter& p, const QRect& area, const std::vector<int16_t>& ends) const {
    QColor shade = palette().color(QPalette::Highlight);
    shade.setAlpha(70);
    int16_t start = 0;  // where the line begins: the end of the nearest recorded line above it
    for (int i = 1; i < static_cast<int>(ends.size()); ++i) {
        const int16_t end = ends[size_t(i)];
        if (end == 0) continue;
        if (lines_.selected(i) && end > start) {
            const double left = xAt(start / 10.0);
            p.fillRect(QRectF(left, area.top(), xAt(end / 10.0) - left, area.height()), shade);
        }
        start = end;
    }
}

void WaveformStrip::drawMarkers(QPainter& p, const QRect& area, const std::vector<int16_t>& ends) const {
    QFont small = font();
    small.setPointSizeF(7.5);
    p.setFont(small);
    const QColor selectedColour = palette().color(QPalette::Highlight);
    double labelsEnd = -1e9;  // numbers that would overlap the one before are left out when zoomed out
    for (int i = 1; i < static_cast<int>(ends.size()); ++i) {
        if (ends[size_t(i)] == 0) continue;
        const double at = std::floor(xAt(ends[size_t(i)] / 10.0)) + 0.5;
        if (at < -1 || at > width() + 1) continue;
        // The last line ends with the song, a pixel past the strip's last column: drawn in that column.
        const double x = std::clamp(at, 0.5, width() - 0.5);
        p.setPen(lines_.selected(i) ? selectedColour : kMarkerColour);
        p.drawLine(QPointF(x, area.top() - 2), QPointF(x, area.bottom()));
        const QString number = QString::number(i);
        const double w = p.fontMetrics().horizontalAdvance(number);
        // The numbers of the song's first and last lines stay inside the strip.
        const double left = std::clamp(x - w / 2 - 1, 0.0, std::max(0.0, width() - w - 2));
        if (left <= labelsEnd) continue;
        p.drawText(QRectF(left, 0, w + 2, kLabelBand - 1), Qt::AlignCenter, number);
        labelsEnd = left + w + 2;
    }
}

QString WaveformStrip::statusText() const {
    switch (waveform_.state()) {
        case Waveform::State::Computing:
            return QStringLiteral("正在计算波形 %1%").arg(static_cast<int>(waveform_.progress() * 100));
        case Waveform::State::Partial:
            return QStringLiteral("歌曲只能解码到 %1 秒").arg(waveform_.peaks().decodedSeconds(), 0, 'f', 1);
        case Waveform::State::Failed:
            return QStringLiteral("无法读取歌曲的波形");
        case Waveform::State::Empty:
        case Waveform::State::Complete:
            break;
    }
    return QString();
}

void WaveformStrip::drawStatus(QPainter& p) const {
    const QString text = statusText();
    if (text.isEmpty()) return;
    QFont small = font();
    small.setPointSizeF(8);
    p.setFont(small);
    QRect box = p.fontMetrics().boundingRect(text).adjusted(-3, -1, 3, 1);
    box.moveBottomRight(QPoint(width() - 3, height() - 3));
    p.fillRect(box, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(box, Qt::AlignCenter, text);
}

}  // namespace qiva
