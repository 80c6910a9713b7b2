#pragma once
// The program's navigation point: creates, shows, hides and releases the windows as the user moves between
// the player, the three wizard steps and the association window.

#include <QPointer>
#include <optional>

#include "platform/Services.h"
#include "store/Main.h"

namespace qiva {

class MainPlay;
class EditForm1;
class EditForm2;
class EditForm3;

class Navigator : public Navigation {
public:
    Navigator(Main& m, MediaPlayerFactory& players, FileDialogFactory& dialogs, Prompter& prompter);
    ~Navigator() override;

    void ShowPlayer() override;
    void ShowStepOne() override;
    void ShowStepTwo() override;
    void ShowStepThree() override;
    void ShowJoinForm(QWidget* owner, MediaPlayer& ownerPlayer) override;

    Services& services() { return services_; }
    MainPlay* player() const;
    EditForm1* stepOne() const;
    EditForm2* stepTwo() const;
    EditForm3* stepThree() const;

private:
    Main& m_;
    Services services_;
    QPointer<MainPlay> player_;
    QPointer<EditForm1> stepOne_;
    QPointer<EditForm2> stepTwo_;
    QPointer<EditForm3> stepThree_;
};

}  // namespace qiva
