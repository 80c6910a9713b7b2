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
    FirstPaintWatcher(QWidget* window, std::function<void()> then)
        : QObject(window), window_(window), then_(std::move(then)) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // The window's children and the flush to the screen follow in the same pass; the next turn of
            // the event loop comes after all of it.
            QTimer::singleShot(0, this, &FirstPaintWatcher::run);
        }
        return false;
    }

private:
    void run() {
        window_->removeEventFilter(this);
        const std::function<void()> then = std::move(then_);
        deleteLater();
        then();
    }

    QPointer<QWidget> window_;
    std::function<void()> then_;
    bool seen_ = false;
};

void Report(QWidget* window, bool quit) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
    std::printf("first-paint %lld %s\n", ns, qPrintable(window->windowTitle()));
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible() && w->isModal())
            std::printf("dialog-before-first-paint %s\n", qPrintable(w->windowTitle()));
    std::fflush(stdout);
    if (quit) QCoreApplication::quit();
}

}  // namespace

void AfterFirstPaint(QWidget* window, std::function<void()> then) {
    if (window != nullptr) window->installEventFilter(new FirstPaintWatcher(window, std::move(then)));
}

void WatchFirstPaint(QWidget* window) {
    const QByteArray mode = qgetenv("QIVA_FIRST_PAINT");
    if (window == nullptr || (mode != "report" && mode != "quit")) return;
    const bool quit = mode == "quit";
    AfterFirstPaint(window, [window, quit] { Report(window, quit); });
}

}  // namespace qiva
