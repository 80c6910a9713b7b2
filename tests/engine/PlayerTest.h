#pragma once
#include <QObject>

namespace qiva::test {

// The player on the null output: play states and their events, positions, pacing, end of file.
class PlayerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eventsFollowTheCalls();
    void eventsOfOneHandlerArriveAfterItInOrder();
    void autoStartPlaysOnFileName();
    void endOfFileIsHeardThenStops();
    void pauseHoldsThePosition();
    void seekKeepsTheState();
    void seekPastTheEndEndsTheSong();
    void positionFollowsTheSteadyClock();
    void destroyedAtAnyMoment();
    void volumeIsClamped();
    void factoryHonoursTheNullSetting();
};

}  // namespace qiva::test
