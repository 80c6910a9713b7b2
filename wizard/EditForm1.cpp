#include "wizard/EditForm1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "platform/Layout.h"

namespace qiva {

namespace {

QLabel* MakeLabel(QWidget* parent, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QFrame* MakeHorizontalLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

// A line drawn from (0, y) to (x2, y): a frame two pixels high centred on y.
void PlaceLine(QFrame* line, int x2Twips, int yTwips) {
    const int y = TwipsToPixels(yTwips);
    line->setGeometry(0, y - 1, TwipsToPixels(x2Twips), 2);
}

}  // namespace

QIcon WizardIcon() {
    // The program's own drawing, as set for the application at start-up (a style icon where none is set).
    const QIcon icon = QApplication::windowIcon();
    return icon.isNull() ? QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView) : icon;
}

EditForm1::EditForm1(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    MakeFixedWindow(this, 7875, 8595, QStringLiteral("与歌曲关联窗体"));
    setWindowIcon(WizardIcon());
    setFont(SongFont(9));
    createControls();
    placeControls();
    CD1 = s_.dialogs.create(this);

    connect(Command1, &QPushButton::clicked, this, &EditForm1::Command1_Click);
    connect(Text1, &QLineEdit::textChanged, this, &EditForm1::Text1_Change);
    connect(Command3, &QPushButton::clicked, this, &EditForm1::Command3_Click);
    connect(Command2, &QPushButton::clicked, this, &EditForm1::Command2_Click);
}

EditForm1::~EditForm1() = default;

void EditForm1::createControls() {
    Label1 = MakeLabel(
        this, QStringLiteral(
                  "步骤一：请选择 一首歌 和 这份歌词 相关联。以后播放这首歌的时候，如果这首歌和歌词关联成功的"
                  "话，系统将会在播放歌曲的时候自动播放歌词。"));
    Label2 = MakeLabel(this, QStringLiteral("您想将这份歌词和哪首歌曲相关联？"));
    // Created in tab order: the box, browse, next, the player, test.
    Text1 = new QLineEdit(this);
    Command1 = new QPushButton(QStringLiteral("浏览文件···"), this);
    Command2 = new QPushButton(QStringLiteral("下一步"), this);
    Command2->setEnabled(false);
    MP = new MediaPlayerControl(s_.players.create(true), this);
    Command3 = new QPushButton(QStringLiteral("测试文件的可靠性"), this);
    Command3->setEnabled(false);
    Label3 = MakeLabel(this, QStringLiteral("文件长度："));
    Label4 = MakeLabel(
        this, QStringLiteral(
                  "下面我们将开始进行歌词的关联工作，这是个十分复杂的过程！虽然大量的工作我们会替你完成，"
                  "但是，在这个过程中您对歌词和歌曲的拿捏水平，将对最后的成品有决定性的影响。可能第一次有"
                  "一些困难，但是，随着您的使用次数的增加，最后一定能够驾驭这个软件的！"));
    Label4->setFont(SongFont(9, true));
    Line1 = MakeHorizontalLine(this);
    Line2 = MakeHorizontalLine(this);
}

void EditForm1::placeControls() {
    PlaceTwips(Label1, 360, 360, 6735, 615);
    PlaceTwips(Label2, 360, 1320, 6855, 375);
    PlaceTwips(Text1, 360, 2040, 4455, 375);
    PlaceTwips(Command1, 5760, 2040, 1695, 495);
    PlaceLine(Line1, 7920, 3240);
    PlaceTwips(MP, 360, 3840, 4575, 615);
    PlaceTwips(Command3, 5760, 3960, 1695, 495);
    PlaceTwips(Label3, 480, 4920, 7095, 375);
    PlaceLine(Line2, 7920, 6000);
    PlaceTwips(Label4, 480, 6360, 5655, 975);
    PlaceTwips(Command2, 5760, 7800, 1695, 495);
}

void EditForm1::Command1_Click() {
    CD1->FileName = QString();
    CD1->Filter = kSongFilter;
    CD1->Flags = 1;
    CD1->ShowOpen();
    if (!CD1->FileName.isEmpty()) {
        Command3->setEnabled(true);
        Text1->setText(CD1->FileName);
    } else {
        s_.prompter.MsgBox(QStringLiteral("请指定一个文件！"), kErrorTitle);
        Text1->setText(QString());
    }
}

void EditForm1::Text1_Change() {
    // An empty box leaves the test button as it was.
    if (!Text1->text().isEmpty()) Command3->setEnabled(true);
}

void EditForm1::Command3_Click() {
    // The test plays the path the box shows, the same path it then hands on: a song that was never tested
    // cannot reach step two, whether the box was typed, edited after browsing or emptied.
    const QString path = Text1->text();
    try {
        if (path.isEmpty()) throw PlayerError("no song file given");
        MP->setFileName(path);
        MP->Play();
        Command2->setEnabled(true);
        m_.lyricSongPath = path;
    } catch (const std::exception&) {
        s_.prompter.MsgBox(QStringLiteral("无法播放的音乐文件！"), kErrorTitle);
        Text1->setText(QString());
        Command3->setEnabled(false);
    }
}

void EditForm1::Command2_Click() {
    s_.nav.ShowStepTwo();
    MP->Stop();
    hide();
}

void EditForm1::closeEvent(QCloseEvent* event) {
    s_.nav.ShowPlayer();
    event->accept();
}

}  // namespace qiva
