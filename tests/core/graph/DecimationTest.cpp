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

// 200,000 noisy values a quarter apart, with one spike and one dip.
struct NoisySeries {
  NoisySeries() : x(kCount), y(kCount) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 3);
    for (std::size_t i = 0; i < kCount; ++i) {
      x[i] = static_cast<double>(i) * 0.25;
      y[i] = 20 + noise(rng);
    }
    y[123457] = 95;
    y[7] = -40;
  }
  static constexpr std::size_t kCount = 200000;
  static constexpr int kWidth = 640;
  std::vector<double> x;
  std::vector<double> y;
};

TEST(Decimation, AWholeSeriesKeepsItsSpikeAndDipInOrderWithinTheWidth) {
  const NoisySeries s;
  const auto points = Decimate(s.x, s.y, s.x.front(), s.x.back(), NoisySeries::kWidth);
  EXPECT_LE(points.size(), static_cast<std::size_t>(NoisySeries::kWidth));
  EXPECT_TRUE(Contains(points, s.x[123457], 95));
  EXPECT_TRUE(Contains(points, s.x[7], -40));
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const PlotPoint& a, const PlotPoint& b) { return a.x < b.x; }));
}

TEST(Decimation, EveryTwoPixelColumnShowsTheExtremesOfTheFullData) {
  const NoisySeries s;
  const double from = s.x.front();
  const double to = s.x.back();
  const auto points = Decimate(s.x, s.y, from, to, NoisySeries::kWidth);
  const std::size_t columns = (NoisySeries::kWidth - 2) / 2;
  std::vector<double> low(columns, 1e9), high(columns, -1e9), shownLow(columns, 1e9),
      shownHigh(columns, -1e9);
  const auto column = [&](double xi) {
    return std::min(columns - 1, static_cast<std::size_t>((xi - from) / (to - from) * columns));
  };
  for (std::size_t i = 0; i < NoisySeries::kCount; ++i) {
    low[column(s.x[i])] = std::min(low[column(s.x[i])], s.y[i]);
    high[column(s.x[i])] = std::max(high[column(s.x[i])], s.y[i]);
  }
  for (const PlotPoint& p : points) {
    shownLow[column(p.x)] = std::min(shownLow[column(p.x)], p.y);
    shownHigh[column(p.x)] = std::max(shownHigh[column(p.x)], p.y);
  }
  EXPECT_EQ(low, shownLow);
  EXPECT_EQ(high, shownHigh);
}

TEST(Decimation, AZoomTakesThePointsOfItsRangeAndTheNeighbourOnEitherSide) {
  const NoisySeries s;
  const auto zoomed = Decimate(s.x, s.y, 1000, 1050, NoisySeries::kWidth);
  ASSERT_EQ(zoomed.size(), 203u);
  EXPECT_EQ(zoomed.front().x, 999.75);
  EXPECT_EQ(zoomed[1].x, 1000.0);
  EXPECT_EQ(zoomed.back().x, 1050.25);
}

TEST(Decimation, OfTwoNeighboursAtOneTimeTheLaterRunsIntoView) {
  const std::vector<double> x = {0, 0, 5, 10, 10};
  const std::vector<double> y = {1, 2, 3, 4, 5};
  const auto tied = Decimate(x, y, 1, 9, 4);
  ASSERT_EQ(tied.size(), 3u);
  EXPECT_EQ(tied.front().y, 2);
  EXPECT_EQ(tied.back().y, 4);
}

TEST(Decimation, ALineNeverJoinsAcrossAMissingValue) {
  NoisySeries s;
  std::vector<double> missing;  // their x
  for (std::size_t i = 0; i < NoisySeries::kCount; ++i) {
    if (i % 1009 == 500 || (i >= 50000 && i < 50400)) {
      s.y[i] = NAN;
      missing.push_back(s.x[i]);
    }
  }
  const auto points = Decimate(s.x, s.y, s.x.front(), s.x.back(), NoisySeries::kWidth);
  EXPECT_LE(points.size(), static_cast<std::size_t>(NoisySeries::kWidth));
  EXPECT_TRUE(Contains(points, s.x[123457], 95));
  int joined = 0;
  for (std::size_t k = 1; k < points.size(); ++k) {
    if (std::isnan(points[k - 1].y) || std::isnan(points[k].y)) continue;
    const auto gap = std::upper_bound(missing.begin(), missing.end(), points[k - 1].x);
    joined += gap != missing.end() && *gap < points[k].x;
  }
  EXPECT_EQ(joined, 0);
}

TEST(Decimation, AnOddWidthNeverGetsMorePointsThanPixels) {
  const NoisySeries s;
  EXPECT_LE(Decimate(s.x, s.y, 10, 90, 5).size(), 5u);
}

}  // namespace
}  // namespace pelvaro::testing
