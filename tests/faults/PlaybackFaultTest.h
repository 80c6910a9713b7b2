#pragma once

#include <QObject>
#include <QTemporaryDir>

namespace qiva::test {

// The real engine (null output) while its song file is deleted or cut short under it, and with a song of
// ten hours, far past the longest time an end time can hold.
class PlaybackFaultTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void songChangedWhilePlaying_data();
    void songChangedWhilePlaying();
    void tenHourSongHasItsLengthAndEnds();
    void tenHourSongTimesAreRefusedNotWrapped();

private:
    QTemporaryDir dir_;
    QString song_;    // 2 s
    QString second_;  // 1 s, the unit of the long song
    QString tenHours_;
};

}  // namespace qiva::test
