#include "app/MainPlay.h"

#include <QCloseEvent>
#include <QDir>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/FirstPaint.h"
#include "app/LineLabel.h"
#include "app/SongDrop.h"
#include "desktop/DesktopLyrics.h"
#include "desktop/NowPlaying.h"
#include "desktop/PlayerDesktop.h"
#include "platform/Layout.h"
#include "platform/ListRows.h"
#include "platform/MarkerImage.h"
#include "platform/MediaPlayerControl.h"

namespace qiva {

namespace {
constexpr int kLyricLeft = 1200;  // left edge of the three lyric labels and the marker's start on every line
constexpr int kMarkerTop = 4080;

QPushButton* Button(QWidget* parent, const QString& caption, int left, int top) {
    auto* b = new QPushButton(caption, parent);
    PlaceTwips(b, left, top, 1335, 615);
    return b;
}

void ShowInRed(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, Qt::red);
    w->setPalette(p);
}

// A label whose text is never interpreted as markup: lyric lines and song information come from files.
QLabel* TextLabel(QWidget* parent, const QFont& font, bool red) {
    auto* l = new QLabel(parent);
    l->setTextFormat(Qt::PlainText);
    l->setFont(font);
    if (red) ShowInRed(l);
    return l;
}

LineLabel* LyricLineLabel(QWidget* parent, const QFont& font, bool red, int left, int top) {
    auto* l = new LineLabel(parent, font);
    if (red) ShowInRed(l);
    MoveTwips(l, left, top);
    return l;
}
const QString kAddSongsTitle = QStringLiteral("添加歌曲");
const QString kTooManySongs =
    QStringLiteral("加入这些歌曲后关联记录将超过 32767 条的上限，没有添加任何歌曲。");

QStringList LocalPaths(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

// The drop takes nothing away from where it came from: a move would let the file manager delete the songs.
Qt::DropAction HarmlessAction(Qt::DropActions possible) {
    if (possible & Qt::CopyAction) return Qt::CopyAction;
    if (possible & Qt::LinkAction) return Qt::LinkAction;
    return Qt::IgnoreAction;
}

// Whether `event` brings local files the window can take; it is accepted with the action it is taken by.
bool TakeDrop(QDropEvent* event) {
    const Qt::DropAction action = HarmlessAction(event->possibleActions());
    if (action == Qt::IgnoreAction || LocalPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(action);
    event->accept();
    return true;
}

QString DropSummary(int added, const DroppedSongs& found) {
    if (found.entries.empty() && found.withoutLyrics == 0 && found.unusablePaths == 0)
        return QStringLiteral("拖放的文件和文件夹中没有找到歌曲。");
    QString text = QStringLiteral("已添加 %1 首歌曲。").arg(added);
    const int listed = static_cast<int>(found.entries.size()) - added;
    if (listed > 0) text += QStringLiteral("\n%1 首歌曲已在列表中，没有重复添加。").arg(listed);
    if (found.withoutLyrics > 0)
        text += QStringLiteral("\n%1 首歌曲旁边没有同名的歌词文件（.lrc 或 .txt），没有添加。")
                    .arg(found.withoutLyrics);
    if (found.unusablePaths > 0)
        text += QStringLiteral("\n%1 首歌曲的路径中有双引号，无法记入关联记录。").arg(found.unusablePaths);
    return text;
}
}  // namespace

MainPlay::MainPlay(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    MakeFixedWindow(this, 9255, 7470, QStringLiteral("播放窗体"));
    // None of the controls takes drops, so whatever is dropped anywhere on the window comes here.
    setAcceptDrops(true);
    setFont(SongFont(9));
    BuildControls();
    BuildDesktopParts();
    Form_Load();
}

// The desktop parts follow the player control, which goes with the window's other children.
MainPlay::~MainPlay() { delete desktop_; }

void MainPlay::BuildControls() {
    List1 = new QListWidget(this);
    PlaceTwips(List1, 360, 360, 4935, 2580);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Long rows scroll sideways over 1000 pixels, or further where a row is wider.
    List1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    List1->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    List1->setWordWrap(false);
    List1->setTextElideMode(Qt::ElideNone);
    // Measuring a row means shaping its text, which for a long record takes far longer than showing the
    // window: the rows show at once and are measured after the list has painted them.
    listRows_ = new ListRowsMeasuredLater(List1);

    Command1 = Button(this, QStringLiteral("新建歌词"), 5520, 360);
    Command4 = Button(this, QStringLiteral("编辑歌词"), 7320, 360);
    Command3 = Button(this, QStringLiteral("刷新列表"), 6480, 1320);
    MP = new MediaPlayerControl(s_.players.create(true), this);
    PlaceTwips(MP, 5520, 2160, 3375, 615);
    Command2 = Button(this, QStringLiteral("重新关联歌词"), 7680, 2880);

    Timer1 = new QTimer(this);
    Timer1->setInterval(100);
    Timer1->setTimerType(Qt::PreciseTimer);

    Label5 = TextLabel(this, SongFont(10.5, true), true);
    Label5->setText(QStringLiteral("新用户请重新关联歌词！！"));
    PlaceTwips(Label5, 5040, 3120, 3255, 255);
    Label1 = LyricLineLabel(this, font(), false, kLyricLeft, 3600);
    Label4 = TextLabel(this, SongFont(12, true), false);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A little taller than first drawn: three lines of bold 12-point Song text need 50 pixels here.
    PlaceTwips(Label4, 5400, 3840, 3495, 780);
    Image1 = new MarkerImage(this, TwipsRect(1080, kMarkerTop, 450, 450));
    markerLeft = 1080;
    Label2 = LyricLineLabel(this, SongFont(14.25, true), true, kLyricLeft, 4680);
    Label3 = LyricLineLabel(this, font(), false, kLyricLeft, 5760);

    connect(Command1, &QPushButton::clicked, this, &MainPlay::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &MainPlay::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &MainPlay::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &MainPlay::Command4_Click);
    connect(List1, &QListWidget::itemClicked, this, &MainPlay::List1_Click);
    // The control's bar and time move at the clock's ticks, before the tick's own work repaints the window.
    MP->FollowClock(Timer1);
    connect(Timer1, &QTimer::timeout, this, &MainPlay::Timer1_Timer);
    connect(MP, &MediaPlayerControl::PlayStateChange, this, &MainPlay::MP_PlayStateChange);
}

// Next and previous from the desktop are clicks on the row after or before the selected one.
void MainPlay::BuildDesktopParts() {
    PlayerList list{[this] { return List1->count(); }, [this] { return SelectedRow(); },
                    [this](int row) {
                        List1->setCurrentRow(row);
                        List1_Click();
                    },
                    [this] {
                        if (isMinimized()) showNormal();
                        raise();
                        activateWindow();
                    }};
    desktop_ = new PlayerDesktop(this, *MP, m_, std::move(list), SettingsPath());
    auto listChanged = [this] { desktop_->now().ListChanged(); };
    connect(List1, &QListWidget::currentRowChanged, desktop_, listChanged);
    connect(List1->model(), &QAbstractItemModel::rowsInserted, desktop_, listChanged);
    connect(List1->model(), &QAbstractItemModel::rowsRemoved, desktop_, listChanged);
    connect(List1->model(), &QAbstractItemModel::modelReset, desktop_, listChanged);
    AfterFirstPaint(this, [this] { desktop_->Start(); });
}

// ---------------------------------------------------------------------------------------------------------
// Start-up, the list and the buttons

void MainPlay::Form_Load() {
    LoadMarkerPicture();
    if (LoadAssociationTable() && m_.assocCount > 0) FillList();
}

void MainPlay::LoadMarkerPicture() {
    const QPixmap picture(QDir(m_.lyricsFolder()).filePath(QStringLiteral("right.gif")));
    // Without its picture the marker is simply not shown; the lyrics work as before.
    Image1->setPixmap(picture);
    Image1->setVisible(!picture.isNull());
}

// A record that cannot be read leaves an empty list and says so. At start-up the message waits until the
// window has been painted, so that no box ever stands in for the window.
bool MainPlay::LoadAssociationTable() {
    try {
        m_.LoadAssociations();
        return true;
    } catch (const StoreError&) {
        // The table may be half replaced: no row may stand for an entry that is not its own.
        listRows_->Fill({});
        const QString text = QStringLiteral("关联记录文件已损坏，无法读出歌曲列表！");
        if (isVisible())
            s_.prompter.MsgBox(text, kErrorTitle);
        else
            pendingMessage_ = text;
        return false;
    }
}

void MainPlay::FillList() {
    const int count = std::min<int>(m_.assocCount, static_cast<int>(m_.assocTable.size()) - 1);
    QStringList rows;
    rows.reserve(count);
    for (int i = 1; i <= count; ++i)
        rows << m_.assocTable[i].songPath + QStringLiteral("   ") + m_.assocTable[i].lyricsPath;
    listRows_->Fill(rows);
}

void MainPlay::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (pendingMessage_.isEmpty()) return;
    QTimer::singleShot(0, this, [this, text = std::exchange(pendingMessage_, QString())] {
        s_.prompter.MsgBox(text, kErrorTitle);
    });
}

void MainPlay::closeEvent(QCloseEvent* event) {
    // Leaving the player ends its song and its clock, whether or not the window object goes at once.
    Timer1->stop();
    MP->Stop();
    QWidget::closeEvent(event);
}

void MainPlay::Command1_Click() {
    s_.nav.ShowStepOne();
    close();
}

void MainPlay::Command2_Click() { s_.nav.ShowJoinForm(this, MP->engine()); }

void MainPlay::Command3_Click() {
    if (LoadAssociationTable() && m_.assocCount > 0) FillList();
}

void MainPlay::Command4_Click() {
    m_.editMode = true;
    s_.nav.ShowStepThree();
    MP->Stop();
    close();
}

// ---------------------------------------------------------------------------------------------------------
// Songs dropped onto the window

void MainPlay::dragEnterEvent(QDragEnterEvent* event) { TakeDrop(event); }

void MainPlay::dragMoveEvent(QDragMoveEvent* event) { TakeDrop(event); }

void MainPlay::dropEvent(QDropEvent* event) {
    if (!TakeDrop(event)) return;
    // The file manager waits until the drop has been taken: the search and its message come after.
    QTimer::singleShot(0, this, [this, paths = LocalPaths(event->mimeData())] { AddDroppedSongs(paths); });
}

void MainPlay::AddDroppedSongs(const QStringList& paths) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const DroppedSongs found = FindDroppedSongs(paths);
    QString error = found.tooMany ? kTooManySongs : QString();
    const int added = found.tooMany ? -1 : AppendDroppedSongs(found.entries, error);
    QGuiApplication::restoreOverrideCursor();
    if (added < 0)
        s_.prompter.MsgBox(error, kErrorTitle);
    else
        s_.prompter.MsgBox(DropSummary(added, found), kAddSongsTitle);
}

// The songs go after what the record file holds now, as step three's "完成" adds its song: the file, not a
// table another window may have changed in memory only, is what the new record builds on. Returns the
// number added, or -1 with `error` set and nothing written.
int MainPlay::AppendDroppedSongs(const std::vector<AssocEntry>& entries, QString& error) {
    try {
        m_.LoadAssociations();
    } catch (const StoreError&) {
        // Writing over a damaged record would lose whatever can still be saved from it.
        error = QStringLiteral("关联记录文件已损坏，无法添加歌曲！");
        return -1;
    }
    int added = -1;
    try {
        added = m_.AppendAssociations(entries);
    } catch (const TableFullError&) {
        error = kTooManySongs;
    } catch (const StoreError&) {
        error = QStringLiteral("无法写入关联记录文件，没有添加任何歌曲！");
    }
    RefillKeepingSelection();
    return added;
}

// New entries go after the old ones, so the row that is playing keeps its number and stays selected.
void MainPlay::RefillKeepingSelection() {
    const int row = SelectedRow();
    if (m_.assocCount > 0) FillList();
    if (row >= 0 && row < List1->count()) List1->setCurrentRow(row);
}

// ---------------------------------------------------------------------------------------------------------
// Playing a row

void MainPlay::List1_Click() {
    const int row = SelectedRow();
    if (row < 0) return;
    startedFromList = true;
    MP->Stop();
    const AssocEntry entry = m_.assocTable[row + 1];
    if (!StartSong(entry.songPath)) return;
    StartLyricDisplay(entry.lyricsPath, true, true);
}

bool MainPlay::StartSong(const QString& songPath) {
    try {
        MP->setFileName(songPath);
        MP->Play();
        return true;
    } catch (const PlayerError&) {
        Timer1->stop();
        lyricsShown_ = false;
        ClearLyricDisplay();
        Label4->clear();
        desktop_->now().SongStarted(false);
        s_.prompter.MsgBox(QStringLiteral("无法播放这个音乐文件！"), kErrorTitle);
        return false;
    }
}

// The display from the start of the song, for a row click and for a restart after a stop. The clock runs
// from here on; its first tick comes after this handler, when the tables are complete.
void MainPlay::StartLyricDisplay(const QString& lyricsPath, bool showSongInfo, bool reportFailure) {
    PlaceMarker(kLyricLeft);
    Timer1->start();
    curLine = 1;
    if (ReadLyrics(lyricsPath, showSongInfo, reportFailure)) {
        curLine = 1;
        ShowFirstLine();
    }
    desktop_->now().SongStarted(lyricsShown_);
}

bool MainPlay::ReadLyrics(const QString& lyricsPath, bool showSongInfo, bool reportFailure) {
    lyricsShown_ = false;
    pastLastLine_ = false;
    try {
        if (showSongInfo)
            m_.ReadLyricsFile(lyricsPath, [this] { ShowSongInfo(); });
        else
            m_.ReadLyricsFile(lyricsPath);
        lyricsShown_ = true;
        return true;
    } catch (const StoreError&) {
        // The song plays on without lyrics. The display is emptied before the box, whose own event loop
        // lets the clock tick meanwhile.
        ClearLyricDisplay();
        if (showSongInfo) Label4->clear();
        if (reportFailure)
            s_.prompter.MsgBox(QStringLiteral("无法打开这首歌的歌词文件，只播放歌曲！"), kErrorTitle);
        return false;
    }
}

void MainPlay::ShowSongInfo() {
    // Three lines: a label breaks lines at "\n", where the original label broke them at a lone CR.
    Label4->setText(QStringLiteral("歌手： ") + m_.lyricSinger + QLatin1Char('\n') +
                    QStringLiteral("歌曲： ") + m_.lyricTitle + QLatin1Char('\n') +
                    QStringLiteral("专辑： ") + m_.lyricAlbum);
}

void MainPlay::ShowFirstLine() {
    SetLyricLabels(QString(), LineText(1), LineText(2));
    markerStep = StepFor(1);
}

// ---------------------------------------------------------------------------------------------------------
// The clock

void MainPlay::Timer1_Timer() {
    const int n = LineCount();
    const double tenths = MP->CurrentPosition() * 10;
    int i = 1;
    while (i <= n && !(tenths - EndTime(i) < 0)) ++i;

    if (EndOfSong(tenths)) {
        Timer1->stop();
        MP->Stop();
        return;
    }
    if (!lyricsShown_ || n < 1) return;

    // Past the last line's end the last line stays on screen.
    const bool past = i > n;
    const int line = past ? n : i;
    if (line != curLine || past != pastLastLine_)
        ChangeLine(line, past, tenths);
    else
        PlaceMarker(markerLeft + markerStep);
}

void MainPlay::ChangeLine(int line, bool pastLastLine, double positionTenths) {
    curLine = static_cast<int16_t>(line);  // line lies in 1..lyricLineCount, itself an int16_t
    pastLastLine_ = pastLastLine;
    if (curLine == LineCount())
        SetLyricLabels(LineText(curLine - 1), LineText(curLine), QString());
    else if (curLine == 1)
        SetLyricLabels(QString(), LineText(1), LineText(2));
    else
        SetLyricLabels(LineText(curLine - 1), LineText(curLine), LineText(curLine + 1));

    if (pastLastLine) {
        // The line has been sung to its end: the marker rests there.
        markerStep = 0;
        PlaceMarker(static_cast<float>(kLyricLeft + PixelsToTwips(Label2->width())));
        return;
    }
    markerStep = StepFor(curLine);
    PlaceMarker(static_cast<float>(kLyricLeft + markerStep * (positionTenths - EndTime(curLine - 1))));
}

// Within half a second of the end the clock stops the song. A length of 0 means the player does not know
// it yet, and the song has not ended.
// `tenths` is the tick's one reading of the position: reading the sound server again a moment later would
// only cost another round through its lock.
bool MainPlay::EndOfSong(double tenths) const {
    const double duration = MP->Duration();
    if (duration <= 0) return false;
    return std::abs(std::floor(tenths) - duration * 10) < 5;
}

void MainPlay::MP_PlayStateChange(int oldState, int newState) {
    if (oldState == MediaPlayer::Playing && newState == MediaPlayer::Paused) {
        Timer1->stop();
    } else if (oldState == MediaPlayer::Paused && newState == MediaPlayer::Playing) {
        Timer1->start();
    } else if (oldState == MediaPlayer::Playing && newState == MediaPlayer::Stopped) {
        startedFromList = false;
        Timer1->stop();
    } else if (oldState == MediaPlayer::Stopped && newState == MediaPlayer::Playing && !startedFromList) {
        RestartDisplay();
    }
}

// The user restarted a stopped song with the player's own buttons: line 1 of the selected row's lyrics.
void MainPlay::RestartDisplay() {
    const int row = SelectedRow();
    if (row < 0) {
        // No row names the lyrics: the song plays without them.
        PlaceMarker(kLyricLeft);
        Timer1->start();
        curLine = 1;
        lyricsShown_ = false;
        ClearLyricDisplay();
        desktop_->now().SongStarted(false);
        return;
    }
    // The row click that came before has already told the user about a file that cannot be read.
    StartLyricDisplay(m_.assocTable[row + 1].lyricsPath, false, false);
}

// ---------------------------------------------------------------------------------------------------------
// Helpers over the shared tables and the display; none reads outside the line table.

void MainPlay::SetLyricLabels(const QString& previous, const QString& current, const QString& next) {
    Label1->setLine(previous);
    Label2->setLine(current);
    Label3->setLine(next);
}

void MainPlay::ClearLyricDisplay() {
    SetLyricLabels(QString(), QString(), QString());
    markerStep = 0;
}

int MainPlay::LineCount() const {
    return std::clamp<int>(m_.lyricLineCount, 0, static_cast<int>(m_.lyricLines.size()) - 1);
}

QString MainPlay::LineText(int line) const {
    return line >= 1 && line <= LineCount() ? m_.lyricLines[line].text : QString();
}

int MainPlay::EndTime(int line) const {
    if (line < 1 || line > LineCount()) return 0;
    const int end = m_.lyricLines[line].endTime;
    // An LRC file that does not say where its last line ends leaves it to the end of the song, so the marker
    // reaches the end of the line with the song.
    return end == kUntilSongEnd && line == LineCount() ? SongEndTenths() : end;
}

// The song's length as an end time; while the player does not know it, the line lasts as long as it can.
int MainPlay::SongEndTenths() const {
    const double duration = MP->Duration();
    if (!(duration > 0)) return kUntilSongEnd;
    return static_cast<int>(std::min<double>(std::round(duration * 10), kUntilSongEnd));
}

// The marker crosses Label2 in as many ticks as the line lasts in tenths. A line without a positive length
// gives no step: the marker stands still.
float MainPlay::StepFor(int line) const {
    const int length = EndTime(line) - EndTime(line - 1);
    if (length <= 0) return 0;
    return static_cast<float>(PixelsToTwips(Label2->width())) / static_cast<float>(length);
}

int MainPlay::SelectedRow() const {
    const int row = List1->currentRow();
    if (row < 0 || !List1->item(row)->isSelected()) return -1;
    if (row + 1 > m_.assocCount || row + 1 >= static_cast<int>(m_.assocTable.size())) return -1;
    return row;
}

void MainPlay::PlaceMarker(float leftTwips) {
    markerLeft = leftTwips;
    Image1->moveTo(TwipsToPixels(markerLeft));
}

}  // namespace qiva
