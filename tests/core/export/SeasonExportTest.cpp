// The season export of a small converted site, every cell worked out by hand.
#include "core/export/SeasonExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/operations/Conversion.h"
#include "core/storage/DayNumbers.h"
#include "support/RowNames.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// A Windows-1252 name: the output holds it as UTF-8.
constexpr char kSite[] = "CH\xC9NE_01";
const int kDay = DateToDayNumber(7, 9, 2026);

// Offset 60000 and slope 1000: a value is the raw reading's hundredths below 60000.
std::uint16_t Raw(double value) {
  return static_cast<std::uint16_t>(60000 - std::lround(value * 100));
}

// 10/20/40 cm, root zone 10+20; block 1 hourly from 22:00 on 7 September; block 2 counted
// four sensors, so its eight readings make two scans of three and two left over.
const std::vector<std::uint16_t> kBlock1 = {
    Raw(7.5),  Raw(-3.2), Raw(123.46),  // 22:00
    0,         Raw(12),   Raw(1),       // 23:00, 10 cm out of range
    Raw(10),   Raw(20),   65535,        // 00:00, 40 cm out of range
    Raw(0.01), Raw(0.02), Raw(0.03)};   // 01:00
const std::vector<std::uint16_t> kBlock2 = {Raw(1.25), Raw(2.5), Raw(3.75), Raw(5),
                                            Raw(6),    Raw(7),   65535,     0};

const char* const kRows[] = {"2026-09-07T22:00:00,7.50,-3.20,123.46,4.30\r\n",
                             "2026-09-07T23:00:00,,12.00,1.00,\r\n",
                             "2026-09-08T00:00:00,10.00,20.00,,30.00\r\n",
                             "2026-09-08T01:00:00,0.01,0.02,0.03,0.03\r\n",
                             "2026-09-09T10:00:00,1.25,2.50,3.75,3.75\r\n",
                             "2026-09-09T10:30:00,5.00,6.00,7.00,11.00\r\n",
                             "2026-09-07T22:00:00,7.13,-3.20,123.46,3.93\r\n"};
constexpr char kHeading[] = "time,10cm,20cm,40cm,root_zone_total\r\n";
constexpr char kSiteKeys[] =
    "{\n  \"site\": \"CH\xC3\x89NE_01\",\n  \"unit\": \"mm\",\n  \"sensors\": [\n"
    "    {\"depth_cm\": 10, \"field_capacity\": 31, \"refill\": 11},\n"
    "    {\"depth_cm\": 20, \"field_capacity\": 32, \"refill\": 12},\n"
    "    {\"depth_cm\": 40, \"field_capacity\": 34.5, \"refill\": 14}\n"
    "  ]";

// Writes the site's header and blocks (the second as above, when there are two) and converts it.
void ConvertSite(const Files& files, const std::vector<std::uint16_t>& first, int blocks) {
  SiteBuilder site(files, kSite);
  site.Block(1, {kDay, 22 * 3600, 3600, 3, first});
  if (blocks == 2) site.Block(2, {kDay + 2, 10 * 3600, 1800, 4, kBlock2});
  site.Header({{1, 60000, 1000, 31, 11}, {2, 60000, 1000, 32, 12}, {4, 60000, 1000, 34.5, 14}},
              blocks);
  site.Set({{header::kRootZone, "300"}, {header::kMeasurementType, "Volumetric"}});
  // A second block left in the data folder would be taken back into the index.
  for (const char* extension : {"_002.DAT", "_002.KEY"}) {
    if (blocks == 1) fs::remove(files.DataFolder("TVMKDATA") / (kSite + std::string(extension)));
  }
  ScriptedPrompter prompter;
  EXPECT_TRUE(ConvertSite(files, prompter, kSite, "TVMKDATA"));
}

struct Case {
  const char* guards;
  const char* from = nullptr;
  const char* to = nullptr;
  ExportFormat format = ExportFormat::Csv;
  std::vector<int> rows = {};  // of kRows, for CSV
  std::string json = "";
  std::function<void(const Files&)> change = {};
  std::string target = "season.csv";
  std::string error = "";  // a part of the message; the old files stay
};

const Case kCases[] = {
    {.guards = "the whole season: empty cells for out-of-range readings and for the total of a "
               "scan with one in the root zone, none outside it; a later block paired by its "
               "logger's count",
     .rows = {0, 1, 2, 3, 4, 5}},
    {.guards = "one day: the scan at midnight belongs to the day it starts",
     .from = "2026-09-08",
     .to = "2026-09-08",
     .rows = {2, 3}},
    {.guards = "a range without scans gives the heading alone", .from = "2026-09-10", .rows = {}},
    {.guards = "JSON: the site's keys, then the scans keyed like the heading, null for no value "
               "(the cells' values are the CSV cases')",
     .to = "2026-09-07",
     .format = ExportFormat::Json,
     .json = std::string(kSiteKeys) +
             ",\n  \"scans\": [\n"
             "    {\"time\": \"2026-09-07T22:00:00\", \"10cm\": 7.50, \"20cm\": -3.20, \"40cm\": "
             "123.46, \"root_zone_total\": 4.30},\n"
             "    {\"time\": \"2026-09-07T23:00:00\", \"10cm\": null, \"20cm\": 12.00, \"40cm\": "
             "1.00, \"root_zone_total\": null}\n"
             "  ]\n}\n",
     .target = "season.json"},
    {.guards = "JSON without scans",
     .from = "2026-09-10",
     .format = ExportFormat::Json,
     .json = std::string(kSiteKeys) + ",\n  \"scans\": []\n}\n",
     .target = "season.json"},
    {.guards = "a season of a single scan",
     .rows = {0},
     .change =
         [](const Files& files) {
           ConvertSite(files, {kBlock1.begin(), kBlock1.begin() + 3}, 1);
         }},
    {.guards = "a value of three decimals, as another program may write one, to two",
     .rows = {6, 1, 2, 3, 4, 5},
     .change =
         [](const Files& files) {
           // The first scan's first value, after the header's ten records and the
           // scan's interval and time.
           const fs::path graph = files.DataFolder("TVMKDATA") / (std::string(kSite) + ".BGF");
           std::string bytes = ReadBytes(graph);
           ASSERT_EQ(bytes.substr(12 * 56, 6), " 07.50");
           WriteBytes(graph, bytes.replace(12 * 56, 6, " 7.125"));
         }},
    {.guards = "a site never converted",
     .change =
         [](const Files& files) {
           fs::remove(files.DataFolder("TVMKDATA") / (std::string(kSite) + ".BGF"));
         },
     .error = "has no graph file"},
    {.guards = "a block taken out of the index after the conversion: found at the end",
     .change =
         [](const Files& files) {
           SiteHeader::Open(files, kSite).WriteRecord(header::kFirstBlockSlot + 1, "0");
         },
     .error = kOutdatedGraph},
    {.guards = "a name of the program's own files, whatever its case",
     .target = "season.Dat",
     .error = "never written over a .Dat file"},
    {.guards = "the name of a site's labels",
     .target = "FARM_01.evt",
     .error = "never written over a .evt file"},
    {.guards = "a folder that does not exist",
     .target = "missing/season.csv",
     .error = "No such file or directory"},
};

// The files beside the target that are neither it nor its sidecar.
std::vector<std::string> Beside(const fs::path& target) {
  std::vector<std::string> names;
  const std::string own = target.filename().string();
  for (const auto& entry : fs::directory_iterator(target.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with(own) && name != own && name != own + ".meta.json") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

class SeasonExportTest : public ::testing::TestWithParam<Case> {
 protected:
  SeasonExportTest() : files(root.Path()) { ConvertSite(files, kBlock1, 2); }

  TempRoot root;
  Files files;
};

TEST_P(SeasonExportTest, Writes) {
  const Case& c = GetParam();
  SCOPED_TRACE(c.guards);
  if (c.change) c.change(files);
  const fs::path target = root.Path() / c.target;
  const bool folder = fs::exists(target.parent_path());
  if (folder) {
    WriteBytes(target, "old");
    WriteBytes(MetaPath(target), "old meta");
  }
  SeasonExportRequest request{kSite, std::nullopt,
                              DayRange(c.from ? ParseIsoDate(c.from) : std::nullopt,
                                       c.to ? ParseIsoDate(c.to) : std::nullopt),
                              c.format};
  std::string error;
  std::uint64_t scans = 0;
  try {
    scans = ExportSeason(files, request, target);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!c.error.empty()) {
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
    if (folder) {
      EXPECT_EQ(ReadBytes(target) + " | " + ReadBytes(MetaPath(target)), "old | old meta");
    }
    if (folder) {
      EXPECT_EQ(Beside(target), std::vector<std::string>{});
    }
    return;
  }
  ASSERT_EQ(error, "");
  EXPECT_EQ(Beside(target), std::vector<std::string>{});
  if (c.format == ExportFormat::Json) {
    EXPECT_EQ(ReadBytes(target), c.json);
    EXPECT_EQ(ReadBytes(MetaPath(target)), "old meta");  // no sidecar beside JSON
    return;
  }
  std::string csv = kHeading;
  for (int r : c.rows) csv += kRows[r];
  EXPECT_EQ(ReadBytes(target), csv);
  EXPECT_EQ(scans, c.rows.size());
  EXPECT_EQ(ReadBytes(MetaPath(target)), std::string(kSiteKeys) + "\n}\n");
}

INSTANTIATE_TEST_SUITE_P(Sites, SeasonExportTest, ::testing::ValuesIn(kCases), ByGuards());

TEST_F(SeasonExportTest, RemovesWhatKilledExportsLeftAndNoFileNamedAlike) {
  const fs::path target = root.Path() / "out" / "season.csv";
  for (const char* name : {"season.csv.812-3.new",            // the table of a killed export
                           "season.csv.meta.json.812-4.new",  // its sidecar
                           "season.csv.new",                  // no writer's number: stays
                           "season.csv.x-1.new",              // a letter: stays
                           "season.csv.1-2.new.txt"}) {       // another extension: stays
    WriteBytes(target.parent_path() / name, "");
  }
  SeasonExportRequest request;
  request.identification = kSite;
  ExportSeason(files, request, target);
  EXPECT_EQ(Beside(target), (std::vector<std::string>{"season.csv.1-2.new.txt", "season.csv.new",
                                                      "season.csv.x-1.new"}));
}

struct DateRow {
  const char* guards;
  const char* text;
  std::optional<std::int64_t> day;
};

class IsoDateTest : public ::testing::TestWithParam<DateRow> {};

TEST_P(IsoDateTest, IsTheDayItNames) { EXPECT_EQ(ParseIsoDate(GetParam().text), GetParam().day); }

const DateRow kDates[] = {
    {"a day of the calendar", "2026-09-07", DateToDayNumber(7, 9, 2026)},
    {"a colon where a digit belongs", "2026-09-0:", std::nullopt},
    {"a day the calendar lacks", "2026-02-29", std::nullopt},
};

INSTANTIATE_TEST_SUITE_P(Dates, IsoDateTest, ::testing::ValuesIn(kDates), ByGuards());

struct RangeRow {
  const char* guards;
  ExportRange range;
  bool holds;
};

class TimelessScanTest : public ::testing::TestWithParam<RangeRow> {};

// A scan whose date-time names no day lies in no range a person gave.
TEST_P(TimelessScanTest, LiesOnlyInTheWholeSeason) {
  EXPECT_EQ(GetParam().range.Contains(std::nullopt), GetParam().holds);
}

const RangeRow kRanges[] = {
    {"the whole season", {}, true},
    {"a range with a first day alone", {ScanTime{kDay, 0}, std::nullopt}, false},
    {"a range with a last day alone", {std::nullopt, ScanTime{kDay, 86399}}, false},
};

INSTANTIATE_TEST_SUITE_P(Ranges, TimelessScanTest, ::testing::ValuesIn(kRanges), ByGuards());

TEST(SeasonExportReport, SaysASingleScanInTheSingular) {
  TempRoot root;
  Files files(root.Path());
  ConvertSite(files, {kBlock1.begin(), kBlock1.begin() + 3}, 1);
  const fs::path target = root.Path() / "season.csv";
  const ExportReport report = ExportSeasonCsv(files, {kSite, std::nullopt, {}, {}}, target);
  EXPECT_TRUE(report.written);
  EXPECT_EQ(report.text, "Exported 1 scan to\r\n" + target.string() +
                             "\r\n\r\nThe site, its unit and its sensors are in\r\n" +
                             MetaPath(target).string());
}

struct ReplaceRow {
  const char* guards;
  bool table;
  bool sidecar;
  const char* question;  // with %1 for the table's path and %2 for its sidecar's
};

class ReplaceQuestionTest : public ::testing::TestWithParam<ReplaceRow> {};

TEST_P(ReplaceQuestionTest, NamesTheFilesAnExportWouldReplace) {
  TempRoot root;
  const fs::path csv = root.Path() / "season.csv";
  if (GetParam().table) WriteBytes(csv, "old");
  if (GetParam().sidecar) WriteBytes(MetaPath(csv), "old");
  std::optional<std::string> expected;
  if (GetParam().question != nullptr) {
    expected = GetParam().question;
    for (const auto& [mark, path] : {std::pair{"%1", csv}, std::pair{"%2", MetaPath(csv)}}) {
      if (const auto at = expected->find(mark); at != std::string::npos)
        expected->replace(at, 2, path.string());
    }
  }
  EXPECT_EQ(ReplaceQuestion(csv), expected);
}

const ReplaceRow kReplaced[] = {
    {"nothing to replace asks nothing", false, false, nullptr},
    {"the table alone", true, false, "%1\r\nalready exists.\r\n\r\nDo you want to replace it?"},
    {"the sidecar alone", false, true, "%2\r\nalready exists.\r\n\r\nDo you want to replace it?"},
};

INSTANTIATE_TEST_SUITE_P(Files, ReplaceQuestionTest, ::testing::ValuesIn(kReplaced), ByGuards());

}  // namespace
}  // namespace pelvaro::testing
