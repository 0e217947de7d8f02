// U(d), the drop of the morning reading from the day before, and the days it marks as wetting.
#include <gtest/gtest.h>

#include "report/SitePage.h"
#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

struct UseCase {
  const char* guards;
  std::map<std::int64_t, double> mornings;  // R(d)
  std::vector<std::int64_t> eventDays;
  std::optional<double> use;  // U(11)
  bool wetting;
};

class DailyUseOfDay : public ::testing::TestWithParam<UseCase> {};

TEST_P(DailyUseOfDay, IsTheDropFromTheMorningBefore) {
  const std::vector<DailyUse> uses = DailyUses(GetParam().mornings, 11, 11, GetParam().eventDays);
  ASSERT_EQ(uses.size(), 1u);
  EXPECT_EQ(uses[0].day, 11);
  EXPECT_EQ(uses[0].use, GetParam().use);
  EXPECT_EQ(uses[0].wetting, GetParam().wetting);
}

INSTANTIATE_TEST_SUITE_P(
    Report, DailyUseOfDay,
    ::testing::Values(
        UseCase{"a drop is the use", {{10, 250}, {11, 246.5}}, {}, 3.5, false},
        UseCase{"a rise is a wetting day", {{10, 240}, {11, 262}}, {}, -22.0, true},
        UseCase{"a rise of half a thousandth is rounding, not wetting",
                {{10, 0}, {11, 0.0005}},
                {},
                -0.0005,
                false},
        UseCase{"a day an event began is a wetting day", {{10, 250}, {11, 246.5}}, {11}, 3.5, true},
        UseCase{
            "an event of the day before marks nothing", {{10, 250}, {11, 246.5}}, {10}, 3.5, false},
        UseCase{
            "no morning the day before: no use", {{9, 255}, {11, 246.5}}, {}, std::nullopt, false},
        UseCase{"no morning that day: no use", {{10, 250}, {12, 240}}, {}, std::nullopt, false}),
    ByGuards());

TEST(DailyUses, OneForEveryDayOfThePeriod) {
  const std::vector<DailyUse> uses = DailyUses({}, 5, 8, {});
  ASSERT_EQ(uses.size(), 4u);
  EXPECT_EQ(uses.front().day, 5);
  EXPECT_EQ(uses.back().day, 8);
}

}  // namespace
}  // namespace pelvaro::testing
