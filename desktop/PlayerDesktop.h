#pragma once
// The player window's part in the desktop: the desktop lyrics with the two buttons that show and lock them,
// and the MPRIS service. Made with the window; started once the window has been painted, so that neither
// the session bus nor the second window delays the first paint.

#include <QObject>
#include <QString>
#include <memory>

class QPushButton;
class QWidget;

namespace qiva {

class DesktopLyrics;
class Main;
class MediaPlayerControl;
class MprisService;
class NowPlaying;
struct PlayerList;

class PlayerDesktop : public QObject {
    Q_OBJECT
public:
    PlayerDesktop(QWidget* window, MediaPlayerControl& player, const Main& document, PlayerList list,
                  QString settingsPath);
    ~PlayerDesktop() override;

    NowPlaying& now() { return *now_; }
    // Builds the buttons and the desktop lyrics (shown again if they were shown when the program last left
    // them) and offers the player on the session bus.
    void Start();
    bool started() const { return lyrics_ != nullptr; }

    DesktopLyrics* lyrics() const { return lyrics_.get(); }
    MprisService* mpris() const { return mpris_; }
    QPushButton* showButton() const { return showButton_; }
    QPushButton* lockButton() const { return lockButton_; }

private:
    QWidget* window_;
    QString settingsPath_;
    NowPlaying* now_;
    MprisService* mpris_ = nullptr;
    std::unique_ptr<DesktopLyrics> lyrics_;
    QPushButton* showButton_ = nullptr;
    QPushButton* lockButton_ = nullptr;
};

}  // namespace qiva
