#include "core/outlook/Outlook.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <iterator>

#include "core/graph/GraphFile.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {

namespace {

constexpr int kSecondsPerDay = 86400;
// The conversion refuses a block that claims more readings than this.
constexpr double kMaxBlockReadings = 32768;
// Far beyond any date a logger or a forecast can name.
constexpr double kLatestDateTime = 1e9;

double PowerOfTen(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// The raw readings of a site's blocks, scan by scan, in the order the
// conversion reads them, so the n-th scan here is the n-th scan of the graph
// file. Every reading that lies in a block file is also given to the fault
// counter.
class BlockWalker {
 public:
  BlockWalker(const Files& files, const std::string& identification,
              const std::string& dataDirectory, std::vector<int> blocks, std::size_t sensors,
              FaultCounter& faults)
      : files_(files),
        identification_(identification),
        dataDirectory_(dataDirectory),
        blocks_(std::move(blocks)),
        sensors_(sensors),
        faults_(faults) {}

  // One reading per enabled sensor in slot order; nullptr after the last scan.
  const std::uint16_t* Next() {
    while (scansLeft_ == 0) {
      if (!OpenNext()) return nullptr;
    }
    --scansLeft_;
    for (std::size_t j = 0; j < sensors_; ++j, ++pointer_) {
      // A reading the block lacks (an incomplete last scan) is 0, as converted.
      std::uint16_t raw = 0;
      if (pointer_ < words_.size()) {
        raw = words_[pointer_];
        faults_.Add(j, raw);
      }
      scan_[j] = raw;
    }
    return scan_.data();
  }

 private:
  bool OpenNext() {
    if (ended_ || next_ >= blocks_.size()) return false;
    const int number = blocks_[next_++];
    const BlockPaths paths =
        MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(identification_, number)));
    BlockData data(paths.data, RecordFile::Mode::ReadOnly);
    const BlockHeader header = ReadBlockHeader(paths.header);
    // The conversion ends at an empty block and at a count it refuses.
    if (data.Length() < 4 || header.words > kMaxBlockReadings) {
      ended_ = true;
      return false;
    }
    // The first block is stepped by the enabled sensors, later ones by the
    // count their logger recorded (the enabled sensors when it was never given).
    const int recorded = header.run.SensorCount();
    const double step = first_ || recorded == 0 ? static_cast<double>(sensors_) : recorded;
    first_ = false;
    scansLeft_ = header.words >= 1
                     ? static_cast<std::uint64_t>(std::floor((header.words - 1) / step)) + 1
                     : 0;
    words_ = data.ReadAllWords();
    pointer_ = 0;
    faults_.StartBlock(header.run.ScanInterval());
    return true;
  }

  const Files& files_;
  const std::string& identification_;
  const std::string& dataDirectory_;
  std::vector<int> blocks_;
  std::size_t sensors_;
  FaultCounter& faults_;
  std::size_t next_ = 0;
  bool first_ = true;
  bool ended_ = false;
  std::vector<std::uint16_t> words_;
  std::uint64_t pointer_ = 0;
  std::uint64_t scansLeft_ = 0;
  std::array<std::uint16_t, kMaxGraphSlots> scan_{};
};

struct SlotLimits {
  bool on = false;
  double fieldCapacity = 0;
  double refill = 0;
};

struct EnabledSensor {
  int slot;
  double fieldCapacity;
  double refill;
};

// What the outlook takes from the site header.
struct HeaderPart {
  std::string dataDirectory;
  int slotCount = 12;  // record 6; blank or zero means the full probe
  std::array<SlotLimits, kMaxGraphSlots + 1> slots{};  // indexed by slot
  double rootZoneMm = 0;
  std::string unit;
  std::vector<int> blocks;

  // The enabled sensors among the first `count` slots, in slot order.
  std::vector<EnabledSensor> Enabled(int count) const {
    std::vector<EnabledSensor> enabled;
    for (int s = 1; s <= std::min(count, kMaxGraphSlots); ++s) {
      const SlotLimits& slot = slots[static_cast<std::size_t>(s)];
      if (slot.on) enabled.push_back({s, slot.fieldCapacity, slot.refill});
    }
    return enabled;
  }
};

HeaderPart ReadHeaderPart(const Files& files, const std::string& identification) {
  const fs::path path = files.HeaderPath(identification);
  if (!Files::FileExists(path)) {
    throw IoError("The site " + identification + " has no header file in " +
                  files.HeaderFolder().string());
  }
  SiteHeader header(path, RecordFile::Mode::ReadOnly);
  HeaderPart part;
  part.dataDirectory = Trim(header.ReadRecord(header::kDataDirectory));
  const double count = header.ReadNumber(header::kDepthSlotCount);
  if (count != 0) part.slotCount = static_cast<int>(std::clamp(RoundHalfEven(count), 0.0, 16.0));
  for (int s = 1; s <= kMaxGraphSlots; ++s) {
    const int base = header::CalibrationBase(s);
    SlotLimits& slot = part.slots[static_cast<std::size_t>(s)];
    slot.on = header.ReadRecord(base + header::kState) == "ON";
    if (!slot.on) continue;
    slot.fieldCapacity = header.ReadNumber(base + header::kFieldCapacity);
    slot.refill = header.ReadNumber(base + header::kRefill);
  }
  part.rootZoneMm = header.ReadNumber(header::kRootZone);
  part.unit = header.ReadRecord(header::kMeasurementType) == "Volumetric" ? "mm" : "%";
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
    const auto number = ToInt16(header.ReadNumber(r));
    if (!number || *number == 0) break;
    part.blocks.push_back(*number);
  }
  return part;
}

void Compute(const Files& files, const std::string& identification,
             const std::function<void(int)>& progress, SiteOutlook& out) {
  CheckSafeName(identification);
  const HeaderPart site = ReadHeaderPart(files, identification);
  out.unit = site.unit;
  // Without a data directory there is no graph file and no block.
  std::optional<GraphFileReader> graph;
  if (!site.dataDirectory.empty()) {
    graph = GraphFileReader::Open(
        CalibratedPath(files, CheckSafeName(site.dataDirectory), identification, kGraphExtension));
  }
  // As the graph window: the slots the graph file was made for.
  const std::vector<EnabledSensor> enabled =
      site.Enabled(graph ? graph->Head().slotCount : site.slotCount);
  if (enabled.empty()) return;

  // The root zone: the sensors no deeper than the root feeder zone, else all.
  std::vector<std::size_t> rootZone;
  std::vector<int> depths;
  for (std::size_t j = 0; j < enabled.size(); ++j) {
    depths.push_back(10 * enabled[j].slot);
    if (site.rootZoneMm != 0 && 100.0 * enabled[j].slot <= site.rootZoneMm) rootZone.push_back(j);
  }
  if (rootZone.empty()) {
    for (std::size_t j = 0; j < enabled.size(); ++j) rootZone.push_back(j);
  }
  double fieldCapacity = 0;
  double refill = 0;
  for (std::size_t j : rootZone) {
    out.rootZoneDepthsCm.push_back(depths[j]);
    fieldCapacity += enabled[j].fieldCapacity;
    refill += enabled[j].refill;
  }
  out.fieldCapacity = fieldCapacity;
  out.refill = refill;

  const std::size_t sensors = enabled.size();
  const bool scans = graph && graph->Scans() > 0;
  if (scans && graph->Head().enabledCount != static_cast<int>(sensors)) {
    throw GraphFileError(kOutdatedGraph);
  }
  if (site.dataDirectory.empty()) return;
  FaultCounter faults(sensors);
  BlockWalker walker(files, identification, site.dataDirectory, site.blocks, sensors, faults);
  TotalsOutlook totals(refill);
  bool paired = true;
  if (scans) {
    graph->ForEachScan(
        [&](const GraphScanView& scan) {
          const std::uint16_t* raw = walker.Next();
          if (raw == nullptr) {
            paired = false;
            return;
          }
          double total = 0;
          for (std::size_t j : rootZone) {
            if (OutOfRange(raw[j])) return;  // no total for this scan
            total += scan.values[j];
          }
          totals.Add(scan.dateTime, total);
        },
        progress);
  }
  // Scans the graph file lacks still count for the faults.
  bool unpaired = false;
  while (walker.Next() != nullptr) unpaired = true;
  if (scans && (unpaired || !paired)) throw GraphFileError(kOutdatedGraph);
  totals.Finish(out);
  out.faults = faults.Faults(depths);
}

}  // namespace

std::optional<ScanTime> SplitDateTime(double dateTime) {
  if (!(std::abs(dateTime) < kLatestDateTime)) return std::nullopt;
  const double day = std::floor(dateTime);
  ScanTime t{static_cast<std::int64_t>(day),
             static_cast<int>(std::lround((dateTime - day) * kSecondsPerDay))};
  if (t.seconds >= kSecondsPerDay) {
    ++t.day;
    t.seconds = 0;
  }
  return t;
}

std::optional<CalendarDate> DateOfDay(std::int64_t dayNumber) {
  using namespace std::chrono;
  // Years 1 and 9999 lie well inside these bounds.
  if (dayNumber < -730000 || dayNumber > 2930000) return std::nullopt;
  const year_month_day date{sys_days{year{1995} / December / 31} +
                            days{static_cast<int>(dayNumber)}};
  const int y = static_cast<int>(date.year());
  if (y < 1 || y > 9999) return std::nullopt;
  return CalendarDate{y, static_cast<int>(static_cast<unsigned>(date.month())),
                      static_cast<int>(static_cast<unsigned>(date.day()))};
}

double RoundDecimals(double value, int decimals) {
  const double scale = PowerOfTen(decimals);
  // Beyond 15 digits there is nothing left to round.
  if (!std::isfinite(value) || std::abs(value) * scale >= 1e15) return value;
  const std::string text = FormatNumber(value, kDoubleDigits, false);
  const bool negative = text[0] == '-';
  std::size_t i = negative ? 1 : 0;
  std::int64_t units = 0;
  for (; i < text.size() && text[i] != '.'; ++i) units = units * 10 + (text[i] - '0');
  if (i < text.size()) ++i;  // the point
  for (int d = 0; d < decimals; ++d) {
    units = units * 10 + (i < text.size() ? text[i++] - '0' : 0);
  }
  if (i < text.size() && text[i] >= '5') ++units;
  if (units == 0) return 0.0;
  const double rounded = static_cast<double>(units) / scale;
  return negative ? -rounded : rounded;
}

void TotalsOutlook::Add(double dateTime, double total) {
  lastDateTime_ = dateTime;
  lastTotal_ = total;
  if (total > refill_) {
    belowSince_.reset();
  } else if (!belowSince_) {
    belowSince_ = dateTime;
  }
  const auto time = SplitDateTime(dateTime);
  if (time && time->seconds >= kMorningFrom && time->seconds < kMorningUntil) {
    Morning& morning = mornings_[time->day];
    morning.sum += total;
    ++morning.scans;
  }
}

std::map<std::int64_t, double> TotalsOutlook::MorningReadings() const {
  std::map<std::int64_t, double> readings;
  for (const auto& [day, morning] : mornings_) {
    readings.emplace_hint(readings.end(), day, RoundDecimals(morning.sum / morning.scans, 3));
  }
  return readings;
}

void TotalsOutlook::Finish(SiteOutlook& out) const {
  if (!lastDateTime_) return;  // no scan with a total: no data
  out.lastScan = lastDateTime_;
  out.total = lastTotal_;

  // The current drydown: back from the last morning, the dry days in a row.
  const std::map<std::int64_t, double> mornings = MorningReadings();
  NoForecastReason ended = NoForecastReason::NotEnoughDryMornings;
  double used = 0;
  int days = 0;
  if (!mornings.empty()) {
    for (auto day = std::prev(mornings.end()); days < kMaxDryDays; --day) {
      if (day == mornings.begin() || std::prev(day)->first != day->first - 1) break;
      const double use = std::prev(day)->second - day->second;
      if (use < kWettingUse) {
        ended = NoForecastReason::Wetting;
        break;
      }
      used += use;
      ++days;
    }
  }
  out.dryDays = days;
  if (days >= 2) out.dailyUse = used / days;

  if (lastTotal_ <= refill_) {
    out.kind = OutlookKind::BelowRefill;
    out.belowSince = belowSince_;
  } else if (!out.dailyUse || *out.dailyUse <= kLeastUse) {
    out.kind = OutlookKind::NoForecast;
    out.reason = out.dailyUse ? NoForecastReason::NoUse : ended;
  } else {
    out.kind = OutlookKind::Refill;
    const double days = (lastTotal_ - refill_) / *out.dailyUse;
    out.daysToRefill = days;
    const auto at = SplitDateTime(*lastDateTime_ + days);
    if (at && DateOfDay(at->day)) out.refillDay = at->day;
  }
}

void FaultCounter::EndBlock() {
  for (Sensor& s : sensors_) {
    s.longestHours =
        std::max(s.longestHours, static_cast<double>(s.blockLongest) * interval_ / 3600);
    s.blockLongest = 0;
    s.run = 0;
  }
}

void FaultCounter::StartBlock(double interval) {
  EndBlock();
  interval_ = interval;
}

std::vector<SensorFault> FaultCounter::Faults(std::span<const int> depthsCm) {
  EndBlock();
  std::vector<SensorFault> faults;
  for (std::size_t j = 0; j < sensors_.size() && j < depthsCm.size(); ++j) {
    const Sensor& s = sensors_[j];
    const bool flat = s.longestHours >= kFlatHours;
    if (s.outOfRange > 0 || flat)
      faults.push_back({depthsCm[j], s.outOfRange, flat ? s.longestHours : 0});
  }
  return faults;
}

SiteOutlook ReadSiteOutlook(const Files& files, const std::string& identification,
                            const std::function<void(int)>& progress) {
  SiteOutlook out;
  out.site = identification;
  try {
    Compute(files, identification, progress, out);
  } catch (const std::exception& e) {
    SiteOutlook failed;
    failed.site = identification;
    failed.error = e.what();
    return failed;
  }
  return out;
}

}  // namespace pelvaro
