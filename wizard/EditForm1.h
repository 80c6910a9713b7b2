#pragma once
// Wizard step one: the user picks the song for the new lyrics, test-plays it and moves on to step two. The
// only thing handed on is lyricSongPath, set by a successful test.

#include <QIcon>
#include <QWidget>
#include <memory>

#include "platform/MediaPlayerControl.h"
#include "platform/Services.h"
#include "store/Main.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qiva {

// The icon the three wizard windows share.
QIcon WizardIcon();

class EditForm1 : public QWidget {
    Q_OBJECT
public:
    EditForm1(Main& m, Services& s, QWidget* parent = nullptr);
    ~EditForm1() override;

    // Controls under their own names; owned by the window.
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Text1;
    QPushButton* Command1;  // "浏览文件···"
    QFrame* Line1;
    MediaPlayerControl* MP;
    QPushButton* Command3;  // "测试文件的可靠性"
    QLabel* Label3;
    QFrame* Line2;
    QLabel* Label4;
    QPushButton* Command2;  // "下一步"
    std::unique_ptr<FileDialog> CD1;

public slots:
    void Command1_Click();
    void Text1_Change();
    void Command3_Click();
    void Command2_Click();

protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload

private:
    void createControls();
    void placeControls();

    Main& m_;
    Services& s_;
};

}  // namespace qiva
