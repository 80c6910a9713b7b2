#include "app/FontPreload.h"

#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QStringList>

#include "platform/Layout.h"

namespace qiva {

FontPreload::FontPreload() : thread_([this] { Run(); }) {}

FontPreload::~FontPreload() { Finish(); }

void FontPreload::ApplicationReady() {
    {
        std::lock_guard lock(mutex_);
        appReady_ = true;
    }
    wake_.notify_one();
}

void FontPreload::Finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void FontPreload::Run() {
    // fontconfig is thread-safe: Qt's own call later finds the configuration loaded.
    FcInit();
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return appReady_ || finishing_; });
    if (!appReady_) return;
    lock.unlock();
    // Every QFontDatabase function is thread-safe, and the first one fills the database for all threads;
    // a main thread that needs a font meanwhile waits for this fill instead of starting its own.
    QFontDatabase::families();
    // Each thread loads its own font engines, but the fallback fonts found for a family and a script are
    // kept for all: measuring Chinese and Latin text in the windows' font finds them for the main thread.
    QFontMetrics(SongFont(9)).horizontalAdvance(QStringLiteral("歌词 Lyrics"));
}

}  // namespace qiva
