// The engine's tests: the decoder, the player on the null output, the real sound-server path, every sample
// rate on both outputs, and slowed playback.
// A first argument naming one of the classes (DecoderTest, FormatTest, PlayerTest, PulseTest, RateTest,
// StretchTest) runs
// that class alone, with the remaining arguments passed to Qt Test.
#include <QApplication>
#include <QtTest>
#include <cstring>
#include <vector>

#include "DecoderTest.h"
#include "FormatTest.h"
#include "PlayerTest.h"
#include "PulseTest.h"
#include "RateTest.h"
#include "StretchTest.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    qiva::test::DecoderTest decoder;
    qiva::test::FormatTest formats;
    qiva::test::PlayerTest player;
    qiva::test::PulseTest pulse;
    qiva::test::RateTest rates;
    qiva::test::StretchTest stretch;
    std::vector<QObject*> tests{&decoder, &formats, &player, &pulse, &rates, &stretch};
    std::vector<char*> args(argv, argv + argc);
    if (argc > 1) {
        for (QObject* t : tests) {
            if (std::strcmp(argv[1], t->metaObject()->className() + std::strlen("qiva::test::")) != 0)
                continue;
            tests = {t};
            args.erase(args.begin() + 1);
            break;
        }
    }
    int failed = 0;
    for (QObject* t : tests) failed += QTest::qExec(t, int(args.size()), args.data());
    return failed == 0 ? 0 : 1;
}
