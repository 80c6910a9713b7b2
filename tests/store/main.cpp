#include <QCoreApplication>

#include "StoreTestUtil.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    using namespace qiva::test;
    int failures = 0;
    for (auto run : {RunCodecTest, RunFieldReaderTest, RunLyricsFileTest, RunLrcFormatTest,
                     RunAssociationTest, RunLyricTextTest}) {
        failures += run(argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
