#include "desktop/DesktopLyrics.h"

#include <QBackingStore>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "desktop/NowPlaying.h"
#include "platform/Layout.h"
#include "platform/MediaPlayerControl.h"
#include "store/Main.h"

namespace qiva {

namespace {
constexpr int kDefaultWidth = 720;
constexpr int kDefaultHeight = 96;
constexpr int kResizeCorner = 16;  // the bottom-right square that resizes instead of moving
const QSize kMinimumSize(240, 48);
const QSize kMaximumSize(4000, 800);

int LineCount(const Main& d) {
    return std::clamp<int>(d.lyricLineCount, 0, static_cast<int>(d.lyricLines.size()) - 1);
}

QString LineText(const Main& d, int line) {
    return line >= 1 && line <= LineCount(d) ? d.lyricLines[line].text : QString();
}

// A text with a dark outline round every glyph, so that it reads on light and dark backgrounds alike,
// at most `maxWidth` wide (a longer text is drawn smaller). The outline is the text drawn dark a few pixels
// off in every direction: glyphs come from the font's cache, where stroking their outlines as paths took
// several milliseconds a line.
QImage DrawText(const QString& text, QFont font, const QColor& fill, double outline, int maxWidth,
                double dpr) {
    if (text.isEmpty()) return {};
    double advance = QFontMetricsF(font).horizontalAdvance(text);
    if (advance + 2 * outline > maxWidth && advance > 0) {
        font.setPointSizeF(std::max(4.0, font.pointSizeF() * (maxWidth - 2 * outline) / advance));
        advance = QFontMetricsF(font).horizontalAdvance(text);
    }
    const QFontMetricsF metrics(font);
    QImage image(static_cast<int>(std::ceil((advance + 2 * outline) * dpr)),
                 static_cast<int>(std::ceil((metrics.height() + 2 * outline) * dpr)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setFont(font);
    const QPointF at(outline, outline + metrics.ascent());
    p.setPen(QColor(16, 16, 32, 230));
    // Whole device pixels, so that every copy is the same cached glyph.
    const double step = 1 / dpr, reach = std::round(outline * dpr) / dpr;
    for (int i = 0; i < 16; ++i) {
        const double angle = i * M_PI / 8;
        p.drawText(at + QPointF(std::round(std::cos(angle) * reach / step) * step,
                                std::round(std::sin(angle) * reach / step) * step),
                   text);
    }
    p.setPen(fill);
    p.drawText(at, text);
    return image;
}

QRect DefaultPlace() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
    return {area.center().x() - kDefaultWidth / 2, area.bottom() - kDefaultHeight - area.height() / 10,
            kDefaultWidth, kDefaultHeight};
}

// A remembered place is taken when its size is sensible and its middle is on one of today's screens.
QRect UsablePlace(const QRect& remembered) {
    const bool sized =
        remembered.width() >= kMinimumSize.width() && remembered.height() >= kMinimumSize.height() &&
        remembered.width() <= kMaximumSize.width() && remembered.height() <= kMaximumSize.height();
    if (!sized || QGuiApplication::screenAt(remembered.center()) == nullptr) return DefaultPlace();
    return remembered;
}

const QString kGroup = QStringLiteral("DesktopLyrics");

// "true" or "false" as the settings file writes them; anything else, as a damaged file holds, is the default.
bool Flag(const QSettings& s, const QString& key) {
    return s.value(key).toString().compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0;
}
}  // namespace

LyricMoment MomentAt(const Main& document, double tenths) {
    const int n = LineCount(document);
    if (n < 1) return {};
    int i = 1;
    while (i <= n && !(tenths - document.lyricLines[i].endTime < 0)) ++i;
    if (i > n) return {n, 1.0};
    const double start = document.lyricLines[i - 1].endTime;
    const double length = document.lyricLines[i].endTime - start;
    return {i, length > 0 ? std::clamp((tenths - start) / length, 0.0, 1.0) : 0.0};
}

DesktopTexts TextsFor(const NowPlaying& now, int line) {
    if (now.songPath().isEmpty() || now.player().PlayState() == MediaPlayer::Stopped) return {};
    if (!now.hasLyrics()) {
        const SongInfo info = now.info();
        return {info.title, info.artists.join(QStringLiteral("、")), false};
    }
    return {LineText(now.document(), line), LineText(now.document(), line + 1), true};
}

DesktopLyricsSettings DesktopLyricsSettings::Load(const QString& path) {
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(kGroup);
    DesktopLyricsSettings d;
    d.geometry = s.value(QStringLiteral("geometry")).toRect();
    d.locked = Flag(s, QStringLiteral("locked"));
    d.shown = Flag(s, QStringLiteral("shown"));
    return d;
}

// A settings file that cannot be written only means the next start has the defaults.
void DesktopLyricsSettings::Save(const QString& path) const {
    QSettings s(path, QSettings::IniFormat);
    s.beginGroup(kGroup);
    s.setValue(QStringLiteral("geometry"), geometry);
    s.setValue(QStringLiteral("locked"), locked);
    s.setValue(QStringLiteral("shown"), shown);
    s.endGroup();
    s.sync();
}

QString SettingsPath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/qiva.ini");
}

DesktopLyrics::DesktopLyrics(NowPlaying& now, const QString& settingsPath)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool),
      now_(now),
      settingsPath_(settingsPath) {
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(QStringLiteral("桌面歌词"));
    setMinimumSize(kMinimumSize);
    setMaximumSize(kMaximumSize);
    const DesktopLyricsSettings remembered = DesktopLyricsSettings::Load(settingsPath_);
    setGeometry(UsablePlace(remembered.geometry));
    saved_ = remembered;
    saved_.geometry = geometry();
    shownAtStart_ = remembered.shown;
    locked_ = remembered.locked;
    setWindowFlag(Qt::WindowTransparentForInput, locked_);
    setCursor(Qt::SizeAllCursor);

    MediaPlayerControl& player = now_.player();
    connect(&player, &MediaPlayerControl::ClockTicked, this, &DesktopLyrics::Follow);
    connect(&player, &MediaPlayerControl::Seeked, this, &DesktopLyrics::Follow);
    connect(&player, &MediaPlayerControl::PlayStateChange, this,
            [this] { Follow(now_.player().engine().CurrentPosition()); });
    connect(&now_, &NowPlaying::songChanged, this,
            [this] { Follow(now_.player().engine().CurrentPosition()); });
}

DesktopLyrics::~DesktopLyrics() { SaveSettings(); }

void DesktopLyrics::setLocked(bool locked) {
    if (locked == locked_) return;
    locked_ = locked;
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowTransparentForInput, locked_);
    if (visible) show();  // a change of window flags hides the window
    hovered_ = false;
    drag_ = Drag::None;
    RepaintAll();
    SaveSettings();
    emit lockedChanged(locked_);
}

void DesktopLyrics::setShown(bool shown) {
    if (shown == shown_) return;
    shown_ = shown;
    setVisible(shown);
    if (shown) Follow(now_.player().engine().CurrentPosition());
    SaveSettings();
    emit shownChanged(shown);
}

// A hidden window does nothing; shown again it catches up with the song.
void DesktopLyrics::Follow(double position) {
    if (!shown_) return;
    const LyricMoment moment = now_.hasLyrics() ? MomentAt(now_.document(), position * 10) : LyricMoment{};
    const DesktopTexts texts = TextsFor(now_, moment.line);
    if (!(texts == texts_)) ShowTexts(texts);
    SetFill(texts_.sweeps ? moment.sung : 0);
}

void DesktopLyrics::ShowTexts(const DesktopTexts& texts) {
    texts_ = texts;
    Render();
    RepaintAll();
}

// The texts are drawn once per line into pictures at the display's own scale; each tick then only copies
// the part of the line that the fill moved over.
void DesktopLyrics::Render() {
    const double dpr = devicePixelRatioF();
    const double scale = height() / double(kDefaultHeight);
    const int room = width() - 8;
    const QColor unsung(240, 248, 255), sung(255, 196, 40);
    const QFont big = SongFont(26 * scale, true), small = SongFont(15 * scale, true);
    current_ = DrawText(texts_.current, big, unsung, 2.5 * scale, room, dpr);
    currentSung_ = texts_.sweeps ? DrawText(texts_.current, big, sung, 2.5 * scale, room, dpr) : QImage();
    next_ = DrawText(texts_.next, small, QColor(210, 225, 240), 1.8 * scale, room, dpr);
    const QSizeF c = current_.deviceIndependentSize(), n = next_.deviceIndependentSize();
    const double gap = 2 * scale;
    const double top = std::max(0.0, (height() - c.height() - gap - n.height()) / 2);
    currentAt_ = QPoint(static_cast<int>((width() - c.width()) / 2), static_cast<int>(top));
    nextAt_ = QPoint(static_cast<int>((width() - n.width()) / 2), static_cast<int>(top + c.height() + gap));
    filled_ = 0;
}

// Repaints only when the fill has moved on by a whole pixel, and then only the strip it moved over.
void DesktopLyrics::SetFill(double sung) {
    const int filled = current_.isNull() ? 0 : static_cast<int>(sung * current_.width());
    if (filled == filled_) return;
    const int from = std::min(filled, filled_), to = std::max(filled, filled_);
    const QImage& source = filled > filled_ ? currentSung_ : current_;
    filled_ = filled;
    if (StepDirectly(from, to, source)) return;
    const double dpr = current_.devicePixelRatio();
    const QRect line = CurrentLineRect();
    const int left = static_cast<int>(std::floor(from / dpr)), right = static_cast<int>(std::ceil(to / dpr));
    update(QRect(line.left() + left, line.top(), right - left + 1, line.height()));
}

void DesktopLyrics::RepaintAll() {
    stale_ = true;
    update();
}

// Ten times a second Qt's repaint of a second window (its event, the walk over the window, a painter and
// the clearing of a see-through region) costs more than the strip of pixels that changed: the strip is
// copied from the line's picture straight into the window's backing store and sent to the screen. Only
// where the store is known to hold the rest of the picture, one image pixel to a pixel, and nothing lies
// under the line.
bool DesktopLyrics::StepDirectly(int from, int to, const QImage& source) {
    if (stale_ || hovered_ || source.isNull() || source.devicePixelRatio() != 1.0 || !isVisible())
        return false;
    QWindow* handle = windowHandle();
    QBackingStore* store = backingStore();
    if (handle == nullptr || !handle->isExposed() || store == nullptr) return false;
    const QRect target(currentAt_.x() + from, currentAt_.y(), to - from, source.height());
    store->beginPaint(target);
    QPaintDevice* device = store->paintDevice();
    auto* image =
        device != nullptr && device->devType() == QInternal::Image ? static_cast<QImage*>(device) : nullptr;
    const bool fits = image != nullptr && image->format() == QImage::Format_ARGB32_Premultiplied &&
                      image->devicePixelRatio() == 1.0 && image->rect().contains(target);
    if (fits)
        for (int y = 0; y < source.height(); ++y)
            std::copy_n(reinterpret_cast<const QRgb*>(source.constScanLine(y)) + from, to - from,
                        reinterpret_cast<QRgb*>(image->scanLine(target.top() + y)) + target.left());
    store->endPaint();
    if (!fits) {
        stale_ = true;  // the region was cleared for painting
        return false;
    }
    store->flush(target, handle);
    return true;
}

QRect DesktopLyrics::CurrentLineRect() const {
    return QRect(currentAt_, current_.deviceIndependentSize().toSize() + QSize(1, 1));
}

void DesktopLyrics::paintEvent(QPaintEvent* event) {
    if (!current_.isNull() && current_.devicePixelRatio() != devicePixelRatioF()) {
        const int filled = filled_;
        const double sung = current_.width() > 0 ? double(filled) / current_.width() : 0;
        Render();
        filled_ = static_cast<int>(sung * current_.width());
    }
    QPainter p(this);
    if (backingStore() && p.paintEngine() &&
        p.paintEngine()->paintDevice() == backingStore()->paintDevice() &&
        (QRegion(rect()) - event->region()).isEmpty())
        stale_ = false;
    if (hovered_ && !locked_) {
        // Where to take hold of it.
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 80));
        p.drawRoundedRect(QRectF(rect()), 8, 8);
    }
    if (!current_.isNull()) {
        const double dpr = current_.devicePixelRatio();
        const double h = current_.height() / dpr;
        if (filled_ > 0 && !currentSung_.isNull())
            p.drawImage(QRectF(currentAt_.x(), currentAt_.y(), filled_ / dpr, h), currentSung_,
                        QRectF(0, 0, filled_, current_.height()));
        if (filled_ < current_.width())
            p.drawImage(
                QRectF(currentAt_.x() + filled_ / dpr, currentAt_.y(), (current_.width() - filled_) / dpr, h),
                current_, QRectF(filled_, 0, current_.width() - filled_, current_.height()));
    }
    if (!next_.isNull()) p.drawImage(nextAt_, next_);
}

void DesktopLyrics::resizeEvent(QResizeEvent*) {
    const double sung = current_.width() > 0 ? double(filled_) / current_.width() : 0;
    Render();
    SetFill(sung);
    RepaintAll();
}

void DesktopLyrics::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || locked_) return;
    const QPoint at = event->position().toPoint();
    if (at.x() >= width() - kResizeCorner && at.y() >= height() - kResizeCorner) {
        drag_ = Drag::Resize;
        return;
    }
    // The window manager moves it where it can (and keeps it on the screen); elsewhere it follows the mouse.
    if (windowHandle() && windowHandle()->startSystemMove()) return;
    drag_ = Drag::Move;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void DesktopLyrics::mouseMoveEvent(QMouseEvent* event) {
    if (drag_ == Drag::Move) move(event->globalPosition().toPoint() - dragOffset_);
    if (drag_ == Drag::Resize) resize(event->position().toPoint().x(), event->position().toPoint().y());
}

void DesktopLyrics::mouseReleaseEvent(QMouseEvent*) {
    if (drag_ == Drag::None) return;
    drag_ = Drag::None;
    SaveSettings();
}

void DesktopLyrics::enterEvent(QEnterEvent*) {
    hovered_ = true;
    RepaintAll();
}

void DesktopLyrics::showEvent(QShowEvent*) { stale_ = true; }

void DesktopLyrics::leaveEvent(QEvent*) {
    hovered_ = false;
    RepaintAll();
}

// Written only when something changed: a program that merely ran leaves the file as it was.
void DesktopLyrics::SaveSettings() {
    const DesktopLyricsSettings now{geometry(), locked_, shown_};
    if (now == saved_) return;
    now.Save(settingsPath_);
    saved_ = now;
}

}  // namespace qiva
