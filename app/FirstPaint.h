#pragma once
// The moment a window is first painted: work that can wait until the user sees the window, and the
// start-up measurement of the benchmarks and the install check. Kept apart from the rest of the program so
// that a bare comparison window can use it without pulling in the player.

#include <functional>

class QWidget;

namespace qiva {

// Runs `then` once, in the turn of the event loop after `window` was first painted and flushed. Nothing
// runs if the window is destroyed before that.
void AfterFirstPaint(QWidget* window, std::function<void()> then);

// When QIVA_FIRST_PAINT is "report" or "quit", prints one line
//   first-paint <steady-clock nanoseconds> <window caption>
// to standard output as soon as `window` has been painted and flushed for the first time, and a line
//   dialog-before-first-paint <caption>
// for every modal box that was already showing then. With "quit" the application then quits. Any other
// value, or none, does nothing.
void WatchFirstPaint(QWidget* window);

}  // namespace qiva
