#pragma once

#include <QObject>

namespace qiva::test {

// Every writer of the program against every way a write can fail: the window shows its message and the
// previous files are still there, byte for byte, with nothing left behind.
class WriterFaultTest : public QObject {
    Q_OBJECT
private slots:
    void writeFails_data();
    void writeFails();
    void nothingBreaksWhileTheFaultIsAbsent();
};

}  // namespace qiva::test
