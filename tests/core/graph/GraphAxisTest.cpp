#include "core/graph/GraphAxis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

// Day 10014 is 1 June 2023.
TEST(GraphAxis, DateTicksStepByDaysAtMidnightWhileTheyFit) {
  const auto days = AxisTicks(AxisMode::DateTime, 10013.6, 10016.2, 10);
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[0].x, 10014);
  EXPECT_EQ(days[2].x, 10016);
}

TEST(GraphAxis, DateTicksReadDayDashMonth) {
  const auto days = AxisTicks(AxisMode::DateTime, 10013.6, 10016.2, 10);
  ASSERT_EQ(days.size(), 3u);
  EXPECT_EQ(days[0].label, "01-06");
  EXPECT_EQ(days[2].label, "03-06");
}

TEST(GraphAxis, ASeasonStepsByTwoWeeksWhenDaysDoNotFit) {
  const auto season = AxisTicks(AxisMode::DateTime, 10014, 10114, 10);
  ASSERT_EQ(season.size(), 8u);
  EXPECT_EQ(season[1].x - season[0].x, 14);
}

TEST(GraphAxis, ALongSeasonStepsByFourWeeksDoubledAsOftenAsNeeded) {
  const auto long_ = AxisTicks(AxisMode::DateTime, 10014, 10014 + 448, 5);
  ASSERT_EQ(long_.size(), 5u);
  EXPECT_EQ(long_[4].x - long_[3].x, 112);
}

TEST(GraphAxis, ElapsedTicksStepByANiceNumberAndReadAsNumbers) {
  const auto hours = AxisTicks(AxisMode::Hours, 0, 23.5, 8);
  ASSERT_EQ(hours.size(), 5u);
  EXPECT_EQ(hours[1].label, "5");
}

TEST(GraphAxis, TwoTicksAreTheEnds) {
  const auto ticks = AxisTicks(AxisMode::Hours, 0, 10, 2);
  ASSERT_EQ(ticks.size(), 2u);
  EXPECT_EQ(ticks[1].x, 10);
}

TEST(GraphAxis, ThreeTicksHalveTheSpan) {
  const auto ticks = AxisTicks(AxisMode::Hours, 0, 10, 3);
  ASSERT_EQ(ticks.size(), 3u);
  EXPECT_EQ(ticks[1].x, 5);
}

TEST(GraphAxis, AZoomTicksFromTheFirstWholeStepAfterItsStart) {
  const auto zoomed = AxisTicks(AxisMode::Hours, 2.5, 23.5, 8);
  ASSERT_EQ(zoomed.size(), 4u);
  EXPECT_EQ(zoomed[0].x, 5);
}

struct ReadoutRow {
  const char* guards;
  double value;
  const char* unit;
  double dateTime;
  const char* text;
};

class ReadoutTest : public ::testing::TestWithParam<ReadoutRow> {};

TEST_P(ReadoutTest, TheReadoutIsTheValueAndUnitThenTheScansDateAndTime) {
  const ReadoutRow& row = GetParam();
  EXPECT_EQ(ReadoutText(row.value, row.unit, row.dateTime), row.text);
}

INSTANTIATE_TEST_SUITE_P(Readouts, ReadoutTest,
                         ::testing::Values(ReadoutRow{"percent at a minute", 23.45, "%", 10014.75,
                                                      "23.45 %, 01-06-2023 18:00"},
                                           ReadoutRow{"millimetres with the seconds cut", 9.5, "mm",
                                                      10014.75 + 59.0 / 86400,
                                                      "9.5 mm, 01-06-2023 18:00"}),
                         ByGuards());

struct NiceStepRow {
  const char* guards;
  double step;
  double nice;
};

class NiceStepTest : public ::testing::TestWithParam<NiceStepRow> {};

TEST_P(NiceStepTest, TheMoistureAxisStepsByOneTwoOrFiveOfAPowerOfTen) {
  EXPECT_DOUBLE_EQ(NiceStep(GetParam().step), GetParam().nice);
}

INSTANTIATE_TEST_SUITE_P(Steps, NiceStepTest,
                         ::testing::Values(NiceStepRow{"a hundredth rounds up to two", 0.012, 0.02},
                                           NiceStepRow{"a tenth rounds up to five", 0.3, 0.5},
                                           NiceStepRow{"three rounds up to five", 3, 5},
                                           NiceStepRow{"eight rounds up to ten", 8, 10},
                                           NiceStepRow{"tens round up to fifty", 37, 50},
                                           NiceStepRow{"seventy rounds up to a hundred", 70, 100},
                                           NiceStepRow{"a flat chart steps by one", 0, 1},
                                           NiceStepRow{"no number steps by one", NAN, 1}),
                         ByGuards());

}  // namespace
}  // namespace pelvaro::testing
