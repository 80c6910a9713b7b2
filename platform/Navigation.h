#pragma once
// The one place where windows hand over to each other. Windows never create one another directly.

class QWidget;

namespace qiva {

class MediaPlayer;

class Navigation {
public:
    virtual ~Navigation() = default;
    // Shows the player window: the existing one if it is open, else a fresh one (which rereads the table).
    virtual void ShowPlayer() = 0;
    // Starts a new authoring run with a fresh step one (any hidden step windows of an earlier run go).
    virtual void ShowStepOne() = 0;
    // Shows step two, created fresh for this run (it reads lyricSongPath when created).
    virtual void ShowStepTwo() = 0;
    // Shows step three, created when it does not exist.
    virtual void ShowStepThree() = 0;
    // Shows the association window modally over `owner`; it pauses `ownerPlayer` when that plays.
    // Returns when the association window has closed.
    virtual void ShowJoinForm(QWidget* owner, MediaPlayer& ownerPlayer) = 0;
};

}  // namespace qiva
