#include "core/graph/Decimation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace pelvaro::testing {
namespace {

bool Contains(const std::vector<PlotPoint>& points, double x, double y) {
  return std::any_of(points.begin(), points.end(),
                     [&](const PlotPoint& p) { return p.x == x && p.y == y; });
}

TEST(Decimation, ASeriesThatFitsIsHandedOverWhole) {
  // As many points as pixels still fit: none is dropped.
  const std::vector<double> x = {0, 1, 1.5, 2, 3};
  const std::vector<double> y = {5, 6, 7, 8, 9};
  const auto points = Decimate(x, y, 1, 2, 5);
  ASSERT_EQ(points.size(), 5u);
  EXPECT_EQ(points[2].y, 7);
}

TEST(Decimation, EveryColumnKeepsItsPeakAndTroughWithinTheWidth) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0, 3);
  const std::size_t n = 200000;
  std::vector<double> x(n);
  std::vector<double> y(n);
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = static_cast<double>(i) * 0.25;
    y[i] = 20 + noise(rng);
  }
  y[123457] = 95;  // a single spike and a single dip must survive
  y[7] = -40;
  const int width = 640;
  const double from = x.front();
  const double to = x.back();
  const auto points = Decimate(x, y, from, to, width);
  EXPECT_LE(points.size(), static_cast<std::size_t>(width));
  EXPECT_TRUE(Contains(points, x[123457], 95));
  EXPECT_TRUE(Contains(points, x[7], -40));
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; }));
  // Each two-pixel column of the plot shows the same extremes as the full data.
  const std::size_t columns = (width - 2) / 2;
  std::vector<double> low(columns, 1e9), high(columns, -1e9), shownLow(columns, 1e9),
      shownHigh(columns, -1e9);
  const auto column = [&](double xi) {
    return std::min(columns - 1, static_cast<std::size_t>((xi - from) / (to - from) * columns));
  };
  for (std::size_t i = 0; i < n; ++i) {
    low[column(x[i])] = std::min(low[column(x[i])], y[i]);
    high[column(x[i])] = std::max(high[column(x[i])], y[i]);
  }
  for (const PlotPoint& p : points) {
    shownLow[column(p.x)] = std::min(shownLow[column(p.x)], p.y);
    shownHigh[column(p.x)] = std::max(shownHigh[column(p.x)], p.y);
  }
  EXPECT_EQ(low, shownLow);
  EXPECT_EQ(high, shownHigh);

  // Zoomed in: the points of the range, plus the neighbour on either side.
  const auto zoomed = Decimate(x, y, 1000, 1050, width);
  ASSERT_EQ(zoomed.size(), 203u);
  EXPECT_EQ(std::tuple(zoomed.front().x, zoomed[1].x, zoomed.back().x),
            std::tuple(999.75, 1000.0, 1050.25));
  // Of two neighbours at one time, the later: the line runs from it into view.
  const std::vector<double> tiedX = {0, 0, 5, 10, 10};
  const std::vector<double> tiedY = {1, 2, 3, 4, 5};
  const auto tied = Decimate(tiedX, tiedY, 1, 9, 4);
  ASSERT_EQ(tied.size(), 3u);
  EXPECT_EQ(tied.front().y, 2);
  EXPECT_EQ(tied.back().y, 4);
  // An odd width too: columns and neighbours never make more points than pixels.
  EXPECT_LE(Decimate(x, y, 10, 90, 5).size(), 5u);
}

}  // namespace
}  // namespace pelvaro::testing
