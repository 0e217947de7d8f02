#include "core/graph/Decimation.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace pelvaro {

namespace {

constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

struct Column {
  std::size_t low = kNone;
  std::size_t high = kNone;
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
  // Two points per column and one neighbour on each side stay within the width.
  const std::size_t columns = (limit - 2) / 2;
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
    const auto c = std::min(columns - 1, static_cast<std::size_t>((xi - from) * scale));
    Column& bin = bins[c];
    if (bin.low == kNone) {
      bin.low = bin.high = i;
    } else if (y[i] < y[bin.low]) {
      bin.low = i;
    } else if (y[i] > y[bin.high]) {
      bin.high = i;
    }
  }
  const auto add = [&](std::size_t i) { points.push_back({x[i], y[i]}); };
  if (left != kNone) add(left);
  for (const Column& bin : bins) {
    if (bin.low == kNone) continue;
    add(std::min(bin.low, bin.high));
    if (bin.low != bin.high) add(std::max(bin.low, bin.high));
  }
  if (right != kNone) add(right);
  return points;
}

}  // namespace pelvaro
