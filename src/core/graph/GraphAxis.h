#pragma once

#include <string>
#include <vector>

namespace pelvaro {

// The bottom axis: elapsed minutes, elapsed hours, or the scans' date-times
// (day numbers with the time of day as a fraction).
enum class AxisMode { Minutes, Hours, DateTime };

// Below half a day minutes, from half a day up to one whole day hours, above
// one day dates.
AxisMode AxisModeForSpan(double days);
// What elapsed minutes are divided by on the axis.
double AxisDivisor(AxisMode mode);
std::string AxisTitle(AxisMode mode);
// An hour in the axis's own units: 60 minutes, 1 hour or 1/24 of a day.
double AxisUnitsPerHour(AxisMode mode);

// The label of an X value as the bottom axis writes it: "dd-mm" for a
// date-time, the number with at most two decimals otherwise.
std::string AxisLabel(AxisMode mode, double x);
// The value readout beside a point: the value with its unit, a comma, and
// the date and time of its scan to the minute, "86.33 %, 08-09-2026 18:30";
// a date-time without a calendar date as its number.
std::string ReadoutText(double value, const std::string& unit, double dateTime);

// The smallest of 1, 2 and 5 times a power of ten that is at least `step`.
double NiceStep(double step);

struct AxisTick {
  double x;
  std::string label;
};
// Labelled ticks from `from` to `to`, at most `most` of them: one a day at
// midnight on the date axis while that many fit, else every 2, 7, 14, 28 …
// days; steps of 1, 2 or 5 times a power of ten otherwise.
std::vector<AxisTick> AxisTicks(AxisMode mode, double from, double to, int most);

}  // namespace pelvaro
