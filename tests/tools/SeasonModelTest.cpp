#include "tools/sample/SeasonModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace pelvaro::sample {
namespace {

TEST(SeasonModel, BothMeasurementTypesStayNearTheirLimitsAndBehaveLikeSoil) {
  const auto sensors = SampleSensors();
  for (const char* type : {"Percentage", "Volumetric"}) {
    SeasonSpec season;
    season.measurementType = type;
    const TypeLimits limits = LimitsOf(type);
    const auto blocks = SimulateSeason(season, sensors);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].words.size(), 21u * 96 * sensors.size());
    EXPECT_LE(blocks[0].words.size(), 32767u);
    // Calibrated value of sensor k of scan s, as the conversion computes it.
    const auto value = [&](const Block& b, std::size_t s, std::size_t k) {
      return std::floor((sensors[k].offset - b.words[s * sensors.size() + k]) * 10) / limits.slope;
    };
    const double span = limits.fieldCapacity - limits.refill;
    int dryingDays = 0, days = 0;
    double topJump = 0, deepJump = 0;
    for (const Block& b : blocks) {
      const std::size_t scans = b.words.size() / sensors.size();
      for (std::size_t s = 0; s < scans; ++s) {
        for (std::size_t k = 0; k < sensors.size(); ++k) {
          ASSERT_GT(value(b, s, k), limits.refill - 0.4 * span) << type;
          ASSERT_LT(value(b, s, k), limits.fieldCapacity + 0.6 * span) << type;
        }
        if (s >= 16) {  // the largest rise within four hours
          topJump = std::max(topJump, value(b, s, 0) - value(b, s - 16, 0));
          deepJump = std::max(deepJump, value(b, s, 4) - value(b, s - 16, 4));
        }
      }
      // Each whole day: the loss from 08:00 to 16:00 against 20:00 to 04:00.
      const std::size_t toEight = ((8 * 3600 - b.startSeconds + 86400) % 86400) / 900;
      for (std::size_t s = toEight; s + 96 < scans; s += 96) {
        const auto at = [&](std::size_t offset) { return value(b, s + offset, 0); };
        dryingDays += at(0) - at(32) > at(48) - at(80);
        ++days;
      }
    }
    // The root zone dries by day, hardly by night.
    EXPECT_GT(dryingDays, days * 3 / 4) << type;
    // Wetting fronts lose strength on the way down.
    EXPECT_GT(topJump, 2 * deepJump) << type;

    // A wetting front reaches deeper sensors later: the first scan at which each depth rises by a
    // clear step after the first event.
    const Block& b = blocks[0];
    std::vector<std::size_t> firstRise(3, 0);
    for (std::size_t k = 0; k < 3; ++k) {
      for (std::size_t s = 4; s < b.words.size() / sensors.size() && firstRise[k] == 0; ++s) {
        if (value(b, s, k) - value(b, s - 4, k) > 2.0) firstRise[k] = s;
      }
      ASSERT_NE(firstRise[k], 0u) << k;
    }
    EXPECT_LT(firstRise[0], firstRise[1]) << type;
    EXPECT_LT(firstRise[1], firstRise[2]) << type;
    season.seed += 1;  // the same seed gives the same sample, which the program tests pin down
    EXPECT_NE(SimulateSeason(season, sensors)[0].words, b.words);
  }
}

}  // namespace
}  // namespace pelvaro::sample
