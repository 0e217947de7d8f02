#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/events/SiteEvents.h"
#include "core/graph/Decimation.h"

namespace pelvaro {

// What one site's page of the report shows, read in one pass over its files
// and cut to the period: what is kept is a few thousand points whatever the
// length of the season, so the pages of many sites can wait for the first.

// The period a page shows: from `from` to `to` (date-times); an open end is
// the last scan, an open start `days` before the end.
struct ReportPeriod {
  double days = 14;
  std::optional<double> from;
  std::optional<double> to;
};

// The period as date-times, once the site's last scan is known.
struct PeriodSpan {
  double from = 0;
  double to = 0;
};
// Nothing when an end is open and the site has no scan.
std::optional<PeriodSpan> ResolvePeriod(const ReportPeriod& period,
                                        const std::optional<double>& lastScan);

struct DepthLine {
  int depthCm = 0;
  bool faulty = false;
  std::vector<PlotPoint> points;  // x: date-time; NaN where the reading was out of range
};

// U(d): the drop of the root-zone total's morning reading from day d - 1 to day d.
struct DailyUse {
  std::int64_t day = 0;
  std::optional<double> use;  // none without both mornings
  bool wetting = false;       // the morning rose, or an event began that day
};

struct SitePage {
  SiteOutlook outlook;        // with its last event
  std::string dataDirectory;  // the one the outlook read, named by the site's header
  EventList events;           // those that began in the period
  std::optional<PeriodSpan> period;
  std::size_t scans = 0;           // in the period
  std::optional<double> onlyScan;  // the date-time of the period's one scan
  std::vector<DepthLine> depths;
  std::vector<DailyUse> uses;  // one per day of the period
};

// The points of a line kept across a chart's width: more than any page shows.
inline constexpr int kPageColumns = 1600;

// Never throws: a site that cannot be read has `outlook.error` set. A read
// that `progress` stopped comes back incomplete.
SitePage ReadSitePage(const Files& files, const std::string& identification,
                      const ReportPeriod& period, const ReadProgress& progress = {});

// The daily uses of the days from `fromDay` to `toDay` from the morning
// readings R(d), wetting marked where R rose or where `eventDays` holds the day.
std::vector<DailyUse> DailyUses(const std::map<std::int64_t, double>& mornings,
                                std::int64_t fromDay, std::int64_t toDay,
                                const std::vector<std::int64_t>& eventDays);

}  // namespace pelvaro
