// Wetting events from series worked out by hand: three sensors at 10, 20 and
// 40 cm, the first two the root zone (delta 0.40, field capacity 60.00).
#include "core/events/WettingEvents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
constexpr std::int64_t kDay = 11000;

struct ScanRow {
  double hour;
  std::vector<double> values;  // 10, 20, 40 cm; NaN where the raw reading is 0
};
struct DepthRow {
  int depthCm;
  std::optional<bool> reached;
  std::optional<double> lagHours;
  std::optional<double> rise;
};
struct EventRow {
  double startHour, peakHour;
  std::optional<double> endHour;
  double totalStart, totalPeak, gain, effectiveGain, excess;
  std::optional<int> deepestCm;
  bool belowRootZone;
  std::vector<DepthRow> depths;
};
struct Case {
  const char* guards;
  std::vector<ScanRow> scans;
  std::vector<EventRow> events;
};

EventSeconds At(double hour) { return kDay * 86400 + std::llround(hour * 3600); }

std::vector<WettingEvent> EventsOf(const std::vector<ScanRow>& scans) {
  WettingEvents events({{1, 10, 30, 10}, {2, 20, 30, 10}, {3, 40, 30, 10}}, {0, 1}, "mm");
  for (const ScanRow& row : scans) {
    std::vector<double> values = row.values;
    std::vector<std::uint16_t> raw(values.size(), 1000);
    std::optional<double> total = 0.0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!std::isnan(values[i])) continue;
      raw[i] = 0;
      values[i] = 0;
      if (i < 2) total.reset();
    }
    if (total) total = values[0] + values[1];
    std::vector<std::int32_t> hundredths;
    for (const double v : values)
      hundredths.push_back(static_cast<std::int32_t>(std::lround(v * 100)));
    events.Add(
        EventScan{static_cast<double>(kDay) + row.hour / 24.0, hundredths, raw.data(), total});
  }
  std::vector<WettingEvent> out;
  for (const WettingEvent& e : events.Finish()) out.push_back(RoundedForOutput(e));
  return out;
}

WettingEvent Expected(const EventRow& row) {
  WettingEvent e;
  e.start = At(row.startHour);
  e.peak = At(row.peakHour);
  if (row.endHour) e.end = At(*row.endHour);
  e.totalStart = row.totalStart;
  e.totalPeak = row.totalPeak;
  e.gain = row.gain;
  e.effectiveGain = row.effectiveGain;
  e.excess = row.excess;
  e.unit = "mm";
  e.deepestCm = row.deepestCm;
  e.belowRootZone = row.belowRootZone;
  for (const DepthRow& d : row.depths)
    e.depths.push_back({d.depthCm, d.reached, d.lagHours, d.rise});
  return e;
}

class WettingEventsTest : public ::testing::TestWithParam<Case> {};

TEST_P(WettingEventsTest, FindsTheEventsWorkedByHand) {
  std::vector<WettingEvent> expected;
  for (const EventRow& row : GetParam().events) expected.push_back(Expected(row));
  EXPECT_EQ(EventsOf(GetParam().scans), expected);
}

// clang-format off
const Case kCases[] = {
    {"a single irrigation reaching 40 cm with known lags",
     {{0, {20, 25, 30}},
      {1, {22, 25, 30}},
      {2, {23, 25.5, 30}},
      {3, {23, 26, 30.1}},
      {4, {22.9, 26, 30.2}},
      {9, {22.8, 25.9, 30.3}}},
     {{0, 3, 9, 45, 49, 4, 4, 0, 40, true,
       {{10, true, 1, 3}, {20, true, 2, 1}, {40, true, 4, 0.3}}}}},
    {"a lag of 20 minutes is shown as 0.33 hours",
     {{0, {20, 25, 30}}, {1.0 / 3, {20.5, 25, 30}}},
     {{0, 1.0 / 3, std::nullopt, 45, 45.5, 0.5, 0.5, 0, 10, false,
       {{10, true, 0.33, 0.5}, {20, false, std::nullopt, 0}, {40, false, std::nullopt, 0}}}}},
    {"a rise of 0.19 per root-zone sensor starts no event",
     {{0, {20, 25, 30}}, {1, {20.19, 25.19, 30}}},
     {}},
    {"a rise of exactly delta starts an event",
     {{0, {20, 25, 30}}, {1, {20.2, 25.2, 30}}},
     {{0, 1, std::nullopt, 45, 45.4, 0.4, 0.4, 0, 20, false,
       {{10, true, 1, 0.2}, {20, true, 1, 0.2}, {40, false, std::nullopt, 0}}}}},
    {"two irrigations 30 hours apart end the first depth window at the second start",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {7, {21, 25.5, 30}},
      {20, {20.5, 25.2, 30.5}},
      {30, {20.5, 25.2, 30.5}},
      {31, {23, 26, 31}},
      {37, {22, 25.8, 31}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 40, true,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, true, 20, 0.5}}},
      {30, 31, 37, 45.7, 49, 3.3, 3.3, 0, 40, true,
       {{10, true, 1, 2.5}, {20, true, 1, 0.8}, {40, true, 1, 0.5}}}}},
    {"a deeper rise after the next event's low, in the first window's last hour, is not the "
     "first event's",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {7, {21, 25.5, 30}},
      {70, {20.5, 25.2, 30}},
      {72, {20.6, 25.3, 30.3}},
      {73, {23, 26, 30.3}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}},
      {70, 73, std::nullopt, 45.7, 49, 3.3, 3.3, 0, 40, true,
       {{10, true, 3, 2.5}, {20, true, 3, 0.8}, {40, true, 2, 0.3}}}}},
    {"scans after the next event's low stay out of the first window however many come",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {7, {21, 25.5, 30}},
      {20, {20.5, 25.2, 30}},
      {21, {20.6, 25.3, 30.5}},
      {22, {20.6, 25.3, 30.5}},
      {23, {23, 26, 31}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}},
      {20, 23, std::nullopt, 45.7, 49, 3.3, 3.3, 0, 40, true,
       {{10, true, 3, 2.5}, {20, true, 3, 0.8}, {40, true, 1, 1}}}}},
    {"a depth reached before the low moved is measured again from the new low",
     {{0, {20, 25, 30}}, {0.5, {20.3, 24.9, 30}}, {2, {20, 24.8, 30}}, {3, {22, 26, 30}}},
     {{2, 3, std::nullopt, 44.8, 48, 3.2, 3.2, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1.2}, {40, false, std::nullopt, 0}}}}},
    {"an event still open at the last scan has no end",
     {{0, {20, 25, 30}}, {1, {22, 26, 30}}, {5, {21.9, 26, 30}}},
     {{0, 1, std::nullopt, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}}}},
    {"a missing root-zone value inside an event neither peaks nor ends it",
     {{0, {20, 25, 30}}, {1, {22, 26, 30}}, {3, {25, kMissing, 30}}, {7, {21, 25.5, 30}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 5}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}}}},
    {"a sensor missing at the start scan has an unknown response",
     {{0, {20, 25, kMissing}}, {1, {22, 26, 30.5}}},
     {{0, 1, std::nullopt, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, std::nullopt, std::nullopt, std::nullopt}}}}},
    {"a peak above field capacity splits the gain into effective gain and excess",
     {{0, {28, 29, 30}}, {1, {33, 32, 30}}},
     {{0, 1, std::nullopt, 57, 65, 8, 3, 5, 20, false,
       {{10, true, 1, 5}, {20, true, 1, 3}, {40, false, std::nullopt, 0}}}}},
    {"an event ends 6 hours after its peak at a scan that is not a new peak",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {6, {21.9, 26, 30}},
      {7, {23, 26, 30}},
      {12, {22.5, 26, 30}},
      {13, {22, 26, 30}}},
     {{0, 7, 13, 45, 49, 4, 4, 0, 20, false,
       {{10, true, 1, 3}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}}}},
    {"the next start is searched after the end from the low after the peak",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {3, {20.5, 25.5, 30}},
      {7, {21, 25.5, 30}},
      {8, {21.2, 25.2, 30}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}},
      {3, 8,
       std::nullopt, 46, 46.4, 0.4, 0.4, 0, 10, false,
       {{10, true, 4, 0.7}, {20, false, std::nullopt, 0}, {40, false, std::nullopt, 0}}}}},
    {"a depth window holds the scan exactly 72 hours after the start and no later one",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {7, {21, 25.5, 30}},
      {72, {21, 25.5, 30.2}},
      {73, {21, 25.5, 30.5}}},
     {{0, 1, 7, 45, 48, 3, 3, 0, 40, true,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, true, 72, 0.2}}}}},
    {"a new peak forgets the low before it",
     {{0, {20, 25, 30}},
      {1, {22, 26, 30}},
      {2, {21.5, 25.5, 30}},
      {3, {23, 26, 30}},
      {9, {22.6, 26, 30}},
      {10, {21.5, 26, 30}}},
     {{0, 3, 9, 45, 49, 4, 4, 0, 20, false,
       {{10, true, 1, 3}, {20, true, 1, 1}, {40, false, std::nullopt, 0}}}}},
    {"a sensor rising from 0.10 to 0.30 is reached",
     {{0, {20, 25, 0.1}}, {1, {22, 26, 0.3}}},
     {{0, 1, std::nullopt, 45, 48, 3, 3, 0, 40, true,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, true, 1, 0.2}}}}},
    {"a depth rising 0.19 is not reached",
     {{0, {20, 25, 30}}, {1, {22, 26, 30.19}}},
     {{0, 1, std::nullopt, 45, 48, 3, 3, 0, 20, false,
       {{10, true, 1, 2}, {20, true, 1, 1}, {40, false, std::nullopt, 0.19}}}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(WettingEvents, WettingEventsTest, ::testing::ValuesIn(kCases), ByGuards{});

}  // namespace
}  // namespace pelvaro::testing
