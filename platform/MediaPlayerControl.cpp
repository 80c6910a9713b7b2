#include "platform/MediaPlayerControl.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace qiva {

namespace {
QString Clock(double seconds) {
    const int s = static_cast<int>(std::floor(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

QToolButton* TransportButton(QWidget* parent, QStyle::StandardPixmap icon, const QString& tip) {
    auto* b = new QToolButton(parent);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}
}  // namespace

MediaPlayerControl::MediaPlayerControl(std::unique_ptr<MediaPlayer> engine, QWidget* parent)
    : QWidget(parent), engine_(std::move(engine)) {
    playButton_ = TransportButton(this, QStyle::SP_MediaPlay, QStringLiteral("播放"));
    pauseButton_ = TransportButton(this, QStyle::SP_MediaPause, QStringLiteral("暂停"));
    stopButton_ = TransportButton(this, QStyle::SP_MediaStop, QStringLiteral("停止"));
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
    row->addWidget(timeLabel_);
    row->addStretch(1);
    row->addWidget(volume_);
    rows->addLayout(row);

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
    });
    connect(positionBar_, &QSlider::actionTriggered, this, [this](int action) {
        // Clicks on the groove (page steps) seek at once; drags seek on release.
        if (action != QSlider::SliderMove && !dragging_)
            QTimer::singleShot(0, this,
                               [this] { engine_->setCurrentPosition(positionBar_->value() / 1000.0); });
    });
    connect(volume_, &QSlider::valueChanged, this, [this](int v) { engine_->setVolume(v); });

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(250);
    connect(refreshTimer_, &QTimer::timeout, this, &MediaPlayerControl::refresh);
    refreshTimer_->start();
    refresh();
}

MediaPlayerControl::~MediaPlayerControl() {
    // The engine may still hold queued play-state events; no one listens once the window is gone.
    disconnect(engine_.get(), nullptr, this, nullptr);
}

void MediaPlayerControl::setFileName(const QString& path) {
    try {
        engine_->setFileName(path);
    } catch (...) {
        refresh();
        throw;
    }
    refresh();
}

void MediaPlayerControl::playClicked() {
    try {
        engine_->Play();
    } catch (const PlayerError&) {
        // The control's own play button with no playable file does nothing, as an idle player would.
    }
}

void MediaPlayerControl::refresh() {
    const double duration = engine_->Duration();
    const int state = engine_->PlayState();
    playButton_->setEnabled(!engine_->FileName().isEmpty() && state != MediaPlayer::Playing);
    pauseButton_->setEnabled(state == MediaPlayer::Playing);
    stopButton_->setEnabled(state != MediaPlayer::Stopped);
    positionBar_->setRange(0, static_cast<int>(duration * 1000));
    positionBar_->setPageStep(std::max(1000, static_cast<int>(duration * 100)));
    if (!dragging_) positionBar_->setValue(static_cast<int>(engine_->CurrentPosition() * 1000));
    timeLabel_->setText(Clock(engine_->CurrentPosition()) + QStringLiteral(" / ") + Clock(duration));
}

}  // namespace qiva
