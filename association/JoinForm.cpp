#include "association/JoinForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <limits>

#include "platform/Layout.h"
#include "platform/MediaPlayerControl.h"
#include "store/FileIo.h"

namespace qiva {

namespace {
const QString kNoFile = QStringLiteral("请指定一个文件！");
const QString kUnplayable = QStringLiteral("无法播放的音乐文件！");
const QString kUnreadable = QStringLiteral("无法打开的歌词文件！");
const QString kNotReady =
    QStringLiteral("请先指定一个可以播放的音乐文件和一个可以完整读出的歌词文件，然后再关联。");
const QString kAppendFailed = QStringLiteral("无法添加这个关联，关联没有完成。原来的关联记录保持不变。");
const QString kRewriteFailed = QStringLiteral("无法写入歌词文件，关联没有完成。原来的歌词文件保持不变。");
const QString kCommitFailed = QStringLiteral("无法保存关联记录，关联没有完成。原来的关联记录保持不变。");

QString WithReason(const QString& text, const std::exception& e) {
    return text + QLatin1Char('\n') + QString::fromUtf8(e.what());
}
}  // namespace

JoinForm::JoinForm(Main& m, Services& s, MediaPlayer& ownerPlayer, QWidget* parent)
    : QDialog(parent), m_(m), s_(s), ownerPlayer_(ownerPlayer) {
    createControls();
    layOut();
    connectHandlers();
    Form_Load();
}

JoinForm::~JoinForm() = default;

void JoinForm::createControls() {
    Label1 = new QLabel(QStringLiteral("歌曲文件："), this);
    Text1 = new QLineEdit(this);
    Command1 = new QPushButton(QStringLiteral("浏览"), this);
    Label2 = new QLabel(QStringLiteral("歌词文件："), this);
    Text2 = new QLineEdit(this);
    Command2 = new QPushButton(QStringLiteral("浏览"), this);
    MP = new MediaPlayerControl(s_.players.create(true), this);
    Command3 = new QPushButton(QStringLiteral("关联"), this);
    Command3->setEnabled(false);
    CD1 = s_.dialogs.create(this);
    for (QLabel* label : {Label1, Label2}) label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // No button answers Enter: a path typed into a box must never browse or associate by accident.
    for (QPushButton* button : {Command1, Command2, Command3}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void JoinForm::layOut() {
    MakeFixedWindow(this, 7395, 3180, QStringLiteral("歌词关联"));
    // Keep the dialog type so the window stays owned by, and modal over, the player window.
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Dialog);
    setFont(SongFont(9));
    PlaceTwips(Label1, 720, 720, 975, 495);
    PlaceTwips(Text1, 2160, 720, 2775, 375);
    PlaceTwips(Command1, 5520, 720, 1215, 495);
    PlaceTwips(Label2, 720, 1560, 975, 495);
    PlaceTwips(Text2, 2160, 1560, 2775, 375);
    PlaceTwips(Command2, 5520, 1560, 1215, 495);
    PlaceTwips(MP, 960, 2400, 4695, 615);
    PlaceTwips(Command3, 6120, 2520, 1095, 495);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, MP);
    setTabOrder(MP, Command3);
}

void JoinForm::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &JoinForm::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &JoinForm::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &JoinForm::Command3_Click);
    connect(Text1, &QLineEdit::textChanged, this, &JoinForm::Text1_Change);
    connect(Text2, &QLineEdit::textChanged, this, &JoinForm::Text2_Change);
}

void JoinForm::Form_Load() {
    if (ownerPlayer_.PlayState() == MediaPlayer::Playing) ownerPlayer_.Pause();
}

void JoinForm::done(int result) {
    // The song being tried out here ends with the window; the player window's song stays paused.
    MP->Stop();
    QDialog::done(result);
}

void JoinForm::Command1_Click() {
    CD1->FileName = QString();
    CD1->Filter = kSongFilter;
    CD1->Flags = 1;
    CD1->ShowOpen();
    if (CD1->FileName.isEmpty()) {
        s_.prompter.MsgBox(kNoFile, kErrorTitle);
        Text1->clear();
        songOk = false;
        return;
    }
    setChosenPath(Text1, CD1->FileName, &JoinForm::Text1_Change);
}

void JoinForm::Text1_Change() {
    const QString path = Text1->text();
    // An empty box holds no path: nothing to check and nothing accepted. This is also what keeps the
    // program's own emptying of a box, after a failure already reported once, from reporting it again.
    if (path.isEmpty()) {
        songOk = false;
        return;
    }
    try {
        MP->setFileName(path);
        MP->Play();
    } catch (const std::exception&) {
        s_.prompter.MsgBox(kUnplayable, kErrorTitle);
        Text1->clear();
        songOk = false;
        return;
    }
    songOk = true;
    if (lyricsOk) Command3->setEnabled(true);
}

void JoinForm::Command2_Click() {
    CD1->InitDir = m_.lyricsFolder();
    CD1->FileName = QString();
    CD1->Filter = kLyricsFilter;
    CD1->Flags = 1;
    CD1->ShowOpen();
    if (CD1->FileName.isEmpty()) {
        s_.prompter.MsgBox(kNoFile, kErrorTitle);
        Text2->clear();
        lyricsOk = false;
        return;
    }
    setChosenPath(Text2, CD1->FileName, &JoinForm::Text2_Change);
}

void JoinForm::Text2_Change() {
    const QString path = Text2->text();
    if (path.isEmpty()) {
        lyricsOk = false;
        return;
    }
    try {
        lyricsFormat_ = m_.ReadLyricsFile(path);
    } catch (const std::exception&) {
        // The reader has released the file; the document keeps what it read before the failure.
        s_.prompter.MsgBox(kUnreadable, kErrorTitle);
        Text2->clear();
        lyricsOk = false;
        return;
    }
    lyricsOk = true;
    if (songOk) Command3->setEnabled(true);
}

void JoinForm::Command3_Click() {
    // A failed or cleared check may have left a partly read document behind; writing it would damage the
    // lyrics file.
    if (!songOk || !lyricsOk) {
        s_.prompter.MsgBox(kNotReady, kErrorTitle);
        return;
    }
    // A full table is refused before the lyrics file is touched.
    if (m_.assocCount == std::numeric_limits<int16_t>::max()) {
        s_.prompter.MsgBox(kTableFull, kErrorTitle);
        return;
    }
    const int16_t countBefore = m_.assocCount;
    if (!appendEntry()) return;
    // The questions come before any file is touched: after a No the lyrics file and the record stay as
    // they were, and the window closes as it does after an association.
    if (!m_.ConfirmAssociation(s_.prompter)) {
        accept();
        return;
    }
    const QString songPathBefore = m_.lyricSongPath;
    QByteArray lyricsBefore;
    const bool rewritten = rewriteLyricsFile(lyricsBefore);
    if (!rewritten || !commitEntry(lyricsBefore)) {
        // The document goes back with the file, and the entry with the record.
        m_.lyricSongPath = songPathBefore;
        dropNewEntry(countBefore);
        return;  // the window stays open with both paths, so the user can try again
    }
    accept();
}

void JoinForm::setChosenPath(QLineEdit* box, const QString& path, void (JoinForm::*check)()) {
    // An unchanged text raises no change, yet the file may have changed since it was last checked.
    if (box->text() == path)
        (this->*check)();
    else
        box->setText(path);
}

bool JoinForm::appendEntry() {
    try {
        m_.AppendAssociation(Text1->text(), Text2->text());
    } catch (const StoreError& e) {
        s_.prompter.MsgBox(WithReason(kAppendFailed, e), kErrorTitle);
        return false;
    }
    return true;
}

bool JoinForm::rewriteLyricsFile(QByteArray& before) {
    const QString previousSongPath = m_.lyricSongPath;
    m_.lyricSongPath = Text1->text();
    // An LRC file has no place for the song path: the association record alone links it to its song, and
    // the file stays as the tool that made it wrote it (its word times, other tags and encoding included).
    if (lyricsFormat_ == LyricsFormat::Lrc) return true;
    try {
        // Kept, so that the file can be put back should the record fail to follow.
        before = ReadAllBytes(Text2->text());
        m_.WriteLyricsFile(Text2->text());
    } catch (const StoreError& e) {
        m_.lyricSongPath = previousSongPath;  // the document still matches the untouched file
        s_.prompter.MsgBox(WithReason(kRewriteFailed, e), kErrorTitle);
        return false;
    }
    return true;
}

bool JoinForm::commitEntry(const QByteArray& lyricsBefore) {
    try {
        m_.WriteAssociations();
    } catch (const StoreError& e) {
        // An association that did not come about leaves no trace in the lyrics file either. An LRC file
        // was never rewritten, so there is nothing to put back.
        if (lyricsFormat_ != LyricsFormat::Lrc) {
            try {
                WriteAtomically(Text2->text(), lyricsBefore);
            } catch (const StoreError&) {
                // The message below is the one that matters; the file then names the new song, complete.
            }
        }
        s_.prompter.MsgBox(WithReason(kCommitFailed, e), kErrorTitle);
        return false;
    }
    return true;
}

void JoinForm::dropNewEntry(int16_t countBefore) {
    // The entry appended by this click goes again, so that trying again does not add it twice.
    if (m_.assocCount <= countBefore) return;
    m_.assocCount = countBefore;
    m_.assocTable.resize(static_cast<size_t>(countBefore) + 1);
}

}  // namespace qiva
