#pragma once

class QApplication;

namespace qiva {

// Settings for Qt's window-system plugin; call before the QApplication is made. While a song plays the
// player repaints a small marker ten times a second. Through X shared memory every such flush is followed
// by a completion event that wakes two of the program's threads; a plain image request of a few kilobytes
// costs neither. The user's own setting wins.
void ChooseDisplaySettings();

// The application-wide settings every window relies on: names, the window icon, Qt's own texts in
// Chinese and the Song-style font.
void SetUpApplication(QApplication& app);

// Sets up the application (title, translations, fonts, lyrics folder, first-run demo), shows the player
// window and runs the event loop. Returns the exit code.
int RunProgram(QApplication& app);

}  // namespace qiva
