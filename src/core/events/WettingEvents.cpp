#include "core/events/WettingEvents.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "core/storage/NumberText.h"

namespace pelvaro {
namespace {

constexpr EventSeconds kWindowSeconds = 72 * 3600;
constexpr EventSeconds kQuietSeconds = 6 * 3600;
// A sensor is reached when it rises this many hundredths above its start.
constexpr std::int32_t kReachedRise = 20;
// Per root-zone sensor, the rise of the total that starts an event.
constexpr std::int64_t kStartRisePerSensor = 20;

// The graph file's values have two decimals: compared as whole hundredths,
// 0.2 x 3 is exactly 0.6.
std::int64_t Hundredths(double value) { return RoundHalfAway(value * 100.0); }

}  // namespace

WettingEvent RoundedForOutput(const WettingEvent& event) {
  WettingEvent out = event;
  out.totalStart = RoundDecimals(event.totalStart, 3);
  out.totalPeak = RoundDecimals(event.totalPeak, 3);
  out.gain = RoundDecimals(event.gain, 3);
  out.effectiveGain = RoundDecimals(event.effectiveGain, 3);
  out.excess = RoundDecimals(event.excess, 3);
  for (DepthResponse& depth : out.depths) {
    if (depth.lagHours) depth.lagHours = RoundDecimals(*depth.lagHours, 2);
    if (depth.rise) depth.rise = RoundDecimals(*depth.rise, 3);
  }
  return out;
}

WettingEvents::WettingEvents(std::vector<SiteSensor> sensors, std::vector<std::size_t> rootZone,
                             std::string unit)
    : sensors_(std::move(sensors)), rootZone_(std::move(rootZone)), unit_(std::move(unit)) {
  if (sensors_.size() > static_cast<std::size_t>(kMaxGraphSlots))
    throw std::invalid_argument("more sensors than a graph file holds");
  delta_ = kStartRisePerSensor * static_cast<std::int64_t>(rootZone_.size());
  for (const std::size_t i : rootZone_) {
    fieldCapacity_ += sensors_[i].fieldCapacity;
    deepestRootCm_ = std::max(deepestRootCm_, sensors_[i].depthCm);
  }
}

WettingEvents::WettingEvents(const SiteScans& site)
    : WettingEvents(site.Sensors(), site.RootZone(), site.Unit()) {}

void WettingEvents::Take(Window& window, const Record& r) const {
  const EventSeconds after = r.time - window.start.time;
  if (after > kWindowSeconds) return;
  for (std::size_t i = 0; i < sensors_.size(); ++i) {
    const std::int32_t v = r.values[i];
    if (v == kNoValue) continue;
    Window::Sensor& sensor = window.sensors[i];
    sensor.highest = std::max(sensor.highest, v);
    const std::int32_t base = window.start.values[i];
    if (!sensor.reached && base != kNoValue && v >= base + kReachedRise) {
      sensor.reached = true;
      sensor.lag = after;
    }
  }
}

void WettingEvents::Add(const EventScan& scan) {
  const std::optional<ScanTime> time = SplitDateTime(scan.dateTime);
  if (!time) return;  // a scan with no plausible time takes no part
  Record rec;
  rec.time = time->day * 86400 + time->seconds;
  const std::size_t used = sensors_.size();
  const std::size_t sensors = scan.raw != nullptr ? std::min(used, scan.hundredths.size()) : 0;
  for (std::size_t i = 0; i < sensors; ++i) {
    // Selected, not branched on.
    rec.values[i] = OutOfRange(scan.raw[i]) ? kNoValue : scan.hundredths[i];
  }
  for (std::size_t i = sensors; i < used; ++i) rec.values[i] = kNoValue;
  if (rootZone_.empty()) return;  // no total: no event, no window

  if (!scan.total) {
    TakePending(rec);
    if (low_) Take(sinceHolder_, rec);
    return;
  }
  const std::int64_t total = Hundredths(*scan.total);
  if (open_) {
    if (total > peakTotal_) {
      // The low is found again after this peak: the window as it stood at
      // the last one is never needed.
      snapshotDue_ = false;
      TakePending(rec);
      peakTotal_ = total;
      pending_->event.peak = rec.time;
      pending_->event.totalPeak = static_cast<double>(total) / 100.0;
      low_.reset();
      return;
    }
    TakePending(rec);
    Lower(rec, total);
    if (rec.time - pending_->event.peak >= kQuietSeconds) {
      pending_->event.end = rec.time;
      open_ = false;
    }
    return;
  }
  if (low_ && total >= *low_ + delta_) {
    // The last event's window ends at the low's holder, before this scan.
    Begin(*low_, rec);
    peakTotal_ = total;
    pending_->event.peak = rec.time;
    pending_->event.totalPeak = static_cast<double>(total) / 100.0;
    return;
  }
  TakePending(rec);
  Lower(rec, total);
}

void WettingEvents::TakePending(const Record& r) {
  if (!pending_) return;
  Window& window = pending_->window;
  if (snapshotDue_ && r.time - window.start.time <= kWindowSeconds) {
    // Copied only now that the scan changes the window: a new peak, which
    // comes next as often as not while the total rises, makes it needless.
    const std::size_t n = sensors_.size();
    pending_->untilHolder.start = window.start;
    for (std::size_t i = 0; i < n; ++i) pending_->untilHolder.sensors[i] = window.sensors[i];
    snapshotDue_ = false;
  }
  Take(window, r);
}

void WettingEvents::Lower(const Record& r, std::int64_t total) {
  if (low_ && total > *low_) {
    Take(sinceHolder_, r);
    return;
  }
  // The sensors in use only, one by one (a library copy's call costs more
  // than these few): a drying profile makes a new low of almost every scan.
  low_ = total;
  const std::size_t n = sensors_.size();
  sinceHolder_.start = r;
  for (std::size_t i = 0; i < n; ++i) sinceHolder_.sensors[i] = Window::Sensor{};
  snapshotDue_ = pending_.has_value();
}

void WettingEvents::Begin(std::int64_t total, const Record& rising) {
  // The last event's window ends at this start; unless it changed since,
  // it is as it stands.
  if (pending_) Close(*pending_, snapshotDue_ ? pending_->window : pending_->untilHolder);
  snapshotDue_ = false;
  pending_ = Pending{};
  Pending& p = *pending_;
  p.window = sinceHolder_;
  Take(p.window, rising);
  p.event.start = p.window.start.time;
  p.event.totalStart = static_cast<double>(total) / 100.0;
  p.event.unit = unit_;
  open_ = true;
  low_.reset();
}

void WettingEvents::Close(Pending& p, const Window& window) {
  WettingEvent& e = p.event;
  e.gain = static_cast<double>(Hundredths(e.totalPeak) - Hundredths(e.totalStart)) / 100.0;
  e.effectiveGain = std::max(0.0, std::min(e.totalPeak, fieldCapacity_) - e.totalStart);
  e.excess = std::max(0.0, e.totalPeak - std::max(fieldCapacity_, e.totalStart));

  std::vector<std::size_t> order(sensors_.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [this](std::size_t a, std::size_t b) {
    return sensors_[a].depthCm < sensors_[b].depthCm;
  });
  for (const std::size_t i : order) {
    DepthResponse d;
    d.depthCm = sensors_[i].depthCm;
    const std::int32_t base = window.start.values[i];
    if (base != kNoValue) {
      const Window::Sensor& sensor = window.sensors[i];
      d.reached = sensor.reached;
      if (sensor.reached) d.lagHours = static_cast<double>(sensor.lag) / 3600.0;
      if (sensor.highest != kNoValue) d.rise = static_cast<double>(sensor.highest - base) / 100.0;
      if (sensor.reached) {
        e.deepestCm = e.deepestCm ? std::max(*e.deepestCm, d.depthCm) : d.depthCm;
        if (d.depthCm > deepestRootCm_) e.belowRootZone = true;
      }
    }
    e.depths.push_back(d);
  }
  done_.push_back(std::move(e));
}

std::vector<WettingEvent> WettingEvents::Finish() {
  if (pending_) Close(*pending_, pending_->window);
  pending_.reset();
  snapshotDue_ = false;
  open_ = false;
  return std::move(done_);
}

}  // namespace pelvaro
