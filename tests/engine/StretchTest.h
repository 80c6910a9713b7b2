#pragma once
#include <QObject>
#include <QString>

namespace qiva::test {

// Slowed playback: the stretcher on its own (where each click of the song comes out), the song timeline, the
// player at each speed on the null output, and what the sound server's null sink hears at each speed.
class StretchTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clicksComeOutAtSongTimeOverSpeed_data();
    void clicksComeOutAtSongTimeOverSpeed();
    void finishGivesTheExactLength();
    void timelineMapsOutputToSongTime();
};

}  // namespace qiva::test
