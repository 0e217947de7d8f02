// The one-pass events against the rule read literally over every scan held
// in memory, on random seasons whose steps of 0.05 and 15 minutes land on
// the rule's edges: rises of exactly delta, ends exactly 6 hours after a
// peak, windows ending exactly 72 hours after a start, missing readings.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "core/events/WettingEvents.h"

namespace pelvaro::testing {
namespace {

constexpr EventSeconds kFirstTime = 11000 * 86400;
constexpr EventSeconds kStep = 900;
constexpr EventSeconds kQuiet = 6 * 3600;
constexpr EventSeconds kWindow = 72 * 3600;

struct Scan {
  EventSeconds time = 0;
  std::vector<std::optional<std::int32_t>> values;  // hundredths
  std::optional<std::int64_t> total;
};
struct Season {
  std::vector<SiteSensor> sensors;
  std::vector<std::size_t> rootZone;
  std::vector<Scan> scans;
};

// How often the literal rule met each edge over all the seasons: a run that
// never meets one proves nothing about it.
struct Edges {
  int events = 0;
  int startsOnDelta = 0;
  int endsOnSixHours = 0;
  int windowsOn72Hours = 0;
  int unknownDepths = 0;
  int reachedDepths = 0;
};

Season RandomSeason(unsigned seed) {
  std::mt19937 rng(seed);
  const auto pick = [&rng](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
  };
  Season season;
  const int sensors = pick(1, 7);
  for (int i = 0, slot = 0; i < sensors; ++i) {
    slot += pick(1, 3);
    season.sensors.push_back({slot, 10 * slot, pick(2000, 4000) / 100.0, 10});
    if (pick(0, 2) > 0) season.rootZone.push_back(static_cast<std::size_t>(i));
  }
  if (season.rootZone.empty()) season.rootZone.push_back(0);
  std::vector<std::int32_t> level(season.sensors.size());
  for (std::int32_t& v : level) v = pick(200, 800) * 5;
  EventSeconds time = kFirstTime;
  int wetting = 0;
  const int scans = pick(40, 500);
  for (int k = 0; k < scans; ++k) {
    time += pick(0, 60) == 0 ? kStep * pick(2, 400) : kStep;  // now and then a gap
    if (wetting == 0 && pick(0, 80) == 0) wetting = pick(1, 8);
    Scan scan{time, {}, std::int64_t{0}};
    for (std::size_t i = 0; i < level.size(); ++i) {
      level[i] += 5 * (wetting > 0 ? pick(-1, 12 - 2 * static_cast<int>(i)) : pick(-3, 2));
      const bool missing = pick(0, 40) == 0;
      scan.values.push_back(missing ? std::nullopt : std::optional(level[i]));
    }
    if (wetting > 0) --wetting;
    for (const std::size_t i : season.rootZone) {
      if (!scan.values[i]) scan.total.reset();
      if (scan.total) *scan.total += *scan.values[i];
    }
    season.scans.push_back(scan);
  }
  return season;
}

struct Found {
  std::size_t start = 0;
  std::size_t peak = 0;
  std::optional<std::size_t> end;
};

// Items 1 and 2 of the rule, one scan index at a time.
std::vector<Found> FindStarts(const std::vector<Scan>& scans, std::int64_t delta, Edges& edges) {
  std::vector<Found> found;
  // No low before the first scan with a total.
  std::int64_t low = std::numeric_limits<std::int64_t>::max() / 2;
  std::size_t holder = 0;
  for (std::size_t k = 0; k < scans.size(); ++k) {
    if (!scans[k].total) continue;
    const std::int64_t total = *scans[k].total;
    if (total < low + delta) {
      if (total <= low) {
        low = total;
        holder = k;
      }
      continue;
    }
    if (total == low + delta) ++edges.startsOnDelta;
    Found event{holder, k, std::nullopt};
    for (std::size_t j = k + 1; j < scans.size() && !event.end; ++j) {
      if (!scans[j].total) continue;
      if (*scans[j].total > *scans[event.peak].total) {
        event.peak = j;
      } else if (scans[j].time - scans[event.peak].time >= kQuiet) {
        event.end = j;
        if (scans[j].time - scans[event.peak].time == kQuiet) ++edges.endsOnSixHours;
      }
    }
    found.push_back(event);
    if (!event.end) break;
    low = std::numeric_limits<std::int64_t>::max() / 2;
    for (std::size_t i = event.peak + 1; i <= *event.end; ++i) {
      if (scans[i].total && *scans[i].total <= low) {
        low = *scans[i].total;
        holder = i;
      }
    }
    k = *event.end;
  }
  return found;
}

// Items 3 and 4 for one event; `last` is the window's last scan index.
WettingEvent Responses(const Season& season, const Found& f, std::size_t last, Edges& edges) {
  const std::vector<Scan>& scans = season.scans;
  double fieldCapacity = 0;
  int deepestRoot = 0;
  for (const std::size_t i : season.rootZone) {
    fieldCapacity += season.sensors[i].fieldCapacity;
    deepestRoot = std::max(deepestRoot, season.sensors[i].depthCm);
  }
  WettingEvent e;
  e.start = scans[f.start].time;
  e.peak = scans[f.peak].time;
  if (f.end) e.end = scans[*f.end].time;
  e.totalStart = static_cast<double>(*scans[f.start].total) / 100.0;
  e.totalPeak = static_cast<double>(*scans[f.peak].total) / 100.0;
  e.gain = static_cast<double>(*scans[f.peak].total - *scans[f.start].total) / 100.0;
  e.effectiveGain = std::max(0.0, std::min(e.totalPeak, fieldCapacity) - e.totalStart);
  e.excess = std::max(0.0, e.totalPeak - std::max(fieldCapacity, e.totalStart));
  e.unit = "%";
  std::vector<std::size_t> order(season.sensors.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return season.sensors[a].depthCm < season.sensors[b].depthCm;
  });
  for (const std::size_t i : order) {
    DepthResponse d;
    d.depthCm = season.sensors[i].depthCm;
    const std::optional<std::int32_t> base = scans[f.start].values[i];
    if (!base) {
      ++edges.unknownDepths;
      e.depths.push_back(d);
      continue;
    }
    d.reached = false;
    std::optional<std::int32_t> highest;
    for (std::size_t k = f.start + 1; k <= last; ++k) {
      const std::optional<std::int32_t> v = scans[k].values[i];
      if (!v) continue;
      highest = std::max(highest.value_or(*v), *v);
      if (!*d.reached && *v >= *base + 20) {
        d.reached = true;
        d.lagHours = static_cast<double>(scans[k].time - e.start) / 3600.0;
      }
    }
    if (highest) d.rise = static_cast<double>(*highest - *base) / 100.0;
    if (*d.reached) {
      ++edges.reachedDepths;
      e.deepestCm = std::max(e.deepestCm.value_or(d.depthCm), d.depthCm);
      e.belowRootZone = e.belowRootZone || d.depthCm > deepestRoot;
    }
    e.depths.push_back(d);
  }
  return e;
}

std::vector<WettingEvent> LiteralRule(const Season& season, Edges& edges) {
  const auto delta = static_cast<std::int64_t>(20 * season.rootZone.size());
  const std::vector<Found> found = FindStarts(season.scans, delta, edges);
  std::vector<WettingEvent> events;
  for (std::size_t n = 0; n < found.size(); ++n) {
    const EventSeconds start = season.scans[found[n].start].time;
    std::size_t last = found[n].start;
    while (last + 1 < season.scans.size() && season.scans[last + 1].time - start <= kWindow &&
           (n + 1 == found.size() || last + 1 <= found[n + 1].start)) {
      ++last;
    }
    if (season.scans[last].time - start == kWindow) ++edges.windowsOn72Hours;
    events.push_back(RoundedForOutput(Responses(season, found[n], last, edges)));
  }
  edges.events += static_cast<int>(events.size());
  return events;
}

std::vector<WettingEvent> OnePass(const Season& season) {
  WettingEvents events(season.sensors, season.rootZone, "%");
  for (const Scan& scan : season.scans) {
    std::vector<std::int32_t> hundredths;
    std::vector<std::uint16_t> raw;
    std::optional<double> total = 0.0;
    for (std::size_t i = 0; i < scan.values.size(); ++i) {
      // A missing reading's value is whatever the file holds: never used.
      hundredths.push_back(scan.values[i].value_or(777777));
      raw.push_back(scan.values[i] ? 1000 : (i % 2 == 0 ? 0 : 65535));
    }
    for (const std::size_t i : season.rootZone) {
      if (!scan.values[i]) total.reset();
      if (total) *total += static_cast<double>(*scan.values[i]) / 100.0;
    }
    events.Add(EventScan{static_cast<double>(scan.time) / 86400.0, hundredths, raw.data(), total});
  }
  std::vector<WettingEvent> out;
  for (const WettingEvent& e : events.Finish()) out.push_back(RoundedForOutput(e));
  return out;
}

TEST(WettingEventsRuleTest, OnePassFindsWhatTheRuleReadLiterallyFinds) {
  Edges edges;
  for (unsigned seed = 1; seed <= 600; ++seed) {
    const Season season = RandomSeason(seed);
    ASSERT_EQ(OnePass(season), LiteralRule(season, edges)) << "season " << seed;
  }
  EXPECT_GT(edges.events, 1000);
  EXPECT_GT(edges.startsOnDelta, 300);
  EXPECT_GT(edges.endsOnSixHours, 300);
  EXPECT_GT(edges.windowsOn72Hours, 30);
  EXPECT_GT(edges.unknownDepths, 20);
  EXPECT_GT(edges.reachedDepths, 2000);
}

}  // namespace
}  // namespace pelvaro::testing
