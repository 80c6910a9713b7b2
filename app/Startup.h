#pragma once

class QApplication;

namespace qiva {

// The application-wide settings every window relies on: names, the window icon, Qt's own texts in
// Chinese and the Song-style font.
void SetUpApplication(QApplication& app);

// Sets up the application (title, translations, fonts, lyrics folder, first-run demo), shows the player
// window and runs the event loop. Returns the exit code.
int RunProgram(QApplication& app);

}  // namespace qiva
