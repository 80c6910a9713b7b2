// The lyric clock: line boundaries, labels, the marker, and the play-state rules.

#include <QtTest>

#include "Fixture.h"

using namespace qiva;
using namespace qiva::test;

namespace {
const Lines kThree = {
    {QStringLiteral("第一行"), 20}, {QStringLiteral("第二行，长一些"), 50}, {QStringLiteral("三"), 80}};

bool Near(double a, double b) { return std::abs(a - b) < 1e-3; }
}  // namespace

class ClockTests : public QObject {
    Q_OBJECT
private slots:
    void rowClickStartsLineOne();
    void currentLineAtPosition_data();
    void currentLineAtPosition();
    void oneLineFile();
    void markerFollowsTheLine();
    void controlTimeMovesWithTheClock();
    void seekIntoAnotherLine();
    void seekWithinALine();
    void endOfSongStopsTheClock();
    void zeroDurationSkipsTheEndTest();
    void pauseAndResume();
    void restartAfterStop();
    void rowClickDuringPlaybackReadsTheLyricsAgain();
    void clockReadsTheSharedTables();
    void pastTheLastLineKeepsIt();
    void lineTablesThatGiveNoStep_data();
    void lineTablesThatGiveNoStep();
    void lyricsAreShownAsPlainText();
    void lrcRowPlaysWithItsLinesAndMarker();
};

void ClockTests::rowClickStartsLineOne() {
    PlayerFixture f;
    const QString song = f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);

    QCOMPARE(f.player().calls, (QStringList{QStringLiteral("FileName ") + song, QStringLiteral("Play")}));
    QVERIFY(f.w->startedFromList);
    QVERIFY(f.w->Timer1->isActive());
    QCOMPARE(f.w->curLine, int16_t(1));
    QCOMPARE(f.labels(), (QStringList{QString(), kThree[0].first, kThree[1].first}));
    QCOMPARE(f.w->Label4->text(), QStringLiteral("歌手： 歌手\n歌曲： 歌名\n专辑： 专辑"));
    QCOMPARE(f.w->markerLeft, 1200.0f);
    QCOMPARE(f.markerPixels(), TwipsToPixels(1200));
    QVERIFY(f.label2Twips() > 0);
    QVERIFY(Near(f.w->markerStep, f.label2Twips() / 20));
    // Labels size themselves to their text; the three share their left edge.
    QCOMPARE(f.w->Label2->width(), f.w->Label2->sizeHint().width());
    for (QLabel* l : {f.w->Label1, f.w->Label2, f.w->Label3}) QCOMPARE(l->x(), TwipsToPixels(1200));
}

// The control's time moves at the clock's own ticks; its timer of its own waits well past them.
void ClockTests::controlTimeMovesWithTheClock() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.settle();
    auto* time = f.w->MP->findChild<QLabel*>();
    auto* own = f.w->MP->findChild<QTimer*>();
    QCOMPARE(time->text(), QStringLiteral("00:00 / 00:12"));
    QVERIFY(own->interval() > 1100);
    f.tick(1.05);
    QCOMPARE(time->text(), QStringLiteral("00:01 / 00:12"));
    QCOMPARE(f.w->curLine, int16_t(1));
    f.tick(1.0);
    QCOMPARE(time->text(), QStringLiteral("00:02 / 00:12"));
    QCOMPARE(f.w->curLine, int16_t(2));
    // The control, the line search and the end-of-song check share one reading of the position.
    const int reads = f.player().positionReads;
    f.tick(0.1);
    QCOMPARE(f.player().positionReads, reads + 1);
}

void ClockTests::currentLineAtPosition_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("line");
    QTest::addColumn<QStringList>("labels");
    const QStringList first{QString(), kThree[0].first, kThree[1].first};
    const QStringList middle{kThree[0].first, kThree[1].first, kThree[2].first};
    const QStringList last{kThree[1].first, kThree[2].first, QString()};
    QTest::newRow("start of the song") << 0.0 << 1 << first;
    QTest::newRow("just before line 1 ends") << 1.99 << 1 << first;
    QTest::newRow("exactly at line 1's end") << 2.0 << 2 << middle;
    QTest::newRow("inside line 2") << 3.3 << 2 << middle;
    QTest::newRow("exactly at line 2's end") << 5.0 << 3 << last;
    QTest::newRow("last line") << 7.9 << 3 << last;
}

void ClockTests::currentLineAtPosition() {
    QFETCH(double, seconds);
    QFETCH(int, line);
    QFETCH(QStringList, labels);
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.tickAt(seconds);
    QCOMPARE(int(f.w->curLine), line);
    QCOMPARE(f.labels(), labels);
}

void ClockTests::oneLineFile() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, {{QStringLiteral("唯一一行"), 40}});
    f.open();
    f.click(0);
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("唯一一行"), QString()}));
    QVERIFY(Near(f.w->markerStep, f.label2Twips() / 40));
    for (int i = 0; i < 10; ++i) f.tick();
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("唯一一行"), QString()}));
    QVERIFY(Near(f.w->markerLeft, 1200 + 10 * f.w->markerStep));
}

void ClockTests::markerFollowsTheLine() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    const float step1 = f.w->markerStep;
    for (int i = 1; i <= 5; ++i) {
        f.tick();
        QVERIFY(Near(f.w->markerLeft, 1200 + i * step1));
        QCOMPARE(f.markerPixels(), TwipsToPixels(f.w->markerLeft));
    }
    // The line changes at 2.05 s: the marker is placed by the time already sung of line 2.
    f.tickAt(2.05);
    const double step2 = f.label2Twips() / 30;
    QVERIFY(Near(f.w->markerStep, step2));
    QVERIFY(Near(f.w->markerLeft, 1200 + step2 * 0.5));
    // Line 2 lasts 30 ticks: the marker reaches the end of the label as the line ends.
    for (int i = 0; i < 29; ++i) f.tick();
    QCOMPARE(f.w->curLine, int16_t(2));
    QVERIFY(std::abs(f.w->markerLeft - (1200 + f.label2Twips())) < step2);
}

void ClockTests::seekIntoAnotherLine() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.tick();
    f.tickAt(6.5);
    QCOMPARE(f.w->curLine, int16_t(3));
    QCOMPARE(f.labels(), (QStringList{kThree[1].first, kThree[2].first, QString()}));
    QVERIFY(Near(f.w->markerStep, f.label2Twips() / 30));
    QVERIFY(Near(f.w->markerLeft, 1200 + f.w->markerStep * 15));
    // And back into line 1.
    f.tickAt(1.0);
    QCOMPARE(f.labels(), (QStringList{QString(), kThree[0].first, kThree[1].first}));
    QVERIFY(Near(f.w->markerLeft, 1200 + f.w->markerStep * 10));
}

void ClockTests::seekWithinALine() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.tickAt(2.5);
    const float placed = f.w->markerLeft;
    const QStringList shown = f.labels();
    // A jump inside line 2 moves only the open-loop marker, one step from where it was.
    f.tickAt(4.5);
    QCOMPARE(f.labels(), shown);
    QVERIFY(Near(f.w->markerLeft, placed + f.w->markerStep));
}

void ClockTests::endOfSongStopsTheClock() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, {{QStringLiteral("甲"), 50}, {QStringLiteral("乙"), 100}});
    f.open();
    f.click(0);
    f.tickAt(9.5);  // half a second before the end: not yet
    QVERIFY(f.w->Timer1->isActive());
    const QStringList shown = f.labels();
    const float marker = f.w->markerLeft;
    f.player().calls.clear();
    f.tickAt(9.56);  // 95.6 tenths round down to 95: still half a second away
    QVERIFY(f.w->Timer1->isActive());
    f.tickAt(9.65);
    QVERIFY(!f.w->Timer1->isActive());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(f.player().calls.contains(QStringLiteral("Stop")));
    // The last line stays on screen, the marker where it was.
    QCOMPARE(f.labels(), shown);
    QVERIFY(Near(f.w->markerLeft, marker + f.w->markerStep));
    // The stop arrives as playing to stopped.
    f.settle();
    QVERIFY(!f.w->startedFromList);
    QVERIFY(!f.w->Timer1->isActive());
}

void ClockTests::zeroDurationSkipsTheEndTest() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 0, kThree);
    f.open();
    f.click(0);
    QCOMPARE(f.w->MP->Duration(), 0.0);
    f.w->Timer1_Timer();
    QVERIFY(f.w->Timer1->isActive());
    QCOMPARE(f.player().PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(f.labels(), (QStringList{QString(), kThree[0].first, kThree[1].first}));
}

void ClockTests::pauseAndResume() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.settle();
    f.tick();
    f.tick();
    f.w->MP->Pause();
    f.settle();
    QVERIFY(!f.w->Timer1->isActive());
    const float frozen = f.w->markerLeft;
    f.tick(3);  // a paused song does not move, and no tick comes
    QCOMPARE(f.w->markerLeft, frozen);
    QCOMPARE(f.w->curLine, int16_t(1));
    f.w->MP->Play();
    f.settle();
    QVERIFY(f.w->Timer1->isActive());
    QVERIFY(f.w->startedFromList);
    f.tick();
    QVERIFY(Near(f.w->markerLeft, frozen + f.w->markerStep));
}

void ClockTests::restartAfterStop() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 10, kThree);
    f.open();
    f.click(0);
    f.settle();
    f.tickAt(6);
    f.w->MP->Stop();
    f.settle();
    QVERIFY(!f.w->startedFromList);
    QVERIFY(!f.w->Timer1->isActive());
    // The file changed meanwhile: the restart reads it again.
    f.writeLyrics(QStringLiteral("a.TXT"),
                  {{QStringLiteral("新的一行"), 30}, {QStringLiteral("新的二行"), 60}},
                  QStringLiteral("别人"));
    f.player().calls.clear();
    f.w->MP->Play();  // the control's own play button
    f.settle();
    QVERIFY(f.w->Timer1->isActive());
    QCOMPARE(f.w->curLine, int16_t(1));
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("新的一行"), QStringLiteral("新的二行")}));
    QCOMPARE(f.w->markerLeft, 1200.0f);
    QVERIFY(Near(f.w->markerStep, f.label2Twips() / 30));
    QVERIFY(f.w->Label4->text().startsWith(QStringLiteral("歌手： 歌手")));  // not updated by a restart
    QCOMPARE(f.player().calls, QStringList{QStringLiteral("Play")});         // the file stays
    f.tick();
    QVERIFY(Near(f.w->markerLeft, 1200 + f.w->markerStep));
}

void ClockTests::rowClickDuringPlaybackReadsTheLyricsAgain() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    const QString songB =
        f.addSong(QStringLiteral("b"), 20, {{QStringLiteral("乙一"), 15}, {QStringLiteral("乙二"), 90}});
    f.open();
    f.click(0);
    f.settle();
    f.tickAt(6);
    f.player().calls.clear();
    f.click(1);
    QCOMPARE(f.player().calls, (QStringList{QStringLiteral("Stop"), QStringLiteral("FileName ") + songB,
                                            QStringLiteral("Play")}));
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("乙一"), QStringLiteral("乙二")}));
    QVERIFY(f.w->startedFromList);
    // Playing to stopped, then stopped to playing arrive after the click: the second rereads the row's file.
    f.writeLyrics(QStringLiteral("b.TXT"), {{QStringLiteral("重读一"), 15}, {QStringLiteral("重读二"), 90}});
    f.settle();
    QVERIFY(!f.w->startedFromList);
    QVERIFY(f.w->Timer1->isActive());
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("重读一"), QStringLiteral("重读二")}));
    QCOMPARE(f.w->markerLeft, 1200.0f);
    f.tickAt(1.6);
    QCOMPARE(f.labels(), (QStringList{QStringLiteral("重读一"), QStringLiteral("重读二"), QString()}));
}

void ClockTests::clockReadsTheSharedTables() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.open();
    f.click(0);
    f.settle();
    f.w->MP->Pause();
    f.settle();
    // Another window reads a different file into the shared document while the song is paused.
    f.m.ReadLyricsFile(f.writeLyrics(QStringLiteral("other.TXT"),
                                     {{QStringLiteral("别的"), 10}, {QStringLiteral("文件"), 99}}));
    f.w->MP->Play();
    f.settle();
    f.tickAt(2);
    QCOMPARE(f.labels(), (QStringList{QStringLiteral("别的"), QStringLiteral("文件"), QString()}));
}

void ClockTests::pastTheLastLineKeepsIt() {
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 20, kThree);  // the last line ends at 8 s, the song at 20 s
    f.open();
    f.click(0);
    f.tickAt(7);
    f.tickAt(9);
    QCOMPARE(f.labels(), (QStringList{kThree[1].first, kThree[2].first, QString()}));
    QCOMPARE(f.w->curLine, int16_t(3));
    QCOMPARE(f.w->markerStep, 0.0f);
    const float rest = f.w->markerLeft;
    QVERIFY(Near(rest, 1200 + f.label2Twips()));
    for (int i = 0; i < 20; ++i) f.tick();
    QCOMPARE(f.w->markerLeft, rest);
    QCOMPARE(f.labels(), (QStringList{kThree[1].first, kThree[2].first, QString()}));
    // Back into the last line: it is placed again and moves again.
    f.tickAt(7.5);
    QVERIFY(Near(f.w->markerLeft, 1200 + f.w->markerStep * 25));
    QVERIFY(f.w->markerStep > 0);
}

void ClockTests::lineTablesThatGiveNoStep_data() {
    QTest::addColumn<QVariantList>("ends");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("line");
    QTest::newRow("first end time 0") << QVariantList{0, 30, 60} << 0.0 << 2;
    QTest::newRow("equal end times") << QVariantList{20, 20, 60} << 2.0 << 3;
    QTest::newRow("all end times 0") << QVariantList{0, 0} << 1.0 << 2;
    QTest::newRow("end times out of order") << QVariantList{50, 20, 80} << 6.0 << 3;
    QTest::newRow("negative end times") << QVariantList{-32768, 32767} << 1.0 << 2;
    QTest::newRow("no lines") << QVariantList{} << 1.0 << 1;
}

// Tables the display cannot time sensibly never read outside the table, never divide by zero and never
// move the marker without a step.
void ClockTests::lineTablesThatGiveNoStep() {
    QFETCH(QVariantList, ends);
    QFETCH(double, seconds);
    QFETCH(int, line);
    Lines lines;
    for (int i = 0; i < ends.size(); ++i)
        lines.push_back({QStringLiteral("行%1").arg(i + 1), static_cast<int16_t>(ends[i].toInt())});
    PlayerFixture f;
    f.addSong(QStringLiteral("a"), 30, lines);
    f.open();
    f.click(0);
    QVERIFY(std::isfinite(f.w->markerStep));
    if (!lines.empty() && lines[0].second <= 0) QCOMPARE(f.w->markerStep, 0.0f);
    f.tickAt(seconds);
    for (int i = 0; i < 5; ++i) f.tick();
    QCOMPARE(int(f.w->curLine), line);
    QVERIFY(std::isfinite(f.w->markerStep));
    QVERIFY(std::isfinite(f.w->markerLeft));
    QVERIFY(f.w->markerStep >= 0);
    const QString expected = lines.empty() ? QString() : QStringLiteral("行%1").arg(line);
    QCOMPARE(f.w->Label2->text(), expected);
}

void ClockTests::lyricsAreShownAsPlainText() {
    PlayerFixture f;
    const QString html = QStringLiteral("<b>粗</b><img src=x>");
    f.addSong(QStringLiteral("a"), 12, {{html, 20}, {QStringLiteral("&amp;"), 40}});
    f.open();
    f.click(0);
    QCOMPARE(f.w->Label2->text(), html);
    for (QLabel* l : std::initializer_list<QLabel*>{f.w->Label1, f.w->Label2, f.w->Label3, f.w->Label4})
        QCOMPARE(l->textFormat(), Qt::PlainText);
    QVERIFY(f.label2Twips() >
            PixelsToTwips(QFontMetrics(f.w->Label2->font()).horizontalAdvance(QStringLiteral("粗"))) * 5);
}

// An LRC file (named .TXT or not) plays like the program's own: an empty line until the singing starts, the
// song information from its tags, and a last line without an end that lasts to the end of the song.
void ClockTests::lrcRowPlaysWithItsLinesAndMarker() {
    PlayerFixture f;
    const QString song = f.path(QStringLiteral("lrc.mp3"));
    f.ts.players.songs.insert(song, 10);
    f.writeBytes(QStringLiteral("lrc.TXT"),
                 "\xEF\xBB\xBF" + QStringLiteral("[ti:歌名]\r\n[ar:歌手]\r\n[al:专辑]\r\n[00:03.00]第二句\r\n"
                                                 "[00:01.00]第一句\r\n[00:06.00]最后一句\r\n")
                                      .toUtf8());
    f.associate(song, f.path(QStringLiteral("lrc.TXT")));
    f.open();
    f.click(0);
    QCOMPARE(f.w->Label4->text(), QStringLiteral("歌手： 歌手\n歌曲： 歌名\n专辑： 专辑"));
    QCOMPARE(f.labels(), (QStringList{QString(), QString(), QStringLiteral("第一句")}));
    f.tickAt(1.0);
    QCOMPARE(f.labels(), (QStringList{QString(), QStringLiteral("第一句"), QStringLiteral("第二句")}));
    QVERIFY(Near(f.w->markerStep, f.label2Twips() / 20));
    f.tickAt(6.5);
    QCOMPARE(f.labels(), (QStringList{QStringLiteral("第二句"), QStringLiteral("最后一句"), QString()}));
    // The last line lasts the 4 s left of the song: the marker crosses it in 40 ticks, from where it is sung.
    const double step = f.label2Twips() / 40;
    QVERIFY(Near(f.w->markerStep, step));
    QVERIFY(Near(f.w->markerLeft, 1200 + step * 5));
    for (int i = 0; i < 30; ++i) f.tick();
    QVERIFY(Near(f.w->markerLeft, 1200 + step * 35));
    f.tickAt(9.8);
    QVERIFY(!f.w->Timer1->isActive());
    QCOMPARE(f.labels().at(1), QStringLiteral("最后一句"));
}

int RunClockTests(int argc, char** argv) {
    ClockTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "ClockTests.moc"
