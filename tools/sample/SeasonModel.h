#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/platform/Files.h"

namespace pelvaro::sample {

// A season of soil moisture under a crop, scan by scan: water taken up by the
// roots by day, most near the surface; rain and irrigation that wet the top
// first and reach deeper sensors later and weaker; drainage above field
// capacity. Fully determined by the seed.
struct SensorSpec {
  int depthSlot;     // 1..12, 10 cm each
  double offset;     // raw count of a reading of 0
  double rootShare;  // share of the crop's uptake drawn from this depth
  const char* soil;
};

struct SeasonSpec {
  std::string measurementType = "Percentage";  // or "Volumetric"
  int startDay = 0;                            // day number of the first scan
  int startSeconds = 36000;                    // time of day of the first scan
  int interval = 900;                          // 15-minute scans
  std::vector<int> blockDays = {21, 21, 14};
  int gapSeconds = 5400;  // download and restart between blocks
  std::uint32_t seed = 20261206;
};

// Slope, field capacity and refill of a measurement type (the defaults a
// new site gets).
struct TypeLimits {
  double slope;
  double fieldCapacity;
  double refill;
};
TypeLimits LimitsOf(const std::string& measurementType);

std::vector<SensorSpec> SampleSensors();

struct Block {
  int startDay;
  int startSeconds;
  std::vector<std::uint16_t> words;  // scan after scan, one word per sensor
};

// The raw readings of every block of the season.
std::vector<Block> SimulateSeason(const SeasonSpec& season, const std::vector<SensorSpec>& sensors);

// Writes a complete site into a working root: its header and committed blocks.
void WriteSite(const Files& files, const std::string& identification, const SeasonSpec& season,
               const std::vector<SensorSpec>& sensors, const std::vector<Block>& blocks);

}  // namespace pelvaro::sample
