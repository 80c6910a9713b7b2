#include "PlaybackFaultTest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

#include "Songs.h"
#include "platform/EnginePlayer.h"
#include "platform/MediaPlayerControl.h"
#include "platform/doubles/Doubles.h"
#include "store/Main.h"
#include "wizard/EditForm3.h"

namespace qiva::test {
namespace {

constexpr int kTenHoursOfSeconds = 36000;

class NullEngines : public MediaPlayerFactory {
public:
    std::unique_ptr<MediaPlayer> create(bool autoStart) override {
        return std::make_unique<EnginePlayer>(autoStart, EnginePlayer::Output::Null);
    }
};

// Plays until the engine stops by itself (or 5 s pass); answers the furthest position seen meanwhile.
double PlayToTheEnd(MediaPlayer& p) {
    double furthest = 0;
    QElapsedTimer t;
    t.start();
    while (p.PlayState() != MediaPlayer::Stopped && t.elapsed() < 5000) {
        furthest = std::max(furthest, p.CurrentPosition());
        QTest::qWait(10);
    }
    return furthest;
}

}  // namespace

void PlaybackFaultTest::initTestCase() {
    QVERIFY(dir_.isValid());
    song_ = MakeSong(dir_.path(), QStringLiteral("two.mp3"), 2.0, 22050, 32);
    second_ = MakeSong(dir_.path(), QStringLiteral("second.mp3"), 1.0, 8000, 8);
    if (song_.isEmpty() || second_.isEmpty()) QSKIP("lame cannot encode here");
    tenHours_ = dir_.filePath(QStringLiteral("ten-hours.mp3"));
    QVERIFY(RepeatSong(second_, kTenHoursOfSeconds, tenHours_));
}

void PlaybackFaultTest::songChangedWhilePlaying_data() {
    QTest::addColumn<QString>("change");
    QTest::newRow("deleted") << "deleted";
    QTest::newRow("cut to half") << "half";
    QTest::newRow("emptied") << "emptied";
}

// The engine holds the whole file once it has opened it: what happens on disk afterwards cannot stop the
// song, stall it or crash it; it plays on to its end and stops with a play-state event.
void PlaybackFaultTest::songChangedWhilePlaying() {
    QFETCH(QString, change);
    const QString path = dir_.filePath(QStringLiteral("playing-%1.mp3").arg(change));
    QFile::remove(path);
    QVERIFY(QFile::copy(song_, path));
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(path);
    const double length = p.Duration();
    QVERIFY(length > 1.9);
    p.Play();
    QTRY_VERIFY(p.CurrentPosition() > 0.3);

    QFile file(path);
    if (change == QLatin1String("deleted")) QVERIFY(file.remove());
    if (change == QLatin1String("half")) QVERIFY(file.resize(file.size() / 2));
    if (change == QLatin1String("emptied")) QVERIFY(file.resize(0));
    const double changedAt = p.CurrentPosition();
    QTest::qWait(200);
    QCOMPARE(p.PlayState(), int(MediaPlayer::Playing));
    QVERIFY(p.CurrentPosition() > changedAt);
    QCOMPARE(p.Duration(), length);

    // Two outcomes are sound: the song plays on to its end from what the engine already holds, or it ends
    // early, cleanly, where the readable part of the file ends. Either way it stops by itself, never past
    // its length, and says so with a play-state event.
    const double furthest = PlayToTheEnd(p);
    QCOMPARE(p.PlayState(), int(MediaPlayer::Stopped));
    QVERIFY(furthest >= changedAt && furthest <= length + 1e-9);
    if (change == QLatin1String("deleted")) QVERIFY(furthest > length - 0.3);  // the open file stays whole
    qInfo("%s at %.2f s of %.2f s: the song stopped by itself at %.2f s", qPrintable(change), changedAt,
          length, furthest);
    QTRY_VERIFY(!spy.isEmpty() &&
                spy.last() == (QList<QVariant>{int(MediaPlayer::Playing), int(MediaPlayer::Stopped)}));

    // Opening the file again sees what is on disk now.
    if (change == QLatin1String("half")) {
        p.setFileName(path);
        QVERIFY(p.Duration() > 0.5 && p.Duration() < length);
    } else {
        QVERIFY_THROWS_EXCEPTION(PlayerError, p.setFileName(path));
        QCOMPARE(p.Duration(), 0.0);
    }
}

void PlaybackFaultTest::tenHourSongHasItsLengthAndEnds() {
    if (tenHours_.isEmpty()) QSKIP("no song");
    EnginePlayer unit(false, EnginePlayer::Output::Null);
    unit.setFileName(second_);
    EnginePlayer p(false, EnginePlayer::Output::Null);
    QSignalSpy spy(&p, &MediaPlayer::PlayStateChange);
    p.setFileName(tenHours_);
    // No Info tag to trim by: every copy adds exactly the frames of one.
    QVERIFY2(std::abs(p.Duration() - kTenHoursOfSeconds * unit.Duration()) < 1e-6,
             qPrintable(QString::number(p.Duration())));
    QVERIFY(p.Duration() >= kTenHoursOfSeconds);

    p.setCurrentPosition(p.Duration() - 0.5);
    p.Play();
    QTRY_VERIFY(p.CurrentPosition() > p.Duration() - 0.45);
    QVERIFY(PlayToTheEnd(p) > p.Duration() - 0.1);
    QCOMPARE(p.PlayState(), int(MediaPlayer::Stopped));
    QTRY_COMPARE(spy.size(), 2);
}

// Step three on the real engine: a press past 3276.7 s is refused with the message and stores nothing, a
// press just before it stores the largest end time, and a last line that would end at the song's ten hours
// is refused too. No end time ever wraps to a negative one.
void PlaybackFaultTest::tenHourSongTimesAreRefusedNotWrapped() {
    if (tenHours_.isEmpty()) QSKIP("no song");
    NullEngines engines;
    TestServices ts;
    Services services{engines, ts.dialogs, ts.prompter, ts.nav};
    Main m(dir_.path());
    m.lyricSongPath = tenHours_;
    m.ResetLines(3);
    for (int i = 1; i <= 3; ++i) m.lyricLines[static_cast<size_t>(i)].text = QStringLiteral("第%1行").arg(i);
    EditForm3 w(m, services);
    MediaPlayer& player = w.MP->engine();
    QVERIFY(player.Duration() > 3276.7);
    w.Command2_Click();
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    const QString tooLong = QStringLiteral("超过3276.7秒（54分36.7秒）的时间无法记录！");

    player.setCurrentPosition(4000.0);
    w.Command4_Click();
    QCOMPARE(ts.prompter.texts(), QStringList{tooLong});
    QCOMPARE(m.lyricLines[1].endTime, int16_t(0));
    QCOMPARE(w.recordLine, int16_t(1));

    player.setCurrentPosition(3276.65);
    w.Command4_Click();
    QCOMPARE(ts.prompter.texts().size(), 1);
    QVERIFY2(m.lyricLines[1].endTime >= 32766, qPrintable(QString::number(m.lyricLines[1].endTime)));
    QCOMPARE(w.recordLine, int16_t(2));

    player.setCurrentPosition(3000.0);
    w.Command4_Click();  // ends line 2 and would end line 3 at the song's length
    QCOMPARE(ts.prompter.texts(), (QStringList{tooLong, tooLong}));
    QCOMPARE(m.lyricLines[2].endTime, int16_t(0));
    QCOMPARE(m.lyricLines[3].endTime, int16_t(0));
    for (const LyricLine& line : m.lyricLines) QVERIFY(line.endTime >= 0);
}

}  // namespace qiva::test
