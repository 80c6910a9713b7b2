// The end-to-end journey runs on a real X display and a session bus of its own: a private Xvfb started
// through xvfb-run inside dbus-run-session, never the desktop or the bus of whoever runs the tests, and the
// xcb platform whatever the test environment asked for.

#include <unistd.h>

#include <QApplication>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Journey.h"
#include "app/Startup.h"

namespace {
constexpr const char* kInside = "QIVA_E2E_ON_XVFB";

int RestartOnXvfb(int argc, char** argv) {
    setenv(kInside, "1", 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::vector<char*> args = {const_cast<char*>("dbus-run-session"),
                               const_cast<char*>("--"),
                               const_cast<char*>("xvfb-run"),
                               const_cast<char*>("-a"),
                               const_cast<char*>("-s"),
                               const_cast<char*>("-screen 0 1280x1024x24 -nolisten tcp"),
                               const_cast<char*>("/proc/self/exe")};
    for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    // /proc/self/exe names this program even when it was started through a relative path.
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 1;
    self[n] = '\0';
    args[6] = self;
    execvp(args[0], args.data());
    std::perror("dbus-run-session (package dbus) or xvfb-run (package xvfb, with xauth)");
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty(kInside)) return RestartOnXvfb(argc, argv);
    QApplication app(argc, argv);
    qiva::SetUpApplication(app);
    e2e::Journey journey;
    return QTest::qExec(&journey, argc, argv);
}
