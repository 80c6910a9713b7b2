#pragma once
// Step three's arithmetic on the lyric lines: turning player seconds into end times and back, the list row
// of a line, and the half-second shifts. Kept apart from the window so it can be checked without one.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "store/Main.h"

namespace qiva {

// The end time of a line recorded at `seconds` into the song: tenths, rounded down. Empty when the value
// does not fit a 16-bit end time (from 3276.8 s on), so that no wrapped time can reach a file.
std::optional<int16_t> RecordedEndTime(double seconds);

// The end time of the last line from the song's length: tenths, rounded to the nearest integer with halves
// going to the even neighbour (245.25 s -> 2452, 245.75 s -> 2458). Empty when it does not fit.
std::optional<int16_t> SongEndTime(double durationSeconds);

// Where a line starts when recording again from it: the end time of the line before, in whole seconds
// (the tenths dropped, 123 -> 12).
int StartSeconds(int16_t endTimeBefore);

// An end time in seconds with its one decimal: 220 -> "22.0", -5 -> "-0.5", 0 -> "0.0".
QString SecondsText(int16_t tenths);

// A row of step three's list: the text without its trailing blanks, then the end time in seconds.
QString ListRowText(const LyricLine& line);

// Half a second, in end-time units.
inline constexpr int kHalfSecond = 5;

// Adds `delta` to the end time of every line i in 1..count for which chosen(i) holds, then lifts every end
// time of 0 or below to 1 (0 would mark the line as not yet recorded). A time that would leave the 16-bit
// range keeps its value. `lines` holds slots 0..count; slot 0 is never touched.
void ShiftEndTimes(std::vector<LyricLine>& lines, int count, int delta,
                   const std::function<bool(int)>& chosen);

}  // namespace qiva
