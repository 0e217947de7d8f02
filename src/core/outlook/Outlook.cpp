#include "core/outlook/Outlook.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>

#include "core/outlook/SiteScans.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

namespace {

double PowerOfTen(int n) {
  double p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

void Compute(const Files& files, const std::string& identification, const ReadProgress& progress,
             GraphScanSink* graphScans, SiteScanSink* siteScans, OutlookFigures figures,
             SiteOutlook& out) {
  SiteScans site = SiteScans::Open(files, identification);
  out.graphFile = site.GraphPath();
  out.unit = site.Unit();
  const std::vector<SiteSensor>& sensors = site.Sensors();
  if (sensors.empty()) return;
  std::vector<int> depths;
  depths.reserve(sensors.size());
  for (const SiteSensor& sensor : sensors) depths.push_back(sensor.depthCm);
  double fieldCapacity = 0;
  double refill = 0;
  for (std::size_t j : site.RootZone()) {
    out.rootZoneDepthsCm.push_back(depths[j]);
    fieldCapacity += sensors[j].fieldCapacity;
    refill += sensors[j].refill;
  }
  out.fieldCapacity = fieldCapacity;
  out.refill = refill;

  FaultCounter faults(sensors.size());
  TotalsOutlook totals(refill);
  if (siteScans != nullptr) siteScans->Begin(site);
  const bool computed = figures == OutlookFigures::Computed;
  const bool read = site.ForEachScan(
      computed ? &faults : nullptr,
      [&totals, siteScans, computed](const SiteScans::Scan& scan) {
        if (computed && scan.total) totals.Add(scan.graph.dateTime, *scan.total);
        if (siteScans != nullptr) siteScans->Scan(scan);
      },
      progress, graphScans);
  if (!read || !computed) return;
  totals.Finish(out);
  out.faults = faults.Faults(depths);
}

}  // namespace

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
  // Clear of a half, the 15-digit form and the double itself round alike,
  // without writing the text: a season's events round thousands of numbers.
  const double scaled = std::abs(value) * scale;
  if (scaled < 1e6 && std::abs(scaled - std::floor(scaled) - 0.5) > 1e-6) {
    const auto units = RoundHalfAway(scaled);
    if (units == 0) return 0.0;
    const double rounded = static_cast<double>(units) / scale;
    return value < 0 ? -rounded : rounded;
  }
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
    if (morning_ == nullptr || morningDay_ != time->day) {
      morning_ = &mornings_[time->day];
      morningDay_ = time->day;
    }
    morning_->sum += total;
    ++morning_->scans;
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
    const double toRefill = (lastTotal_ - refill_) / *out.dailyUse;
    out.daysToRefill = toRefill;
    const auto at = SplitDateTime(*lastDateTime_ + toRefill);
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

void FaultCounter::AddReadings(std::span<const std::uint16_t> readings) {
  // Sensor by sensor, its state held in registers: this sees every reading
  // of a season.
  const std::size_t n = sensors_.size();
  for (std::size_t j = 0; j < n && j < readings.size(); ++j) {
    Sensor& s = sensors_[j];
    std::uint64_t outOfRange = s.outOfRange;
    std::uint64_t run = s.run;
    std::uint64_t longest = s.blockLongest;
    std::uint16_t last = s.last;
    for (std::size_t i = j; i < readings.size(); i += n) {
      const std::uint16_t raw = readings[i];
      outOfRange += OutOfRange(raw) ? 1 : 0;
      // In arithmetic, not branches, which noisy readings mispredict: a
      // repeat lengthens the run, anything else ends it and starts one (the
      // first reading too, whose run of 0 becomes 1 either way).
      const std::uint64_t repeat = 0 - static_cast<std::uint64_t>(raw == last);  // all ones or none
      longest = std::max(longest, run & ~repeat);
      run = (run & repeat) + 1;
      last = raw;
    }
    s.outOfRange = outOfRange;
    s.run = run;
    s.blockLongest = std::max(longest, run);
    s.last = last;
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
                            const ReadProgress& progress, GraphScanSink* graphScans,
                            SiteScanSink* siteScans, OutlookFigures figures) {
  SiteOutlook out;
  out.site = identification;
  try {
    Compute(files, identification, progress, graphScans, siteScans, figures, out);
  } catch (const std::exception& e) {
    SiteOutlook failed;
    failed.site = identification;
    failed.error = e.what();
    failed.graphFile = out.graphFile;
    return failed;
  }
  return out;
}

SiteOutlook ReadSiteOutlook(const Files& files, const std::string& identification,
                            const std::function<void(int)>& progress) {
  if (!progress) return ReadSiteOutlook(files, identification);
  const ReadProgress readOn = [&progress](int percent) {
    progress(percent);
    return ReadOn::Continue;
  };
  return ReadSiteOutlook(files, identification, readOn);
}

}  // namespace pelvaro
