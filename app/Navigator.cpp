#include "app/Navigator.h"

#include "app/MainPlay.h"
#include "association/JoinForm.h"
#include "wizard/EditForm1.h"
#include "wizard/EditForm2.h"
#include "wizard/EditForm3.h"

namespace qiva {

namespace {
template <typename W>
void Release(QPointer<W>& w) {
    if (w) w->deleteLater();
    w = nullptr;
}

template <typename W>
W* Open(QPointer<W>& slot, W* fresh) {
    fresh->setAttribute(Qt::WA_DeleteOnClose);
    slot = fresh;
    fresh->show();
    return fresh;
}
}  // namespace

Navigator::Navigator(Main& m, MediaPlayerFactory& players, FileDialogFactory& dialogs, Prompter& prompter)
    : m_(m), services_{players, dialogs, prompter, *this} {}

Navigator::~Navigator() {
    delete player_.data();
    delete stepOne_.data();
    delete stepTwo_.data();
    delete stepThree_.data();
}

MainPlay* Navigator::player() const { return player_; }
EditForm1* Navigator::stepOne() const { return stepOne_; }
EditForm2* Navigator::stepTwo() const { return stepTwo_; }
EditForm3* Navigator::stepThree() const { return stepThree_; }

void Navigator::ShowPlayer() {
    if (player_ && player_->isVisible()) {
        player_->raise();
        player_->activateWindow();
        return;
    }
    Release(player_);
    Open(player_, new MainPlay(m_, services_));
}

void Navigator::ShowStepOne() {
    // Every "新建歌词" starts a fresh run: the hidden windows of an earlier run go.
    Release(stepOne_);
    Release(stepTwo_);
    Open(stepOne_, new EditForm1(m_, services_));
}

void Navigator::ShowStepTwo() {
    Release(stepTwo_);
    Open(stepTwo_, new EditForm2(m_, services_));
}

void Navigator::ShowStepThree() {
    if (stepThree_) {
        stepThree_->show();
        stepThree_->raise();
        return;
    }
    Open(stepThree_, new EditForm3(m_, services_));
}

void Navigator::ShowJoinForm(QWidget* owner, MediaPlayer& ownerPlayer) {
    JoinForm form(m_, services_, ownerPlayer, owner);
    form.setWindowModality(Qt::ApplicationModal);
    form.exec();
}

}  // namespace qiva
