#include "core/graph/GraphAxis.h"

#include <algorithm>
#include <cmath>

#include "core/outlook/OutlookReport.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

namespace {

// Far outside the logger's day numbers a date label means nothing.
constexpr double kLastLabelledDay = 1e6;

double RoundTo(double value, int decimals) {
  const double scale = std::pow(10.0, decimals);
  return std::round(value * scale) / scale;
}

std::string DayLabel(double x) {
  if (!(std::abs(x) < kLastLabelledDay)) return Plain(x);
  std::string text = DayNumberToDayMonth(static_cast<int>(std::floor(x)));
  std::replace(text.begin(), text.end(), '/', '-');
  return text;
}

// Whole days: a few short steps, then four weeks doubling.
double DayStep(double step) {
  for (double d : {1.0, 2.0, 7.0, 14.0}) {
    if (d >= step) return d;
  }
  double d = 28;
  while (d < step) d *= 2;
  return d;
}

}  // namespace

double NiceStep(double step) {
  if (!(step > 0) || !std::isfinite(step)) return 1;
  const double power = std::pow(10.0, std::floor(std::log10(step)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= step) return m * power;
  }
  return 10 * power;
}

AxisMode AxisModeForSpan(double days) {
  if (days > 1.0) return AxisMode::DateTime;
  if (days >= 0.5) return AxisMode::Hours;
  return AxisMode::Minutes;
}

double AxisDivisor(AxisMode mode) { return mode == AxisMode::Hours ? 60 : 1; }

double AxisUnitsPerHour(AxisMode mode) {
  return mode == AxisMode::DateTime ? 1.0 / 24 : 60 / AxisDivisor(mode);
}

std::string AxisTitle(AxisMode mode) {
  switch (mode) {
    case AxisMode::Minutes:
      return "Minutes";
    case AxisMode::Hours:
      return "Hours";
    case AxisMode::DateTime:
      break;
  }
  return "Time/Date";
}

std::string AxisLabel(AxisMode mode, double x) {
  return mode == AxisMode::DateTime ? DayLabel(x) : Plain(RoundTo(x, 2));
}

std::string ReadoutText(double value, const std::string& unit, double dateTime) {
  std::string when = DateTimeText(dateTime, false);
  if (when.empty()) when = Plain(dateTime);
  return Plain(value) + " " + unit + ", " + when;
}

std::vector<AxisTick> AxisTicks(AxisMode mode, double from, double to, int most) {
  std::vector<AxisTick> ticks;
  if (!(std::isfinite(from) && std::isfinite(to)) || to < from || most < 1) return {};
  const double wanted = (to - from) / std::max(1, most - 1);
  if (mode == AxisMode::DateTime) {
    const double step = DayStep(wanted);
    for (double x = std::ceil(from); x <= to && static_cast<int>(ticks.size()) < most; x += step) {
      ticks.push_back({x, DayLabel(x)});
    }
    return ticks;
  }
  if (wanted <= 0) return {{from, AxisLabel(mode, from)}};
  const double step = NiceStep(wanted);
  const double digits = -std::floor(std::log10(step));
  const int decimals = static_cast<int>(std::clamp(digits, 0.0, 6.0));
  for (double k = std::ceil(from / step); k * step <= to && static_cast<int>(ticks.size()) < most;
       ++k) {
    const double x = RoundTo(k * step, decimals);
    ticks.push_back({x, Plain(x)});
  }
  return ticks;
}

}  // namespace pelvaro
