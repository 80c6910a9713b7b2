#include "desktop/PlayerDesktop.h"

#include <QPushButton>

#include "desktop/DesktopLyrics.h"
#include "desktop/Mpris.h"
#include "desktop/NowPlaying.h"
#include "platform/Layout.h"

namespace qiva {

namespace {
// Below the next lyric line, at the right, where the window's design left its bottom strip empty.
QPushButton* SmallToggle(QWidget* window, const QString& caption, int left, int width) {
    auto* b = new QPushButton(caption, window);
    b->setCheckable(true);
    b->setFocusPolicy(Qt::TabFocus);
    PlaceTwips(b, left, 6840, width, 375);
    b->show();
    return b;
}
}  // namespace

PlayerDesktop::PlayerDesktop(QWidget* window, MediaPlayerControl& player, const Main& document,
                             PlayerList list, QString settingsPath)
    : QObject(window),
      window_(window),
      settingsPath_(std::move(settingsPath)),
      now_(new NowPlaying(player, document, std::move(list), this)) {}

PlayerDesktop::~PlayerDesktop() {
    // The service and the window follow the song: they go before what they follow.
    delete mpris_;
    lyrics_.reset();
}

void PlayerDesktop::Start() {
    if (started()) return;
    lyrics_ = std::make_unique<DesktopLyrics>(*now_, settingsPath_);
    showButton_ = SmallToggle(window_, QStringLiteral("桌面歌词"), 6600, 1215);
    lockButton_ = SmallToggle(window_, QStringLiteral("锁定"), 7920, 975);
    showButton_->setToolTip(QStringLiteral("在屏幕上另开一个透明的歌词窗口"));
    lockButton_->setToolTip(QStringLiteral("锁定后桌面歌词不再接受鼠标点击"));
    lockButton_->setChecked(lyrics_->locked());
    connect(showButton_, &QPushButton::toggled, lyrics_.get(), &DesktopLyrics::setShown);
    connect(lockButton_, &QPushButton::toggled, lyrics_.get(), &DesktopLyrics::setLocked);
    connect(lyrics_.get(), &DesktopLyrics::shownChanged, showButton_, &QPushButton::setChecked);
    connect(lyrics_.get(), &DesktopLyrics::lockedChanged, lockButton_, &QPushButton::setChecked);
    if (lyrics_->shownAtStart()) showButton_->setChecked(true);

    mpris_ = new MprisService(*now_, this);
    mpris_->Register();
}

}  // namespace qiva
