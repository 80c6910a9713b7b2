#include <QApplication>
#include <QTest>

#include "AssociateTest.h"
#include "ChecksTest.h"
#include "RealEngineTest.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    ChecksTest checks;
    failures += QTest::qExec(&checks, argc, argv);
    AssociateTest associate;
    failures += QTest::qExec(&associate, argc, argv);
    RealEngineTest real;
    failures += QTest::qExec(&real, argc, argv);
    return failures == 0 ? 0 : 1;
}
