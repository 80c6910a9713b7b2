// The program's own pieces on the installed demo with the real audio engine (null output when
// QIVA_AUDIO=null): the current lyric line changes where the demo's lyrics say, in real time.

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/Demo.h"
#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "platform/MarkerImage.h"
#include "platform/MediaPlayerControl.h"
#include "platform/RealServices.h"
#include "platform/doubles/Doubles.h"
#include "store/Main.h"

using namespace qiva;

class RealDemoTests : public QObject {
    Q_OBJECT
private slots:
    void lineChangesAtTheDemosEndTimes();

private:
    // Waits until Label2 shows `text`; returns the song position seen then, or -1 after `timeoutMs`.
    static double WaitForLine(MainPlay& w, const QString& text, int timeoutMs);
};

double RealDemoTests::WaitForLine(MainPlay& w, const QString& text, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs) {
        if (w.Label2->text() == text) return w.MP->CurrentPosition();
        QTest::qWait(5);
    }
    return -1;
}

void RealDemoTests::lineChangesAtTheDemosEndTimes() {
    QTemporaryDir tmp;
    InstallFirstRunDemo(tmp.path());
    Main m(tmp.path());
    Main demo(tmp.path());
    demo.ReadLyricsFile(QDir(tmp.path()).filePath(QStringLiteral("演示歌曲.TXT")));
    const int n = demo.lyricLineCount;
    QVERIFY(n >= 4);

    RealPlayerFactory players;
    test::TestServices doubles;
    Services services{players, doubles.dialogs, doubles.prompter, doubles.nav};
    MainPlay w(m, services);
    QCOMPARE(w.List1->count(), 1);
    QVERIFY(!w.Image1->isHidden());
    w.List1->setCurrentRow(0);
    w.List1_Click();
    QCOMPARE(w.MP->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(w.Label2->text(), demo.lyricLines[1].text);

    // The first two changes as the song plays from its start; the later ones after a jump, within the line
    // on display, to just before its end time.
    const double tolerance = 0.25;  // two ticks and a little for a busy machine
    for (int line = 1; line < n; ++line) {
        const double end = demo.lyricLines[line].endTime / 10.0;
        if (line > 2) {
            w.MP->setCurrentPosition(end - 0.6);
            QVERIFY2(WaitForLine(w, demo.lyricLines[line].text, 1000) >= 0,
                     qPrintable(QString::number(line)));
        }
        const double seen = WaitForLine(w, demo.lyricLines[line + 1].text, 7000);
        QVERIFY2(seen >= end && seen <= end + tolerance,
                 qPrintable(QStringLiteral("line %1 ends at %2 s, the display moved on at %3 s")
                                .arg(line)
                                .arg(end)
                                .arg(seen)));
        QCOMPARE(w.Label1->text(), demo.lyricLines[line].text);
    }
    QVERIFY(doubles.prompter.boxes.empty());
}

int RunRealDemoTests(int argc, char** argv) {
    RealDemoTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "RealDemoTests.moc"
