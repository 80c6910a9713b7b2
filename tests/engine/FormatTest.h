#pragma once
#include <QObject>

namespace qiva::test {

class FormatTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exactLengthAndClicks_data();
    void exactLengthAndClicks();
    void seekIsSampleExact_data();
    void seekIsSampleExact();
    void refusesWhatIsNoSong_data();
    void refusesWhatIsNoSong();
    void damagedFilesPlayWhatTheyHold_data();
    void damagedFilesPlayWhatTheyHold();
    void soundServerTakesAnyRateAndLayout_data();
    void soundServerTakesAnyRateAndLayout();
};

}  // namespace qiva::test
