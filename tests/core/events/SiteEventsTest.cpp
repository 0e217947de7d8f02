// Events read through a site's own files: blocks written as a download writes them, converted,
// then read in the outlook's pass.
#include "core/events/SiteEvents.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

#include "core/editor/BlockEditor.h"
#include "core/events/EventReport.h"
#include "core/operations/Conversion.h"
#include "core/outlook/OutlookReport.h"
#include "core/shell/MainMenu.h"
#include "core/storage/DayNumbers.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

constexpr char kSite[] = "FARM_01";
constexpr double kOut = NAN;  // a raw reading of 0: out of range
const int kDay = DateToDayNumber(7, 9, 2026);
// 10, 20 and 40 cm; the root zone (300 mm) holds the first two, field capacity 31 + 32.
const std::vector<SiteSensor> kSensors = {{1, 10, 31, 11}, {2, 20, 32, 12}, {4, 40, 34, 14}};

using Values = std::array<double, 3>;
// Hourly scans from an hour counted from 00:00 of kDay.
struct Stretch {
  int firstHour;
  std::vector<Values> scans;
};

// Offset 60000 and slope 1000: a value is the raw reading's hundredths below 60000.
std::uint16_t Raw(double value) {
  return std::isnan(value) ? 0 : static_cast<std::uint16_t>(60000 - std::lround(value * 100));
}

class SiteEventsTest : public ::testing::Test {
 protected:
  SiteEventsTest() : files(root.Path()) {}

  // One block per run, then the conversion.
  void Build(const std::vector<Stretch>& runs) {
    SiteBuilder site(files, kSite);
    int block = 0;
    for (const Stretch& run : runs) {
      std::vector<std::uint16_t> words;
      for (const Values& v : run.scans)
        for (double value : v) words.push_back(Raw(value));
      site.Block(++block, {kDay + run.firstHour / 24, run.firstHour % 24 * 3600, 3600, 3, words});
    }
    // kSensors' slots, calibrated as Raw reads them.
    site.Header({{1, 60000, 1000, 31, 11}, {2, 60000, 1000, 32, 12}, {4, 60000, 1000, 34, 14}},
                block);
    site.Set({{header::kRootZone, "300"}});
    ASSERT_TRUE(ConvertSite(files, prompter, kSite, "TVMKDATA"));
  }

  fs::path LabelsPath() const { return files.DataFolder("TVMKDATA") / "FARM_01.EVT"; }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

// Two days drying, an irrigation that reaches 40 cm, one that stops at 20 cm; 40 cm out of
// range for three hours and 10 cm for one, which leaves that scan without a total.
Stretch Season() {
  Stretch run{0, {}};
  for (int h = 0; h < 96; ++h) {
    const auto at = [h](double v) { return std::round(v * 100) / 100; };
    Values v = {at(20 - 0.05 * h + (h >= 20 ? 3 : 0) + (h >= 60 ? 2.5 : 0)),
                at(25 - 0.03 * h + (h >= 22 ? 1.5 : 0) + (h >= 63 ? 1 : 0)),
                at(30 - 0.01 * h + (h >= 25 ? 0.5 : 0))};
    if (h >= 40 && h <= 42) v[2] = kOut;
    if (h == 70) v[0] = kOut;
    run.scans.push_back(v);
  }
  return run;
}

TEST_F(SiteEventsTest, FindsTheEventsTheRuleFindsInTheSameScansFedByHand) {
  const Stretch season = Season();
  Build({season});
  WettingEvents rule(kSensors, {0, 1}, "%");
  for (std::size_t h = 0; h < season.scans.size(); ++h) {
    const Values& v = season.scans[h];
    std::array<std::uint16_t, 3> raw{};
    std::array<std::int32_t, 3> values{};
    for (std::size_t i = 0; i < 3; ++i) {
      raw[i] = Raw(v[i]);
      values[i] = std::isnan(v[i]) ? 0 : static_cast<std::int32_t>(std::lround(v[i] * 100));
    }
    const std::optional<double> total =
        std::isnan(v[0]) || std::isnan(v[1]) ? std::nullopt : std::optional(v[0] + v[1]);
    rule.Add(EventScan{kDay + static_cast<double>(h) / 24, values, raw.data(), total});
  }
  std::vector<WettingEvent> expected;
  for (const WettingEvent& e : rule.Finish()) expected.push_back(RoundedForOutput(e));
  ASSERT_EQ(expected.size(), 2u);

  const SiteEvents read = ReadSiteEvents(files, kSite);
  ASSERT_EQ(read.outlook.error, "");
  std::vector<WettingEvent> found;
  for (const LabelledEvent& e : read.list.events) found.push_back(e.event);
  EXPECT_EQ(found, expected);
}

// What a caller that draws the scans too (the report) is handed in the same pass.
class CountingSink : public SiteScanSink {
 public:
  void Begin(const SiteScans& site) override { sensors = site.Sensors().size(); }
  void Scan(const SiteScans::Scan&) override { ++scans; }
  std::size_t sensors = 0;
  int scans = 0;
};

TEST_F(SiteEventsTest, ACallerThatDrawsTheScansIsHandedTheSiteAndEveryScan) {
  Build({Season()});
  CountingSink drawn;
  const SiteEvents read = ReadSiteEvents(files, kSite, {}, &drawn);
  EXPECT_EQ(read.list.events.size(), 2u);
  EXPECT_EQ(drawn.sensors, kSensors.size());
  EXPECT_EQ(drawn.scans, 96);
}

TEST_F(SiteEventsTest, RainOverAGapBetweenBlocksStartsAtTheLastScanBeforeIt) {
  // Dry until 11:00; the next block, 19 hours later, finds the soil wetter.
  const std::vector<Values> after = {{23, 26, 30},       {24, 27, 30.1},     {23.5, 26.5, 30.3},
                                     {23.5, 26.5, 30.3}, {23.5, 26.5, 30.3}, {23.5, 26.5, 30.3},
                                     {23.5, 26.5, 30.3}, {23.5, 26.5, 30.3}};
  Build({{0, std::vector<Values>(12, {20, 25, 30})}, {30, after}});
  const SiteEvents read = ReadSiteEvents(files, kSite);
  ASSERT_EQ(read.outlook.error, "");
  const auto at = [](int hour) { return static_cast<EventSeconds>(kDay) * 86400 + hour * 3600; };
  WettingEvent rain;
  rain.start = at(11);
  rain.peak = at(31);
  rain.end = at(37);
  rain.totalStart = 45;
  rain.totalPeak = 51;
  rain.gain = 6;
  rain.effectiveGain = 6;
  rain.depths = {{10, true, 19, 4}, {20, true, 19, 2}, {40, true, 21, 0.3}};
  rain.deepestCm = 40;
  rain.belowRootZone = true;
  ASSERT_EQ(read.list.events.size(), 1u);
  EXPECT_EQ(read.list.events[0].event, rain);
}

TEST_F(SiteEventsTest, ALabelOutlivesTheBlockOfItsEventAsANoteWithoutAnEvent) {
  Stretch wet = Season();
  wet.firstHour = 96;
  Build({{0, std::vector<Values>(24, {20, 25, 30})}, wet});
  const SiteEvents read = ReadSiteEvents(files, kSite);
  ASSERT_FALSE(read.list.events.empty());
  EventLabels labels = EventLabels::Read(LabelsPath());
  const EventLabel label{read.list.events[0].start, EventKind::Irrigation, "pivot 2"};
  labels.Set(label);
  ASSERT_TRUE(labels.Save());
  const std::string kept = ReadBytes(LabelsPath());

  // Block 2 deleted in the editor, which converts the site again as it closes.
  ASSERT_TRUE(ClickSite(files, prompter, "FARM_01.key").has_value());
  BlockEditor editor(files, prompter);
  editor.Load();
  ASSERT_TRUE(editor.OpenBlock(2));
  prompter.answers = {Answer::Yes};
  ASSERT_TRUE(editor.DeleteSelected());
  editor.Close();

  const SiteEvents after = ReadSiteEvents(files, kSite);
  ASSERT_EQ(after.outlook.error, "");
  EXPECT_TRUE(after.list.events.empty());
  EXPECT_EQ(after.list.orphans, std::vector<EventLabel>{label});
  EXPECT_EQ(EventsText(after.list),
            label.start + "  irrigation  no such event now (data changed)  note: pivot 2\n");
  EXPECT_EQ(ReadBytes(LabelsPath()), kept);
}

// Scans as the outlook's pass hands them over, for a season too long to
// build as files: hourly, an irrigation every 37 hours (so that whatever
// recurs every so many scans meets every hour of it), some readings out of
// range, and some scans without readings, whose values must not count.
struct HandedScan {
  double dateTime = 0;
  std::array<double, 3> values{};
  std::array<std::int32_t, 3> hundredths{};
  std::array<std::uint16_t, 3> raw{};
  bool read = true;
  std::optional<double> total;
};

std::vector<HandedScan> LongSeason(std::size_t scans) {
  std::vector<HandedScan> season(scans);
  for (std::size_t h = 0; h < scans; ++h) {
    HandedScan& scan = season[h];
    scan.dateTime = kDay + static_cast<double>(h) / 24;
    const double sinceWater = static_cast<double>(h % 37);
    // Also the last scan of every 4,096, where a batch can end.
    scan.read = h % 211 != 0 && (h + 1) % 4096 != 0;
    for (std::size_t i = 0; i < 3; ++i) {
      const double wet = sinceWater < 3 + 2.0 * static_cast<double>(i) ? 4.0 : 0.0;
      const double noise = static_cast<double>((h * 7 + i * 3) % 5) * 0.01;
      scan.values[i] =
          std::round((20 + 5.0 * static_cast<double>(i) + wet - 0.05 * sinceWater + noise) * 100) /
          100;
      scan.hundredths[i] = static_cast<std::int32_t>(std::lround(scan.values[i] * 100));
      scan.raw[i] = (h + i) % 97 == 0 ? 0 : Raw(scan.values[i]);
    }
    if (scan.read && scan.raw[0] != 0 && scan.raw[1] != 0)
      scan.total = scan.values[0] + scan.values[1];
  }
  return season;
}

void Hand(SiteScanSink& sink, const HandedScan& scan) {
  GraphScanView view;
  view.dateTime = scan.dateTime;
  view.values = scan.values;
  view.hundredths = scan.hundredths;
  sink.Scan({view, scan.read ? scan.raw.data() : nullptr, scan.total});
}

std::vector<WettingEvent> FedDirectly(const SiteScans& site, const std::vector<HandedScan>& scans) {
  WettingEvents rule(site);
  for (const HandedScan& scan : scans) {
    rule.Add(EventScan{scan.dateTime, scan.hundredths, scan.read ? scan.raw.data() : nullptr,
                       scan.total});
  }
  std::vector<WettingEvent> events;
  for (const WettingEvent& e : rule.Finish()) events.push_back(RoundedForOutput(e));
  return events;
}

// The outlook's pass over a built site, its scans handed over by hand.
class HandedScansTest : public SiteEventsTest {
 protected:
  void SetUp() override {
    Build({Season()});
    site.emplace(SiteScans::Open(files, kSite));
  }
  void Pass(EventsOfScans& events, const std::vector<HandedScan>& scans) {
    events.Begin(*site);
    for (const HandedScan& scan : scans) Hand(events, scan);
  }
  std::optional<SiteScans> site;
};

// Many batches and a part of one, each scan in its place.
TEST_F(HandedScansTest, ASeasonOfManyBatchesGivesTheEventsOfTheRuleFedScanByScan) {
  const std::vector<HandedScan> season = LongSeason(100'003);
  EventsOfScans events(files);
  Pass(events, season);
  const std::vector<WettingEvent> expected = FedDirectly(*site, season);
  ASSERT_GT(expected.size(), 2000u);
  EXPECT_EQ(events.Finish(), expected);
}

TEST_F(HandedScansTest, APassBegunAgainFindsOnlyItsOwnScans) {
  const std::vector<HandedScan> season = LongSeason(60'000);
  EventsOfScans events(files);
  // Begun again while the rule waits for its first batch, then while
  // batches are still to be taken, as a window reads a site again; the
  // last pass sees the last 500 scans only.
  Pass(events, LongSeason(100));
  Pass(events, season);
  const std::vector<HandedScan> tail(season.end() - 500, season.end());
  Pass(events, tail);
  EXPECT_EQ(events.Finish(), FedDirectly(*site, tail));
}

// A damaged labels file hides the events, never the outlook's figures.
TEST_F(SiteEventsTest, DamagedLabelsLeaveTheOutlookAndSayWhyTheLastEventIsNotKnown) {
  Stretch wet = Season();
  wet.firstHour = 96;
  Build({{0, std::vector<Values>(24, {20, 25, 30})}, wet});
  WriteBytes(LabelsPath(), "not a label\n");
  const SiteEvents read = ReadSiteEvents(files, kSite);
  EXPECT_EQ(read.outlook.error, "");
  EXPECT_TRUE(read.outlook.total.has_value());
  EXPECT_TRUE(read.list.events.empty());
  EXPECT_EQ(read.outlook.lastEventError, read.labelsError);
  EXPECT_NE(LastEventText(read.outlook).find("is damaged: line 1"), std::string::npos)
      << LastEventText(read.outlook);
}

}  // namespace
}  // namespace pelvaro::testing
