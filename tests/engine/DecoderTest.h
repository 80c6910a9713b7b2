#pragma once
#include <QObject>

namespace qiva::test {

class DecoderTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exactLength_data();
    void exactLength();
    void clicksWhereTheSourceHasThem_data();
    void clicksWhereTheSourceHasThem();
    void seekIsSampleExact_data();
    void seekIsSampleExact();
    void seekClampsToTheFile();
    void refusesWhatIsNotASong_data();
    void refusesWhatIsNotASong();
    void playsWhatTagsAndJunkSurround_data();
    void playsWhatTagsAndJunkSurround();
    void aRefusedFileStopsTheSongBefore();
    void readsTheFileInLargePieces();
};

}  // namespace qiva::test
