// QIVA歌词秀: start-up. Makes the shared module, the real platform services and the player window.

#include <QApplication>

#include "app/FontPreload.h"
#include "app/Navigator.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    qiva::ChooseDisplaySettings();
    qiva::FontPreload fonts;
    QApplication app(argc, argv);
    fonts.ApplicationReady();
    const int code = qiva::RunProgram(app);
    fonts.Finish();
    return code;
}
