#pragma once
// Wizard step two: the user types the lyric text with its marks and the song information, listens to the
// song meanwhile, cleans the text, saves or reopens it as a lyric text file, and "下一步" turns the text
// into the lyric lines of the current document.

#include <QWidget>
#include <memory>

#include "platform/MediaPlayerControl.h"
#include "platform/Services.h"
#include "store/Main.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace qiva {

class LineBreaks;

class EditForm2 : public QWidget {
    Q_OBJECT
public:
    EditForm2(Main& m, Services& s, QWidget* parent = nullptr);
    ~EditForm2() override;

    // Text1's text with every line break as it stands: as it came from the text given or the file opened
    // (CR LF, LF or CR), and CR LF where the user typed one.
    QString text1() const;
    // Replaces Text1's text, keeping the form of each of its line breaks; the enabling rule follows, as for
    // typing.
    void setText1(const QString& text);

    // Controls under their own names; owned by the window.
    QLabel* Label1;
    QPlainTextEdit* Text1;
    QLabel* Label7;
    QPushButton* Command5;  // "小写器"
    QLabel* Label8;
    MediaPlayerControl* MP1;
    QPushButton* Command4;  // "自动空格去除器"
    QPushButton* Command2;  // "打开歌曲文本"
    QPushButton* Command3;  // "保存歌曲文本"
    QGroupBox* Frame1;
    QLabel* Label2;
    QLineEdit* Text2;  // song name
    QLabel* Label3;
    QLineEdit* Text3;  // singer
    QLabel* Label4;
    QLineEdit* Text4;  // album
    QLabel* Label5;
    QLineEdit* Text5;  // lyricist
    QLabel* Label6;
    QLineEdit* Text6;       // composer
    QPushButton* Command1;  // "下一步"
    std::unique_ptr<FileDialog> CD1;

public slots:
    void Text1_Change();
    void Command4_Click();
    void Command5_Click();
    void Command2_Click();
    void Command3_Click();
    void Command1_Click();

protected:
    void closeEvent(QCloseEvent* event) override;  // Form_Unload

private:
    void createControls();
    void createSongInformation();
    void placeControls();
    void Form_Load();

    Main& m_;
    Services& s_;
    LineBreaks* breaks_ = nullptr;  // owned by Text1
};

}  // namespace qiva
