#include <QApplication>

#include "Suites.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    for (auto* run : {qiva::test::RunTestTiming, qiva::test::RunTestRecording, qiva::test::RunTestCorrections,
                      qiva::test::RunTestSaveImport, qiva::test::RunTestEndToEnd, qiva::test::RunTestKeys,
                      qiva::test::RunTestWaveform})
        failed += run(argc, argv);
    return failed;
}
