#include "app/FirstPaint.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>

namespace qiva {

namespace {

class FirstPaintWatcher : public QObject {
public:
    FirstPaintWatcher(QWidget* window, bool quit) : QObject(window), window_(window), quit_(quit) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // The window's children and the flush to the screen follow in the same pass; the next turn of
            // the event loop comes after all of it.
            QTimer::singleShot(0, this, &FirstPaintWatcher::report);
        }
        return false;
    }

private:
    void report() {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
        std::printf("first-paint %lld %s\n", ns, qPrintable(window_->windowTitle()));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window_ && w->isVisible() && w->isModal())
                std::printf("dialog-before-first-paint %s\n", qPrintable(w->windowTitle()));
        std::fflush(stdout);
        window_->removeEventFilter(this);
        if (quit_) QCoreApplication::quit();
    }

    QPointer<QWidget> window_;
    bool quit_;
    bool seen_ = false;
};

}  // namespace

void WatchFirstPaint(QWidget* window) {
    const QByteArray mode = qgetenv("QIVA_FIRST_PAINT");
    if (window == nullptr || (mode != "report" && mode != "quit")) return;
    window->installEventFilter(new FirstPaintWatcher(window, mode == "quit"));
}

}  // namespace qiva
