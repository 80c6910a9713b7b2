// QIVA歌词秀: start-up. Makes the shared module, the real platform services and the player window.

#include <QApplication>
#include <QByteArray>

#include "app/FontPreload.h"
#include "app/Navigator.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    // While a song plays the window repaints a small marker ten times a second. Through X shared memory
    // every such flush is followed by a completion event that wakes two of the program's threads; a plain
    // image request of a few kilobytes costs neither. The user's own setting wins.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", QByteArray("1"));
    qiva::FontPreload fonts;
    QApplication app(argc, argv);
    fonts.ApplicationReady();
    const int code = qiva::RunProgram(app);
    fonts.Finish();
    return code;
}
