#pragma once
#include <QObject>
#include <QString>

namespace qiva::test {

// Slowed playback: the stretcher on its own (where each click of the song comes out), the song timeline, the
// player at each speed on the null output, and what the sound server's null sink hears at each speed and
// across a change of speed.
class StretchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clicksComeOutAtSongTimeOverSpeed_data();
    void clicksComeOutAtSongTimeOverSpeed();
    void finishGivesTheExactLength();
    void timelineMapsOutputToSongTime();
    void runThroughChangesIsWholeAndInTime();
    void positionMovesAtTheSpeed_data();
    void positionMovesAtTheSpeed();
    void speedIsKeptAcrossSongsAndSeeks();
    void changeWhilePlayingNeitherJumpsNorStops();
    void changeWhilePausedTakesEffectOnPlay();
    void slowedSongEndsAtItsEnd();
    void clicksAreHeardWhereThePositionSays_data();
    void clicksAreHeardWhereThePositionSays();
    void changeMidSongLeavesNoGap();

private:
    void measure(int percent, int changeTo, bool* reliable);
    QString server_;
    QString toneSong_;
};

}  // namespace qiva::test
