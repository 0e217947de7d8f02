#include "core/events/WettingEvents.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>
#include <utility>

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
std::int64_t Hundredths(double value) { return std::llround(value * 100.0); }

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

void WettingEvents::Add(const EventScan& scan) {
  const std::optional<ScanTime> time = SplitDateTime(scan.dateTime);
  if (!time) return;  // a scan with no plausible time takes no part
  Record rec;
  rec.ordinal = ordinal_++;
  rec.time = time->day * 86400 + time->seconds;
  rec.values.fill(kNoValue);
  for (std::size_t i = 0; i < sensors_.size() && i < scan.values.size(); ++i) {
    if (scan.raw && !OutOfRange(scan.raw[i]))
      rec.values[i] = static_cast<std::int32_t>(Hundredths(scan.values[i]));
  }
  for (Pending* p : {open_ ? &*open_ : nullptr, ended_ ? &*ended_ : nullptr}) {
    if (p && rec.time - p->start.time <= kWindowSeconds) p->window.push_back(rec);
  }
  if (rootZone_.empty()) return;

  // The scans after the holder of the low, kept for the window of an event
  // that starts there.
  const auto keepAfterHolder = [this](const Record& r) {
    if (low_ && r.time - holder_.time <= kWindowSeconds) sinceHolder_.push_back(r);
  };
  const auto lower = [this, &keepAfterHolder](const Record& r, std::int64_t total) {
    if (!low_ || total <= *low_) {
      low_ = total;
      holder_ = r;
      sinceHolder_.clear();
    } else {
      keepAfterHolder(r);
    }
  };

  if (!scan.total) {
    keepAfterHolder(rec);
    return;
  }
  const std::int64_t total = Hundredths(*scan.total);
  if (open_) {
    if (total > peakTotal_) {
      peakTotal_ = total;
      open_->event.peak = rec.time;
      open_->event.totalPeak = static_cast<double>(total) / 100.0;
      low_.reset();
      sinceHolder_.clear();
      return;
    }
    lower(rec, total);
    if (rec.time - open_->event.peak >= kQuietSeconds) {
      open_->event.end = rec.time;
      ended_ = std::move(open_);
      open_.reset();
    }
    return;
  }
  if (low_ && total >= *low_ + delta_) {
    Begin(holder_, *low_, rec);
    peakTotal_ = total;
    open_->event.peak = rec.time;
    open_->event.totalPeak = static_cast<double>(total) / 100.0;
    return;
  }
  lower(rec, total);
}

void WettingEvents::Begin(const Record& holder, std::int64_t total, const Record& rising) {
  if (ended_) {
    Close(*ended_, holder.ordinal);
    ended_.reset();
  }
  Pending p;
  p.start = holder;
  p.window = std::move(sinceHolder_);
  if (rising.time - holder.time <= kWindowSeconds) p.window.push_back(rising);
  p.event.start = holder.time;
  p.event.totalStart = static_cast<double>(total) / 100.0;
  p.event.unit = unit_;
  open_ = std::move(p);
  low_.reset();
  sinceHolder_.clear();
}

void WettingEvents::Close(Pending& p, std::optional<std::uint64_t> lastOrdinal) {
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
    const std::int32_t base = p.start.values[i];
    if (base != kNoValue) {
      std::optional<std::int32_t> highest;
      bool reached = false;
      for (const Record& r : p.window) {
        if (lastOrdinal && r.ordinal > *lastOrdinal) break;
        const std::int32_t v = r.values[i];
        if (v == kNoValue) continue;
        highest = highest ? std::max(*highest, v) : v;
        if (!reached && v >= base + kReachedRise) {
          reached = true;
          d.lagHours = static_cast<double>(r.time - p.start.time) / 3600.0;
        }
      }
      d.reached = reached;
      if (highest) d.rise = static_cast<double>(*highest - base) / 100.0;
      if (reached) {
        e.deepestCm = e.deepestCm ? std::max(*e.deepestCm, d.depthCm) : d.depthCm;
        if (d.depthCm > deepestRootCm_) e.belowRootZone = true;
      }
    }
    e.depths.push_back(d);
  }
  done_.push_back(std::move(e));
}

std::vector<WettingEvent> WettingEvents::Finish() {
  if (ended_) Close(*ended_, std::nullopt);
  if (open_) Close(*open_, std::nullopt);
  ended_.reset();
  open_.reset();
  return std::move(done_);
}

}  // namespace pelvaro
