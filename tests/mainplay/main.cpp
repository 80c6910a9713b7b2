// The player window's tests: its layout and list, the lyric clock, the first-run demo, the demo on the
// real audio engine, and the start-up helpers.

#include <QApplication>

#include "platform/Layout.h"

int RunWindowTests(int argc, char** argv);
int RunClockTests(int argc, char** argv);
int RunDemoTests(int argc, char** argv);
int RunRealDemoTests(int argc, char** argv);
int RunStartupTests(int argc, char** argv);
int RunDropTests(int argc, char** argv);
int RunDesktopTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(qiva::SongFont(9));
    int failures = 0;
    for (auto* run : {RunWindowTests, RunClockTests, RunDemoTests, RunRealDemoTests, RunStartupTests,
                      RunDropTests, RunDesktopTests})
        failures += run(argc, argv);
    return failures == 0 ? 0 : 1;
}
