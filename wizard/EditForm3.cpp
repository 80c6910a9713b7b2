#include "wizard/EditForm3.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "platform/Layout.h"
#include "platform/ListRows.h"
#include "platform/SongFiles.h"
#include "store/LrcFormat.h"
#include "wizard/EditForm1.h"
#include "wizard/TimingCorrections.h"
#include "wizard/WaveformStrip.h"

namespace qiva {

namespace {
// Two notes are taller than first drawn: with the Song fonts installed here a line of 9-point text takes
// about 14 pixels, and at the drawn heights their last line was cut off. The space below both is free.
constexpr int kLabel3Height = 1335;
constexpr int kLabel5Height = 600;

QLabel* MakeLabel(QWidget* parent, const QString& text, int l, int t, int w, int h) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    PlaceTwips(label, l, t, w, h);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& text, int l, int t, int w, int h, bool enabled) {
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    button->setEnabled(enabled);
    PlaceTwips(button, l, t, w, h);
    return button;
}

// The program's own format first, as it always was; the chosen pair decides the format written.
const QString kSaveFilter = QStringLiteral("歌词文件(*.TXT)|*.TXT|LRC Files(*.LRC)|*.LRC");
constexpr int kLrcPair = 2;

// A typed ".lrc" writes LRC whatever filter is chosen, a typed ".txt" the program's own format.
bool SavesAsLrc(const QString& path, int filterIndex) {
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("lrc"), Qt::CaseInsensitive) == 0) return true;
    if (suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0) return false;
    return filterIndex == kLrcPair;
}

void MakeRed(QLabel* label) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    label->setPalette(p);
}
}  // namespace

EditForm3::EditForm3(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    MakeFixedWindow(this, 7905, 8625 + kWaveformStripHeightTwips, QStringLiteral("歌词编辑"));
    setWindowIcon(WizardIcon());
    setFont(SongFont(9));
    createControls();
    createMenu();
    connectHandlers();
    installKeys();
    createWaveform();

    // Form_Load.
    const int n = lineCount();
    for (int i = 1; i <= n; ++i) {
        line(i).endTime = 0;
        addRow(line(i));
    }
    List1->setEnabled(false);
    loadSong();
    recordLine = 1;
    if (m_.editMode) List1->clear();
}

EditForm3::~EditForm3() = default;

void EditForm3::createControls() {
    Label2 =
        MakeLabel(this,
                  QStringLiteral("现在，请您进行最後的处理！先请您单击开始记录，然后在每句歌词结束的时候按下"
                                 "“单击这里记录”！"),
                  240, 240, 7575, 615);
    Label2->setFont(SongFont(10.5, true));

    MP = new MediaPlayerControl(s_.players.create(false), this);
    PlaceTwips(MP, 0, 960, 7935, 615);
    // A click on the player's own buttons or bar must not take the space bar away from the record button.
    for (QWidget* w : MP->findChildren<QWidget*>())
        if (w->focusPolicy() & Qt::ClickFocus) w->setFocusPolicy(Qt::TabFocus);

    // The caption's blank gap is where Label1 shows the line due, so the two read as one sentence.
    Label4 = MakeLabel(this,
                       QStringLiteral("当歌词") + QString(50, QLatin1Char(' ')) +
                           QStringLiteral("结束时请按下“单击这里记录”"),
                       0, 2040, 7575, 495);
    Label4->setWordWrap(false);
    Label1 = MakeLabel(this, QString(), 720, 1920, 4215, 615);
    Label1->setFont(SongFont(10.5, true));
    MakeRed(Label1);
    Label1->raise();

    Command4 = MakeButton(this, QStringLiteral("单击这里记录"), 1440, 3120, 4455, 1095, false);
    createSpeedBox();
    Command2 = MakeButton(this, QStringLiteral("开始记录"), 1560, 4440, 1455, 615, true);
    Command3 = MakeButton(this, QStringLiteral("请停一下"), 4440, 4440, 1335, 615, false);

    List1 = new QListWidget(this);
    PlaceTwips(List1, 240, 5280, 5175, 2370);
    List1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    List1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    List1->setEnabled(false);

    Label3 = MakeLabel(
        this,
        QStringLiteral("当列表可用的时候，单击右键，将会出现弹出菜单，可以进行编辑！是双击列表框对歌词"
                       "进行，单击对时间进行编辑。"),
        5880, 5640, 1815, kLabel3Height);
    Label5 = MakeLabel(this, QStringLiteral("如果是编辑歌词，请用原来的文件名保存文件！"), 5760, 7320, 1935,
                       kLabel5Height);
    MakeRed(Label5);

    Command5 = MakeButton(this, QStringLiteral("导入完成歌词"), 960, 7920, 1815, 495, true);
    Command1 = MakeButton(this, QStringLiteral("完成"), 6000, 7920, 1575, 495, false);

    CD1 = s_.dialogs.create(this);
}

void EditForm3::createSpeedBox() {
    // Beside the record button, where the window had room: slower playback for fast lines, pitch kept.
    SpeedLabel = MakeLabel(this, QStringLiteral("播放速度："), 6120, 3240, 1575, 300);
    SpeedBox = new QComboBox(this);
    for (const int percent : {100, 75, 50}) SpeedBox->addItem(QStringLiteral("%1%").arg(percent), percent);
    PlaceTwips(SpeedBox, 6120, 3600, 1335, 375);
    SpeedBox->setFocusPolicy(Qt::TabFocus);
    connect(SpeedBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { MP->setSpeed(SpeedBox->itemData(index).toInt()); });
}

void EditForm3::createMenu() {
    popit = new QMenu(QString(), this);
    allfast = popit->addAction(QStringLiteral("全部歌词提前半秒"));
    allslow = popit->addAction(QStringLiteral("全部歌词延后半秒"));
    selectfast = popit->addAction(QStringLiteral("选中歌词提前半秒"));
    selectslow = popit->addAction(QStringLiteral("选中歌词延后半秒"));
}

void EditForm3::connectHandlers() {
    connect(Command1, &QPushButton::clicked, this, &EditForm3::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &EditForm3::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &EditForm3::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &EditForm3::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &EditForm3::Command5_Click);
    connect(List1, &QListWidget::itemClicked, this, &EditForm3::List1_Click);
    connect(List1, &QListWidget::itemDoubleClicked, this, &EditForm3::List1_DblClick);
    connect(allfast, &QAction::triggered, this, &EditForm3::allfast_Click);
    connect(allslow, &QAction::triggered, this, &EditForm3::allslow_Click);
    connect(selectfast, &QAction::triggered, this, &EditForm3::selectfast_Click);
    connect(selectslow, &QAction::triggered, this, &EditForm3::selectslow_Click);
}

int EditForm3::lineCount() const {
    const int lastSlot = static_cast<int>(m_.lyricLines.size()) - 1;
    return std::max(0, std::min<int>(m_.lyricLineCount, lastSlot));
}

LyricLine& EditForm3::line(int i) { return m_.lyricLines[static_cast<size_t>(i)]; }

void EditForm3::keepRecordLineInRange() {
    recordLine = static_cast<int16_t>(std::clamp<int>(recordLine, 1, std::max(1, lineCount())));
}

void EditForm3::loadSong() {
    try {
        MP->setFileName(m_.lyricSongPath);
    } catch (const PlayerError&) {
        // The player is left without a song; "开始记录" says so when the user tries to play it.
    }
    computeWaveform();
}

void EditForm3::addRow(const LyricLine& l) {
    const QString text = ListRowText(l);
    auto* item = new QListWidgetItem(text, List1);
    item->setSizeHint(ListRowSize(QFontMetrics(List1->font()), text));
}

void EditForm3::flashlistview() {
    List1->clear();
    const int n = lineCount();
    for (int i = 1; i <= n; ++i) addRow(line(i));
}

void EditForm3::Command2_Click() {
    if (lineCount() < 1) {
        s_.prompter.MsgBox(QStringLiteral("还没有可以记录的歌词！"), kErrorTitle);
        return;
    }
    try {
        MP->Play();
    } catch (const PlayerError&) {
        MP->Stop();
        s_.prompter.MsgBox(QStringLiteral("还没有指定音乐文件！"), kErrorTitle);
        return;
    }
    List1->setEnabled(false);
    Command2->setEnabled(false);
    Command3->setEnabled(true);
    Command4->setEnabled(true);
    keepRecordLineInRange();
    Label1->setText(line(recordLine).text);
    // The user taps the space bar in time with the song: the record button must hold the focus.
    Command4->setFocus(Qt::OtherFocusReason);
}

void EditForm3::Command3_Click() {
    Command3->setEnabled(false);
    Command1->setEnabled(true);
    Command4->setEnabled(false);
    List1->setEnabled(true);
    MP->Pause();
}

bool EditForm3::refusedTooLong(bool needsPosition, bool needsDuration) {
    const bool fits = (!needsPosition || RecordedEndTime(MP->CurrentPosition()).has_value()) &&
                      (!needsDuration || SongEndTime(MP->Duration()).has_value());
    if (fits) return false;
    s_.prompter.MsgBox(QStringLiteral("超过3276.7秒（54分36.7秒）的时间无法记录！"), kErrorTitle);
    return true;
}

void EditForm3::Command4_Click() {
    const int n = lineCount();
    if (n < 1) return;
    keepRecordLineInRange();
    const bool alreadyLast = recordLine >= n;
    if (refusedTooLong(!alreadyLast, alreadyLast || recordLine + 1 == n)) return;
    if (!alreadyLast) {
        line(recordLine).endTime = *RecordedEndTime(MP->CurrentPosition());
        ++recordLine;
    }
    if (recordLine == n) {
        reachLastLine();
    } else {
        Label1->setText(line(recordLine).text);
        // A later line keeps an older time only while that time still lies after the new one.
        if (line(recordLine - 1).endTime >= line(recordLine).endTime) line(recordLine).endTime = 0;
    }
    flashlistview();
}

void EditForm3::reachLastLine() {
    s_.prompter.MsgBox(QStringLiteral("全部完成了!"), QStringLiteral("恭喜!"));
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    Command4->setEnabled(false);
    List1->setEnabled(true);
    // The song played on while the message was open; its length, not the position, ends the last line.
    if (const std::optional<int16_t> end = SongEndTime(MP->Duration())) line(lineCount()).endTime = *end;
    MP->setCurrentPosition(MP->Duration());
    MP->Stop();
}

void EditForm3::Command1_Click() {
    m_.editMode = false;
    CD1->InitDir = m_.lyricsFolder();
    CD1->FileName = QString();
    CD1->Filter = kSaveFilter;
    // An edited LRC file is offered as LRC again, so that saving it under its old name keeps its format.
    CD1->FilterIndex = importedLrc_ ? kLrcPair : 1;
    CD1->Flags = 1;
    CD1->ShowSave();
    if (CD1->FileName.isEmpty()) return;
    const QString path = CD1->FileName;
    try {
        // The table is read first: a full table refuses the save before any file is written.
        m_.LoadAssociations();
        if (m_.assocCount == std::numeric_limits<int16_t>::max()) {
            s_.prompter.MsgBox(kTableFull, kErrorTitle);
            return;
        }
        if (SavesAsLrc(path, CD1->FilterIndex))
            m_.WriteLrcFile(path);
        else
            m_.WriteLyricsFile(path);
        // Without a song an entry could never play; the file is saved all the same.
        if (!m_.lyricSongPath.isEmpty()) {
            m_.AppendAssociation(m_.lyricSongPath, path);
            m_.CommitAssociation(s_.prompter);
        }
        s_.nav.ShowPlayer();
    } catch (const LrcOrderError& e) {
        s_.prompter.MsgBox(QString::fromStdString(e.what()), kErrorTitle);
        return;
    } catch (const std::exception&) {
        // A failure after the write leaves the complete new file on disk, not linked to its song.
        s_.prompter.MsgBox(QStringLiteral("无法保存这个文件！"), kErrorTitle);
        return;
    }
    close();
}

void EditForm3::Command5_Click() {
    CD1->InitDir = m_.lyricsFolder();
    List1->setEnabled(true);
    Command1->setEnabled(true);
    Command3->setEnabled(false);
    Command4->setEnabled(false);
    MP->setCurrentPosition(MP->Duration());
    if (MP->PlayState() == MediaPlayer::Playing) MP->Stop();
    CD1->FileName = QString();
    CD1->Filter = kLyricsFilter;
    CD1->Flags = 1;
    CD1->ShowOpen();
    if (CD1->FileName.isEmpty()) return;
    const QString lyricsPath = CD1->FileName;
    const QString songBefore = m_.lyricSongPath;
    try {
        importedLrc_ = m_.ReadLyricsFile(lyricsPath, [this] { loadSong(); }) == LyricsFormat::Lrc;
        if (importedLrc_) findSongForLrc(lyricsPath, songBefore);
    } catch (const StoreError&) {
        s_.prompter.MsgBox(QStringLiteral("无法打开这个文件！"), kErrorTitle);
    }
    // Also after a failed read: the list shows what the document now holds, which is what "完成" saves.
    keepRecordLineInRange();
    flashlistview();
}

void EditForm3::findSongForLrc(const QString& lyricsPath, const QString& songBefore) {
    // An LRC file names no song. Re-timing it for the song of step one keeps that song; an edit takes the
    // song beside the file, or asks for one.
    QString song = m_.editMode ? QString() : songBefore;
    if (song.isEmpty()) song = SongBeside(lyricsPath);
    if (song.isEmpty()) {
        CD1->InitDir = QFileInfo(lyricsPath).path();
        CD1->FileName = QString();
        CD1->Filter = kSongFilter;
        CD1->FilterIndex = 1;
        CD1->Flags = 1;
        CD1->ShowOpen();
        song = CD1->FileName;
    }
    m_.lyricSongPath = song;
    loadSong();
    // The last line of an LRC file often lasts to the end of the song; here that end is known.
    const int n = lineCount();
    if (n < 1 || line(n).endTime != kUntilSongEnd) return;
    if (const std::optional<int16_t> end = SongEndTime(MP->Duration()); end && *end > 0)
        line(n).endTime = *end;
}

void EditForm3::closeEvent(QCloseEvent* event) {
    // The song stops with its window, and so does an edit: left set, it would keep every later association
    // from being saved and make the next new run start with an empty list.
    m_.editMode = false;
    MP->Stop();
    s_.nav.ShowPlayer();
    QWidget::closeEvent(event);
}

}  // namespace qiva
