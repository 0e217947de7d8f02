#include "core/graph/Decimation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace pelvaro {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

// A column's lowest and highest value, and its first and last missing one:
// a line never joins across a missing value, within a column or between two.
struct Column {
  std::size_t low = kNone;
  std::size_t high = kNone;
  std::size_t firstGap = kNone;
  std::size_t lastGap = kNone;

  void Add(std::size_t i, std::span<const double> y) {
    if (std::isnan(y[i])) {
      if (firstGap == kNone) firstGap = i;
      lastGap = i;
    } else if (low == kNone) {
      low = high = i;
    } else if (y[i] < y[low]) {
      low = i;
    } else if (y[i] > y[high]) {
      high = i;
    }
  }
  // What it keeps, in the order the points came.
  std::array<std::size_t, 4> Kept() const {
    std::array<std::size_t, 4> kept = {low, high, firstGap, lastGap};
    std::sort(kept.begin(), kept.end());
    return kept;
  }
};

}  // namespace

std::vector<PlotPoint> Decimate(std::span<const double> x, std::span<const double> y, double from,
                                double to, int width) {
  const std::size_t n = std::min(x.size(), y.size());
  std::vector<PlotPoint> points;
  const std::size_t limit = static_cast<std::size_t>(std::max(width, 4));
  if (n <= limit) {
    for (std::size_t i = 0; i < n; ++i) points.push_back({x[i], y[i]});
    return points;
  }
  // Two points per column, four where a value may be missing, and one
  // neighbour on each side stay within the width.
  const bool gaps = std::any_of(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(n),
                                [](double v) { return std::isnan(v); });
  const std::size_t columns = std::max<std::size_t>(1, (limit - 2) / (gaps ? 4 : 2));
  std::vector<Column> bins(columns);
  const double span = to > from ? to - from : 1.0;
  const double scale = static_cast<double>(columns) / span;
  std::size_t left = kNone;
  std::size_t right = kNone;
  for (std::size_t i = 0; i < n; ++i) {
    const double xi = x[i];
    if (!(xi >= from && xi <= to)) {
      if (xi < from && (left == kNone || xi >= x[left])) left = i;
      if (xi > to && (right == kNone || xi < x[right])) right = i;
      continue;
    }
    bins[std::min(columns - 1, static_cast<std::size_t>((xi - from) * scale))].Add(i, y);
  }
  const auto add = [&](std::size_t i) { points.push_back({x[i], y[i]}); };
  if (left != kNone) add(left);
  for (const Column& bin : bins) {
    std::size_t last = kNone;
    for (std::size_t i : bin.Kept()) {
      if (i != kNone && i != last) add(i);
      last = i;
    }
  }
  if (right != kNone) add(right);
  return points;
}

}  // namespace pelvaro
