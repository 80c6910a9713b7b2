#pragma once

class QApplication;

namespace qiva {

// Sets up the application (title, translations, fonts, lyrics folder, first-run demo), shows the player
// window and runs the event loop. Returns the exit code.
int RunProgram(QApplication& app);

}  // namespace qiva
