#include "core/graph/GraphAxis.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

// A span, the most ticks it may take, and one tick it then shows. Day 10014 is 1 June 2023.
struct TickRow {
  const char* guards;
  AxisMode mode;
  double from, to;
  int most;
  std::size_t count;
  std::size_t at;  // the tick shown
  double x;
  const char* label;
};

class TickTest : public ::testing::TestWithParam<TickRow> {};

TEST_P(TickTest, TheTicksAreCountedAndPlaced) {
  const TickRow& row = GetParam();
  const auto ticks = AxisTicks(row.mode, row.from, row.to, row.most);
  ASSERT_EQ(ticks.size(), row.count);
  EXPECT_EQ(ticks[row.at].x, row.x);
}

TEST_P(TickTest, TheTickReadsAsItsAxisReads) {
  const TickRow& row = GetParam();
  const auto ticks = AxisTicks(row.mode, row.from, row.to, row.most);
  ASSERT_EQ(ticks.size(), row.count);
  EXPECT_EQ(ticks[row.at].label, row.label);
}

using M = AxisMode;
INSTANTIATE_TEST_SUITE_P(
    Ticks, TickTest,
    ::testing::Values(TickRow{"days step by one at midnight while they fit; day-month", M::DateTime,
                              10013.6, 10016.2, 10, 3, 2, 10016, "03-06"},
                      TickRow{"the first day is the first midnight", M::DateTime, 10013.6, 10016.2,
                              10, 3, 0, 10014, "01-06"},
                      TickRow{"a season steps by two weeks when days do not fit", M::DateTime,
                              10014, 10114, 10, 8, 1, 10028, "15-06"},
                      TickRow{"a long season steps by four weeks doubled as often as needed",
                              M::DateTime, 10014, 10014 + 448, 5, 5, 4, 10462, "22-08"},
                      TickRow{"elapsed time steps by a nice number and reads as a number", M::Hours,
                              0, 23.5, 8, 5, 1, 5, "5"},
                      TickRow{"two ticks are the ends", M::Hours, 0, 10, 2, 2, 1, 10, "10"},
                      TickRow{"three ticks halve the span", M::Hours, 0, 10, 3, 3, 1, 5, "5"},
                      TickRow{"a zoom ticks from the first whole step after its start", M::Hours,
                              2.5, 23.5, 8, 4, 0, 5, "5"},
                      TickRow{"a single scan is one tick read as a number", M::Minutes, 12.345,
                              12.345, 8, 1, 0, 12.345, "12.35"}),
    ByGuards());

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
