#pragma once
// Start-up measurement: the moment a window was first painted, on the steady clock, for the benchmarks and
// the install check. Kept apart from the rest of the program so that a bare comparison window can use it
// without pulling in the player.

class QWidget;

namespace qiva {

// When QIVA_FIRST_PAINT is "report" or "quit", prints one line
//   first-paint <steady-clock nanoseconds> <window caption>
// to standard output as soon as `window` has been painted and flushed for the first time, and a line
//   dialog-before-first-paint <caption>
// for every modal box that was already showing then. With "quit" the application then quits. Any other
// value, or none, does nothing.
void WatchFirstPaint(QWidget* window);

}  // namespace qiva
