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

// One scan as the events see it: `hundredths` and `raw` hold one entry per
// sensor (no raw readings: every value missing); `total` is the root-zone
// total, none when it is missing.
struct EventScan {
  double dateTime = 0;
  std::span<const std::int32_t> hundredths;  // the values in whole hundredths
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
    Add(EventScan{scan.graph.dateTime, scan.graph.hundredths, scan.raw, scan.total});
  }
  // Every event, the one still open included, in order of start.
  std::vector<WettingEvent> Finish();

 private:
  static constexpr std::int32_t kNoValue = std::numeric_limits<std::int32_t>::min();
  struct Record {
    EventSeconds time = 0;
    // Hundredths, kNoValue when missing: held in place, since a record is
    // made for every scan.
    std::array<std::int32_t, kMaxGraphSlots> values{};
  };
  // What the scans after a start scan, within 72 hours of it, did to each
  // sensor: kept as they come instead of the scans themselves, so that no
  // scan is stored.
  struct Window {
    struct Sensor {
      std::int32_t highest = kNoValue;
      bool reached = false;
      EventSeconds lag = 0;
    };
    Record start;
    std::array<Sensor, kMaxGraphSlots> sensors{};
  };
  struct Pending {
    WettingEvent event;
    Window window;
    // The window as it stood at the scan now holding the low: where it ends
    // when the next event starts there. Copied from the window only before
    // a scan changes it (snapshotDue_).
    Window untilHolder;
  };

  void Take(Window& window, const Record& r) const;
  // The scan goes into the last event's window.
  void TakePending(const Record& r);
  // The scan keeps the low or makes a new one.
  void Lower(const Record& r, std::int64_t total);
  void Begin(std::int64_t total, const Record& rising);
  void Close(Pending& pending, const Window& window);

  std::vector<SiteSensor> sensors_;
  std::vector<std::size_t> rootZone_;
  std::string unit_;
  std::int64_t delta_ = 0;
  double fieldCapacity_ = 0;
  int deepestRootCm_ = 0;

  // The lowest total a start is measured from, and the window of an event
  // that would start at the scan holding it.
  std::optional<std::int64_t> low_;
  Window sinceHolder_;
  // The last event, open or ended, and whether it is still open. An event
  // ends before the next one starts, so there is never more than one.
  std::optional<Pending> pending_;
  bool open_ = false;
  // The holder moved, and the pending window, as it stands, is its
  // untilHolder: copied before the next scan that changes it.
  bool snapshotDue_ = false;
  std::int64_t peakTotal_ = 0;
  std::vector<WettingEvent> done_;
};

}  // namespace pelvaro
