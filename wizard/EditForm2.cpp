#include "wizard/EditForm2.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

#include "platform/Layout.h"
#include "platform/SongTags.h"
#include "wizard/EditForm1.h"
#include "wizard/ExpandMarks.h"
#include "wizard/LineBreaks.h"

namespace qiva {

namespace {

const QString kTextFilter = QStringLiteral("Text Files(*.TXT)|*.TXT");

QLabel* MakeLabel(QWidget* parent, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QLineEdit* MakeField(QWidget* parent) { return new QLineEdit(QStringLiteral("未知"), parent); }

// A saved text comes back with one more line break; a text that was short enough to save opens again. The
// length counts the text as it holds its breaks, a CR LF as two characters, as the Windows text box did.
bool FitsWhenOpened(const QString& text) {
    qsizetype length = text.size();
    if (text.endsWith(QStringLiteral("\r\n")))
        length -= 2;
    else if (text.endsWith(u'\n') || text.endsWith(u'\r'))
        length -= 1;
    return length <= kMaxLyricTextLength;
}

// What the song's own tags know saves typing; a box the tags say nothing for keeps "未知".
void PrefillFromTags(EditForm2& w, const QString& songPath) {
    const SongTags tags = ReadSongTags(songPath);
    const std::pair<QLineEdit*, const QString*> fields[] = {{w.Text2, &tags.title},
                                                            {w.Text3, &tags.artist},
                                                            {w.Text4, &tags.album},
                                                            {w.Text5, &tags.lyricist},
                                                            {w.Text6, &tags.composer}};
    for (const auto& [box, value] : fields)
        if (!value->isEmpty()) box->setText(*value);
    // Lyrics too long for the box could never be timed; the user types or opens them instead.
    if (!tags.lyrics.isEmpty() && tags.lyrics.size() <= kMaxLyricTextLength && w.text1().isEmpty())
        w.setText1(tags.lyrics);
}

}  // namespace

EditForm2::EditForm2(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    MakeFixedWindow(this, 7905, 8625, QStringLiteral("歌词采集窗体"));
    setWindowIcon(WizardIcon());
    setFont(SongFont(9));
    createControls();
    placeControls();
    CD1 = s_.dialogs.create(this);

    connect(Text1, &QPlainTextEdit::textChanged, this, &EditForm2::Text1_Change);
    connect(Command4, &QPushButton::clicked, this, &EditForm2::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &EditForm2::Command5_Click);
    connect(Command2, &QPushButton::clicked, this, &EditForm2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &EditForm2::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &EditForm2::Command1_Click);
    Form_Load();
}

EditForm2::~EditForm2() = default;

void EditForm2::createControls() {
    Label1 = MakeLabel(
        this, QStringLiteral("步骤二：歌词采集。请将歌词输入在下面的文本框中，歌词重复部分不能省略！这个步骤"
                             "是整个关联过程的第一步，"
                             "如果这个部分发生错误，将会对后续工程产生很大的影响！采集方法：第一，请在歌词的"
                             "开始处标上一个“B”，表示"
                             "歌曲的开始部分，同样在歌词的结束处标上一个“E”。第二，请在歌词的短暂停顿处标上一"
                             "个“P”,在长的停顿处标"
                             "上一个“S”。第三，请不要在歌词中放入英语、空格、换行、回车等，最后请用“自动空格"
                             "清除器”进行检查！最后，"
                             "如果还有疑惑，在软件的“歌词”文件夹中有一个“步骤二示例”，请参考一下。"));
    Label1->setFont(SongFont(9, true));
    // Created in tab order, starting at the lyric text.
    Text1 = new QPlainTextEdit(this);
    Text1->setFont(SongFont(9, true));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setTabChangesFocus(true);
    breaks_ = new LineBreaks(Text1);
    Label7 = MakeLabel(this, QStringLiteral("如果要输入英文，请输入小写！   开始处别忘了 B  结束处别忘了 E  "
                                            "短时间的停顿 P  长时间的停顿 S"));
    Label7->setFont(SongFont(10.5, true));
    QPalette red = Label7->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label7->setPalette(red);
    Command5 = new QPushButton(QStringLiteral("小写器"), this);
    Label8 = MakeLabel(this, QStringLiteral("在标B,P,E,S前，请用一下小写器。"));
    MP1 = new MediaPlayerControl(s_.players.create(false), this);
    Command4 = new QPushButton(QStringLiteral("自动空格去除器"), this);
    Command2 = new QPushButton(QStringLiteral("打开歌曲文本"), this);
    Command3 = new QPushButton(QStringLiteral("保存歌曲文本"), this);
    Command3->setEnabled(false);
    createSongInformation();
}

void EditForm2::createSongInformation() {
    Frame1 = new QGroupBox(QStringLiteral("歌曲信息："), this);
    Label2 = MakeLabel(Frame1, QStringLiteral("歌曲名称："));
    Text2 = MakeField(Frame1);
    Label3 = MakeLabel(Frame1, QStringLiteral("原唱歌手："));
    Text3 = MakeField(Frame1);
    Label4 = MakeLabel(Frame1, QStringLiteral("专辑名称："));
    Text4 = MakeField(Frame1);
    Label5 = MakeLabel(Frame1, QStringLiteral("作词："));
    Text5 = MakeField(Frame1);
    Label6 = MakeLabel(Frame1, QStringLiteral("作曲："));
    Text6 = MakeField(Frame1);
    Command1 = new QPushButton(QStringLiteral("下一步"), Frame1);
    Command1->setEnabled(false);
}

void EditForm2::placeControls() {
    PlaceTwips(Label1, 360, 240, 7335, 1455);
    PlaceTwips(Text1, 360, 1800, 5520, 2415);
    PlaceTwips(Label7, 6000, 1800, 1815, 1335);
    PlaceTwips(Command5, 6120, 3600, 1455, 495);
    PlaceTwips(Label8, 6240, 4320, 1455, 375);
    PlaceTwips(MP1, 600, 4440, 5295, 615);
    PlaceTwips(Command4, 6240, 4920, 1455, 495);
    PlaceTwips(Command2, 1680, 5280, 1455, 495);
    PlaceTwips(Command3, 4320, 5280, 1335, 495);
    PlaceTwips(Frame1, 600, 6000, 6495, 2175);
    // Inside the frame, relative to its corner.
    PlaceTwips(Label2, 240, 360, 975, 255);
    PlaceTwips(Text2, 1320, 360, 1695, 390);
    PlaceTwips(Label3, 240, 840, 975, 255);
    PlaceTwips(Text3, 1320, 840, 1695, 390);
    PlaceTwips(Label4, 240, 1320, 975, 255);
    PlaceTwips(Text4, 1320, 1320, 1695, 390);
    PlaceTwips(Label5, 3240, 360, 735, 375);
    PlaceTwips(Text5, 4440, 360, 1695, 375);
    PlaceTwips(Label6, 3240, 840, 735, 375);
    PlaceTwips(Text6, 4440, 840, 1695, 375);
    PlaceTwips(Command1, 3960, 1440, 1815, 495);
}

QString EditForm2::text1() const { return breaks_->text(); }

void EditForm2::setText1(const QString& text) { breaks_->setText(text); }

void EditForm2::Form_Load() {
    // The song waits for the player's own play button. A song that vanished since step one tested it is
    // reported; the window stays usable for typing.
    try {
        MP1->setFileName(m_.lyricSongPath);
    } catch (const std::exception&) {
        s_.prompter.MsgBox(QStringLiteral("无法播放的音乐文件！"), kErrorTitle);
    }
    PrefillFromTags(*this, m_.lyricSongPath);
}

void EditForm2::Text1_Change() {
    const bool hasText = !Text1->document()->isEmpty();
    Command1->setEnabled(hasText);
    Command3->setEnabled(hasText);
}

void EditForm2::Command4_Click() {
    const QString before = text1();
    const QString after = RemoveSpaces(before);
    if (after != before) setText1(after);
}

void EditForm2::Command5_Click() {
    const QString before = text1();
    const QString after = LowercaseAscii(before);
    if (after != before) setText1(after);
}

void EditForm2::Command2_Click() {
    CD1->InitDir = m_.lyricsFolder();
    CD1->FileName = QString();
    CD1->Filter = kTextFilter;
    CD1->Flags = 1;
    CD1->ShowOpen();
    if (CD1->FileName.isEmpty()) return;
    QString text;
    try {
        text = OpenLyricText(CD1->FileName);
    } catch (const std::exception&) {
        s_.prompter.MsgBox(QStringLiteral("无法打开这个文件！"), kErrorTitle);
        return;
    }
    if (!FitsWhenOpened(text)) {
        s_.prompter.MsgBox(QStringLiteral("这个文件的歌词超过 32767 个字，无法打开！"), kErrorTitle);
        return;
    }
    setText1(text);
}

void EditForm2::Command3_Click() {
    const QString text = text1();
    // Only what can be opened again is saved.
    if (text.size() > kMaxLyricTextLength) {
        s_.prompter.MsgBox(QStringLiteral("歌词超过 32767 个字，无法保存！请删减歌词后再保存。"),
                           kErrorTitle);
        return;
    }
    CD1->FileName = QString();
    CD1->Filter = kTextFilter;
    CD1->Flags = 1;
    CD1->ShowSave();
    if (CD1->FileName.isEmpty()) return;
    try {
        SaveLyricText(CD1->FileName, text);
    } catch (const std::exception&) {
        s_.prompter.MsgBox(QStringLiteral("无法保存这个文件！"), kErrorTitle);
    }
}

void EditForm2::Command1_Click() {
    const QString text = text1();
    // Checked before anything changes: a refused Next leaves the fields and the document as they were.
    switch (CheckMarks(text)) {
        case MarkCheck::TextTooLong:
            s_.prompter.MsgBox(QStringLiteral("歌词超过 32767 个字，无法继续！请删减歌词后再试。"),
                               kErrorTitle);
            return;
        case MarkCheck::TooManyLines:
            s_.prompter.MsgBox(QStringLiteral("歌词中的标记太多，需要的歌词行数超过 32767 行，无法继续！"),
                               kErrorTitle);
            return;
        case MarkCheck::Ok:
            break;
    }
    // A double quote ends a field of the timed lyrics file early, so such a text could never be saved there.
    for (const QString& t :
         {text, Text2->text(), Text3->text(), Text4->text(), Text5->text(), Text6->text()}) {
        if (t.contains(QLatin1Char('"'))) {
            s_.prompter.MsgBox(kNoDoubleQuotes, kErrorTitle);
            return;
        }
    }
    for (QLineEdit* field : {Text2, Text3, Text4, Text5, Text6})
        if (field->text().isEmpty()) field->setText(QStringLiteral("Unknown"));
    m_.lyricTitle = Text2->text();
    m_.lyricSinger = Text3->text();
    m_.lyricAlbum = Text4->text();
    m_.lyricLyricist = Text5->text();
    m_.lyricComposer = Text6->text();
    (void)ExpandMarks(text, m_);  // already checked
    if (MP1->PlayState() == MediaPlayer::Playing) MP1->Stop();
    s_.nav.ShowStepThree();
    hide();
}

void EditForm2::closeEvent(QCloseEvent* event) {
    s_.nav.ShowPlayer();
    event->accept();
}

}  // namespace qiva
