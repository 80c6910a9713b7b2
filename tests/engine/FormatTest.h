#pragma once
#include <QObject>

namespace qiva::test {

class FormatTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exactLength_data();
    void exactLength();
    void clicksWhereTheSourceHasThem_data();
    void clicksWhereTheSourceHasThem();
    void seekIsSampleExact_data();
    void seekIsSampleExact();
    void refusesWhatIsNoSong_data();
    void refusesWhatIsNoSong();
    void damagedFilesPlayWhatTheyHold_data();
    void damagedFilesPlayWhatTheyHold();
    void playsToTheEndAndStops_data();
    void playsToTheEndAndStops();
    void soundServerTakesAnyRateAndLayout_data();
    void soundServerTakesAnyRateAndLayout();
};

}  // namespace qiva::test
