#pragma once
#include <QObject>

namespace qiva::test {

// Songs at every MPEG sample rate, played at once on the null output and (when a sound server with a null
// sink runs) through PulseAudio: the position keeps time with the steady clock at each of them.
class RateTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyRateKeepsTime();
};

}  // namespace qiva::test
