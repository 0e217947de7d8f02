// Hand-checked conversions of small sites, record by record.
#include "core/operations/Conversion.h"

#include <gtest/gtest.h>

#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

using Records = std::vector<std::string>;

const std::vector<std::string> kBlank6(6, "");

Records Join(std::initializer_list<Records> parts) {
  Records all;
  for (const Records& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class ConversionTest : public ::testing::Test {
 protected:
  ConversionTest() : files(root.Path()) {}

  bool Convert(const std::string& id, ConversionCaller caller = ConversionCaller::Download) {
    return TimedDat(files, prompter, id, "TVMKDATA", caller);
  }
  static SlotSpec Slot(int depth) { return {depth, 1000, 100, 40, 20}; }
  // Raw count for a calibrated value with offset 1000 and slope 100.
  static std::uint16_t Raw(int value) { return static_cast<std::uint16_t>(1000 - 10 * value); }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(ConversionTest, OneScan) {
  // A block of fewer than two readings counts as empty, so one scan has two sensors.
  SiteBuilder site(files, "ONE_01");
  site.Header({Slot(3), Slot(7)}, 1);
  site.Block(1, {10000, 21600, 900, 2, {Raw(35), Raw(25)}});
  ASSERT_TRUE(Convert("ONE_01"));
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(RecordsOf(site.Graph(), 56),
            (Records{" 3001", " 10000.25", " 12", " 2", " 3", "2023", "18/05", "06:00:00", " 10000",
                     " 21600", " 900", " 10000.25", " 35.00 15.00 05.00", " 25.00 05.00 15.00"}));
  EXPECT_EQ(RecordsOf(site.Summary(), 20),
            Join({{"01-06-2023", "12:00:00", " 3001", " 1", " 2", " 900", "2023", "18/05",
                   "06:00:00", " 10000", " 21600", "1", "34"},
                  kBlank6,
                  {" 10000.25", "30", "35", "40", "20", "15", "5", "0"},
                  {"70", "25", "40", "20", "5", "15", "0"}}));
}

TEST_F(ConversionTest, MidnightIsPassedOnlyWhenTheTimeGoesBeyondIt) {
  // 21:00, 22:30, then exactly 24:00 (no day change yet), then 01:30 next day.
  SiteBuilder site(files, "MID_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 75600, 5400, 1, {Raw(30), Raw(33), Raw(37), Raw(39)}});
  ASSERT_TRUE(Convert("MID_01"));
  EXPECT_EQ(RecordsOf(site.Graph(), 56), (Records{" 3001",
                                                  " 101.0625",
                                                  " 12",
                                                  " 1",
                                                  " 8",
                                                  "1996",
                                                  "09/04",
                                                  "21:00:00",
                                                  " 100",
                                                  " 75600",
                                                  " 5400",
                                                  " 100.875",
                                                  " 30.00 10.00 10.00",
                                                  " 5400",
                                                  " 100.9375",
                                                  " 33.00 13.00 07.00",
                                                  " 5400",
                                                  " 101",
                                                  " 37.00 17.00 03.00",
                                                  " 5400",
                                                  " 101.0625",
                                                  " 39.00 19.00 01.00"}));
  // The midnight group averages the three scans since the first group; its
  // rate is (33.33 - 30) per 0.1875 day, cut to one decimal.
  EXPECT_EQ(RecordsOf(site.Summary(), 20),
            Join({{"01-06-2023", "12:00:00", " 3001", " 1", " 1", " 5400", "1996", "09/04",
                   "21:00:00", " 100", " 75600", "2", "35"},
                  kBlank6,
                  {" 100.875", "10", "30", "40", "20", "10", "10", "0"},
                  {" 101.0625", "10", "33.3333333333333", "40", "20", "13.3333333333333",
                   "6.66666666666666", "17.7"}}));
}

TEST_F(ConversionTest, MorningWindowOpensAfterSixStrictly) {
  SiteBuilder site(files, "WIN_01");
  site.Header({Slot(1)}, 1);
  // 05:00 (first), 06:00:00 (outside), 07:00 (inside: a group), 08:00 (outside).
  site.Block(1, {100, 18000, 3600, 1, {Raw(30), Raw(31), Raw(32), Raw(33)}});
  ASSERT_TRUE(Convert("WIN_01"));
  Records s = RecordsOf(site.Summary(), 20);
  ASSERT_EQ(s.size(), 35u);
  EXPECT_EQ(s[11], "2");
  EXPECT_EQ(s[19], " 100.208333333333");
  EXPECT_EQ(s[27], " 100.291666666667");

  // 05:00:02 (first), 06:00:02 (inside: a group), 07:00:02 (same window: none).
  site.Block(1, {100, 18002, 3600, 1, {Raw(30), Raw(31), Raw(32)}});
  ASSERT_TRUE(Convert("WIN_01"));
  s = RecordsOf(site.Summary(), 20);
  ASSERT_EQ(s.size(), 35u);
  EXPECT_EQ(s[11], "2");
  EXPECT_EQ(s[19], " 100.208356481481");
  EXPECT_EQ(s[27], " 100.250023148148");
  EXPECT_EQ(s[29], "30.5");  // the mean of the first two scans
}

TEST_F(ConversionTest, BlocksFollowEachOtherWithTheirOwnIntervals) {
  SiteBuilder site(files, "TWO_01");
  site.Header({Slot(1)}, 2);
  site.Block(1, {200, 43200, 10800, 1, {Raw(30), Raw(31)}});
  site.Block(2, {201, 0, 21600, 1, {Raw(32), Raw(33)}, std::nullopt, 1, 3002});
  ASSERT_TRUE(Convert("TWO_01"));
  EXPECT_EQ(RecordsOf(site.Graph(), 56), (Records{" 3001",
                                                  " 201.25",
                                                  " 12",
                                                  " 1",
                                                  " 8",
                                                  "1996",
                                                  "18/07",
                                                  "12:00:00",
                                                  " 200",
                                                  " 43200",
                                                  " 10800",
                                                  " 200.5",
                                                  " 30.00 10.00 10.00",
                                                  " 10800",
                                                  " 200.625",
                                                  " 31.00 11.00 09.00",
                                                  " 21600",
                                                  " 201",
                                                  " 32.00 12.00 08.00",
                                                  " 21600",
                                                  " 201.25",
                                                  " 33.00 13.00 07.00"}));
  const Records s = RecordsOf(site.Summary(), 20);
  EXPECT_EQ(s[5], " 10800");
  EXPECT_EQ(s[11], "1");
  EXPECT_EQ(s[12], "27");
}

TEST_F(ConversionTest, NegativeAndWideValuesKeepTheirSigns) {
  SiteBuilder site(files, "NEG_01");
  site.Header({{2, 1000, 10, 40, 20}, {5, 1000, 10, 40, 20}}, 1);
  site.Block(1, {100, 0, 900, 2, {1100, 0}});
  ASSERT_TRUE(Convert("NEG_01"));
  const Records g = RecordsOf(site.Graph(), 56);
  ASSERT_EQ(g.size(), 14u);
  EXPECT_EQ(g[3], " 2");
  EXPECT_EQ(g[4], " 3");
  EXPECT_EQ(g[12], "-100.00-120.00140.00");
  EXPECT_EQ(g[13], "1000.00980.00-960.00");
  EXPECT_EQ(SensorLineValue(g[12]), -100);
  EXPECT_EQ(SensorLineValue(g[13]), 1000);
  const Records s = RecordsOf(site.Summary(), 20);
  EXPECT_EQ(Records(s.begin() + 19, s.end()),
            (Records{" 100", "20", "-100", "40", "20", "-120", "140", "0", "50", "1000", "40", "20",
                     "980", "-960", "0"}));
}

TEST_F(ConversionTest, IncompleteLastScanReadsZeroBeyondTheFile) {
  SiteBuilder site(files, "INC_01");
  site.Header({Slot(1), Slot(2)}, 1);
  site.Block(1, {100, 0, 900, 2, {Raw(30), Raw(31), Raw(32), Raw(33), Raw(34)}});
  ASSERT_TRUE(Convert("INC_01"));
  const Records g = RecordsOf(site.Graph(), 56);
  ASSERT_EQ(g.size(), 22u);
  EXPECT_EQ(g[4], " 9");
  EXPECT_EQ(g[20], " 34.00 14.00 06.00");
  EXPECT_EQ(g[21], "100.00 80.00-60.00");  // raw 0: (1000 - 0) * 10 / 100
}

TEST_F(ConversionTest, ZeroSensorCountIsAskedOnceAndStepsByTheEnabledSensors) {
  SiteBuilder site(files, "ZERO_01");
  site.Header({Slot(1), Slot(2)}, 1);
  site.Block(1, {100, 0, 900, 0, {Raw(30), Raw(31), Raw(32), Raw(33)}});
  prompter.inputs.push_back(std::string("3"));
  ASSERT_TRUE(Convert("ZERO_01"));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "ENTER THE NUMBER OF SENSORS THAT ARE CONNECTED TO THE LOGGER");
  EXPECT_EQ(prompter.shown[0].title, "SENSOR NUMBER ERROR");
  const Records g = RecordsOf(site.Graph(), 56);
  EXPECT_EQ(g[3], " 2");
  EXPECT_EQ(g[4], " 6");  // two scans of two sensors
  EXPECT_EQ(RecordsOf(site.Summary(), 20)[4], " 3");
  const BlockHeader h = ReadBlockHeader(root.Path() / "TVMKDATA" / "ZERO_01_001.KEY");
  EXPECT_EQ(h.run.SensorCount(), 3);
  EXPECT_EQ(h.timeText, "12:00:00");  // the rest of the record is untouched
  ASSERT_TRUE(Convert("ZERO_01"));
  EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(ConversionTest, SensorCountAnswersThatCannotBeUsed) {
  SiteBuilder site(files, "ASK_01");
  site.Header({Slot(1)}, 2);
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  site.Block(2, {100, 900, 900, 0, {Raw(31), Raw(31)}});
  // Cancelled, not a number, and zero for a later block (which would never step).
  for (const std::optional<std::string>& answer :
       {std::optional<std::string>(), std::optional<std::string>("two"),
        std::optional<std::string>("0")}) {
    prompter.shown.clear();
    prompter.inputs.push_back(answer);
    EXPECT_FALSE(Convert("ASK_01"));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].text, kCalibrationError);
    EXPECT_EQ(prompter.shown[1].title, "");
  }
  // The graph window's run: an empty answer has its own message first.
  prompter.shown.clear();
  prompter.inputs.push_back(std::string(""));
  EXPECT_FALSE(Convert("ASK_01", ConversionCaller::Graph));
  ASSERT_EQ(prompter.shown.size(), 3u);
  EXPECT_EQ(prompter.shown[0].text,
            "ENTER THE NUMBER OF SENSORS THAT ARE CONNECTED TO THE VELMORA");
  EXPECT_EQ(prompter.shown[1].text, "Wrong Entry,No Sensors set up for this site");
  EXPECT_EQ(prompter.shown[2].text, kCalibrationError);
}

TEST_F(ConversionTest, EmptyBlocksAndSitesWithoutSensorsEndTheRunWithTheirMessages) {
  SiteBuilder site(files, "E_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  WriteBytes(site.Graph(), "previous run");
  WriteBytes(root.Path() / "TVMKDATA" / "E_01_001.DAT", "\x07\x00");
  const std::string base = (root.Path() / "TVMKDATA" / "E_01_001").string();
  EXPECT_FALSE(Convert("E_01"));
  EXPECT_EQ(prompter.shown.back().text, "SITE " + base + " IS EMPTY, LOAD DATA FROM LOGGER");
  EXPECT_FALSE(Convert("E_01", ConversionCaller::Editor));
  EXPECT_EQ(prompter.shown.back().text, "SITE " + base + " IS EMPTY, LOAD DATA FROM VELMORA");
  EXPECT_EQ(ReadBytes(site.Graph()), "previous run");
  fs::remove(root.Path() / "TVMKDATA" / "E_01_001.DAT");  // a missing block reads as empty
  EXPECT_FALSE(Convert("E_01"));
  EXPECT_EQ(prompter.shown.back().text, "SITE " + base + " IS EMPTY, LOAD DATA FROM LOGGER");
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "E_01_001.DAT"));

  SiteBuilder none(files, "NONE_01");
  none.Header({}, 1);
  none.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  EXPECT_FALSE(Convert("NONE_01"));
  EXPECT_EQ(prompter.shown.back().text, "This site does not have any sensors selected.");
  EXPECT_FALSE(Convert("NONE_01", ConversionCaller::Graph));
  EXPECT_EQ(prompter.shown.back().text, "THIS SITE DOES NOT HAVE ANY SENSORS CONNECTED");
}

TEST_F(ConversionTest, AFailedRunLeavesThePreviousPairWhole) {
  const auto leftovers = [this] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(root.Path() / "TVMKDATA")) {
      n += e.path().extension() == ".part" ? 1 : 0;
    }
    return n;
  };
  SiteBuilder site(files, "Z_01");
  site.Header({{1, 1000, 0, 40, 20}}, 1);  // a slope of 0 fails at the first reading
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  WriteBytes(site.Graph(), "previous graph");
  WriteBytes(site.Summary(), "previous summary");
  EXPECT_FALSE(Convert("Z_01"));
  EXPECT_EQ(prompter.shown.back().text, kCalibrationError);
  EXPECT_EQ(ReadBytes(site.Graph()), "previous graph");
  EXPECT_EQ(ReadBytes(site.Summary()), "previous summary");
  EXPECT_EQ(leftovers(), 0);

  // An empty block index leaves the previous run's files alone.
  SiteBuilder empty(files, "IDX_01");
  empty.Header({Slot(1)}, 0);
  WriteBytes(empty.Graph(), "previous run");
  EXPECT_FALSE(Convert("IDX_01"));
  EXPECT_EQ(prompter.shown.back().text, kCalibrationError);
  EXPECT_EQ(ReadBytes(empty.Graph()), "previous run");

  // A reading count no block can hold is damage, reported before any loop.
  SiteBuilder huge(files, "BIG_01");
  huge.Header({Slot(1)}, 1);
  huge.Block(1, {100, 0, 900, 1, {Raw(30), Raw(31)}, 99999999});
  EXPECT_FALSE(Convert("BIG_01"));
  EXPECT_EQ(prompter.shown.back().text.rfind(kCalibrationError, 0), 0u);
  EXPECT_NE(prompter.shown.back().text.find("BIG_01_001.KEY is damaged"), std::string::npos);
  EXPECT_EQ(leftovers(), 0);
}

TEST_F(ConversionTest, SelectedSiteComesFromTheSelectionFile) {
  SiteBuilder site(files, "SEL_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  WriteSiteSelection(files, "SEL_01", "TVMKDATA");
  EXPECT_TRUE(TimedDatForSelectedSite(files, prompter));
  EXPECT_GT(fs::file_size(site.Graph()), 0u);
  WriteBytes(root.Path() / "Sitesel.dat", "SEL_01\r\n..\r\n");
  EXPECT_FALSE(TimedDatForSelectedSite(files, prompter));
  EXPECT_NE(prompter.shown.back().text.find("cannot be used"), std::string::npos);
}

}  // namespace
}  // namespace pelvaro::testing
