// How an outlook is shown: the graph line, the command line's text and JSON, the urgency.
#include "core/outlook/OutlookReport.h"

#include <gtest/gtest.h>

#include "core/storage/DayNumbers.h"

namespace pelvaro::testing {
namespace {

const int kDay0 = DateToDayNumber(1, 12, 2026);

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

TEST(OutlookReport, GraphLineStatusTextAndUrgency) {
  SiteOutlook single = Refill(0.125, 2, 2.25);
  single.rootZoneDepthsCm = {20};
  single.unit = "mm";
  SiteOutlook empty;
  struct Row {
    const char* guards;
    SiteOutlook outlook;
    std::string line;
    OutlookUrgency urgency;
  };
  const Row rows[] = {
      {"the refill forecast, en dash and middle dot in Windows-1252", Refill(3.25, 4, 4.45),
       "Root zone 10\x96"
       "40 cm: use 3.25 %/day over 4 dry days \xB7 refill in 4.5 days, about 11-12-2026",
       OutlookUrgency::None},
      {"halves of the last decimal shown round away from zero; one depth; mm", single,
       "Root zone 20 cm: use 0.13 mm/day over 2 dry days \xB7 refill in 2.3 days, about "
       "11-12-2026",
       OutlookUrgency::Amber},
      {"due in exactly three days is amber", Refill(3.25, 4, 3),
       "Root zone 10\x96"
       "40 cm: use 3.25 %/day over 4 dry days \xB7 refill in 3.0 days, about 11-12-2026",
       OutlookUrgency::Amber},
      {"below refill is red and says since when", Below(kDay0 + 5.25),
       "Root zone 10\x96"
       "40 cm: use 3.25 %/day over 4 dry days \xB7 below refill since 06-12-2026 06:00:00",
       OutlookUrgency::Red},
      {"no forecast names its reason", NoForecast(NoForecastReason::NotEnoughDryMornings),
       "Root zone 10\x96"
       "40 cm: no forecast (not enough dry mornings)",
       OutlookUrgency::None},
      {"a site without sensors", empty, "Root zone: no data", OutlookUrgency::None},
      {"a site not read shows why", Failed("GONE_01"),
       "The site GONE_01 has no header file in /data/TVMKHEADER", OutlookUrgency::None},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.guards);
    EXPECT_EQ(OutlookLine(row.outlook), row.line);
    EXPECT_EQ(UrgencyOf(row.outlook), row.urgency);
  }

  SiteOutlook faulty = Refill(3.25, 4, 4.45);
  faulty.faults = {{20, 1, 0}, {40, 12, 26.25}, {60, 0, 30}};
  const std::string head =
      "FARM_01\n  Last scan:      07-12-2026 10:00:00\n  Root zone:      10, 20, 40 cm\n"
      "  Total:          194.62 % (field capacity 300 %, refill 180 %)\n";
  EXPECT_EQ(StatusText(faulty),
            head +
                "  Daily use:      3.25 %/day over 4 dry days\n"
                "  Outlook:        refill in 4.5 days, about 11-12-2026\n"
                "  Sensor faults:  20 cm: 1 reading out of range\n"
                "                  40 cm: 12 readings out of range, flat for 26.3 hours\n"
                "                  60 cm: flat for 30.0 hours\n");
  EXPECT_EQ(StatusText(NoForecast(NoForecastReason::Wetting)),
            head +
                "  Daily use:      not known (1 dry day)\n  Outlook:        no forecast (wetting)\n"
                "  Sensor faults:  none\n");
  EXPECT_EQ(StatusText(Failed("GONE_01")),
            "GONE_01\n  Error:          The site GONE_01 has no header file in "
            "/data/TVMKHEADER\n");
}

TEST(OutlookReport, MostUrgentFirst) {
  std::vector<SiteOutlook> sites = {
      Failed("A_01"),   SiteOutlook{},    NoForecast(NoForecastReason::Wetting),
      Refill(3, 4, 5),  Below(kDay0 + 2), Refill(3, 4, 1),
      Below(kDay0 + 1), Refill(2, 4, 5)};
  for (std::size_t i = 0; i < sites.size(); ++i) sites[i].site = std::to_string(i);
  SortMostUrgentFirst(sites);
  std::string order;
  for (const SiteOutlook& o : sites) order += o.site;
  // The longest below refill first; equal forecasts keep the catalogue's order.
  EXPECT_EQ(order, "64537210");
}

TEST(OutlookReport, JsonKeysNullsAndExactNumbers) {
  SiteOutlook o = Refill(9.888999999999992, 3, 0.1 + 0.2);
  o.site = "CAF\xC9 \"A\"_01";
  o.faults = {{40, 12, 26.25}};
  // A site not read has null for every key but its name and its error.
  std::string nulls;
  for (const char* key : {"last_scan", "root_zone_depths_cm", "unit", "total", "field_capacity",
                          "refill", "daily_use", "dry_days", "outlook", "reason", "days_to_refill",
                          "refill_date", "below_since", "faults"}) {
    nulls += "    \"" + std::string(key) + "\": null,\n";
  }
  const std::string json = StatusJson(std::vector<SiteOutlook>{o, Failed("B_01")});
  EXPECT_EQ(
      json,
      "[\n  {\n    \"site\": \"CAF\xC3\x89 \\\"A\\\"_01\",\n"
      "    \"last_scan\": \"2026-12-07T10:00:00\",\n    \"root_zone_depths_cm\": [10, 20, 40],\n"
      "    \"unit\": \"%\",\n    \"total\": 194.62,\n    \"field_capacity\": 300,\n"
      "    \"refill\": 180,\n    \"daily_use\": 9.888999999999992,\n    \"dry_days\": 3,\n"
      "    \"outlook\": \"refill\",\n    \"reason\": null,\n"
      "    \"days_to_refill\": 0.30000000000000004,\n    \"refill_date\": \"2026-12-11\",\n"
      "    \"below_since\": null,\n"
      "    \"faults\": [{\"depth_cm\": 40, \"out_of_range\": 12, \"flat_hours\": 26.25}],\n"
      "    \"error\": null\n  },\n  {\n    \"site\": \"B_01\",\n" +
          nulls +
          "    \"error\": \"The site B_01 has no header file in /data/TVMKHEADER\"\n  }\n]\n");
  EXPECT_EQ(StatusJson({}), "[]\n");
}

TEST(OutlookReport, TimesRoundToTheSecondAndDatesFollowTheCalendar) {
  EXPECT_EQ(DateTimeText(kDay0 + 86399.6 / 86400), "02-12-2026 00:00:00");
  EXPECT_EQ(DateTimeText(kDay0 + 0.25), "01-12-2026 06:00:00");
  EXPECT_EQ(IsoDateTime(kDay0 + 13.5 / 24), "2026-12-01T13:30:00");
  EXPECT_EQ(DateText(32767), "16-09-2085");
  // A forecast beyond the days a logger counts still has its calendar date:
  // 2100 is no leap year.
  const int march2084 = DateToDayNumber(1, 3, 2084);
  EXPECT_EQ(IsoDate(march2084 + 365 * 16 + 2), "2100-02-28");
  EXPECT_EQ(IsoDate(march2084 + 365 * 16 + 3), "2100-03-01");
  EXPECT_EQ(DateText(5'000'000), "");
  EXPECT_EQ(RoundDecimals(239.1125, 3), 239.113);
  EXPECT_EQ(RoundDecimals(-0.0005, 3), -0.001);
  EXPECT_EQ(RoundDecimals(0.0004, 3), 0);
  EXPECT_EQ(FixedText(-0.04, 1), "0.0");
}

}  // namespace
}  // namespace pelvaro::testing
