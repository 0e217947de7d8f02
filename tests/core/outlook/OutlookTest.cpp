// The outlook of sites built block by block and converted, and how it is shown; answers worked
// out by hand.
#include "core/outlook/Outlook.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <limits>
#include <optional>
#include <random>

#include "core/operations/Conversion.h"
#include "core/outlook/OutlookReport.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"
#include "support/RowNames.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
const int kDay0 = DateToDayNumber(1, 12, 2026);

// Sensor 0's value over `count` hourly scans from a day and hour.
struct ValueRun {
  int day, hour, count;
  double value;
};
// A raw reading of one sensor over `count` hourly scans.
struct RawRun {
  std::size_t sensor;
  int day, hour, count;
  std::uint16_t raw;
};

// Hourly scans: sensor k reads base + 5k +-0.01 (odd/even hours), so mornings are exactly
// base + 5k; no base, no scans and a block break. Field capacity 30 + slot, refill 10 + slot.
struct Case {
  explicit Case(const char* g, std::vector<double> b) : guards(g), base(std::move(b)) {}
  Case& Site(std::vector<int> s, const char* zone, const char* t = "Percentage") {
    slots = std::move(s);
    rootZone = zone;
    type = t;
    return *this;
  }
  // The readings, and the faults they leave.
  Case& Blocks(std::vector<int> breaks, std::vector<RawRun> r, std::vector<ValueRun> v = {},
               std::vector<SensorFault> f = {}) {
    newBlockOn = std::move(breaks);
    raws = std::move(r);
    values = std::move(v);
    faults = std::move(f);
    return *this;
  }
  // The answer: last scan in days after 00:00 of day 0, refill day in days after day 0.
  Case& Refill(double t, double last, double u, int dry, double d, int day) {
    kind = OutlookKind::Refill;
    Scans(t, last, dry);
    use = u;
    days = d;
    refillDay = kDay0 + day;
    return *this;
  }
  Case& Below(double t, double last, int dry, double since) {
    Scans(t, last, dry);
    belowSince = kDay0 + since;
    return *this;
  }
  Case& NoForecast(NoForecastReason r, double t, double last, int dry,
                   std::optional<double> u = std::nullopt) {
    kind = OutlookKind::NoForecast;
    reason = r;
    Scans(t, last, dry);
    use = u;
    return *this;
  }
  Case& Zone(std::vector<int> d, double fc, double rp, const char* u = "%") {
    depths = std::move(d);
    fieldCapacity = fc;
    refill = rp;
    unit = u;
    return *this;
  }
  void Scans(double t, double last, int dry) {
    total = t;
    lastScan = last;
    dryDays = dry;
  }

  const char* guards;
  std::vector<double> base;
  std::vector<int> slots = {1};
  const char *rootZone = "500", *type = "Percentage";
  std::vector<int> newBlockOn = {};
  std::vector<RawRun> raws = {};
  std::vector<ValueRun> values = {};
  OutlookKind kind = OutlookKind::BelowRefill;
  NoForecastReason reason = NoForecastReason::None;
  double total = 0, lastScan = 0;
  std::optional<double> use = std::nullopt, days = std::nullopt, belowSince = std::nullopt;
  int dryDays = 0;
  std::optional<std::int64_t> refillDay = std::nullopt;
  std::vector<int> depths = {10};
  double fieldCapacity = 31, refill = 11;
  const char* unit = "%";
  std::vector<SensorFault> faults = {};
};

const double k23h = 23 / 24.0;
const Case kCases[] = {
    // R(6) = (25.21 + 24.99) / 2 = 25.1; the refill falls on 6.958 + 4.70 = 11.66.
    Case("a drydown of constant use gives that use over at most five days and the exact refill "
         "date; mornings take 05:00:00 and leave 07:00:00 out",
         {43, 40, 37, 34, 31, 28, 25})
        .Blocks({}, {}, {{6, 5, 1, 25.21}, {5, 7, 1, 50}})
        .Refill(25.01, 6 + k23h, 14.9 / 5, 5, 14.01 / (14.9 / 5), 11),
    Case("a wetting day ends the drydown", {30, 27, 40, 37, 34, 31})
        .Refill(31.01, 5 + k23h, 3, 3, 20.01 / 3, 12),  // 5.958 + 6.67 = 12.628
    Case("a day without morning scans ends the drydown", {40, 37, kGap, 31, 28, 25})
        .Refill(25.01, 5 + k23h, 3, 2, 14.01 / 3, 10),
    Case("fewer than two dry days after a wetting give no forecast", {40, 37, 50, 47})
        .NoForecast(NoForecastReason::Wetting, 47.01, 3 + k23h, 1),
    Case("fewer than two dry days after a gap give no forecast", {40, kGap, 34, 31})
        .NoForecast(NoForecastReason::NotEnoughDryMornings, 31.01, 3 + k23h, 1),
    Case("mornings that do not fall give no use", {40, 40, 40, 40})
        .NoForecast(NoForecastReason::NoUse, 40.01, 3 + k23h, 3, 0),
    Case("a use of 0.01 a day still forecasts, years ahead", {40, 39.99, 39.98})
        .Refill(39.99, 2 + k23h, 0.01, 2, 2899, 2901),
    Case("below refill since the first scan of the last run at or below it, across a scan "
         "without a total",
         {20, 20})
        .Blocks({}, {{0, 1, 15, 1, 0}},
                {{1, 10, 1, 9}, {1, 11, 1, 15}, {1, 12, 11, 10}, {1, 23, 1, 11}}, {{10, 1, 0}})
        .Below(11, 1 + k23h, 1, 1.5),
    Case("a root feeder zone of 0 takes every enabled sensor", {40, 37, 34})
        .Site({1, 2, 4}, "0")
        .Refill(117.03, 2 + k23h, 9, 2, 80.03 / 9, 11)
        .Zone({10, 20, 40}, 97, 37),
    Case("a root feeder zone above no sensor takes them all; volumetric is in mm", {40, 37, 34})
        .Site({2, 4}, "100", "Volumetric")
        .Refill(73.02, 2 + k23h, 6, 2, 47.02 / 6, 10)
        .Zone({20, 40}, 66, 26, "mm"),
    // 05:00 of day 0 among the out-of-range readings: R(0) = 39.99 from 06:00 alone.
    Case("out-of-range readings counted exactly and their scans left out of the morning reading "
         "and the last scan; flat runs of a day flagged, cut at a block, the last block's too",
         {40, 37, 34, 31})
        .Site({1, 3, 5}, "100")
        .Blocks({2},
                {{0, 0, 3, 3, 0},
                 {0, 2, 10, 2, 65535},
                 {0, 3, 23, 1, 0},
                 {1, 0, 0, 24, 50000},
                 {1, 1, 9, 30, 50001},
                 {2, 0, 0, 23, 50000},
                 {2, 2, 10, 24, 40000}},
                {}, {{10, 6, 0}, {30, 0, 24}, {50, 0, 24}})
        .Refill(30.99, 3 + 22 / 24.0, 8.99 / 3, 3, 19.99 / (8.99 / 3), 10),
};

class OutlookSite : public ::testing::Test {
 protected:
  OutlookSite() : files(root.Path()) {}

  static double Value(const Case& c, std::size_t k, int day, int hour) {
    for (const ValueRun& v : c.values) {
      const int at = day * 24 + hour - (v.day * 24 + v.hour);
      if (k == 0 && at >= 0 && at < v.count) return v.value;
    }
    return c.base[static_cast<std::size_t>(day)] + 5.0 * static_cast<double>(k) +
           (hour % 2 == 1 ? 0.01 : -0.01);
  }

  static std::uint16_t Raw(const Case& c, std::size_t k, int day, int hour) {
    for (const RawRun& r : c.raws) {
      const int at = day * 24 + hour - (r.day * 24 + r.hour);
      if (r.sensor == k && at >= 0 && at < r.count) return r.raw;
    }
    // Offset 60000 and slope 1000 make a value of raw hundredths below the offset.
    return static_cast<std::uint16_t>(60000 - std::lround(Value(c, k, day, hour) * 100));
  }

  // Writes the site's header and blocks and converts it.
  void Build(const Case& c) {
    SiteBuilder site(files, "OUT_01");
    std::vector<SlotSpec> slots;
    for (int s : c.slots) slots.push_back({s, 60000, 1000, 30.0 + s, 10.0 + s});
    const std::size_t e = slots.size();
    int blocks = 0;
    std::vector<std::uint16_t> words;
    int firstDay = -1;
    const auto flush = [&] {
      if (firstDay < 0) return;
      site.Block(++blocks, {kDay0 + firstDay, 0, 3600, static_cast<int>(e), words});
      words.clear();
      firstDay = -1;
    };
    for (int day = 0; day < static_cast<int>(c.base.size()); ++day) {
      const bool breaks =
          std::find(c.newBlockOn.begin(), c.newBlockOn.end(), day) != c.newBlockOn.end();
      if (std::isnan(c.base[static_cast<std::size_t>(day)]) || breaks) flush();
      if (std::isnan(c.base[static_cast<std::size_t>(day)])) continue;
      if (firstDay < 0) firstDay = day;
      for (int hour = 0; hour < 24; ++hour) {
        for (std::size_t k = 0; k < e; ++k) words.push_back(Raw(c, k, day, hour));
      }
    }
    flush();
    site.Header(slots, blocks);
    site.Set({{header::kRootZone, c.rootZone}, {header::kMeasurementType, c.type}});
    EXPECT_TRUE(ConvertSite(files, prompter, "OUT_01", "TVMKDATA"));
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

class OutlookTest : public OutlookSite, public ::testing::WithParamInterface<Case> {};

void ExpectNear(const std::optional<double>& actual, const std::optional<double>& expected,
                const char* what) {
  ASSERT_EQ(actual.has_value(), expected.has_value()) << what;
  EXPECT_NEAR(actual.value_or(0), expected.value_or(0), 1e-9) << what;
}

TEST_P(OutlookTest, Answers) {
  const Case& c = GetParam();
  SCOPED_TRACE(c.guards);
  Build(c);
  const SiteOutlook o = ReadSiteOutlook(files, "OUT_01");
  EXPECT_EQ(o.error, "");
  EXPECT_EQ(o.kind, c.kind);
  EXPECT_EQ(o.reason, c.reason);
  EXPECT_EQ(o.dryDays, c.dryDays);
  ExpectNear(o.total, c.total, "total");
  ExpectNear(o.lastScan, kDay0 + c.lastScan, "last scan");
  ExpectNear(o.dailyUse, c.use, "daily use");
  ExpectNear(o.daysToRefill, c.days, "days to refill");
  EXPECT_EQ(o.refillDay, c.refillDay);
  ExpectNear(o.belowSince, c.belowSince, "below since");
  // The zone's sums of whole calibration values are exact.
  EXPECT_EQ(o.rootZoneDepthsCm, c.depths);
  EXPECT_EQ(o.fieldCapacity, c.fieldCapacity);
  EXPECT_EQ(o.refill, c.refill);
  EXPECT_EQ(o.unit, c.unit);
  EXPECT_EQ(o.faults, c.faults);
}

INSTANTIATE_TEST_SUITE_P(Sites, OutlookTest, ::testing::ValuesIn(kCases), ByGuards());

// What happens to the files after the conversion, and what the outlook says then: never a total.
struct Change {
  const char* guards;
  std::function<void(const Files&, SiteHeader&)> apply;
  std::string error;  // empty when the site is read
  OutlookKind kind = OutlookKind::NoData;
  std::vector<SensorFault> faults = {};
};

// A block taken out of the index, and a later block stepped by its logger's count, read as the
// season export reads them: its tests hold those.
const Change kChanges[] = {
    {"a sensor switched on after the conversion leaves the graph file out of date",
     [](const Files&, SiteHeader& h) {
       h.WriteCalibration(3, {60000, 1000, 33, 13, "ON"});
     },
     kOutdatedGraph},
    {"blocks without a graph file are an error, not no data",
     [](const Files& files, SiteHeader&) {
       fs::remove(files.DataFolder("TVMKDATA") / "OUT_01.BGF");
     },
     kMissingGraph},
    {"blocks beside a graph file cut below its header are an error",
     [](const Files& files, SiteHeader&) {
       fs::resize_file(files.DataFolder("TVMKDATA") / "OUT_01.BGF", 280);
     },
     kMissingGraph},
    {"blocks with a blank data directory are an error",
     [](const Files&, SiteHeader& h) { h.WriteRecord(header::kDataDirectory, ""); },
     kNoDataDirectory},
    {"a block whose count is not what its data file holds is damaged, and named",
     [](const Files& files, SiteHeader&) {
       WriteBlockHeaderRecord(files.DataFolder("TVMKDATA") / "OUT_01_001.KEY", 3, " 0");
     },
     "The file OUT_01_001.KEY is damaged: it counts 0 readings, but its data file holds 24."},
    {"a site with no sensor on has no data",
     [](const Files&, SiteHeader& h) {
       h.WriteRecord(header::CalibrationBase(1) + header::kState, "OFF");
     },
     ""},
    {"a data directory outside the working root is refused",
     [](const Files&, SiteHeader& h) { h.WriteRecord(header::kDataDirectory, "../TVMKDATA"); },
     "The name \"../TVMKDATA\" cannot be used as a file or folder name."},
    {"the site of a header that is gone",
     [](const Files& files, SiteHeader& h) {
       h.Close();
       fs::remove(files.HeaderPath("OUT_01"));
     },
     "has no header file"},
};

class OutlookChangeTest : public OutlookSite, public ::testing::WithParamInterface<Change> {};

TEST_P(OutlookChangeTest, Answers) {
  const Change& change = GetParam();
  SCOPED_TRACE(change.guards);
  Build(Case("", {40, 37, 34}).Blocks({1}, {{0, 2, 3, 1, 65535}}));
  {
    SiteHeader header = SiteHeader::Open(files, "OUT_01");
    change.apply(files, header);
  }
  const SiteOutlook o = ReadSiteOutlook(files, "OUT_01");
  EXPECT_FALSE(o.total);
  if (change.error.empty()) {
    EXPECT_EQ(o.error, "");
    EXPECT_EQ(o.kind, change.kind);
    EXPECT_EQ(o.faults, change.faults);
  } else {
    EXPECT_NE(o.error.find(change.error), std::string::npos) << o.error;
    EXPECT_EQ(o.site, "OUT_01");
  }
}

INSTANTIATE_TEST_SUITE_P(Files, OutlookChangeTest, ::testing::ValuesIn(kChanges), ByGuards());

// A window closed in the middle of a large site stops its reading at the next percent.
TEST_F(OutlookSite, AReadingToldToStopEndsThereUnfinished) {
  Build(Case("", {40, 37, 34}));
  int percents = 0;
  const ReadProgress stop = [&percents](int) {
    ++percents;
    return ReadOn::Stop;
  };
  const SiteOutlook o = ReadSiteOutlook(files, "OUT_01", stop);
  EXPECT_EQ(percents, 1);
  EXPECT_EQ(o.error, "");
  EXPECT_FALSE(o.total);
}

TEST_F(OutlookSite, AReadingToldToContinueIsWhole) {
  Build(Case("", {40, 37, 34}));
  const ReadProgress readOn = [](int) { return ReadOn::Continue; };
  EXPECT_NEAR(ReadSiteOutlook(files, "OUT_01", readOn).total.value_or(0), 34.01, 1e-9);
}

TEST_F(OutlookSite, AFollowerOfThePercentHearsItReachAHundred) {
  Build(Case("", {40, 37, 34}));
  int last = -1;
  ReadSiteOutlook(files, "OUT_01", std::function<void(int)>([&last](int p) { last = p; }));
  EXPECT_EQ(last, 100);
}

// FARM_01 as the report is given it: a refill forecast, below refill since a time, or none.
SiteOutlook Refill(double use, int dryDays, double days) {
  SiteOutlook o;
  o.site = "FARM_01";
  o.rootZoneDepthsCm = {10, 20, 40};
  o.fieldCapacity = 300;
  o.refill = 180;
  o.lastScan = kDay0 + 6 + 10 / 24.0;
  o.total = 194.62;
  o.dailyUse = use;
  o.dryDays = dryDays;
  o.kind = OutlookKind::Refill;
  o.daysToRefill = days;
  o.refillDay = kDay0 + 10;
  return o;
}

SiteOutlook Below(double since) {
  SiteOutlook o = Refill(3.25, 4, 0);
  o.kind = OutlookKind::BelowRefill;
  o.daysToRefill.reset();
  o.refillDay.reset();
  o.belowSince = since;
  return o;
}

SiteOutlook NoForecast(NoForecastReason reason) {
  SiteOutlook o = Refill(0, 1, 0);
  o.kind = OutlookKind::NoForecast;
  o.reason = reason;
  o.dailyUse.reset();
  o.daysToRefill.reset();
  o.refillDay.reset();
  return o;
}

SiteOutlook Failed(const std::string& site) {
  SiteOutlook o;
  o.site = site;
  o.error = "The site " + site + " has no header file in /data/TVMKHEADER";
  return o;
}

struct LineRow {
  const char* guards;
  SiteOutlook outlook;
  std::string line;
  OutlookUrgency urgency;
};

SiteOutlook SingleDepthInMm() {
  SiteOutlook o = Refill(0.125, 2, 2.25);
  o.rootZoneDepthsCm = {20};
  o.unit = "mm";
  return o;
}

const std::string kZone = std::string("Root zone 10\x96") + "40 cm: ";
const std::string kUse = kZone + "use 3.25 %/day over 4 dry days \xB7 ";
const LineRow kLines[] = {
    {"the refill forecast, en dash and middle dot in Windows-1252", Refill(3.25, 4, 4.45),
     kUse + "refill in 4.5 days, about 11-12-2026", OutlookUrgency::None},
    {"halves of the last decimal shown round away from zero; one depth; mm", SingleDepthInMm(),
     "Root zone 20 cm: use 0.13 mm/day over 2 dry days \xB7 refill in 2.3 days, about "
     "11-12-2026",
     OutlookUrgency::Amber},
    {"due in exactly three days is amber", Refill(3.25, 4, 3),
     kUse + "refill in 3.0 days, about 11-12-2026", OutlookUrgency::Amber},
    {"below refill is red and says since when", Below(kDay0 + 5.25),
     kUse + "below refill since 06-12-2026 06:00:00", OutlookUrgency::Red},
    {"no forecast names its reason", NoForecast(NoForecastReason::NotEnoughDryMornings),
     kZone + "no forecast (not enough dry mornings)", OutlookUrgency::None},
    {"a site without sensors", SiteOutlook{}, "Root zone: no data", OutlookUrgency::None},
    {"a site not read shows why", Failed("GONE_01"),
     "The site GONE_01 has no header file in /data/TVMKHEADER", OutlookUrgency::None},
};

class OutlookLineTest : public ::testing::TestWithParam<LineRow> {};

TEST_P(OutlookLineTest, GraphLine) { EXPECT_EQ(OutlookLine(GetParam().outlook), GetParam().line); }

TEST_P(OutlookLineTest, Urgency) { EXPECT_EQ(UrgencyOf(GetParam().outlook), GetParam().urgency); }

INSTANTIATE_TEST_SUITE_P(Outlooks, OutlookLineTest, ::testing::ValuesIn(kLines), ByGuards());

const std::string kStatusHead =
    "FARM_01\n  Last scan:      07-12-2026 10:00:00\n  Root zone:      10, 20, 40 cm\n"
    "  Total:          194.62 % (field capacity 300 %, refill 180 %)\n";

TEST(OutlookReport, StatusTextListsTheForecastAndEveryFaultySensor) {
  SiteOutlook faulty = Refill(3.25, 4, 4.45);
  faulty.faults = {{20, 1, 0}, {40, 12, 26.25}, {60, 0, 30}};
  EXPECT_EQ(StatusText(faulty),
            kStatusHead +
                "  Daily use:      3.25 %/day over 4 dry days\n"
                "  Outlook:        refill in 4.45 days, about 11-12-2026\n"
                "  Last event:     none\n"
                "  Sensor faults:  20 cm: 1 reading out of range\n"
                "                  40 cm: 12 readings out of range, flat for 26.25 hours\n"
                "                  60 cm: flat for 30 hours\n");
}

// The Outlook window's and the report's row: every faulty sensor in one cell, the flat hours
// to a tenth.
TEST(OutlookReport, TheFaultsCellListsEveryFaultySensorWithFlatHoursToATenth) {
  SiteOutlook faulty = Refill(3.25, 4, 4.45);
  faulty.faults = {{20, 1, 0}, {40, 12, 26.25}, {60, 0, 30}};
  EXPECT_EQ(OutlookCells(faulty)[8],
            "20 cm: 1 reading out of range; 40 cm: 12 readings out of range, flat for 26.3 "
            "hours; 60 cm: flat for 30.0 hours");
}

TEST(OutlookReport, StatusTextWithoutAForecastSaysWhyAndThatNoSensorIsFaulty) {
  EXPECT_EQ(StatusText(NoForecast(NoForecastReason::Wetting)),
            kStatusHead +
                "  Daily use:      not known (1 dry day)\n  Outlook:        no forecast (wetting)\n"
                "  Last event:     none\n"
                "  Sensor faults:  none\n");
}

TEST(OutlookReport, StatusTextOfASiteNotReadIsItsError) {
  EXPECT_EQ(StatusText(Failed("GONE_01")),
            "GONE_01\n  Error:          The site GONE_01 has no header file in "
            "/data/TVMKHEADER\n");
}

TEST(OutlookReport, StatusTextFiguresAreShortDecimals) {
  SiteOutlook o = Refill(9.888999999999992, 3, 0.1 + 0.2);
  o.fieldCapacity = 100.1 + 200.2;
  o.faults = {{40, 12, 26.25}};
  o.lastEvent = LastEvent{kDay0 + 6.25, "irrigation", 40, 12.5 + 0.0000001};
  EXPECT_EQ(StatusText(o).substr(StatusText(o).find("  Total")),
            "  Total:          194.62 % (field capacity 300.3 %, refill 180 %)\n"
            "  Daily use:      9.889 %/day over 3 dry days\n"
            "  Outlook:        refill in 0.3 days, about 11-12-2026\n"
            "  Last event:     07-12-2026 06:00:00, irrigation, effective gain 12.5 %, reached 40 "
            "cm\n"
            "  Sensor faults:  40 cm: 12 readings out of range, flat for 26.25 hours\n");
}

// The longest below refill first; equal forecasts keep the catalogue's order.
TEST(OutlookReport, SitesSortMostUrgentFirst) {
  const auto named = [](SiteOutlook o, const char* name) {
    o.site = name;
    return o;
  };
  std::vector<SiteOutlook> sites = {named(Failed("A_01"), "not read"),
                                    named(SiteOutlook{}, "no data"),
                                    named(NoForecast(NoForecastReason::Wetting), "no forecast"),
                                    named(Refill(3, 4, 5), "refill in 5 days, first"),
                                    named(Below(kDay0 + 2), "below since day 2"),
                                    named(Refill(3, 4, 1), "refill in 1 day"),
                                    named(Below(kDay0 + 1), "below since day 1"),
                                    named(Refill(2, 4, 5), "refill in 5 days, second")};
  SortMostUrgentFirst(sites);
  std::vector<std::string> order;
  for (const SiteOutlook& o : sites) order.push_back(o.site);
  EXPECT_EQ(order,
            (std::vector<std::string>{"below since day 1", "below since day 2", "refill in 1 day",
                                      "refill in 5 days, first", "refill in 5 days, second",
                                      "no forecast", "no data", "not read"}));
}

// Keys, nulls and the figures of the text, without binary noise; a site not read has null for
// every key but its name and its error.
TEST(OutlookReport, StatusJsonHoldsEverySiteWithNullsForWhatIsNotKnown) {
  SiteOutlook o = Refill(9.888999999999992, 3, 0.1 + 0.2);
  o.site = "CAF\xC9 \"A\"_01";
  o.fieldCapacity = 100.1 + 200.2;
  o.faults = {{40, 12, 26.25}};
  o.lastEvent = LastEvent{kDay0 + 6.25, "rain", std::nullopt, 0.1 + 0.2};
  std::string nulls;
  for (const char* key : {"last_scan", "root_zone_depths_cm", "unit", "total", "field_capacity",
                          "refill", "daily_use", "dry_days", "outlook", "reason", "days_to_refill",
                          "refill_date", "below_since", "faults", "last_event"}) {
    nulls += "    \"" + std::string(key) + "\": null,\n";
  }
  EXPECT_EQ(
      StatusJson(std::vector<SiteOutlook>{o, Failed("B_01")}),
      "[\n  {\n    \"site\": \"CAF\xC3\x89 \\\"A\\\"_01\",\n"
      "    \"last_scan\": \"2026-12-07T10:00:00\",\n    \"root_zone_depths_cm\": [10, 20, 40],\n"
      "    \"unit\": \"%\",\n    \"total\": 194.62,\n    \"field_capacity\": 300.3,\n"
      "    \"refill\": 180,\n    \"daily_use\": 9.889,\n    \"dry_days\": 3,\n"
      "    \"outlook\": \"refill\",\n    \"reason\": null,\n"
      "    \"days_to_refill\": 0.3,\n    \"refill_date\": \"2026-12-11\",\n"
      "    \"below_since\": null,\n"
      "    \"faults\": [{\"depth_cm\": 40, \"out_of_range\": 12, \"flat_hours\": 26.25}],\n"
      "    \"last_event\": {\"start\": \"2026-12-07T06:00:00\", \"kind\": \"rain\", "
      "\"deepest_cm\": null, \"effective_gain\": 0.3},\n"
      "    \"error\": null\n  },\n  {\n    \"site\": \"B_01\",\n" +
          nulls +
          "    \"error\": \"The site B_01 has no header file in /data/TVMKHEADER\"\n  }\n]\n");
}

struct JsonStringRow {
  const char* guards;
  std::string text;
  std::string json;
};

class JsonStringTest : public ::testing::TestWithParam<JsonStringRow> {};

TEST_P(JsonStringTest, IsQuotedAndEscaped) {
  EXPECT_EQ(JsonUtf8String(GetParam().text), GetParam().json);
}

const JsonStringRow kJsonStrings[] = {
    {"a quote and a backslash are escaped", "a\"b\\c", "\"a\\\"b\\\\c\""},
    {"the first control character is written as its code", std::string(1, '\0'), "\"\\u0000\""},
    {"the last control character is written as its code", "\x1f", "\"\\u001f\""},
    {"a space and DEL are left as they are", " \x7f", "\" \x7f\""},
    {"UTF-8 is left as it is", "caf\xC3\xA9", "\"caf\xC3\xA9\""},
};

INSTANTIATE_TEST_SUITE_P(Strings, JsonStringTest, ::testing::ValuesIn(kJsonStrings), ByGuards());

TEST(OutlookReport, StatusJsonOfNoSitesIsAnEmptyList) { EXPECT_EQ(StatusJson({}), "[]\n"); }

// Times round to the second and dates follow the calendar; 2100, beyond the days a logger
// counts, is no leap year.
TEST(OutlookReport, DatesAndTimesAreShownAtTheNearestSecondOnTheCalendar) {
  const int march2084 = DateToDayNumber(1, 3, 2084);
  const struct {
    const char* guards;
    std::string text;
    const char* shown;
  } rows[] = {
      {"a time half a second before midnight shows the next day",
       DateTimeText(kDay0 + 86399.6 / 86400), "02-12-2026 00:00:00"},
      {"an ISO date-time", IsoDateTime(kDay0 + 13.5 / 24), "2026-12-01T13:30:00"},
      {"the last day a logger counts", DateText(32767), "16-09-2085"},
      {"the last day of February 2100", IsoDate(march2084 + 365 * 16 + 2), "2100-02-28"},
      {"the day after it is 1 March", IsoDate(march2084 + 365 * 16 + 3), "2100-03-01"},
      {"a day beyond the calendar shows nothing", DateText(5'000'000), ""},
  };
  for (const auto& row : rows) EXPECT_EQ(row.text, row.shown) << row.guards;
}

// A date-time split into its day and its second of the day, at the nearest
// second, halves up; none beyond any plausible day.
struct SplitRow {
  const char* guards;
  double dateTime;
  std::optional<ScanTime> split;
};
constexpr double kSecond = 1.0 / 86400;
const SplitRow kSplits[] = {
    {"midnight is the day's first second", 11000.0, ScanTime{11000, 0}},
    {"a scan at 06:00 is its 21600th second", 11000.25, ScanTime{11000, 21600}},
    // 1/256 of a day is 337.5 seconds exactly.
    {"half a second rounds up", 11000 + 1.0 / 256, ScanTime{11000, 338}},
    {"less than half a second rounds down", 11000 + 1.0 / 256 - 0x1p-30, ScanTime{11000, 337}},
    {"half a second rounds up before day 0 too", -1 + 1.0 / 256, ScanTime{-1, 338}},
    {"the last half second of a day is the next day's midnight", 11001 - 0.4 * kSecond,
     ScanTime{11001, 0}},
    {"a time before day 0 lies in the day below it", -0.25, ScanTime{-1, 64800}},
    {"a whole day before day 0 is its midnight", -2.0, ScanTime{-2, 0}},
    {"day 0 itself", 0.0, ScanTime{0, 0}},
    {"a date-time far beyond any day is none", 1e9, std::nullopt},
    {"one far before is none", -1e9, std::nullopt},
    {"the latest plausible one is kept", 999999999.5, ScanTime{999999999, 43200}},
    {"not a number is none", std::numeric_limits<double>::quiet_NaN(), std::nullopt},
    {"infinity is none", std::numeric_limits<double>::infinity(), std::nullopt},
};

class SplitDateTimeTest : public ::testing::TestWithParam<SplitRow> {};

TEST_P(SplitDateTimeTest, Splits) {
  const std::optional<ScanTime> split = SplitDateTime(GetParam().dateTime);
  ASSERT_EQ(split.has_value(), GetParam().split.has_value());
  if (!split) return;
  EXPECT_EQ(split->day, GetParam().split->day);
  EXPECT_EQ(split->seconds, GetParam().split->seconds);
}

INSTANTIATE_TEST_SUITE_P(DateTimes, SplitDateTimeTest, ::testing::ValuesIn(kSplits), ByGuards());

TEST(OutlookReport, RoundDecimalsRoundsHalvesAwayFromZeroAsShown) {
  const struct {
    const char* guards;
    double value;
    double rounded;
  } rows[] = {
      {"a half up", 239.1125, 239.113},
      {"a negative half away from zero", -0.0005, -0.001},
      {"under a half down to zero", 0.0004, 0},
  };
  for (const auto& row : rows) EXPECT_EQ(RoundDecimals(row.value, 3), row.rounded) << row.guards;
}

// Rounding the 15-digit text digit by digit, as a person would: the
// yardstick of the quick path.
double RoundShownText(double value, int decimals) {
  const std::string text = FormatNumber(value, 15, false);
  const bool negative = text[0] == '-';
  std::size_t at = negative ? 1 : 0;
  long long units = 0;
  for (; at < text.size() && text[at] != '.'; ++at) units = units * 10 + (text[at] - '0');
  if (at < text.size()) ++at;
  for (int d = 0; d < decimals; ++d) units = units * 10 + (at < text.size() ? text[at++] - '0' : 0);
  if (at < text.size() && text[at] >= '5') ++units;
  const double rounded = static_cast<double>(units) / std::pow(10.0, decimals);
  return units == 0 ? 0.0 : negative ? -rounded : rounded;
}

TEST(OutlookReport, RoundDecimalsAgreesWithRoundingTheShownText) {
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<int> thousandths(-99'999'999, 99'999'999);
  for (int i = 0; i < 20000; ++i) {
    // Sums and means of two-decimal values: what the events and the outlook round.
    const double value = thousandths(rng) / 1000.0 / (1 + i % 7);
    for (int decimals : {2, 3}) {
      EXPECT_EQ(RoundDecimals(value, decimals), RoundShownText(value, decimals))
          << std::setprecision(17) << value << " to " << decimals;
    }
  }
}

TEST(OutlookReport, AFixedFigureThatRoundsToNothingHasNoSign) {
  EXPECT_EQ(FixedText(-0.04, 1), "0.0");
}

TEST(OutlookReport, StatusFiguresAreShortDecimals) {
  struct Row {
    const char* guards;
    double value;
    int decimals;  // 0: flat hours
    const char* text;
  };
  const Row rows[] = {
      {"binary noise goes", 9.888999999, 3, "9.889"},
      {"a sum of tenths", 0.1 + 0.2, 3, "0.3"},
      {"a value that rounds to nothing has no sign", -0.0004, 3, "0"},
      {"halves away from zero, as shown rather than as stored", 2.0005, 3, "2.001"},
      {"days with two decimals", 9.345, 2, "9.35"},
      {"no exponent", 1e16, 3, "10000000000000000"},
      {"flat hours of quarter-hour scans as they are", 26.25, 0, "26.25"},
      {"flat hours of 30-second scans with one decimal", 2881 * 30 / 3600.0, 0, "24.0"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.decimals > 0 ? ShortDecimal(row.value, row.decimals) : FlatHoursText(row.value),
              row.text)
        << row.guards;
  }
}

}  // namespace
}  // namespace pelvaro::testing
