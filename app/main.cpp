// QIVA歌词秀: start-up. Makes the shared module, the real platform services and the player window.

#include <QApplication>

#include "app/Navigator.h"
#include "app/Startup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return qiva::RunProgram(app);
}
