#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/storage/GraphFile.h"

namespace pelvaro {

// The irrigation outlook of one site: the root zone's total water, its daily
// use over the current drydown, and when the total reaches the refill point,
// computed from the site header, the graph file and the raw data blocks with
// arithmetic a grower can redo in a spreadsheet.

// What the outlook says, the first that applies.
enum class OutlookKind { NoData, BelowRefill, NoForecast, Refill };
// Why there is no forecast.
enum class NoForecastReason { None, Wetting, NotEnoughDryMornings, NoUse };

// A raw reading the logger gives for a sensor it could not read.
inline bool OutOfRange(std::uint16_t raw) { return raw == 0 || raw == 65535; }

// The time of day (05:00:00 up to 07:00:00) whose scans give the morning reading.
inline constexpr int kMorningFrom = 5 * 3600;
inline constexpr int kMorningUntil = 7 * 3600;
// A morning reading that rises by at least 0.001 marks rain or irrigation.
inline constexpr double kWettingUse = -0.0005;
// The drydown looks back at most this many days.
inline constexpr int kMaxDryDays = 5;
// A use at or below this is no use.
inline constexpr double kLeastUse = 0.005;
// A sensor whose reading stays the same this long is flagged flat.
inline constexpr double kFlatHours = 24;

struct SensorFault {
  int depthCm = 0;
  std::uint64_t outOfRange = 0;  // raw readings of 0 or 65535
  double flatHours = 0;          // the longest unchanged run, 0 when under a day
  bool operator==(const SensorFault&) const = default;
};

// The site's last wetting event, as the status shows it. The outlook does
// not find events: whoever reads them with the outlook fills this in.
struct LastEvent {
  double start = 0;  // the date-time of its start scan
  std::string kind;  // "rain", "irrigation" or "unknown"
  std::optional<int> deepestCm;
  double effectiveGain = 0;
  bool operator==(const LastEvent&) const = default;
};

struct SiteOutlook {
  std::string site;   // the site identification
  std::string error;  // why the site could not be read; empty when it was
  std::string unit = "%";
  std::vector<int> rootZoneDepthsCm;
  std::optional<double> fieldCapacity;  // FC: the sum over the root zone
  std::optional<double> refill;         // RP: the sum over the root zone
  std::optional<double> lastScan;       // date-time of the last scan with a total
  std::optional<double> total;          // T_now: the root-zone total of that scan
  std::optional<double> dailyUse;       // u: mean use over the drydown
  int dryDays = 0;                      // days of the current drydown
  OutlookKind kind = OutlookKind::NoData;
  NoForecastReason reason = NoForecastReason::None;
  std::optional<double> daysToRefill;     // D
  std::optional<std::int64_t> refillDay;  // day number of t_now + D
  std::optional<double> belowSince;       // date-time the total fell to refill
  std::vector<SensorFault> faults;        // sensors with a flag, in slot order
  std::optional<LastEvent> lastEvent;
  // Why the last event is not known (its labels could not be read); the
  // outlook's figures stand without it.
  std::string lastEventError;
  // Where the graph file was looked for (empty when the site names no data
  // directory): a change there is a change of the outlook.
  fs::path graphFile;
};

// A date-time (day number plus the fraction of the day) at the nearest second:
// 86400 s rounds to 00:00:00 of the next day.
struct ScanTime {
  std::int64_t day = 0;
  int seconds = 0;
};
// Nothing for a date-time that names no plausible day. Inline, and without
// the library's floor and rounding: it runs for every scan of a season.
inline std::optional<ScanTime> SplitDateTime(double dateTime) {
  constexpr int kSecondsPerDay = 86400;
  // Far beyond any date a logger or a forecast can name.
  constexpr double kLatestDateTime = 1e9;
  if (!(std::abs(dateTime) < kLatestDateTime)) return std::nullopt;
  // Toward zero, the floor of any date a logger names; one less below day 0
  // unless whole.
  auto day = static_cast<std::int64_t>(dateTime);
  if (dateTime < 0) day -= static_cast<std::int64_t>(static_cast<double>(day) > dateTime);
  // Exact: the whole days come off without rounding. At least 0, so halves
  // round up, away from zero.
  const double fraction = (dateTime - static_cast<double>(day)) * kSecondsPerDay;
  auto seconds = static_cast<int>(fraction);
  seconds += static_cast<int>(fraction - seconds >= 0.5);
  if (seconds >= kSecondsPerDay) return ScanTime{day + 1, 0};
  return ScanTime{day, seconds};
}

struct CalendarDate {
  int year = 0;
  int month = 0;
  int day = 0;
};
// The calendar date of a day number (1 January 1996 is day 1); nothing
// outside the years 1 to 9999.
std::optional<CalendarDate> DateOfDay(std::int64_t dayNumber);

// Rounds to the given decimals, halves away from zero, on the number's
// 15-digit decimal form, as a spreadsheet rounds the number it shows.
double RoundDecimals(double value, int decimals);

// The arithmetic of the outlook over the root-zone totals, scan by scan in
// file order. Only scans that have a total are given to it.
class TotalsOutlook {
 public:
  // `refill` is the root zone's refill point RP.
  explicit TotalsOutlook(double refill) : refill_(refill) {}
  // A copy's cached day would point into the original's mornings.
  TotalsOutlook(const TotalsOutlook&) = delete;
  TotalsOutlook& operator=(const TotalsOutlook&) = delete;
  TotalsOutlook(TotalsOutlook&&) = default;
  TotalsOutlook& operator=(TotalsOutlook&&) = default;
  void Add(double dateTime, double total);
  // Fills the outlook's last scan, total, use and forecast.
  void Finish(SiteOutlook& outlook) const;
  // R(d): the morning reading of each day that has one.
  std::map<std::int64_t, double> MorningReadings() const;

 private:
  struct Morning {
    double sum = 0;
    int scans = 0;
  };
  double refill_;
  std::map<std::int64_t, Morning> mornings_;
  // The morning scans come day by day: the day last added to, found once.
  Morning* morning_ = nullptr;
  std::int64_t morningDay_ = 0;
  std::optional<double> lastDateTime_;
  double lastTotal_ = 0;
  std::optional<double> belowSince_;  // first scan of the trailing run at or below refill
};

// Counts, per enabled sensor, the readings out of range and the longest run
// of one unchanged reading within a block.
class FaultCounter {
 public:
  explicit FaultCounter(std::size_t sensors) : sensors_(sensors) {}
  // Runs end at a block boundary; `interval` is the block's scan interval in seconds.
  void StartBlock(double interval);
  // A block's readings in order, one per sensor in turn, from its first.
  void AddReadings(std::span<const std::uint16_t> readings);
  // The sensors with a flag, given the depth of each; ends the last block.
  std::vector<SensorFault> Faults(std::span<const int> depthsCm);

 private:
  struct Sensor {
    std::uint64_t outOfRange = 0;
    std::uint16_t last = 0;
    std::uint64_t run = 0;
    std::uint64_t blockLongest = 0;
    double longestHours = 0;
  };
  void EndBlock();

  std::vector<Sensor> sensors_;
  double interval_ = 0;
};

inline constexpr char kOutdatedGraph[] =
    "The graph file does not match the site's data blocks: convert the site again.";
inline constexpr char kMissingGraph[] =
    "The site has data blocks but its graph file is missing or cut short: convert the site "
    "again.";
inline constexpr char kNoDataDirectory[] =
    "The site has data blocks but its site file names no data directory: choose one in the "
    "site window and convert the site again.";

// Sees the graph file's scans as the outlook reads them, so that a caller
// who draws them too reads the file once.
class GraphScanSink {
 public:
  virtual ~GraphScanSink() = default;
  // Before the first scan: the graph file and what it says it holds.
  virtual void Begin(const fs::path& path, const GraphFileHead& head, std::uint64_t scans) = 0;
  // A scan and the raw readings it was converted from, one per sensor;
  // nullptr for a scan the blocks lack.
  virtual void Scan(const GraphScanView& scan, const std::uint16_t* raw) = 0;
  // After the last scan, only when the file was read to its end; `paired`
  // when its scans and the blocks' paired scan for scan, else the raw
  // readings given were none of theirs.
  virtual void End(bool paired) = 0;
};

// The outlook of one site from its header, its graph file and its data
// blocks, read in one pass over each. Never throws: a site that cannot be
// read comes back with `error` set. Holds no state between calls, so sites
// may be read on several threads at once. `progress` gets the percent of the
// graph file read; when it answers Stop, the reading ends there and what
// comes back is incomplete.
// `graphScans`, when given, sees every scan of the graph file the outlook
// reads; `siteScans` sees them as the outlook pairs and adds them up.
// `figures` Skipped leaves the outlook's own figures (totals, use, forecast,
// faults) unset, for a caller that wants only what the sinks find: the
// errors are the same.
class SiteScanSink;
enum class OutlookFigures { Computed, Skipped };
SiteOutlook ReadSiteOutlook(const Files& files, const std::string& identification,
                            const ReadProgress& progress = {}, GraphScanSink* graphScans = nullptr,
                            SiteScanSink* siteScans = nullptr,
                            OutlookFigures figures = OutlookFigures::Computed);
// The same, for a caller that only follows the percent and never stops the reading.
SiteOutlook ReadSiteOutlook(const Files& files, const std::string& identification,
                            const std::function<void(int)>& progress);

}  // namespace pelvaro
