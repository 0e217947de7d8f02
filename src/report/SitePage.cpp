#include "report/SitePage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>

#include "core/outlook/OutlookReport.h"

namespace pelvaro {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
// Scans kept ahead of the period's start before they are let go at once.
constexpr std::size_t kTrimAfter = 4096;

// The scans of the period as the outlook's pass sees them, and every
// morning reading of the season (a day's use needs the morning before).
// While the start of the period is open, the scans more than a period behind
// the latest are dropped as the reading goes.
class PageScans : public SiteScanSink {
 public:
  explicit PageScans(const ReportPeriod& period) : period_(period), mornings_(0) {}

  void Begin(const SiteScans& site) override {
    dataDirectory_ = site.DataDirectory();
    for (const SiteSensor& sensor : site.Sensors()) depthsCm_.push_back(sensor.depthCm);
    values_.assign(depthsCm_.size(), {});
  }

  void Scan(const SiteScans::Scan& scan) override {
    const double t = scan.graph.dateTime;
    if (scan.total) mornings_.Add(t, *scan.total);
    if ((period_.from && t < *period_.from) || (period_.to && t > *period_.to)) return;
    latest_ = std::max(latest_.value_or(t), t);
    times_.push_back(t);
    for (std::size_t j = 0; j < values_.size(); ++j) {
      values_[j].push_back(OutOfRange(scan.raw[j]) ? kMissing : scan.graph.values[j]);
    }
    if (!period_.from) DropBefore(*latest_ - period_.days);
  }

  const std::string& DataDirectory() const { return dataDirectory_; }
  const std::vector<int>& DepthsCm() const { return depthsCm_; }
  const std::optional<double>& Latest() const { return latest_; }
  std::map<std::int64_t, double> Mornings() const { return mornings_.MorningReadings(); }

  // The kept scans from `from` to `to`: their times and each sensor's values.
  struct Slice {
    std::span<const double> times;
    std::vector<std::span<const double>> values;
  };
  Slice Between(double from, double to) const {
    const auto first = std::lower_bound(times_.begin(), times_.end(), from) - times_.begin();
    const auto last = std::upper_bound(times_.begin(), times_.end(), to) - times_.begin();
    const auto begin = static_cast<std::size_t>(std::max(first, static_cast<std::ptrdiff_t>(0)));
    const auto count = static_cast<std::size_t>(std::max(last - first, std::ptrdiff_t{0}));
    Slice slice{std::span(times_).subspan(begin, count), {}};
    for (const std::vector<double>& v : values_)
      slice.values.push_back(std::span(v).subspan(begin, count));
    return slice;
  }

 private:
  // Scans before `start` are let go in batches: `stale_` of them lead the
  // vectors until there are enough to be worth moving the rest for.
  void DropBefore(double start) {
    while (stale_ < times_.size() && times_[stale_] < start) ++stale_;
    if (stale_ < kTrimAfter) return;
    const auto cut = [this](std::vector<double>& v) {
      v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(stale_));
    };
    cut(times_);
    for (std::vector<double>& v : values_) cut(v);
    stale_ = 0;
  }

  const ReportPeriod& period_;
  TotalsOutlook mornings_;
  std::string dataDirectory_;
  std::vector<int> depthsCm_;
  std::optional<double> latest_;
  std::vector<double> times_;
  std::vector<std::vector<double>> values_;
  std::size_t stale_ = 0;
};

// The events that began in the period, and the labels left without an event there.
EventList EventsIn(const EventList& list, const PeriodSpan& span) {
  EventList out;
  for (const LabelledEvent& e : list.events) {
    const double start = EventDateTime(e.event.start);
    if (start >= span.from && start <= span.to) out.events.push_back(e);
  }
  // ISO times of four-digit years sort as the times do.
  const std::string from = IsoDateTime(span.from);
  const std::string to = IsoDateTime(span.to);
  for (const EventLabel& label : list.orphans) {
    if (label.start >= from && label.start <= to) out.orphans.push_back(label);
  }
  return out;
}

std::vector<PlotPoint> Line(std::span<const double> x, std::span<const double> y,
                            const PeriodSpan& span) {
  return Decimate(x, y, span.from, span.to, kPageColumns);
}

bool Faulty(const SiteOutlook& outlook, int depthCm) {
  return std::any_of(outlook.faults.begin(), outlook.faults.end(),
                     [depthCm](const SensorFault& f) { return f.depthCm == depthCm; });
}

void FillLines(SitePage& page, const PageScans& scans) {
  const PeriodSpan span = *page.period;
  const PageScans::Slice slice = scans.Between(span.from, span.to);
  page.scans = slice.times.size();
  if (page.scans == 1) page.onlyScan = slice.times.front();
  if (page.scans < 2) return;
  for (std::size_t j = 0; j < slice.values.size(); ++j) {
    const int depth = scans.DepthsCm()[j];
    page.depths.push_back(
        {depth, Faulty(page.outlook, depth), Line(slice.times, slice.values[j], span)});
  }
}

}  // namespace

std::optional<PeriodSpan> ResolvePeriod(const ReportPeriod& period,
                                        const std::optional<double>& lastScan) {
  if (!period.to && !lastScan) return std::nullopt;
  const double to = period.to ? *period.to : *lastScan;
  return PeriodSpan{period.from ? *period.from : to - period.days, to};
}

std::vector<DailyUse> DailyUses(const std::map<std::int64_t, double>& mornings,
                                std::int64_t fromDay, std::int64_t toDay,
                                const std::vector<std::int64_t>& eventDays) {
  const std::set<std::int64_t> events(eventDays.begin(), eventDays.end());
  std::vector<DailyUse> uses;
  for (std::int64_t d = fromDay; d <= toDay; ++d) {
    DailyUse& u = uses.emplace_back();
    u.day = d;
    const auto today = mornings.find(d);
    const auto before = mornings.find(d - 1);
    if (today != mornings.end() && before != mornings.end()) u.use = before->second - today->second;
    u.wetting = (u.use && *u.use < kWettingUse) || events.count(d) > 0;
  }
  return uses;
}

SitePage ReadSitePage(const Files& files, const std::string& identification,
                      const ReportPeriod& period, const ReadProgress& progress) {
  PageScans scans(period);
  SiteEvents read = ReadSiteEvents(files, identification, progress, &scans);
  SitePage page;
  page.outlook = std::move(read.outlook);
  page.dataDirectory = scans.DataDirectory();
  if (!page.outlook.error.empty()) return page;
  page.period = ResolvePeriod(period, scans.Latest());
  if (!page.period) return page;
  page.events = EventsIn(read.list, *page.period);
  FillLines(page, scans);
  // The days whose morning (05:00 to 07:00) lies in the period.
  constexpr double kMorningStart = static_cast<double>(kMorningFrom) / 86400;
  constexpr double kMorningEnd = static_cast<double>(kMorningUntil) / 86400;
  const auto firstDay = static_cast<std::int64_t>(std::ceil(page.period->from - kMorningStart));
  const auto lastDay = static_cast<std::int64_t>(std::floor(page.period->to - kMorningEnd));
  std::vector<std::int64_t> eventDays;
  for (const LabelledEvent& e : page.events.events) {
    eventDays.push_back(static_cast<std::int64_t>(std::floor(EventDateTime(e.event.start))));
  }
  page.uses = DailyUses(scans.Mornings(), firstDay, lastDay, eventDays);
  return page;
}

}  // namespace pelvaro
