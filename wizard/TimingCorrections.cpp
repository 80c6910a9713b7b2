#include "wizard/TimingCorrections.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace qiva {

namespace {
std::optional<int16_t> Fit(double tenths) {
    // NaN fails both comparisons and is refused like any other value out of range.
    if (!(tenths >= std::numeric_limits<int16_t>::min() && tenths <= std::numeric_limits<int16_t>::max()))
        return std::nullopt;
    return static_cast<int16_t>(tenths);
}

double RoundHalfEven(double x) {
    // nearbyint follows the rounding mode; pin it so a caller that changed the mode cannot change the file.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(x);
    std::fesetround(previous);
    return r;
}
}  // namespace

std::optional<int16_t> RecordedEndTime(double seconds) { return Fit(std::floor(seconds * 10)); }

std::optional<int16_t> SongEndTime(double durationSeconds) {
    return Fit(RoundHalfEven(durationSeconds * 10));
}

int StartSeconds(int16_t endTimeBefore) { return endTimeBefore / 10; }

QString SecondsText(int16_t tenths) {
    // Whole tenths, so the digits come from integers: no rounding can show 0.3 as 0.29999.
    const int magnitude = std::abs(static_cast<int>(tenths));
    return (tenths < 0 ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10) + u'.' +
           QString::number(magnitude % 10);
}

QString ListRowText(const LyricLine& line) {
    qsizetype end = line.text.size();
    while (end > 0 && line.text.at(end - 1) == QLatin1Char(' ')) --end;
    return line.text.left(end) + QStringLiteral("  结束时间: ") + SecondsText(line.endTime) +
           QStringLiteral(" 秒");
}

void ShiftEndTimes(std::vector<LyricLine>& lines, int count, int delta,
                   const std::function<bool(int)>& chosen) {
    for (int i = 1; i <= count; ++i) {
        int16_t& t = lines[static_cast<size_t>(i)].endTime;
        if (chosen(i)) {
            const int moved = t + delta;
            if (moved >= std::numeric_limits<int16_t>::min() && moved <= std::numeric_limits<int16_t>::max())
                t = static_cast<int16_t>(moved);
        }
        if (t <= 0) t = 1;
    }
}

}  // namespace qiva
