// How a hand-made list of events is shown and exported: a labelled event that reached below
// the root zone past a sensor missing at its start, one still wetting that reached no sensor,
// and a label whose event is gone.
#include "core/events/EventReport.h"

#include <gtest/gtest.h>

#include "core/storage/DayNumbers.h"
#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

EventSeconds At(int day, int month, int hour, int minute) {
  return static_cast<EventSeconds>(DateToDayNumber(day, month, 2026)) * 86400 + hour * 3600 +
         minute * 60;
}

EventList HandMade() {
  EventList list;
  LabelledEvent& irrigation = list.events.emplace_back();
  irrigation.start = "2026-09-07T10:00:00";
  irrigation.kind = EventKind::Irrigation;
  irrigation.note = "pivot, \"north\" half \xE2\x80\x94 12 mm";
  WettingEvent& a = irrigation.event;
  a.start = At(7, 9, 10, 0);
  a.peak = At(7, 9, 13, 30);
  a.end = At(7, 9, 19, 30);
  a.totalStart = 45.5;
  a.totalPeak = 49.5;
  a.gain = 4;
  a.effectiveGain = 3;
  a.excess = 1;
  a.unit = "mm";
  a.depths = {{10, true, 1.5, 3.25},
              {20, std::nullopt, std::nullopt, std::nullopt},
              {40, true, 12.25, 0.5}};
  a.deepestCm = 40;
  a.belowRootZone = true;

  LabelledEvent& wetting = list.events.emplace_back();
  wetting.start = "2026-09-09T22:15:00";
  WettingEvent& b = wetting.event;
  b.start = At(9, 9, 22, 15);
  b.peak = At(10, 9, 1, 0);
  b.totalStart = 30.25;
  b.totalPeak = 30.65;
  b.gain = 0.4;
  b.effectiveGain = 0.4;
  b.unit = "mm";
  b.depths = {{10, false, std::nullopt, 0.1},
              {20, std::nullopt, std::nullopt, std::nullopt},
              {40, false, std::nullopt, 0}};

  list.orphans = {{"2026-09-01T06:00:00", EventKind::Rain, "before the block was cut"}};
  return list;
}

TEST(EventReport, TextHasALinePerEventThenTheLabelsWithoutAnEvent) {
  EXPECT_EQ(EventsText(HandMade()),
            "2026-09-07T10:00:00  irrigation  peak 2026-09-07T13:30:00  end 2026-09-07T19:30:00"
            "  total 45.5 to 49.5 mm  gain 4 (effective 3, excess 1)  deepest 40 cm (below the "
            "root zone)  lags 10 cm 1.5 h, 20 cm unknown, 40 cm 12.25 h"
            "  note: pivot, \"north\" half \xE2\x80\x94 12 mm\n"
            "2026-09-09T22:15:00  unknown  peak 2026-09-10T01:00:00  still wetting"
            "  total 30.25 to 30.65 mm  gain 0.4 (effective 0.4, excess 0)  reached no sensor"
            "  lags 10 cm not reached, 20 cm unknown, 40 cm not reached\n"
            "2026-09-01T06:00:00  rain  no such event now (data changed)"
            "  note: before the block was cut\n");
}

TEST(EventReport, TextWithoutEventsOrLabelsSaysSo) {
  EXPECT_EQ(EventsText({}), "no wetting events\n");
}

TEST(EventReport, JsonHoldsEveryKeyOfEachEventWithNullsForWhatIsNotKnown) {
  EXPECT_EQ(
      EventsJson(HandMade()),
      "[\n  {\n"
      "    \"start\": \"2026-09-07T10:00:00\",\n"
      "    \"peak\": \"2026-09-07T13:30:00\",\n"
      "    \"end\": \"2026-09-07T19:30:00\",\n"
      "    \"total_start\": 45.5,\n    \"total_peak\": 49.5,\n    \"gain\": 4,\n"
      "    \"effective_gain\": 3,\n    \"excess\": 1,\n    \"unit\": \"mm\",\n"
      "    \"deepest_cm\": 40,\n    \"below_root_zone\": true,\n"
      "    \"depths\": [{\"depth_cm\": 10, \"reached\": true, \"lag_hours\": 1.5, \"rise\": "
      "3.25}, {\"depth_cm\": 20, \"reached\": null, \"lag_hours\": null, \"rise\": null}, "
      "{\"depth_cm\": 40, \"reached\": true, \"lag_hours\": 12.25, \"rise\": 0.5}],\n"
      "    \"kind\": \"irrigation\",\n"
      "    \"note\": \"pivot, \\\"north\\\" half \xE2\x80\x94 12 mm\"\n  },\n  {\n"
      "    \"start\": \"2026-09-09T22:15:00\",\n"
      "    \"peak\": \"2026-09-10T01:00:00\",\n"
      "    \"end\": null,\n"
      "    \"total_start\": 30.25,\n    \"total_peak\": 30.65,\n    \"gain\": 0.4,\n"
      "    \"effective_gain\": 0.4,\n    \"excess\": 0,\n    \"unit\": \"mm\",\n"
      "    \"deepest_cm\": null,\n    \"below_root_zone\": false,\n"
      "    \"depths\": [{\"depth_cm\": 10, \"reached\": false, \"lag_hours\": null, \"rise\": "
      "0.1}, {\"depth_cm\": 20, \"reached\": null, \"lag_hours\": null, \"rise\": null}, "
      "{\"depth_cm\": 40, \"reached\": false, \"lag_hours\": null, \"rise\": 0}],\n"
      "    \"kind\": \"unknown\",\n"
      "    \"note\": null\n  }\n]\n");
}

TEST(EventReport, CsvHasARowPerEventWithEmptyCellsForWhatIsNotKnown) {
  EXPECT_EQ(EventsCsv(HandMade()),
            "start,peak,end,total_start,total_peak,gain,effective_gain,excess,unit,deepest_cm,"
            "below_root_zone,reached_10cm,lag_hours_10cm,rise_10cm,reached_20cm,lag_hours_20cm,"
            "rise_20cm,reached_40cm,lag_hours_40cm,rise_40cm,kind,note\r\n"
            "2026-09-07T10:00:00,2026-09-07T13:30:00,2026-09-07T19:30:00,45.5,49.5,4,3,1,mm,40,"
            "true,true,1.5,3.25,,,,true,12.25,0.5,irrigation,"
            "\"pivot, \"\"north\"\" half \xE2\x80\x94 12 mm\"\r\n"
            "2026-09-09T22:15:00,2026-09-10T01:00:00,,30.25,30.65,0.4,0.4,0,mm,,false,false,,0.1,"
            ",,,false,,0,unknown,\r\n");
}

TEST(EventReport, CsvKeepsAPlainNoteAsItIs) {
  EventList list = HandMade();
  list.events[0].note = "pivot 2";
  const std::string csv = EventsCsv(list);
  EXPECT_NE(csv.find(",irrigation,pivot 2\r\n"), std::string::npos) << csv;
}

// The hand-made list has a label without an event on 1 September and events
// starting on the 7th and the 9th.
struct Range {
  const char* guards;
  std::optional<int> fromDay;  // of September 2026
  std::optional<int> toDay;
  std::vector<std::string> events;
  std::vector<std::string> orphans;
};

const Range kRanges[] = {
    {"no range keeps everything",
     std::nullopt,
     std::nullopt,
     {"2026-09-07T10:00:00", "2026-09-09T22:15:00"},
     {"2026-09-01T06:00:00"}},
    {"a start drops what starts before it", 8, std::nullopt, {"2026-09-09T22:15:00"}, {}},
    {"an end keeps its whole day",
     std::nullopt,
     7,
     {"2026-09-07T10:00:00"},
     {"2026-09-01T06:00:00"}},
    {"one day keeps that day's events only", 9, 9, {"2026-09-09T22:15:00"}, {}},
    {"a day of labels alone keeps no event", 1, 1, {}, {"2026-09-01T06:00:00"}},
};

class EventsBetweenTest : public ::testing::TestWithParam<Range> {};

TEST_P(EventsBetweenTest, KeepsWhatStartsInTheRange) {
  const auto day = [](std::optional<int> d) -> std::optional<std::int64_t> {
    if (!d) return std::nullopt;
    return DateToDayNumber(*d, 9, 2026);
  };
  const EventList kept = EventsBetween(HandMade(), day(GetParam().fromDay), day(GetParam().toDay));
  std::vector<std::string> events;
  for (const LabelledEvent& e : kept.events) events.push_back(e.start);
  std::vector<std::string> orphans;
  for (const EventLabel& label : kept.orphans) orphans.push_back(label.start);
  EXPECT_EQ(events, GetParam().events);
  EXPECT_EQ(orphans, GetParam().orphans);
}

INSTANTIATE_TEST_SUITE_P(Ranges, EventsBetweenTest, ::testing::ValuesIn(kRanges), ByGuards());

}  // namespace
}  // namespace pelvaro::testing
