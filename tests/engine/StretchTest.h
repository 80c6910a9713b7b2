#pragma once
#include <QObject>
#include <QString>

namespace qiva::test {

// Slowed playback: a run of the engine through every change of speed, kept whole; the player at each speed
// on the null output; and what the sound server's null sink hears at each speed and across changes.
class StretchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void runThroughChangesIsWholeAndInTime();
    void positionMovesAtTheSpeed_data();
    void positionMovesAtTheSpeed();
    void changeWhilePausedTakesEffectOnPlay();
    void heardWhereThePositionSays_data();
    void heardWhereThePositionSays();

private:
    void measure(int percent, int changeTo, bool* reliable);
    QString server_;
    QString toneSong_;
};

}  // namespace qiva::test
