// The floor under the player's CPU while a song plays: the barest Qt Widgets window that does what the lyric
// clock must do on every tick, move the 30-pixel marker picture a few pixels every 100 ms, and nothing else: no
// audio, no lyrics, no list. Built with the same compiler, flags, Qt and X settings as the program.

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "app/FirstPaint.h"
#include "app/Startup.h"
#include "platform/MarkerImage.h"

int main(int argc, char** argv) {
    qiva::ChooseDisplaySettings();
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("标记窗体"));
    window.setFixedSize(617, 498);
    auto* marker = new qiva::MarkerImage(&window, QRect(80, 272, 30, 30));
    // The player's own marker picture, the demo's arrow.
    const QPixmap picture(QStringLiteral(":/assets/right.gif"));
    if (picture.isNull()) return 2;
    marker->setPixmap(picture);
    QTimer clock;
    clock.setInterval(100);
    clock.setTimerType(Qt::PreciseTimer);
    QObject::connect(&clock, &QTimer::timeout,
                     [marker] { marker->moveTo(marker->left() > 500 ? 80 : marker->left() + 5); });
    clock.start();
    window.show();
    qiva::WatchFirstPaint(&window);
    return app.exec();
}
