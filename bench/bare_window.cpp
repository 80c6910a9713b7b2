// The yardstick for the player's start-up and memory: the barest Qt Widgets program, a window of the player's
// size with nothing in it, built with the same compiler, flags and Qt as the program and reporting its first
// paint the same way.

#include <QApplication>
#include <QWidget>

#include "app/FirstPaint.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("空白窗体"));
    window.setFixedSize(617, 498);  // the player window's client area, 9255 x 7470 twips at 96 DPI
    window.show();
    qiva::WatchFirstPaint(&window);
    return app.exec();
}
