// The player window: layout, the song list, the buttons, and what it does with files it cannot use.

#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "Fixture.h"

using namespace qiva;
using namespace qiva::test;

namespace {
const Lines kTwo = {{QStringLiteral("一"), 20}, {QStringLiteral("二"), 40}};

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// How far the list scrolls sideways, in pixels: its horizontal extent.
int ScrollExtent(QListWidget* list) {
    return list->horizontalScrollBar()->maximum() + list->viewport()->width();
}

// What the list draws in its first paint, seen just before it draws it.
class FirstListPaint : public QObject {
public:
    explicit FirstListPaint(QListWidget* list) : list_(list) { list->viewport()->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Paint || painted) return false;
        painted = true;
        topRow = list_->indexAt(QPoint(2, 2)).row();
        topRowHeight = list_->visualItemRect(list_->item(0)).height();
        lastRowHeight = list_->visualItemRect(list_->item(list_->count() - 1)).height();
        return false;
    }
    bool painted = false;
    int topRow = -1;
    int topRowHeight = -1;
    int lastRowHeight = -2;

private:
    QListWidget* list_;
};

void InstallMarker(PlayerFixture& f) {
    QVERIFY(QFile::copy(QStringLiteral(QIVA_ASSETS "/right.gif"), f.path("right.gif")));
}
}  // namespace

class WindowTests : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void windowAndFonts();
    void songInformationFitsItsLabel();
    void lyricLinesLookLikePlainLabels_data();
    void lyricLinesLookLikePlainLabels();
    void markerPicture();
    void missingMarkerPictureHidesTheMarker();
    void rowsJoinTableEntries();
    void startWithCountZeroOrNoRecord();
    void damagedRecordAtStartUp();
    void refreshShowsNewRows();
    void refreshWithDamagedRecord();
    void twoRowsForOneSong();
    void mouseClickOnARowPlaysIt();
    void rowsShowAtTheFirstPaint();
    void longRowsScrollSideways();
    void aLongRowFarDownTheListStillWidensIt();
    void refreshMeasuresTheNewRowsAfresh();
    void missingLyricsFile_data();
    void missingLyricsFile();
    void restartWithoutSelectedRowShowsNoLyrics();
    void songThatCannotPlay();
    void newLyricsLeavesThePlayer();
    void editLyricsLeavesThePlayer();
    void associateOpensTheAssociationWindow();
};

void WindowTests::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    QTest::newRow("List1") << "List1" << QRect(360, 360, 4935, 2580) << QString();
    QTest::newRow("Command1") << "Command1" << QRect(5520, 360, 1335, 615) << QStringLiteral("新建歌词");
    QTest::newRow("Command4") << "Command4" << QRect(7320, 360, 1335, 615) << QStringLiteral("编辑歌词");
    QTest::newRow("Command3") << "Command3" << QRect(6480, 1320, 1335, 615) << QStringLiteral("刷新列表");
    QTest::newRow("MP") << "MP" << QRect(5520, 2160, 3375, 615) << QString();
    QTest::newRow("Command2") << "Command2" << QRect(7680, 2880, 1335, 615) << QStringLiteral("重新关联歌词");
    QTest::newRow("Label5") << "Label5" << QRect(5040, 3120, 3255, 255)
                            << QStringLiteral("新用户请重新关联歌词！！");
    QTest::newRow("Label4") << "Label4" << QRect(5400, 3840, 3495, 780) << QString();
}

void WindowTests::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    PlayerFixture f;
    MainPlay& w = f.open();
    const QHash<QString, QWidget*> controls{{"List1", w.List1},       {"Command1", w.Command1},
                                            {"Command2", w.Command2}, {"Command3", w.Command3},
                                            {"Command4", w.Command4}, {"MP", w.MP},
                                            {"Label4", w.Label4},     {"Label5", w.Label5}};
    QWidget* c = controls.value(name);
    QCOMPARE(c->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    if (auto* b = qobject_cast<QPushButton*>(c)) QCOMPARE(b->text(), caption);
    if (auto* l = qobject_cast<QLabel*>(c)) QCOMPARE(l->text(), caption);
}

void WindowTests::windowAndFonts() {
    PlayerFixture f;
    MainPlay& w = f.open();
    QCOMPARE(w.windowTitle(), QStringLiteral("播放窗体"));
    QCOMPARE(w.size(), QSize(TwipsToPixels(9255), TwipsToPixels(7470)));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.font().pointSizeF(), 9.0);
    QCOMPARE(w.font().families().value(0), QStringLiteral("宋体"));
    QCOMPARE(w.Label2->font().pointSizeF(), 14.25);
    QVERIFY(w.Label2->font().bold());
    QCOMPARE(w.Label2->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(w.Label4->font().pointSizeF(), 12.0);
    QVERIFY(w.Label4->font().bold());
    QCOMPARE(w.Label5->font().pointSizeF(), 10.5);
    QVERIFY(w.Label5->font().bold());
    QCOMPARE(w.Label5->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(w.Label1->font().pointSizeF(), 9.0);
    QCOMPARE(w.Label3->font().pointSizeF(), 9.0);
    QCOMPARE(w.Label1->pos(), QPoint(TwipsToPixels(1200), TwipsToPixels(3600)));
    QCOMPARE(w.Label2->pos(), QPoint(TwipsToPixels(1200), TwipsToPixels(4680)));
    QCOMPARE(w.Label3->pos(), QPoint(TwipsToPixels(1200), TwipsToPixels(5760)));
    QCOMPARE(w.Timer1->interval(), 24 * 3600 * 1000);  // set by the fixture; the window's own is below
    QVERIFY(!w.Timer1->isActive());
    QVERIFY(w.MP->engine().autoStart());
    QCOMPARE(w.List1->count(), 0);
    // The designed interval, before the fixture slows the timer down.
    MainPlay fresh(f.m, f.ts.services);
    QCOMPARE(fresh.Timer1->interval(), 100);
    QVERIFY(!fresh.Timer1->isActive());
    QCOMPARE(fresh.curLine, int16_t(0));
    QVERIFY(!fresh.startedFromList);
}

// Chinese text must be drawn by a font that has it, and the three information lines must fit.
void WindowTests::songInformationFitsItsLabel() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    f.click(0);
    const QFontMetrics fm(w.Label4->font());
    QVERIFY(fm.inFont(QChar(u'歌')));
    QVERIFY(QFontMetrics(w.Label2->font()).inFont(QChar(u'一')));
    QVERIFY2(
        w.Label4->sizeHint().height() <= w.Label4->height(),
        qPrintable(QStringLiteral("%1 > %2").arg(w.Label4->sizeHint().height()).arg(w.Label4->height())));
}

void WindowTests::lyricLinesLookLikePlainLabels_data() {
    QTest::addColumn<QFont>("font");
    QTest::addColumn<QString>("text");
    const QFont small = SongFont(9), large = SongFont(14.25, true);
    for (const QFont& font : {small, large}) {
        const QString size = QString::number(font.pointSizeF());
        QTest::newRow(qPrintable(size + " Chinese")) << font << QStringLiteral("第1行歌词，我和你心连心");
        QTest::newRow(qPrintable(size + " mixed"))
            << font << QStringLiteral("Love 你 (Live) & <b>不是粗体</b>");
        QTest::newRow(qPrintable(size + " one letter")) << font << QStringLiteral("a");
    }
}

// A lyric line takes the size a plain-text QLabel takes for its text and draws the same pixels.
void WindowTests::lyricLinesLookLikePlainLabels() {
    QFETCH(QFont, font);
    QFETCH(QString, text);
    QWidget window;
    window.resize(900, 60);
    QPalette red = window.palette();
    red.setColor(QPalette::WindowText, Qt::red);
    window.setPalette(red);
    auto* line = new LineLabel(&window, font);
    auto* label = new QLabel(&window);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->move(0, 30);
    line->setLine(text);
    label->setText(text);
    label->adjustSize();
    QCOMPARE(line->text(), text);
    QCOMPARE(line->size(), label->size());
    QCOMPARE(line->sizeHint(), label->sizeHint());
    QCOMPARE(line->grab().toImage(), label->grab().toImage());
    line->setLine(QString());
    QCOMPARE(line->size(), QSize(0, 0));
    QVERIFY(line->text().isEmpty());
}

void WindowTests::markerPicture() {
    PlayerFixture f;
    InstallMarker(f);
    MainPlay& w = f.open();
    QVERIFY(!w.Image1->isHidden());
    QCOMPARE(w.Image1->pictureGeometry(), TwipsRect(1080, 4080, 450, 450));
    // The picture is stretched to the marker's size, whatever its own.
    QCOMPARE(w.Image1->pixmap().size(), w.Image1->pictureGeometry().size());
    QCOMPARE(w.markerLeft, 1080.0f);
}

void WindowTests::missingMarkerPictureHidesTheMarker() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    QVERIFY(w.Image1->isHidden());
    f.click(0);
    f.tickAt(1);
    QCOMPARE(w.Label2->text(), QStringLiteral("一"));
    QVERIFY(w.Image1->isHidden());
    QVERIFY(f.ts.prompter.boxes.empty());
}

void WindowTests::rowsJoinTableEntries() {
    PlayerFixture f;
    const QString spaced = f.path("带   三个空格.mp3");
    f.associate(f.path("甲.mp3"), f.path("甲.TXT"));
    f.associate(spaced, f.path("乙.TXT"));
    MainPlay& w = f.open();
    QCOMPARE(w.List1->count(), 2);
    QCOMPARE(w.List1->item(0)->text(), f.path("甲.mp3") + "   " + f.path("甲.TXT"));
    QCOMPARE(w.List1->item(1)->text(), spaced + "   " + f.path("乙.TXT"));
    QCOMPARE(f.m.assocCount, int16_t(2));
}

void WindowTests::startWithCountZeroOrNoRecord() {
    for (const bool withRecord : {false, true}) {
        PlayerFixture f;
        if (withRecord) f.writeBytes("关联记录.TXT", "0\r\n");
        MainPlay& w = f.open();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(20);
        QCOMPARE(w.List1->count(), 0);
        QVERIFY(f.ts.prompter.boxes.empty());
        QCOMPARE(QFile::exists(f.m.assocFilePath()), withRecord);
    }
}

void WindowTests::damagedRecordAtStartUp() {
    PlayerFixture f;
    const QByteArray damaged = "3\r\n\"a.mp3\",\"a.TXT\"\r\n";  // three entries promised, one there
    f.writeBytes("关联记录.TXT", damaged);
    MainPlay& w = f.open();
    QCOMPARE(w.List1->count(), 0);
    QVERIFY(f.ts.prompter.boxes.empty());  // nothing before the window is on screen
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_COMPARE(f.ts.prompter.boxes.size(), size_t(1));
    QCOMPARE(f.ts.prompter.boxes[0].title, QStringLiteral("错误！"));
    QCOMPARE(f.ts.prompter.boxes[0].text, QStringLiteral("关联记录文件已损坏，无法读出歌曲列表！"));
    QCOMPARE(FileBytes(f.m.assocFilePath()), damaged);
    w.update();
    QTest::qWait(50);
    QCOMPARE(f.ts.prompter.boxes.size(), size_t(1));  // said once
}

void WindowTests::refreshShowsNewRows() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    f.associate(f.path("b.mp3"), f.path("b.TXT"));
    QCOMPARE(w.List1->count(), 1);
    w.Command3->click();
    QCOMPARE(w.List1->count(), 2);
    QCOMPARE(w.List1->item(1)->text(), f.path("b.mp3") + "   " + f.path("b.TXT"));
    // A record whose count is 0 leaves the rows as they are.
    f.writeBytes("关联记录.TXT", "0\r\n");
    w.Command3->click();
    QCOMPARE(w.List1->count(), 2);
    QVERIFY(f.ts.prompter.boxes.empty());
}

void WindowTests::refreshWithDamagedRecord() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QByteArray damaged = "x\r\n";
    f.writeBytes("关联记录.TXT", damaged);
    w.Command3->click();
    QCOMPARE(w.List1->count(), 0);
    QCOMPARE(f.ts.prompter.texts(), QStringList{QStringLiteral("关联记录文件已损坏，无法读出歌曲列表！")});
    QCOMPARE(FileBytes(f.m.assocFilePath()), damaged);
}

void WindowTests::twoRowsForOneSong() {
    PlayerFixture f;
    const QString song = f.path("同一首.mp3");
    f.ts.players.songs.insert(song, 10);
    f.associate(song, f.writeLyrics("版本一.TXT", {{QStringLiteral("版本一"), 30}}));
    f.associate(song, f.writeLyrics("版本二.TXT", {{QStringLiteral("版本二"), 30}}));
    MainPlay& w = f.open();
    QCOMPARE(w.List1->count(), 2);
    f.click(0);
    QCOMPARE(w.Label2->text(), QStringLiteral("版本一"));
    f.click(1);
    QCOMPARE(w.Label2->text(), QStringLiteral("版本二"));
    QCOMPARE(f.player().FileName(), song);
    f.settle();
    QCOMPARE(w.Label2->text(), QStringLiteral("版本二"));
}

void WindowTests::mouseClickOnARowPlaysIt() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    const QString songB = f.addSong(QStringLiteral("b"), 10, {{QStringLiteral("乙"), 20}});
    MainPlay& w = f.open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect row = w.List1->visualItemRect(w.List1->item(1));
    QTest::mouseClick(w.List1->viewport(), Qt::LeftButton, {}, row.center());
    QCOMPARE(f.player().FileName(), songB);
    QCOMPARE(w.Label2->text(), QStringLiteral("乙"));
}

void WindowTests::longRowsScrollSideways() {
    PlayerFixture f;
    f.associate(f.path(QString(120, u'长') + ".mp3"), f.path("a.TXT"));
    MainPlay& w = f.open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const int rowWidth = w.List1->fontMetrics().horizontalAdvance(w.List1->item(0)->text());
    QVERIFY(rowWidth > 1000);
    QTRY_VERIFY(w.List1->horizontalScrollBar()->isVisible());
    QTRY_VERIFY(ScrollExtent(w.List1) >= rowWidth);
}

// The rows the list shows are drawn in its very first paint, however many there are; measuring them all
// comes after it.
void WindowTests::rowsShowAtTheFirstPaint() {
    PlayerFixture f;
    for (int i = 0; i < 300; ++i) f.associate(f.path(QStringLiteral("s%1.mp3").arg(i)), f.path("a.TXT"));
    MainPlay& w = f.open();
    FirstListPaint first(w.List1);
    w.show();
    QTRY_VERIFY(first.painted);
    QCOMPARE(first.topRow, 0);
    QCOMPARE(first.lastRowHeight, first.topRowHeight);
    // Short rows still scroll sideways over 1000 pixels.
    QTRY_VERIFY(w.List1->horizontalScrollBar()->isVisible());
    QCOMPARE(ScrollExtent(w.List1), 1000);
}

// The rows are measured a batch at a time after the window shows; the widest row still sets the extent
// however far down it lies, and every row is there to be clicked.
void WindowTests::aLongRowFarDownTheListStillWidensIt() {
    PlayerFixture f;
    for (int i = 0; i < 149; ++i) f.associate(f.path(QStringLiteral("s%1.mp3").arg(i)), f.path("a.TXT"));
    f.associate(f.path(QString(120, u'长') + ".mp3"), f.path("a.TXT"));
    MainPlay& w = f.open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.List1->count(), 150);
    const int rowWidth = w.List1->fontMetrics().horizontalAdvance(w.List1->item(149)->text());
    QTRY_VERIFY(ScrollExtent(w.List1) >= rowWidth);
    w.List1->scrollToItem(w.List1->item(149));
    QVERIFY(w.List1->visualItemRect(w.List1->item(149)).intersects(w.List1->viewport()->rect()));
}

// A refreshed list is measured again from the start: a long row that has gone no longer widens it.
void WindowTests::refreshMeasuresTheNewRowsAfresh() {
    PlayerFixture f;
    f.associate(f.path(QString(120, u'长') + ".mp3"), f.path("a.TXT"));
    MainPlay& w = f.open();
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTRY_VERIFY(ScrollExtent(w.List1) > 1000);
    QVERIFY(QFile::remove(f.path("关联记录.TXT")));
    f.associate(f.path("b.mp3"), f.path("b.TXT"));
    w.Command3->click();
    QCOMPARE(w.List1->count(), 1);
    QTRY_COMPARE(ScrollExtent(w.List1), 1000);
    QTest::qWait(50);
    QCOMPARE(ScrollExtent(w.List1), 1000);
}

void WindowTests::missingLyricsFile_data() {
    QTest::addColumn<QByteArray>("bytes");  // empty: no file at all
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("fewer lines than its count")
        << QByteArray("\"专\",\"歌\",3,\"曲\",\"a.mp3\",\"名\",\"词\"\r\n10,\"一\"\r\n");
    QTest::newRow("count not a number") << QByteArray("\"专\",\"歌\",x,\"曲\",\"a.mp3\",\"名\",\"词\"\r\n");
    QTest::newRow("count beyond 16 bits")
        << QByteArray("\"专\",\"歌\",40000,\"曲\",\"a.mp3\",\"名\",\"词\"\r\n");
    QTest::newRow("a folder") << QByteArray("dir");
}

// The song plays without lyrics; the clock shows nothing, keeps its end-of-song duty and never crashes.
void WindowTests::missingLyricsFile() {
    QFETCH(QByteArray, bytes);
    PlayerFixture f;
    const QString song = f.path("a.mp3");
    f.ts.players.songs.insert(song, 3);
    f.addSong(QStringLiteral("before"), 10, kTwo);
    f.associate(song, f.path("a.TXT"));
    if (bytes == "dir")
        QDir(f.dir.path()).mkdir("a.TXT");
    else if (!bytes.isEmpty())
        f.writeBytes("a.TXT", bytes);
    MainPlay& w = f.open();
    f.click(0);
    f.tickAt(3);
    f.click(1);
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(f.player().FileName(), song);
    QCOMPARE(f.labels(), (QStringList{QString(), QString(), QString()}));
    QCOMPARE(w.Label4->text(), QString());
    QCOMPARE(f.ts.prompter.boxes.size(), size_t(1));
    QCOMPARE(f.ts.prompter.boxes[0].text, QStringLiteral("无法打开这首歌的歌词文件，只播放歌曲！"));
    QCOMPARE(f.ts.prompter.boxes[0].title, QStringLiteral("错误！"));
    f.settle();  // the stop and play of the click reread the file: no second box
    QCOMPARE(f.ts.prompter.boxes.size(), size_t(1));
    QVERIFY(w.Timer1->isActive());
    for (double s : {0.5, 1.0, 2.0, 0.1}) {
        f.tickAt(s);
        QCOMPARE(f.labels(), (QStringList{QString(), QString(), QString()}));
        QCOMPARE(w.markerLeft, 1200.0f);
    }
    f.tickAt(2.6);  // the end test still stops the song
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Stopped));
}

void WindowTests::restartWithoutSelectedRowShowsNoLyrics() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    f.click(0);
    f.settle();
    w.Command3->click();  // the rebuilt list has no selected row
    QCOMPARE(w.List1->currentRow(), -1);
    w.MP->Stop();
    f.settle();
    w.MP->Play();
    f.settle();
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(f.labels(), (QStringList{QString(), QString(), QString()}));
    QCOMPARE(w.markerLeft, 1200.0f);
    f.tickAt(3);
    QCOMPARE(f.labels(), (QStringList{QString(), QString(), QString()}));
    QVERIFY(f.ts.prompter.boxes.empty());
}

void WindowTests::songThatCannotPlay() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    f.associate(f.path("gone.mp3"), f.writeLyrics("gone.TXT", kTwo));
    MainPlay& w = f.open();
    f.click(0);
    f.tickAt(3);
    f.click(1);
    QCOMPARE(f.ts.prompter.texts(), QStringList{QStringLiteral("无法播放这个音乐文件！")});
    QCOMPARE(f.ts.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(f.labels(), (QStringList{QString(), QString(), QString()}));
    QCOMPARE(w.Label4->text(), QString());
    f.settle();
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Stopped));
}

void WindowTests::newLyricsLeavesThePlayer() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    w.show();
    f.click(0);
    w.Command1->click();
    QCOMPARE(f.ts.nav.calls, QStringList{QStringLiteral("ShowStepOne")});
    QVERIFY(!w.isVisible());
    QVERIFY(!w.Timer1->isActive());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(!f.m.editMode);
}

void WindowTests::editLyricsLeavesThePlayer() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    w.show();
    f.click(0);
    w.Command4->click();
    QVERIFY(f.m.editMode);
    QCOMPARE(f.ts.nav.calls, QStringList{QStringLiteral("ShowStepThree")});
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(!w.isVisible());
}

void WindowTests::associateOpensTheAssociationWindow() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kTwo);
    MainPlay& w = f.open();
    w.show();
    f.click(0);
    w.Command2->click();
    QCOMPARE(f.ts.nav.calls, QStringList{QStringLiteral("ShowJoinForm")});
    QVERIFY(w.isVisible());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Playing));  // the association window pauses it, not us
}

int RunWindowTests(int argc, char** argv) {
    WindowTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "WindowTests.moc"
