// Hand-checked conversions of small sites, record by record.
#include "core/operations/Conversion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/storage/StateFiles.h"
#include "support/FaultPlans.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class ConversionTest : public ::testing::Test {
 protected:
  ConversionTest() : files(root.Path()) {}

  bool Convert(const std::string& id, ConversionCaller caller = ConversionCaller::Download) {
    return ConvertSite(files, prompter, id, "TVMKDATA", caller);
  }
  static SlotSpec Slot(int depth) { return {depth, 1000, 100, 40, 20}; }
  // Raw count for a calibrated value with offset 1000 and slope 100.
  static std::uint16_t Raw(int value) { return static_cast<std::uint16_t>(1000 - 10 * value); }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(ConversionTest, OneScan) {
  // A block of fewer than two readings counts as empty, so one scan has two
  // sensors; the deepest is at 120 cm.
  SiteBuilder site(files, "ONE_01");
  site.Header({Slot(3), Slot(12)}, 1, "");  // no depth count: the full probe
  site.Block(1, {10000, 21600, 900, 2, {Raw(35), Raw(25)}});
  ASSERT_TRUE(Convert("ONE_01"));
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(JoinedRecords(site.Graph(), 56),
            " 3001| 10000.25| 12| 2| 3|2023|18/05|06:00:00| 10000| 21600| 900| 10000.25|"
            " 35.00 15.00 05.00| 25.00 05.00 15.00");
  EXPECT_EQ(JoinedRecords(site.Summary(), 20),
            "01-06-2023|12:00:00| 3001| 1| 2| 900|2023|18/05|06:00:00| 10000| 21600|1|34|||||||"
            " 10000.25|30|35|40|20|15|5|0|120|25|40|20|5|15|0");
  // No probe has more than sixteen depths.
  for (const auto& [count, converts] : {std::pair{"16", true}, {"17", false}, {"-1", false}}) {
    SiteHeader::Open(files, "ONE_01").WriteRecord(header::kDepthSlotCount, count);
    EXPECT_EQ(Convert("ONE_01"), converts) << count;
    if (!converts) {
      EXPECT_EQ(prompter.shown.back().text, kCalibrationError) << count;
    }
  }
}

TEST_F(ConversionTest, MidnightIsPassedOnlyWhenTheTimeGoesBeyondIt) {
  // 21:00, 22:30, then exactly 24:00 (no day change yet), then 01:30 next day.
  SiteBuilder site(files, "MID_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 75600, 5400, 1, {Raw(30), Raw(33), Raw(37), Raw(39)}});
  ASSERT_TRUE(Convert("MID_01"));
  EXPECT_EQ(JoinedRecords(site.Graph(), 56),
            " 3001| 101.0625| 12| 1| 8|1996|09/04|21:00:00| 100| 75600| 5400| 100.875|"
            " 30.00 10.00 10.00| 5400| 100.9375| 33.00 13.00 07.00| 5400| 101| 37.00 17.00 03.00|"
            " 5400| 101.0625| 39.00 19.00 01.00");
  // The midnight group averages the three scans since the first group; its
  // rate is (33.33 - 30) per 0.1875 day, cut to one decimal.
  EXPECT_EQ(JoinedRecords(site.Summary(), 20),
            "01-06-2023|12:00:00| 3001| 1| 1| 5400|1996|09/04|21:00:00| 100| 75600|2|35|||||||"
            " 100.875|10|30|40|20|10|10|0| 101.0625|10|33.3333333333333|40|20|13.3333333333333|"
            "6.66666666666666|17.7");
}

// Each group averages the scans since the one before: the sums start again
// at midnight, so the first window after it holds that morning only.
TEST_F(ConversionTest, TheSumsStartAgainAtMidnight) {
  SiteBuilder site(files, "RST_01");
  site.Header({Slot(1)}, 1);
  std::vector<std::uint16_t> words;
  for (int k = 0; k < 10; ++k) words.push_back(Raw(30 + k));  // 22:00 to 07:00
  site.Block(1, {100, 22 * 3600, 3600, 1, words});
  ASSERT_TRUE(Convert("RST_01"));
  // Midnight (passed at 01:00) averages 22:00 to 24:00, the morning 01:00 to 07:00.
  EXPECT_TRUE(JoinedRecords(site.Summary(), 20)
                  .ends_with("| 79200|3|43||||||| 100.916666666667|10|30|40|20|10|10|0|"
                             " 101.041666666667|10|31|40|20|11|9|7.9|"
                             " 101.291666666667|10|36|40|20|16|4|19.9"));
}

TEST_F(ConversionTest, MorningWindowOpensAfterSixStrictly) {
  SiteBuilder site(files, "WIN_01");
  site.Header({Slot(1)}, 1);
  // 05:00 (first), 06:00:00 (outside), 07:00 (inside: a group), 08:00 (outside).
  site.Block(1, {100, 18000, 3600, 1, {Raw(30), Raw(31), Raw(32), Raw(33)}});
  ASSERT_TRUE(Convert("WIN_01"));
  std::vector<std::string> s = RecordsOf(site.Summary(), 20);
  ASSERT_EQ(s.size(), 35u);
  EXPECT_EQ(s[11] + s[19] + s[27], "2 100.208333333333 100.291666666667");

  // 05:00:02 (first), 06:00:02 (inside: a group), 07:00:02 (same window: none).
  site.Block(1, {100, 18002, 3600, 1, {Raw(30), Raw(31), Raw(32)}});
  ASSERT_TRUE(Convert("WIN_01"));
  s = RecordsOf(site.Summary(), 20);
  ASSERT_EQ(s.size(), 35u);
  EXPECT_EQ(s[11] + s[19] + s[27], "2 100.208356481481 100.250023148148");
  EXPECT_EQ(s[29], "30.5");  // the mean of the first two scans

  // 11:59:16 (first), 12:00:01 (inside the noon window: a group), 12:00:46.
  site.Block(1, {100, 43156, 45, 1, {Raw(30), Raw(31), Raw(32)}});
  ASSERT_TRUE(Convert("WIN_01"));
  s = RecordsOf(site.Summary(), 20);
  EXPECT_EQ(s[11] + s[19] + s[27], "2 100.499490740741 100.500011574074");
}

TEST_F(ConversionTest, MorningWindowClosesBeforeEightStrictly) {
  SiteBuilder site(files, "WIN_01");
  site.Header({Slot(1)}, 1);
  // 05:00 (first), 08:00:00 (outside: no group).
  site.Block(1, {100, 18000, 10800, 1, {Raw(30), Raw(31)}});
  ASSERT_TRUE(Convert("WIN_01"));
  EXPECT_EQ(RecordsOf(site.Summary(), 20)[11], "1");
}

TEST_F(ConversionTest, BlocksFollowEachOtherWithTheirOwnIntervals) {
  SiteBuilder site(files, "TWO_01");
  site.Header({Slot(1)}, 2);
  site.Block(1, {200, 43200, 10800, 1, {Raw(30), Raw(31)}});
  site.Block(2, {201, 0, 21600, 1, {Raw(32), Raw(33)}, std::nullopt, 1, 3002});
  ASSERT_TRUE(Convert("TWO_01"));
  EXPECT_EQ(JoinedRecords(site.Graph(), 56),
            " 3001| 201.25| 12| 1| 8|1996|18/07|12:00:00| 200| 43200| 10800| 200.5|"
            " 30.00 10.00 10.00| 10800| 200.625| 31.00 11.00 09.00| 21600| 201|"
            " 32.00 12.00 08.00| 21600| 201.25| 33.00 13.00 07.00");
  const std::vector<std::string> s = RecordsOf(site.Summary(), 20);
  EXPECT_EQ(s[5] + "|" + s[11] + "|" + s[12], " 10800|1|27");
}

// A long block's graph file reaches the disk in pieces of a megabyte: no
// scan is lost or moved where one piece ends and the next begins.
TEST_F(ConversionTest, ALongBlocksScansKeepTheirPlacesAcrossTheWritesPieces) {
  SiteBuilder site(files, "LONG_01");
  site.Header({Slot(1)}, 1);
  // 864 s is a hundredth of a day: scan k is taken at day 100 + k / 100.
  site.Block(1, {100, 0, 864, 1, std::vector<std::uint16_t>(32767, Raw(35))});
  ASSERT_TRUE(Convert("LONG_01"));
  const std::vector<std::string> g = RecordsOf(site.Graph(), 56);
  ASSERT_EQ(g.size(), 10u + 3 * 32767);
  struct Row {
    const char* name;
    std::size_t scan;
    const char* dateTime;
  };
  // Scan groups of 168 bytes: the first piece is the 6242 that reach 1 MiB.
  const Row rows[] = {
      {"the first scan", 0, " 100"},
      {"the last scan of the first piece", 6241, " 162.41"},
      {"the first scan of the second piece", 6242, " 162.42"},
      {"the last scan", 32766, " 427.66"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::size_t at = 10 + 3 * row.scan;
    EXPECT_EQ(g[at] + "|" + g[at + 1] + "|" + g[at + 2],
              std::string(" 864|") + row.dateTime + "| 35.00 15.00 05.00");
  }
}

TEST_F(ConversionTest, NegativeAndWideValuesKeepTheirSigns) {
  SiteBuilder site(files, "NEG_01");
  site.Header({{2, 1000, 10, 40, 20}, {5, 1000, 10, 40, 20}}, 1);
  site.Block(1, {100, 0, 900, 2, {1100, 0}});
  ASSERT_TRUE(Convert("NEG_01"));
  const std::vector<std::string> g = RecordsOf(site.Graph(), 56);
  ASSERT_EQ(g.size(), 14u);
  EXPECT_EQ(g[3] + g[4] + "|" + g[12] + "|" + g[13],
            " 2 3|-100.00-120.00140.00|1000.00980.00-960.00");
  EXPECT_EQ(SensorLineValue(g[12]), -100);
  EXPECT_EQ(SensorLineValue(g[13]), 1000);
  EXPECT_TRUE(JoinedRecords(site.Summary(), 20)
                  .ends_with("| 100|20|-100|40|20|-120|140|0|50|1000|40|20|980|-960|0"));
}

TEST_F(ConversionTest, IncompleteLastScanReadsZeroBeyondTheFile) {
  SiteBuilder site(files, "INC_01");
  site.Header({Slot(1), Slot(2)}, 1);
  site.Block(1, {100, 0, 900, 2, {Raw(30), Raw(31), Raw(32), Raw(33), Raw(34)}});
  ASSERT_TRUE(Convert("INC_01"));
  const std::vector<std::string> g = RecordsOf(site.Graph(), 56);
  ASSERT_EQ(g.size(), 22u);
  // The missing reading is raw 0: (1000 - 0) * 10 / 100.
  EXPECT_EQ(g[4] + "|" + g[20] + "|" + g[21], " 9| 34.00 14.00 06.00|100.00 80.00-60.00");
}

TEST_F(ConversionTest, ZeroSensorCountIsAskedOnceAndStepsByTheEnabledSensors) {
  SiteBuilder site(files, "ZERO_01");
  site.Header({Slot(1), Slot(2)}, 1);
  site.Block(1, {100, 0, 900, 0, {Raw(30), Raw(31), Raw(32), Raw(33)}});
  // Zero is taken for a first block, which steps by the enabled sensors, and is asked again.
  prompter.inputs.push_back(std::string("0"));
  ASSERT_TRUE(Convert("ZERO_01"));
  prompter.shown.clear();
  prompter.inputs.push_back(std::string("3.0"));
  ASSERT_TRUE(Convert("ZERO_01"));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "ENTER THE NUMBER OF SENSORS THAT ARE CONNECTED TO THE LOGGER");
  EXPECT_EQ(prompter.shown[0].title, "SENSOR NUMBER ERROR");
  const std::vector<std::string> g = RecordsOf(site.Graph(), 56);
  EXPECT_EQ(g[3] + g[4], " 2 6");  // two scans of two sensors
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
  // Cancelled, not a number (nor one with more after it), zero for a later block (which would
  // never step), beyond a byte.
  for (const std::optional<std::string>& answer : std::initializer_list<std::optional<std::string>>{
           std::nullopt, "two", "3x", "0", "-1", "256"}) {
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

// Each failure ends the run with its message and leaves the previous pair whole.
TEST_F(ConversionTest, FailuresEndTheRunWithTheirMessageAndKeepThePreviousPair) {
  using Spoil = void (*)(const fs::path& data);
  const Spoil asWritten = [](const fs::path&) {};
  const char* const empty = "IS EMPTY, LOAD DATA FROM ";
  struct Case {
    const char* guards;
    std::vector<SlotSpec> slots;
    int blocks;
    std::optional<double> wordCount;
    Spoil spoil;
    ConversionCaller caller;
    std::string message;  // how the last message starts ("IS EMPTY" ones after the path)
  };
  const Case cases[] = {
      Case(
          "a block of fewer than two readings", {Slot(1)}, 1, {},
          [](const fs::path& d) { WriteBytes(d, "\x07\x00"); }, ConversionCaller::Download,
          std::string(empty) + "LOGGER"),
      Case(
          "the editor's wording", {Slot(1)}, 1, {},
          [](const fs::path& d) { WriteBytes(d, "\x07"); }, ConversionCaller::Editor,
          std::string(empty) + "VELMORA"),
      Case(
          "a missing block reads as empty", {Slot(1)}, 1, {},
          [](const fs::path& d) { fs::remove(d); }, ConversionCaller::Download,
          std::string(empty) + "LOGGER"),
      Case("no sensor on", {}, 1, {}, asWritten, ConversionCaller::Download,
           "This site does not have any sensors selected."),
      Case("no sensor on, the graph window's wording", {}, 1, {}, asWritten,
           ConversionCaller::Graph, "THIS SITE DOES NOT HAVE ANY SENSORS CONNECTED"),
      Case("a slope of 0 fails at the first reading", {{1, 1000, 0, 40, 20}}, 1, {}, asWritten,
           ConversionCaller::Download, kCalibrationError),
      Case(
          "an empty block index", {Slot(1)}, 0, {},
          [](const fs::path& d) {
            fs::remove(d);
            fs::remove(fs::path(d).replace_extension(".KEY"));
          },
          ConversionCaller::Download, kCalibrationError),
      Case("a reading count no block can hold is damage, reported before any loop", {Slot(1)}, 1,
           99999999, asWritten, ConversionCaller::Download,
           std::string(kCalibrationError) + "\r\n\r\nThe file "),
      Case("a count below zero is damage, said so", {Slot(1)}, 1, -5, asWritten,
           ConversionCaller::Download,
           std::string(kCalibrationError) +
               "\r\n\r\nThe file F9_01_001.KEY is damaged: it counts -5 readings, fewer than "
               "none."),
      Case("a count of 0 beside readings is damage, not an empty block", {Slot(1)}, 1, 0, asWritten,
           ConversionCaller::Download,
           std::string(kCalibrationError) +
               "\r\n\r\nThe file F10_01_001.KEY is damaged: it counts 0 readings, but its data "
               "file holds 2."),
      Case(
          "a count that is text is damage", {Slot(1)}, 1, {},
          [](const fs::path& d) {
            WriteBlockHeaderRecord(fs::path(d).replace_extension(".KEY"), 3, "two");
          },
          ConversionCaller::Download,
          std::string(kCalibrationError) +
              "\r\n\r\nThe file F11_01_001.KEY is damaged: it counts 0 readings, but its data "
              "file holds 2."),
      Case(
          "a data file longer than its count is damage", {Slot(1)}, 1, {},
          [](const fs::path& d) { WriteBytes(d, ReadBytes(d) + "\x01\x02"); },
          ConversionCaller::Download,
          std::string(kCalibrationError) +
              "\r\n\r\nThe file F12_01_001.KEY is damaged: it counts 2 readings, but its data "
              "file holds 3."),
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    const std::string id = "F" + std::to_string(++n) + "_01";
    SiteBuilder site(files, id);
    site.Header(c.slots, c.blocks);
    site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(31)}, c.wordCount});
    const fs::path data = root.Path() / "TVMKDATA" / (id + "_001.DAT");
    c.spoil(data);
    WriteBytes(site.Graph(), "previous graph");
    WriteBytes(site.Summary(), "previous summary");
    EXPECT_FALSE(Convert(id, c.caller));
    const std::string shown = prompter.shown.back().text;
    const std::string message =
        c.message.starts_with(empty)
            ? "SITE " + fs::path(data).replace_extension().string() + " " + c.message
            : c.message;
    EXPECT_EQ(shown.substr(0, message.size()), message);
    EXPECT_EQ(ReadBytes(site.Graph()) + ReadBytes(site.Summary()),
              "previous graphprevious summary");
  }
  for (const auto& e : fs::directory_iterator(root.Path() / "TVMKDATA")) {
    EXPECT_NE(e.path().extension(), ".part") << e.path();
  }
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "F3_01_001.DAT"));
}

// The disk's own failures, each at one step of putting the new pair in place.
TEST_F(ConversionTest, TheDisksFailuresAreToldWithTheirCauseAndAHalfRenamedPairIsFinished) {
  SiteBuilder site(files, "DSK_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(31)}});
  ASSERT_TRUE(Convert("DSK_01"));
  const std::string graph = ReadBytes(site.Graph());
  const std::string summary = ReadBytes(site.Summary());
  WriteBytes(site.Graph(), "previous graph");
  WriteBytes(site.Summary(), "previous summary");
  struct Row {
    const char* name;
    const char* failing;
    bool converted;
    std::string shown;  // the message, none when converted
  };
  const Row rows[] = {
      {"the new graph file cannot be made", "write DSK_01.BGF.part", false,
       std::string(kCalibrationError) + "\r\n\r\nInput/output error (injected): DSK_01.BGF.part"},
      {"the graph file cannot be renamed into place", "rename DSK_01.BGF", false,
       std::string(kCalibrationError) + "\r\n\r\nInput/output error (injected): DSK_01.BGF"},
      // The graph file is in place: the summary's rename is tried again, and the pair is whole.
      {"the summary's rename fails once", "rename DSK_01.Pct", true, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    prompter.shown.clear();
    FaultAt plan(FaultAt::Mode::Fail, row.failing);
    {
      InstalledPlan installed(plan);
      EXPECT_EQ(Convert("DSK_01"), row.converted);
    }
    if (row.converted) {
      EXPECT_TRUE(prompter.shown.empty());
      EXPECT_EQ(ReadBytes(site.Graph()) + ReadBytes(site.Summary()), graph + summary);
    } else {
      ASSERT_EQ(prompter.shown.size(), 1u);
      EXPECT_EQ(prompter.shown[0].text, row.shown);
      EXPECT_EQ(ReadBytes(site.Graph()) + ReadBytes(site.Summary()),
                "previous graphprevious summary");
    }
    for (const auto& e : fs::directory_iterator(root.Path() / "TVMKDATA")) {
      EXPECT_NE(e.path().extension(), ".part") << e.path();
    }
  }
}

TEST_F(ConversionTest, SelectedSiteComesFromTheSelectionFile) {
  SiteBuilder site(files, "SEL_01");
  site.Header({Slot(1)}, 1);
  site.Block(1, {100, 0, 900, 1, {Raw(30), Raw(30)}});
  WriteSiteSelection(files, "SEL_01", "TVMKDATA");
  EXPECT_TRUE(ConvertSelectedSite(files, prompter));
  EXPECT_GT(fs::file_size(site.Graph()), 0u);
  WriteBytes(root.Path() / "Sitesel.dat", "SEL_01\r\n..\r\n");
  EXPECT_FALSE(ConvertSelectedSite(files, prompter));
  EXPECT_NE(prompter.shown.back().text.find("cannot be used"), std::string::npos);
}

}  // namespace
}  // namespace pelvaro::testing
