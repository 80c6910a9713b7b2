// Fault tests: failing disks under every writer, and songs that change or never end under the engine.

#include <QApplication>
#include <QtTest>
#include <cstdio>

#include "FaultPlaces.h"
#include "PlaybackFaultTest.h"
#include "WriterFaultTest.h"

int main(int argc, char** argv) {
    // Before any thread exists, so that every thread of the test shares the private mounts.
    const QString why = qiva::test::PrivateMounts();
    if (!why.isEmpty())
        std::fprintf(stderr, "faults: mounting not permitted (%s); mount faults skip\n", qPrintable(why));
    QApplication app(argc, argv);
    int failed = 0;
    {
        qiva::test::WriterFaultTest writers;
        failed += QTest::qExec(&writers, argc, argv);
    }
    {
        qiva::test::PlaybackFaultTest playback;
        failed += QTest::qExec(&playback, argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
