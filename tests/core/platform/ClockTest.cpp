#include "core/platform/Clock.h"

#include <gtest/gtest.h>

namespace pelvaro::testing {
namespace {

TEST(Clock, EpochConversionRoundTrips) {
  const DateTime t{2026, 3, 5, 9, 7, 3};
  EXPECT_EQ(ToEpochSeconds(t), 1772701623);
  EXPECT_EQ(FromEpochSeconds(ToEpochSeconds(t)), t);
  EXPECT_EQ(FromEpochSeconds(ToEpochSeconds({2000, 2, 29, 23, 59, 59}) + 1),
            (DateTime{2000, 3, 1, 0, 0, 0}));
}

TEST(Clock, VirtualTimeMovesOnlyByWaiting) {
  VirtualClock clock({2026, 12, 31, 23, 59, 58});
  EXPECT_EQ(clock.Now(), 0);
  clock.Wait(12.0);
  clock.Wait(-5);  // a negative wait does not run time backwards
  EXPECT_DOUBLE_EQ(clock.Now(), 12.0);
  EXPECT_EQ(clock.WallClock(), (DateTime{2027, 1, 1, 0, 0, 10}));
  clock.SetWallClock({2026, 3, 5, 9, 7, 3});
  EXPECT_DOUBLE_EQ(clock.Now(), 12.0);
  clock.Wait(0.5);
  EXPECT_EQ(clock.WallClock(), (DateTime{2026, 3, 5, 9, 7, 3}));
  clock.Wait(0.5);
  EXPECT_EQ(clock.WallClock(), (DateTime{2026, 3, 5, 9, 7, 4}));
}

}  // namespace
}  // namespace pelvaro::testing
