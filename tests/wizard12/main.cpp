#include <QApplication>
#include <QTemporaryDir>

#include "Suites.h"

namespace qiva::test {

QString ScratchFolder() {
    static QTemporaryDir dir;
    return dir.path();
}

}  // namespace qiva::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed += qiva::test::RunExpandMarksTests(argc, argv);
    failed += qiva::test::RunStepOneTests(argc, argv);
    failed += qiva::test::RunStepTwoTests(argc, argv);
    failed += qiva::test::RunLyricTextFileTests(argc, argv);
    return failed == 0 ? 0 : 1;
}
