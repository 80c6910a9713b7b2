#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace qiva {

// Loads the fonts on the second core while the main thread connects to the display and builds the player
// window: fontconfig's configuration as soon as the program starts, then Qt's font database and the
// fallback fonts of the windows' font as soon as the application exists. The window's first label then
// finds them ready instead of looking them up itself.
class FontPreload {
public:
    FontPreload();
    ~FontPreload();
    FontPreload(const FontPreload&) = delete;
    FontPreload& operator=(const FontPreload&) = delete;

    // Call once the QApplication exists: Qt's font database needs its platform.
    void ApplicationReady();
    // Waits for the thread. Call before the QApplication is destroyed; without ApplicationReady the
    // thread stops after fontconfig's part.
    void Finish();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool appReady_ = false;
    bool finishing_ = false;
    std::thread thread_;
};

}  // namespace qiva
