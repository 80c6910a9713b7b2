// The desktop's view of the player over the player double: the MPRIS values and commands, next and previous
// as row clicks, the desktop lyrics' line and fill, and their remembered settings.

#include <QDBusObjectPath>
#include <QUrl>
#include <QtTest>

#include "Fixture.h"
#include "desktop/DesktopLyrics.h"
#include "desktop/Mpris.h"
#include "desktop/NowPlaying.h"
#include "desktop/PlayerDesktop.h"

using namespace qiva;
using namespace qiva::test;

namespace {
const Lines kThree = {
    {QStringLiteral("第一行"), 20}, {QStringLiteral("第二行，长一些"), 50}, {QStringLiteral("三"), 80}};

NowPlaying& Now(PlayerFixture& f) { return f.w->desktop()->now(); }

// Two songs with lyrics, the player open on them.
void TwoSongs(PlayerFixture& f) {
    f.addSong(QStringLiteral("a"), 12, kThree);
    f.addSong(QStringLiteral("b"), 9, {{QStringLiteral("乙一"), 30}, {QStringLiteral("乙二"), 60}});
    f.open();
}
}  // namespace

class DesktopTests : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void mprisFollowsThePlayer();
    void mprisSeeks();
    void songWithoutLyricsGoesByItsFileName();
    void songWithoutLyricsGoesByItsTags();
    void momentAtLineBoundaries_data();
    void momentAtLineBoundaries();
    void desktopLyricsFollowTheClock();
    void settingsAreRememberedAndDamageMeansDefaults();
};

void DesktopTests::mprisFollowsThePlayer() {
    PlayerFixture f;
    TwoSongs(f);
    MprisService mpris(Now(f));
    QCOMPARE(mpris.PlaybackStatus(), QStringLiteral("Stopped"));
    QCOMPARE(mpris.TrackId().path(), QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    QVERIFY(mpris.CanPlay() && !mpris.CanPause() && !mpris.CanSeek());

    // Play with nothing open plays the first row, as a click on it does.
    mpris.Play();
    f.settle();
    QCOMPARE(f.w->List1->currentRow(), 0);
    QCOMPARE(f.w->Label2->text(), kThree[0].first);
    QCOMPARE(mpris.PlaybackStatus(), QStringLiteral("Playing"));
    const QVariantMap m = mpris.Metadata();
    QCOMPARE(m.value("xesam:title").toString(), QStringLiteral("歌名"));
    QCOMPARE(m.value("xesam:artist").toStringList(), QStringList{QStringLiteral("歌手")});
    QCOMPARE(m.value("xesam:album").toString(), QStringLiteral("专辑"));
    QCOMPARE(m.value("mpris:length").toLongLong(), 12'000'000LL);
    QCOMPARE(m.value("xesam:url").toString(), QUrl::fromLocalFile(f.path("a.mp3")).toString());
    QCOMPARE(m.value("mpris:trackid").value<QDBusObjectPath>(), mpris.TrackId());

    mpris.PlayPause();
    f.settle();
    QCOMPARE(mpris.PlaybackStatus(), QStringLiteral("Paused"));
    QVERIFY(!f.w->Timer1->isActive());  // the clock's own rule for a pause
    mpris.PlayPause();
    f.settle();
    QCOMPARE(mpris.PlaybackStatus(), QStringLiteral("Playing"));
    mpris.Stop();
    f.settle();
    QCOMPARE(mpris.PlaybackStatus(), QStringLiteral("Stopped"));
}

void DesktopTests::mprisSeeks() {
    PlayerFixture f;
    TwoSongs(f);
    MprisService mpris(Now(f));
    f.click(0);
    f.tick(1.0);
    mpris.Seek(3'000'000);
    QCOMPARE(mpris.PositionMicroseconds(), 4'000'000LL);
    mpris.Seek(-10'000'000);  // before the start: the start
    QCOMPARE(mpris.PositionMicroseconds(), 0LL);
    mpris.SetPosition(QDBusObjectPath(QStringLiteral("/org/qiva/track/999")), 5'000'000);  // not this song
    mpris.SetPosition(mpris.TrackId(), 50'000'000);                                        // past its end
    QCOMPARE(mpris.PositionMicroseconds(), 0LL);
    mpris.SetPosition(mpris.TrackId(), 5'000'000);
    QCOMPARE(mpris.PositionMicroseconds(), 5'000'000LL);
    // The lyric clock catches the jump on its next tick, as it does a drag of the bar.
    f.tick(0);
    QCOMPARE(f.w->Label2->text(), kThree[2].first);
    // Past the end is the next song, as a click on its row; there is none after the last.
    mpris.Seek(60'000'000);
    QCOMPARE(f.w->List1->currentRow(), 1);
    QCOMPARE(f.player().FileName(), f.path("b.mp3"));
    QCOMPARE(f.w->Label2->text(), QStringLiteral("乙一"));
    QVERIFY(!Now(f).canGoNext() && Now(f).canGoPrevious());
}

void DesktopTests::songWithoutLyricsGoesByItsFileName() {
    PlayerFixture f;
    const QString song = f.path(QStringLiteral("没有歌词.mp3"));
    f.ts.players.songs.insert(song, 10);
    f.associate(song, f.path(QStringLiteral("不存在.TXT")));
    f.open();
    f.click(0);
    f.settle();
    NowPlaying& now = Now(f);
    QVERIFY(!now.hasLyrics());
    MprisService mpris(now);
    QCOMPARE(mpris.Metadata().value("xesam:title").toString(), QStringLiteral("没有歌词"));
    QVERIFY(!mpris.Metadata().contains("xesam:artist"));
    QCOMPARE(TextsFor(now, 1), (DesktopTexts{QStringLiteral("没有歌词"), QString(), false}));
    f.w->MP->Stop();
    QCOMPARE(TextsFor(now, 1), DesktopTexts{});  // nothing while nothing plays
}

// An ID3v2.4 tag with a UTF-8 title and singer: a song without readable lyrics goes by its tags.
void DesktopTests::songWithoutLyricsGoesByItsTags() {
    PlayerFixture f;
    const QString song = f.path(QStringLiteral("tagged.mp3"));
    const auto frame = [](const char* id, const QString& text) {
        const QByteArray body = "\x03" + text.toUtf8();
        return QByteArray(id) + QByteArray(3, '\0') + char(body.size()) + QByteArray(2, '\0') + body;
    };
    const QByteArray frames =
        frame("TIT2", QStringLiteral("标签歌名")) + frame("TPE1", QStringLiteral("标签歌手"));
    QFile file(song);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // Eight silent MPEG-1 layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each) after the tag.
    QByteArray audio;
    for (int i = 0; i < 8; ++i) audio += QByteArray("\xFF\xFB\x90\x00", 4) + QByteArray(413, '\0');
    file.write(QByteArray("ID3\x04\x00\x00", 6) + QByteArray(3, '\0') + char(frames.size()) + frames + audio);
    file.close();
    f.ts.players.songs.insert(song, 10);
    f.associate(song, f.path(QStringLiteral("不存在.TXT")));
    f.open();
    f.click(0);
    f.settle();
    MprisService mpris(Now(f));
    QCOMPARE(mpris.Metadata().value("xesam:title").toString(), QStringLiteral("标签歌名"));
    QCOMPARE(mpris.Metadata().value("xesam:artist").toStringList(), QStringList{QStringLiteral("标签歌手")});
    QCOMPARE(TextsFor(Now(f), 1),
             (DesktopTexts{QStringLiteral("标签歌名"), QStringLiteral("标签歌手"), false}));
}

void DesktopTests::momentAtLineBoundaries_data() {
    QTest::addColumn<double>("tenths");
    QTest::addColumn<int>("line");
    QTest::addColumn<double>("sung");
    QTest::newRow("start") << 0.0 << 1 << 0.0;
    QTest::newRow("half of line 1") << 10.0 << 1 << 0.5;
    QTest::newRow("exactly at its end") << 20.0 << 2 << 0.0;
    QTest::newRow("half of line 2") << 35.0 << 2 << 0.5;
    QTest::newRow("at the last end") << 80.0 << 3 << 1.0;
    QTest::newRow("past the last end") << 120.0 << 3 << 1.0;
}

void DesktopTests::momentAtLineBoundaries() {
    QFETCH(double, tenths);
    QFETCH(int, line);
    QFETCH(double, sung);
    PlayerFixture f;
    f.m.ResetLines(3);
    for (int i = 0; i < 3; ++i) f.m.lyricLines[i + 1] = {kThree[i].first, kThree[i].second};
    const LyricMoment at = MomentAt(f.m, tenths);
    QCOMPARE(at.line, line);
    QCOMPARE(at.sung, sung);
    f.m.ResetLines(0);
    QCOMPARE(MomentAt(f.m, tenths).line, 0);
}

void DesktopTests::desktopLyricsFollowTheClock() {
    PlayerFixture f;
    TwoSongs(f);
    DesktopLyrics lyrics(Now(f), f.path(QStringLiteral("qiva.ini")));
    lyrics.setShown(true);
    QVERIFY(QTest::qWaitForWindowExposed(&lyrics));
    QCOMPARE(lyrics.texts(), DesktopTexts{});

    f.click(0);
    QCOMPARE(lyrics.texts(), (DesktopTexts{kThree[0].first, kThree[1].first, true}));
    QCOMPARE(lyrics.filledPixels(), 0);
    int last = 0;
    for (int i = 0; i < 19; ++i) {  // line 1 lasts two seconds
        f.tick();
        QVERIFY(lyrics.filledPixels() > last);
        last = lyrics.filledPixels();
    }
    QVERIFY(last < lyrics.lineWidthPixels());
    // A tick that moves the fill by less than a pixel repaints nothing.
    int paints = 0;
    struct Counter : QObject {
        int* n;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*n;
            return false;
        }
    } counter;
    counter.n = &paints;
    QTest::qWait(30);  // the last tick's repaint
    lyrics.installEventFilter(&counter);
    f.tick(0.0001);
    QTest::qWait(30);
    QCOMPARE(paints, 0);
    f.tick(0.1);
    QCOMPARE(lyrics.texts().current, kThree[1].first);
    QCOMPARE(lyrics.filledPixels(), 0);
    QTRY_VERIFY(paints > 0);
    lyrics.removeEventFilter(&counter);

    f.w->MP->Pause();
    f.settle();
    QCOMPARE(lyrics.texts().current, kThree[1].first);
    f.w->MP->Stop();
    f.settle();
    QCOMPARE(lyrics.texts(), DesktopTexts{});
}

void DesktopTests::settingsAreRememberedAndDamageMeansDefaults() {
    PlayerFixture f;
    TwoSongs(f);
    const QString ini = f.path(QStringLiteral("config/qiva.ini"));
    const QRect defaultPlace = DesktopLyrics(Now(f), ini).geometry();
    QVERIFY(!QFile::exists(ini));  // nothing changed, nothing written
    {
        DesktopLyrics lyrics(Now(f), ini);
        lyrics.setShown(true);
        lyrics.setGeometry(40, 50, 500, 80);
        lyrics.setLocked(true);
    }
    {
        DesktopLyrics lyrics(Now(f), ini);
        QCOMPARE(lyrics.geometry(), QRect(40, 50, 500, 80));
        QVERIFY(lyrics.locked() && lyrics.shownAtStart());
        QVERIFY(lyrics.windowFlags() & Qt::WindowTransparentForInput);
    }
    for (const QByteArray& damaged :
         {QByteArray("[DesktopLyrics]\ngeometry=@Rect(1 2\nlocked=\xff\xfe\n"),
          QByteArray("[DesktopLyrics]\ngeometry=@Rect(90000 90000 500 80)\n"), QByteArray("\0\0\0", 3)}) {
        f.writeBytes(QStringLiteral("config/qiva.ini"), damaged);
        DesktopLyrics lyrics(Now(f), ini);
        QCOMPARE(lyrics.geometry(), defaultPlace);
        QVERIFY(!lyrics.locked());
    }
    // A settings file that cannot be written is no failure either.
    DesktopLyrics lyrics(Now(f), f.dir.path());
    lyrics.setLocked(true);
    QVERIFY(lyrics.locked());
}

int RunDesktopTests(int argc, char** argv) {
    DesktopTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "DesktopTests.moc"
