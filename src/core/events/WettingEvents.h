#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/outlook/SiteScans.h"

namespace pelvaro {

// Wetting events of one site: each rain or irrigation the root-zone total
// shows, and how deep the water went, found in one pass over the outlook's
// scans in the graph file's order.

// A scan time as whole seconds from the start of day 0.
using EventSeconds = std::int64_t;

struct DepthResponse {
  int depthCm = 0;
  std::optional<bool> reached;  // none when the sensor is missing at the start scan
  std::optional<double> lagHours;
  std::optional<double> rise;
  bool operator==(const DepthResponse&) const = default;
};

struct WettingEvent {
  EventSeconds start = 0;
  EventSeconds peak = 0;
  std::optional<EventSeconds> end;  // none while still wetting
  double totalStart = 0;
  double totalPeak = 0;
  double gain = 0;
  double effectiveGain = 0;  // the gain up to field capacity
  double excess = 0;         // the gain above field capacity, which drains
  std::string unit = "%";
  std::vector<DepthResponse> depths;  // by increasing depth
  std::optional<int> deepestCm;
  bool belowRootZone = false;
  bool operator==(const WettingEvent&) const = default;
};

// The numbers as they are shown: totals, gains and rises to three decimals,
// lags to two.
WettingEvent RoundedForOutput(const WettingEvent& event);

// One scan as the events see it: `values` and `raw` hold one entry per
// sensor (no raw readings: every value missing); `total` is the root-zone
// total, none when it is missing.
struct EventScan {
  double dateTime = 0;
  std::span<const double> values;
  const std::uint16_t* raw = nullptr;
  std::optional<double> total;
};

// Fed the scans one at a time; keeps only the scans of the windows still
// open, so a season of any length takes bounded memory. Holds no shared
// state: one per site, on any thread.
class WettingEvents {
 public:
  // `rootZone` holds indices into `sensors`; the unit is the outlook's. At
  // most kMaxGraphSlots sensors, as a graph file holds (else invalid_argument).
  WettingEvents(std::vector<SiteSensor> sensors, std::vector<std::size_t> rootZone,
                std::string unit);
  explicit WettingEvents(const SiteScans& site);

  void Add(const EventScan& scan);
  void Add(const SiteScans::Scan& scan) {
    Add(EventScan{scan.graph.dateTime, scan.graph.values, scan.raw, scan.total});
  }
  // Every event, the one still open included, in order of start.
  std::vector<WettingEvent> Finish();

 private:
  static constexpr std::int32_t kNoValue = std::numeric_limits<std::int32_t>::min();
  struct Record {
    std::uint64_t ordinal = 0;
    EventSeconds time = 0;
    // Hundredths, kNoValue when missing: held in place, since a record is
    // made for every scan and copied into every window that holds it.
    std::array<std::int32_t, kMaxGraphSlots> values{};
  };
  struct Pending {
    WettingEvent event;
    Record start;
    std::vector<Record> window;  // scans after the start, within 72 hours
  };

  void Begin(const Record& holder, std::int64_t total, const Record& rising);
  void Close(Pending& pending, std::optional<std::uint64_t> lastOrdinal);

  std::vector<SiteSensor> sensors_;
  std::vector<std::size_t> rootZone_;
  std::string unit_;
  std::int64_t delta_ = 0;
  double fieldCapacity_ = 0;
  int deepestRootCm_ = 0;

  std::uint64_t ordinal_ = 0;
  // The lowest total a start is measured from, the scan holding it, and the
  // scans after that scan (within 72 hours of it).
  std::optional<std::int64_t> low_;
  Record holder_;
  std::vector<Record> sinceHolder_;
  // The event open now, its peak's total and time.
  std::optional<Pending> open_;
  std::int64_t peakTotal_ = 0;
  // The last event that ended, its window waiting for the next start.
  std::optional<Pending> ended_;
  std::vector<WettingEvent> done_;
};

}  // namespace pelvaro
