#pragma once
#include <QObject>
#include <QString>

namespace qiva::test {

// The real output path: the engine plays through a PulseAudio server with a null sink, whose monitor is
// recorded to hear where the clicks of the song really fall. Skipped when no such server runs.
class PulseTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clickIsHeardWhereThePositionSaysIt();
    void pauseAndSeekOnTheServer();
    void serverLostInMidSongLeavesTheSongPlaying();
    void outputTakesAudioFasterOrSlowerThanItPlays();
    void positionStopsWhereTheAudioRunsOut();
    void audioRunsOutAndComesBack();
    void positionWaitsForTheServerToStart();
    void resumedBeforeTheServerStarted();

private:
    void measureClicks(bool* reliable);
    QString server_;
};

}  // namespace qiva::test
