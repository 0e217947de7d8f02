#include "tools/sample/SeasonModel.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "core/platform/Clock.h"
#include "core/storage/BlockStore.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro::sample {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kDay = 86400;

// Uniform in [0, 1) straight from the engine, so every platform draws alike.
class Draw {
 public:
  explicit Draw(std::uint32_t seed) : engine_(seed) {}
  double Next() { return static_cast<double>(engine_()) / 4294967296.0; }

 private:
  std::mt19937 engine_;
};

// Wetness relative to the soil's limits: 0 at refill, 1 at field capacity.
struct Layer {
  double wetness;
  double pendingWater = 0;  // water on its way down to this depth
};

struct Arrival {
  long at;  // seconds since the start of the season
  std::size_t layer;
  double amount;
};

}  // namespace

TypeLimits LimitsOf(const std::string& measurementType) {
  if (measurementType == "Volumetric") return {500, 30, 7};
  return {120, 100, 60};
}

std::vector<SensorSpec> SampleSensors() {
  return {{1, 4100, 0.36, "SANDY LOAM"},
          {2, 4150, 0.28, "SANDY LOAM"},
          {4, 4050, 0.20, "LOAM"},
          {6, 4200, 0.11, "CLAY LOAM"},
          {8, 4000, 0.05, "CLAY LOAM"}};
}

std::vector<Block> SimulateSeason(const SeasonSpec& season,
                                  const std::vector<SensorSpec>& sensors) {
  Draw draw(season.seed);
  const TypeLimits limits = LimitsOf(season.measurementType);
  std::vector<Layer> layers;
  for (std::size_t i = 0; i < sensors.size(); ++i) layers.push_back({0.95 - 0.05 * (i == 0)});

  int totalDays = 0;
  for (int d : season.blockDays) totalDays += d;
  // Rain on a few days, scattered; the grower irrigates when the top dries.
  std::vector<Arrival> arrivals;
  auto wet = [&](long at, double amount) {
    for (std::size_t i = 0; i < sensors.size(); ++i) {
      // The front moves about 10 cm in two hours and loses a third per step down.
      const long delay = static_cast<long>(sensors[i].depthSlot * 7200 * (0.8 + 0.4 * draw.Next()));
      arrivals.push_back({at + delay, i, amount * std::pow(0.62, static_cast<double>(i))});
    }
  };
  for (int day = 2; day < totalDays; day += 5 + static_cast<int>(draw.Next() * 6)) {
    wet(static_cast<long>(day) * kDay + static_cast<long>(draw.Next() * kDay),
        0.25 + 0.7 * draw.Next());
  }

  std::vector<Block> blocks;
  long now = 0;  // seconds since the season began
  long absolute = static_cast<long>(season.startDay) * kDay + season.startSeconds;
  long nextIrrigationCheck = kDay;
  for (int days : season.blockDays) {
    Block block{static_cast<int>(absolute / kDay), static_cast<int>(absolute % kDay), {}};
    const long scans = static_cast<long>(days) * kDay / season.interval;
    for (long scan = 0; scan < scans; ++scan) {
      const double hour = static_cast<double>(absolute % kDay) / 3600.0;
      // Uptake follows the sun, between six in the morning and six at night.
      const double sun = hour > 6 && hour < 18 ? std::sin(kPi * (hour - 6) / 12) : 0.0;
      const double demand = 0.0045 * sun * season.interval / 900.0;
      for (std::size_t i = 0; i < layers.size(); ++i) {
        Layer& layer = layers[i];
        const double stress = std::clamp(layer.wetness + 0.35, 0.0, 1.0);
        layer.wetness -= demand * sensors[i].rootShare / 0.36 * stress;
        if (layer.wetness > 1.0) {
          const double drained = (layer.wetness - 1.0) * 0.05;
          layer.wetness -= drained;
          if (i + 1 < layers.size()) layers[i + 1].pendingWater += drained * 0.5;
        }
        // Water arriving is taken in over an hour or so.
        const double taken = layer.pendingWater * 0.25;
        layer.pendingWater -= taken;
        layer.wetness = std::min(layer.wetness + taken, 1.45);
      }
      for (const Arrival& a : arrivals) {
        if (a.at >= now && a.at < now + season.interval) layers[a.layer].pendingWater += a.amount;
      }
      if (now >= nextIrrigationCheck && hour >= 5 && hour < 5.25) {
        nextIrrigationCheck = now + kDay;
        if (layers[0].wetness < 0.2) wet(now + 3600, 0.85);
      }
      for (std::size_t i = 0; i < layers.size(); ++i) {
        const double value =
            limits.refill + layers[i].wetness * (limits.fieldCapacity - limits.refill);
        const double noise = draw.Next() * 3.0 - 1.5;
        const double raw = sensors[i].offset - value * limits.slope / 10.0 + noise;
        block.words.push_back(static_cast<std::uint16_t>(std::clamp(std::lround(raw), 0L, 65535L)));
      }
      now += season.interval;
      absolute += season.interval;
    }
    blocks.push_back(std::move(block));
    now += season.gapSeconds;
    absolute += season.gapSeconds;
  }
  return blocks;
}

void WriteSite(const Files& files, const std::string& identification, const SeasonSpec& season,
               const std::vector<SensorSpec>& sensors, const std::vector<Block>& blocks) {
  Files::CreateFolder(files.HeaderFolder());
  Files::CreateFolder(files.DataFolder("TVMKDATA"));
  const TypeLimits limits = LimitsOf(season.measurementType);
  const int serial = 3001;
  const int site = 1;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const Block& block = blocks[b];
    const RunHeader run = MakeRunHeader(block.startDay, block.startSeconds, season.interval, site,
                                        serial, static_cast<int>(sensors.size()));
    TempBlock temp(files);
    for (std::size_t i = 0; i < block.words.size(); ++i) {
      temp.WriteWord(i + 1, static_cast<std::uint8_t>(block.words[i] & 255),
                     static_cast<std::uint8_t>(block.words[i] >> 8));
    }
    // Downloaded an hour after the run's last scan.
    const long end = static_cast<long>(block.startDay) * kDay + block.startSeconds +
                     static_cast<long>(block.words.size() / sensors.size()) * season.interval +
                     3600;
    const DateTime downloaded = FromEpochSeconds(ToEpochSeconds({1995, 12, 31, 0, 0, 0}) + end);
    temp.WriteTempHeader(static_cast<double>(block.words.size()), run, downloaded);
    temp.Close();
    CommitBlock(files, BlockStemPath(files, "TVMKDATA",
                                     BlockStem(identification, static_cast<int>(b) + 1)));
  }

  auto h = SiteHeader::CreateBlank(files, identification);
  h.WriteRecord(header::kDataDirectory, "TVMKDATA");
  h.WriteRecord(header::kSerialNumber, std::to_string(serial));
  h.WriteRecord(header::kSiteNumber, "01");
  h.WriteRecord(header::kSiteName, "SAMPLE SITE");
  h.WriteRecord(header::kDepthSlotCount, "12");
  h.WriteRecord(header::kRootZone, "500");
  h.WriteRecord(header::kFirstDirectory, "TVMKDATA");
  for (const SensorSpec& s : sensors) {
    h.WriteCalibration(s.depthSlot,
                       {s.offset, limits.slope, limits.fieldCapacity, limits.refill, "ON"});
    h.WriteRecord(header::SoilType(s.depthSlot), s.soil);
  }
  h.WriteRecord(header::kMeasurementType, season.measurementType);
  h.WriteRecord(header::kFormatVersion, "3.0");
  for (int slot = 1; slot <= header::kBlockSlots; ++slot) {
    const bool used = slot <= static_cast<int>(blocks.size());
    h.WriteRecord(header::kFirstBlockSlot + slot - 1, used ? std::to_string(slot) : "0");
  }
  h.WriteRecord(header::kSensorsOn, Spaced(static_cast<double>(sensors.size())));
  h.WriteRecord(header::kStartMode, "START IMMEDIATE");
  h.WriteRecord(header::kStartDate, "0");
  h.WriteRecord(header::kStartTime, "0");
  h.WriteRecord(header::kScanInterval, "00:15:00");
  h.WriteRecord(header::kLastRunDay, Spaced(blocks.back().startDay));
  const int units = blocks.back().startSeconds / 2;  // the logger counts in 2 s
  h.WriteRecord(header::kLastRunTime, Spaced(units));
  h.Flush();
  h.Close();
}

}  // namespace pelvaro::sample
