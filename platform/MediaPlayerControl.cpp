#include "platform/MediaPlayerControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPolygonF>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <utility>

namespace qiva {

namespace {
int WholeSeconds(double seconds) { return static_cast<int>(std::floor(std::max(0.0, seconds))); }

QString Clock(double seconds) {
    const int s = WholeSeconds(seconds);
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

// The time shows whole seconds: the next refresh comes just after the song's next second has begun (`late`
// milliseconds after), so the shown time is never a second behind the song.
int MillisecondsIntoNextSecond(double position, int late) {
    const double toNext = std::floor(position) + 1 - position;
    return static_cast<int>(std::ceil(toNext * 1000)) + late;
}

// The widest time the label must hold: songs of up to 999 minutes.
QSize TimeLabelSize(const QLabel* label) {
    return label->fontMetrics().boundingRect(QStringLiteral("000:00 / 000:00")).size() + QSize(4, 2);
}

enum class Glyph { Play, Pause, Stop };

// The transport glyphs are drawn here rather than looked up in the desktop's icon theme: the same look on
// every desktop, and no theme search while the first window is being built.
QIcon DrawGlyph(Glyph glyph, const QColor& colour) {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    switch (glyph) {
        case Glyph::Play:
            p.drawPolygon(QPolygonF({QPointF(2, 1), QPointF(11, 6), QPointF(2, 11)}));
            break;
        case Glyph::Pause:
            p.drawRect(QRectF(2, 1, 3, 10));
            p.drawRect(QRectF(7, 1, 3, 10));
            break;
        case Glyph::Stop:
            p.drawRect(QRectF(2, 2, 8, 8));
            break;
    }
    p.end();
    return QIcon(pixmap);
}

QToolButton* TransportButton(QWidget* parent, Glyph glyph, const QString& tip) {
    auto* b = new QToolButton(parent);
    QIcon icon = DrawGlyph(glyph, parent->palette().color(QPalette::Active, QPalette::ButtonText));
    const QPixmap disabled =
        DrawGlyph(glyph, parent->palette().color(QPalette::Disabled, QPalette::ButtonText)).pixmap(12, 12);
    icon.addPixmap(disabled, QIcon::Disabled);
    b->setIcon(icon);
    b->setToolTip(tip);
    b->setAccessibleName(tip);
    b->setAutoRaise(true);
    // Only Tab gives these the focus: a click must not take it from a window's own buttons (step three
    // records with the space bar).
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}
}  // namespace

MediaPlayerControl::MediaPlayerControl(std::unique_ptr<MediaPlayer> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)) {
    playButton_ = TransportButton(this, Glyph::Play, QStringLiteral("播放"));
    pauseButton_ = TransportButton(this, Glyph::Pause, QStringLiteral("暂停"));
    stopButton_ = TransportButton(this, Glyph::Stop, QStringLiteral("停止"));
    positionBar_ = new QSlider(Qt::Horizontal, this);
    positionBar_->setRange(0, 0);
    positionBar_->setAccessibleName(QStringLiteral("播放位置"));
    timeLabel_ = new QLabel(Clock(0) + QStringLiteral(" / ") + Clock(0), this);
    volume_ = new QSlider(Qt::Horizontal, this);
    volume_->setRange(0, 100);
    volume_->setValue(engine_->volume());
    volume_->setFixedWidth(60);
    volume_->setAccessibleName(QStringLiteral("音量"));

    // Two compact rows, as the control's rectangle is only about 40 pixels high: the position bar over the
    // whole width, then the transport buttons, the time and the volume.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(1, 1, 1, 1);
    rows->setSpacing(0);
    rows->addWidget(positionBar_);
    auto* row = new QHBoxLayout;
    row->setSpacing(1);
    for (QToolButton* b : {playButton_, pauseButton_, stopButton_}) {
        b->setIconSize(QSize(12, 12));
        row->addWidget(b);
    }
    QFont small = timeLabel_->font();
    small.setPointSizeF(8);
    timeLabel_->setFont(small);
    // A label of fixed size changes its text without the row being laid out again.
    timeLabel_->setFixedSize(TimeLabelSize(timeLabel_));
    row->addWidget(timeLabel_);
    row->addStretch(1);
    row->addWidget(volume_);
    rows->addLayout(row);

    connect(engine_.get(), &MediaPlayer::PlayStateChange, this, &MediaPlayerControl::forgetTickReading);
    connect(engine_.get(), &MediaPlayer::PlayStateChange, this, &MediaPlayerControl::PlayStateChange);
    connect(engine_.get(), &MediaPlayer::PlayStateChange, this, &MediaPlayerControl::refresh);
    connect(playButton_, &QToolButton::clicked, this, &MediaPlayerControl::playClicked);
    connect(pauseButton_, &QToolButton::clicked, this, [this] { engine_->Pause(); });
    connect(stopButton_, &QToolButton::clicked, this, [this] { engine_->Stop(); });
    connect(positionBar_, &QSlider::sliderPressed, this, [this] { dragging_ = true; });
    connect(positionBar_, &QSlider::sliderReleased, this, [this] {
        dragging_ = false;
        engine_->setCurrentPosition(positionBar_->value() / 1000.0);
        refresh();
        emit Seeked(engine_->CurrentPosition());
    });
    connect(positionBar_, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove (page steps) seek at once; drags seek on release.
        if (action != QSlider::SliderMove && !dragging_)
            QTimer::singleShot(0, this, [this] {
                engine_->setCurrentPosition(positionBar_->value() / 1000.0);
                emit Seeked(engine_->CurrentPosition());
            });
    });
    connect(volume_, &QSlider::valueChanged, this, [this](int v) {
        engine_->setVolume(v);
        emit VolumeChanged(v);
    });

    // The position moves only while a song plays: the bar and the time follow it once a second then, and
    // otherwise change only with the state, a new file or a seek, which refresh them themselves. Each
    // refresh wakes the program and repaints the control.
    refreshTimer_ = new QTimer(this);
    refreshTimer_->setSingleShot(true);
    refreshTimer_->setTimerType(Qt::PreciseTimer);
    connect(refreshTimer_, &QTimer::timeout, this, &MediaPlayerControl::refresh);
    refresh();
}

MediaPlayerControl::~MediaPlayerControl() {
    // The engine may still hold queued play-state events; no one listens once the window is gone.
    disconnect(engine_.get(), nullptr, this, nullptr);
}

void MediaPlayerControl::setFileName(const QString& path) {
    forgetTickReading();
    try {
        engine_->setFileName(path);
    } catch (...) {
        refresh();
        throw;
    }
    refresh();
}

double MediaPlayerControl::CurrentPosition() const {
    // Handed out once, and only within the tick that took it: any later question asks the engine.
    constexpr qint64 kSameTickMs = 20;
    if (tickReading_ && tickReadingAge_.elapsed() < kSameTickMs)
        return *std::exchange(tickReading_, std::nullopt);
    tickReading_.reset();
    return engine_->CurrentPosition();
}

void MediaPlayerControl::setCurrentPosition(double seconds) {
    forgetTickReading();
    engine_->setCurrentPosition(seconds);
    refresh();
    emit Seeked(engine_->CurrentPosition());
}

void MediaPlayerControl::setVolume(int percent) { volume_->setValue(percent); }

void MediaPlayerControl::FollowClock(QTimer* clock) {
    followingClock_ = true;
    connect(clock, &QTimer::timeout, this, &MediaPlayerControl::clockTick);
}

void MediaPlayerControl::clockTick() {
    tickReading_.reset();
    if (engine_->PlayState() != MediaPlayer::Playing) return;
    const double position = engine_->CurrentPosition();
    tickReading_ = position;
    tickReadingAge_.start();
    if (WholeSeconds(position) != shownSecond_) showPosition(position);
    emit ClockTicked(position);
}

void MediaPlayerControl::playClicked() {
    try {
        engine_->Play();
    } catch (const PlayerError&) {
        // The control's own play button with no playable file does nothing, as an idle player would.
    }
}

void MediaPlayerControl::refresh() { showPosition(engine_->CurrentPosition()); }

void MediaPlayerControl::showPosition(double position) {
    const double duration = engine_->Duration();
    const int state = engine_->PlayState();
    // A followed clock ticks every tenth of a second or so: its tick comes before this fallback does.
    if (state == MediaPlayer::Playing)
        refreshTimer_->start(MillisecondsIntoNextSecond(position, followingClock_ ? 250 : 5));
    else
        refreshTimer_->stop();
    playButton_->setEnabled(!engine_->FileName().isEmpty() && state != MediaPlayer::Playing);
    pauseButton_->setEnabled(state == MediaPlayer::Playing);
    stopButton_->setEnabled(state != MediaPlayer::Stopped);
    positionBar_->setRange(0, static_cast<int>(duration * 1000));
    positionBar_->setPageStep(std::max(1000, static_cast<int>(duration * 100)));
    if (!dragging_) positionBar_->setValue(static_cast<int>(position * 1000));
    shownSecond_ = WholeSeconds(position);
    timeLabel_->setText(Clock(position) + QStringLiteral(" / ") + Clock(duration));
}

}  // namespace qiva
