#include "core/graph/GraphModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/graph/GraphFixture.h"
#include "core/operations/Conversion.h"
#include "core/outlook/SiteScans.h"
#include "core/storage/GraphFile.h"
#include "core/storage/NumberText.h"
#include "core/storage/StateFiles.h"
#include "support/FaultPlans.h"
#include "support/RowNames.h"
#include "support/SampleSites.h"

namespace pelvaro::testing {
namespace {

constexpr double kDay = 10014.25;
constexpr double kTenMinutesLater = kDay + 600.0 / 86400;

// Three slots with one value each per scan: 10 cm, 30 cm and 50 cm.
class GraphModelTest : public GraphFixture {
 protected:
  void ThreeDepths(const std::vector<GraphScan>& scans, double fc10 = 0) {
    Slots({{1, 4600, 100, fc10, 12}, {3, 4600, 100, 35, 15}, {5, 4600, 100, 40, 18}});
    Graph(scans);
  }
  // The limit lines' levels and titles: "level title|level title".
  std::string Limits() const {
    const GraphSeries& fc = model.Series(kFieldCapacitySeries);
    const GraphSeries& rp = model.Series(kRefillSeries);
    return Plain(fc.level.value_or(-1)) + " " + fc.title + "|" + Plain(rp.level.value_or(-1)) +
           " " + rp.title;
  }
  std::vector<GraphScan> ThreeScans() const {
    return {
        {600, kDay, {20, 22, 24}}, {600, kDay + 1, {21, 23, 25}}, {600, kDay + 2, {19, 26, 27}}};
  }
};

TEST_F(GraphModelTest, A499ByteFileIsMissingAnd500BytesAreRead) {
  ThreeDepths(ThreeScans());
  std::filesystem::resize_file(site.Graph(), 499);
  EXPECT_EQ(Load(), GraphModel::LoadResult::Empty);
  EXPECT_EQ(LastMessage(), "This site is empty ");

  std::filesystem::resize_file(site.Graph(), 500);  // header records, no whole scan
  GraphModel model2(files, prompter);
  EXPECT_EQ(model2.Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model2.Scans(), 0u);
  // Shrunk again before a later drawing: the other message, and the chart stays empty.
  std::filesystem::resize_file(site.Graph(), 499);
  EXPECT_FALSE(model2.Draw());
  EXPECT_EQ(LastMessage(), "Couldn't find the graph file.");
  EXPECT_FALSE(model2.Series(0).active);
}

struct SpanCase {
  double last;
  AxisMode mode;
  const char* title;
  double secondX;  // the second scan, 10 minutes after the first
};

class SpanTest : public GraphModelTest, public ::testing::WithParamInterface<SpanCase> {};

TEST_P(SpanTest, TheSpanChoosesTheBottomAxisAndTheScansKeepTheirTimes) {
  const SpanCase& c = GetParam();
  ThreeDepths({{600, kDay, {20, 22, 24}},
               {600, kDay + 600.0 / 86400, {21, 23, 25}},
               {600, c.last, {19, 26, 27}}});
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.Mode(), c.mode);
  EXPECT_EQ(model.BottomTitle(), c.title);
  EXPECT_EQ(X()[0], c.mode == AxisMode::DateTime ? kDay : 0.0);
  EXPECT_NEAR(X()[1], c.secondX, 1e-9);  // date-times are stored with 15 digits
  // A zoom on the first two scans shows their date-times; one beyond them, none.
  const auto shown = model.DateTimesBetween(X()[0], X()[1]);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->first, kDay);
  EXPECT_NEAR(shown->second, kTenMinutesLater, 1e-9);
  EXPECT_FALSE(model.DateTimesBetween(X()[2] + 1, X()[2] + 2));
  EXPECT_EQ(model.ReadoutText(X()[1], 23), "23 %, 01-06-2023 06:10");
}

INSTANTIATE_TEST_SUITE_P(
    Spans, SpanTest,
    ::testing::Values(SpanCase{kDay + 0.5, AxisMode::Hours, "Hours", 10.0 / 60},
                      SpanCase{kDay + 0.4999999, AxisMode::Minutes, "Minutes", 10.0},
                      SpanCase{kDay + 1.0, AxisMode::Hours, "Hours", 10.0 / 60},
                      SpanCase{kDay + 1.0000001, AxisMode::DateTime, "Time/Date",
                               kTenMinutesLater}));

struct NearestRow {
  const char* guards;
  double dateTime;
  std::size_t scan;  // whose X it is
};

class NearestScanTest : public GraphModelTest, public ::testing::WithParamInterface<NearestRow> {};

// On an elapsed axis a time is placed at the scan nearest it.
TEST_P(NearestScanTest, PlacesATimeAtTheNearestScan) {
  ThreeDepths({{600, kDay, {20, 22, 24}},
               {600, kTenMinutesLater, {21, 23, 25}},
               {600, kDay + 0.5, {19, 26, 27}}});
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  ASSERT_EQ(model.Mode(), AxisMode::Hours);
  EXPECT_EQ(model.XOfDateTime(GetParam().dateTime), X()[GetParam().scan]);
}

INSTANTIATE_TEST_SUITE_P(
    Times, NearestScanTest,
    ::testing::ValuesIn(std::vector<NearestRow>{
        {"a time before the first scan is at the first", kDay - 1, 0},
        {"a time nearer the earlier of two scans is at the earlier", kDay + 0.2, 1},
        {"a time nearer the later of two scans is at the later", kDay + 0.4, 2},
        {"a time after the last scan is at the last", kDay + 2, 2}}),
    ByGuards());

TEST_F(GraphModelTest, OneScanIsASinglePointAtZeroAndWideValuesReadSixCharacters) {
  // 1000.25 is written "1000.25": the value is its first six characters.
  // The deepest sensor is at 120 cm, the last box.
  Slots({{1, 4600, 100, 0, 12}, {3, 4600, 100, 35, 15}, {12, 4600, 100, 40, 18}});
  Graph({{900, kDay, {1000.25, -100.5, 7.5}}});
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_TRUE(model.Box(12).enabled);
  EXPECT_EQ(X(), std::vector<double>{0.0});
  EXPECT_EQ(Y(0), std::vector<double>{1000.2});
  EXPECT_EQ(Y(1), std::vector<double>{-100.5});
  EXPECT_EQ(Y(2), std::vector<double>{7.5});
  EXPECT_DOUBLE_EQ(model.AxisMax(), 1002.2);
  EXPECT_DOUBLE_EQ(model.AxisMin(), -102.5);
  // The axis follows the values wherever they lie.
  for (const auto& [values, low, high] :
       {std::tuple{std::vector<double>{-5, -6, -7}, -9, -3}, {{5000, 4500, 6000}, 4498, 6002}}) {
    ThreeDepths({{900, kDay, values}});
    GraphModel again(files, prompter);
    ASSERT_EQ(again.Load(), GraphModel::LoadResult::Drawn);
    EXPECT_EQ(again.AxisMin(), low);
    EXPECT_EQ(again.AxisMax(), high);
  }
}

TEST_F(GraphModelTest, TitlesAndLegendAtLoadAndAfterTheDepthBoxes) {
  ThreeDepths(ThreeScans());
  SiteHeader::Open(files, "X_01").WriteRecord(header::kSiteName, "  NORTH  ");
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.Header(), "Velmora Pelvaro Soil Moisture Site 'NORTH'");
  EXPECT_EQ(model.Subtitle(), "Start Date 01/06/2023    File X_01");
  SiteHeader::Open(files, "X_01").WriteRecord(header::kFirstDirectory + 7, " OLD ");
  const std::vector<std::string> listed = model.DirectoryNames();  // never filled but the last
  EXPECT_EQ(listed.size(), 8u);
  EXPECT_EQ(listed.front() + "|" + listed.back(), "TVMKDATA|OLD");
  EXPECT_EQ(model.LeftTitle(), "Water %");
  EXPECT_EQ(model.Series(0).title, " 10cm");
  EXPECT_EQ(model.Series(2).title + "|" + model.Series(3).title, " 50cm|");
  EXPECT_TRUE(model.Box(3).enabled && model.Box(3).checked && model.Box(3).highlighted);
  EXPECT_FALSE(model.Box(2).enabled);
  model.ClickDepth(3, false);
  EXPECT_EQ(model.Series(1).title, "");
  EXPECT_TRUE(model.Series(1).y.empty());
  EXPECT_EQ(Y(2), (std::vector<double>{24, 25, 27}));
  model.ClickDepth(3, true);
  EXPECT_EQ(model.Series(1).title, " 30cm");
  EXPECT_EQ(Y(1), (std::vector<double>{22, 23, 26}));
  model.ClickDepth(2, true);  // a disabled box does nothing
  EXPECT_FALSE(model.Box(2).checked);
}

TEST_F(GraphModelTest, ChoosingDepthsAtOnceDrawsWhatTheirClicksDraw) {
  ThreeDepths(ThreeScans());
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  model.ClickDepth(1, false);
  model.SetSum(true);
  model.SetLimitLines(true);
  GraphModel chosen(files, prompter);
  ASSERT_EQ(chosen.Load(), GraphModel::LoadResult::Drawn);
  chosen.ChooseDepths({30, 50}, true, true);
  for (int i = 0; i < kGraphSeries; ++i) {
    EXPECT_EQ(chosen.Series(i).title, model.Series(i).title) << i;
    const auto y = [i](const GraphModel& m) {
      return std::vector<double>(m.Series(i).y.begin(), m.Series(i).y.end());
    };
    EXPECT_EQ(y(chosen), y(model)) << i;
    EXPECT_EQ(chosen.Series(i).level, model.Series(i).level) << i;
  }
  EXPECT_TRUE(chosen.SumChecked() && chosen.LimitChecked() && !chosen.Box(1).checked);
}

TEST_F(GraphModelTest, NoChosenDepthEmptiesTheChartAndDisablesBothBoxes) {
  ThreeDepths(ThreeScans());
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  model.SetLimitLines(true);
  model.SetSum(true);
  for (int s : {1, 3, 5}) model.ClickDepth(s, false);
  for (int i = 0; i < kGraphSeries; ++i) EXPECT_FALSE(model.Series(i).active) << i;
  EXPECT_EQ(model.Scans(), 0u);
  EXPECT_FALSE(model.LimitChecked() || model.LimitEnabled());
  EXPECT_FALSE(model.SumChecked() || model.SumEnabled());
  model.ClickDepth(5, true);
  EXPECT_TRUE(model.LimitEnabled() && model.SumEnabled());
  EXPECT_EQ(Y(2), (std::vector<double>{24, 25, 27}));
}

TEST_F(GraphModelTest, LimitLinesFollowTheFirstChosenDepthAndPassOverZero) {
  ThreeDepths(ThreeScans(), /*fc10=*/0);
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.LimitCaption(), "Field Capacity + Refill");
  EXPECT_FALSE(model.Series(kFieldCapacitySeries).level.has_value());
  model.SetLimitLines(true);
  // 10 cm has no field capacity: its refill line stays, the field capacity comes from 30 cm.
  EXPECT_EQ(Limits(), "35 F.C. 35%|12 Refill 12%");
  EXPECT_EQ(model.LimitCaption(), "Field Capacity + Refill at 30 cm");
  // The axis reaches 2 beyond the values and both lines.
  EXPECT_EQ(model.AxisMax(), 37);
  EXPECT_EQ(model.AxisMin(), 10);
  model.ClickDepth(3, false);
  EXPECT_EQ(model.Series(kFieldCapacitySeries).level, 40);
  EXPECT_EQ(model.LimitCaption(), "Field Capacity + Refill at 50 cm");
  model.SetSum(true);
  EXPECT_EQ(model.LimitCaption(), "Field Capacity + Refill");
  model.SetSum(false);
  model.SetLimitLines(false);
  EXPECT_EQ(model.LimitCaption(), "Field Capacity + Refill");
  EXPECT_EQ(model.AxisMax(), 29);
  EXPECT_EQ(model.AxisMin(), 17);
}

TEST_F(GraphModelTest, SumModeSumsTheShownDepthsPerScan) {
  Slots({{1, 4600, 100, 30, 12}, {3, 4600, 100, 35, 15}, {5, 4600, 100, 40, 18}}, "Volumetric");
  Graph(ThreeScans());
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.LeftTitle(), "Water mm");
  model.ClickDepth(1, false);
  model.SetSum(true);
  EXPECT_EQ(Y(0), (std::vector<double>{46, 48, 53}));
  EXPECT_TRUE(model.Series(1).y.empty());
  EXPECT_EQ(model.Series(0).title, "Sum");
  model.SetLimitLines(true);
  EXPECT_EQ(Limits(), "75 Sum F.C 75mm|33 Sum Refill 33mm");
  // The summed lines stay inside the axis.
  EXPECT_EQ(model.AxisMax(), 77);
  EXPECT_EQ(model.AxisMin(), 31);
  model.SetSum(false);
  EXPECT_EQ(model.Series(1).title, " 30cm");
  EXPECT_EQ(Y(1), (std::vector<double>{22, 23, 26}));
  // A single scan's sum keeps its lines inside the axis too.
  Graph({ThreeScans().front()});
  GraphModel one(files, prompter);
  ASSERT_EQ(one.Load(), GraphModel::LoadResult::Drawn);
  one.ClickDepth(1, false);
  one.SetSum(true);
  one.SetLimitLines(true);
  EXPECT_EQ(one.AxisMax(), 77);
  EXPECT_EQ(one.AxisMin(), 31);
}

#ifdef PELVARO_SAMPLE_DIR
// The sample's root zone is 10 to 40 cm: only their own sum meets the refill line.
TEST_F(GraphModelTest, TheForecastGoesWithTheRootZonesSumAndItsLimitLines) {
  InstallSample(PELVARO_SAMPLE_DIR, files);
  WriteSiteSelection(files, kSampleSite, "TVMKDATA");
  BreakSensor(files, kSampleSite, 2, 1);  // 20 cm: its series is marked, and any sum with it
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.Series(0).title + "|" + model.Series(1).title, " 10cm| 20cm (fault)");
  model.ClickDepth(6, false);
  model.ClickDepth(8, false);
  model.SetSum(true);
  EXPECT_EQ(model.Series(0).title, "Sum (fault)");
  EXPECT_FALSE(model.Projection());
  model.SetLimitLines(true);
  const auto projection = model.Projection();
  ASSERT_TRUE(projection);
  EXPECT_EQ(projection->fromDateTime, X().back());
  EXPECT_EQ(projection->fromValue, Y(0).back());
  EXPECT_EQ(projection->toValue, model.Series(kRefillSeries).level);
  EXPECT_EQ(model.XEnd(), projection->toDateTime);
  model.ClickDepth(6, true);
  EXPECT_FALSE(model.Projection());
  EXPECT_EQ(model.XEnd(), X().back());
  model.ClickDepth(6, false);
  model.SetSum(false);
  EXPECT_FALSE(model.Projection());
}

// A season takes a while to read: the outlook's pass fills the chart too.
TEST_F(GraphModelTest, LoadingReadsTheGraphFileOnceForTheChartAndTheOutlook) {
  InstallSample(PELVARO_SAMPLE_DIR, files);
  WriteSiteSelection(files, kSampleSite, "TVMKDATA");
  FaultAt reads(FaultAt::Mode::Count, 0, FaultAt::Kinds::Reads);
  {
    InstalledPlan plan(reads);
    ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  }
  EXPECT_EQ(std::count(reads.ops.begin(), reads.ops.end(), "open SAMPLE SITE_01.bgf"), 1);
  EXPECT_EQ(model.Outlook().error, "");
  EXPECT_EQ(model.Scans(), 5376u);  // eight weeks of 15-minute scans
}

// Counts the scans of each pass it is handed.
class CountingSink : public SiteScanSink {
 public:
  void Begin(const SiteScans&) override { passes.push_back(0); }
  void Scan(const SiteScans::Scan&) override { ++passes.back(); }
  std::vector<std::size_t> passes;
};

TEST_F(GraphModelTest, ACallersSinkSeesEveryScanInTheOnePassOverTheGraphFile) {
  InstallSample(PELVARO_SAMPLE_DIR, files);
  WriteSiteSelection(files, kSampleSite, "TVMKDATA");
  CountingSink sink;
  model.SetScanSink(&sink);
  FaultAt reads(FaultAt::Mode::Count, 0, FaultAt::Kinds::Reads);
  {
    InstalledPlan plan(reads);
    ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  }
  EXPECT_EQ(std::count(reads.ops.begin(), reads.ops.end(), "open SAMPLE SITE_01.bgf"), 1);
  EXPECT_EQ(sink.passes, std::vector<std::size_t>{5376});
  EXPECT_EQ(model.OutlookReads(), 1);
}

// A block gone from the data directory ends the outlook's pass early.
TEST_F(GraphModelTest, AGraphFileTheOutlookCannotReadToItsEndIsStillDrawnWhole) {
  InstallSample(PELVARO_SAMPLE_DIR, files);
  WriteSiteSelection(files, kSampleSite, "TVMKDATA");
  fs::remove(root.Path() / "TVMKDATA" / "SAMPLE SITE_01_002.DAT");
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_NE(model.Outlook().error, "");
  EXPECT_EQ(model.Scans(), 5376u);
}
#endif

struct GapRow {
  const char* guards;
  enum class Then { Load, Sum, ChangeTheFile, AddABlock } then;
  const char* shown;
  double axisMin;
  double axisMax;
};
using Then = GapRow::Then;

class GapTest : public GraphModelTest, public ::testing::WithParamInterface<GapRow> {};

TEST_P(GapTest, AReadingOf0Or65535IsAGapAndOffTheAxis) {
  Slots({{1, 4600, 100, 30, 12}, {2, 4600, 100, 35, 15}});
  site.Block(1, MissingReadingsBlock());
  ASSERT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
  if (GetParam().then == Then::AddABlock) {
    site.Block(2, MissingReadingsBlock());
    SiteHeader::Open(files, "X_01").WriteRecord(header::kFirstBlockSlot + 1, "2");
  }
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  model.SetSum(GetParam().then == Then::Sum);
  if (GetParam().then == Then::ChangeTheFile) {
    fs::last_write_time(site.Graph(), fs::last_write_time(site.Graph()) + std::chrono::seconds(2));
    ASSERT_TRUE(model.Draw());
  }
  std::string shown;
  for (double v : Y(0)) shown += (std::isnan(v) ? "gap" : Plain(v)) + " ";
  EXPECT_EQ(shown, GetParam().shown);
  EXPECT_EQ(model.AxisMin(), GetParam().axisMin);
  EXPECT_EQ(model.AxisMax(), GetParam().axisMax);
}

INSTANTIATE_TEST_SUITE_P(
    Gaps, GapTest,
    ::testing::Values(GapRow{"a depth", Then::Load, "20 20 20 gap gap gap 20 20 20 30 ", 8, 32},
                      GapRow{"the sum of the depths", Then::Sum,
                             "30 30 30 gap gap gap 30 30 30 40 ", 28, 42},
                      GapRow{"a depth read again after its file changed", Then::ChangeTheFile,
                             "20 20 20 gap gap gap 20 20 20 30 ", 8, 32},
                      // Readings of scans not converted say nothing of those drawn;
                      // -6093.5 is read from its first six characters.
                      GapRow{"a file the blocks outgrew as it holds its values", Then::AddABlock,
                             "20 20 20 -6093 460 460 20 20 20 30 ", -6095, 462}),
    ByGuards());

TEST_F(GraphModelTest, DamagedCountsNeverReadPastTheFile) {
  ThreeDepths(ThreeScans());
  Graph(ThreeScans(), 1e12);  // a reading count far beyond the scans written
  ASSERT_EQ(Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(model.Scans(), 3u);

  Graph(ThreeScans(), -5);  // an unfinished run: nothing to plot
  GraphModel unfinished(files, prompter);
  EXPECT_EQ(unfinished.Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(unfinished.Scans(), 0u);
  unfinished.SetLimitLines(true);       // lines alone move no axis
  EXPECT_EQ(unfinished.AxisMin(), -2);  // nothing plotted: the axis stays around zero
  EXPECT_EQ(unfinished.AxisMax(), 2);

  Graph(ThreeScans(), 1);  // a count of one names the first scan
  GraphModel first(files, prompter);
  EXPECT_EQ(first.Load(), GraphModel::LoadResult::Drawn);
  EXPECT_EQ(first.Scans(), 1u);

  Graph(ThreeScans(), std::nullopt, 400);  // an enabled count no file can hold
  GraphModel damaged(files, prompter);
  EXPECT_EQ(damaged.Load(), GraphModel::LoadResult::Failed);
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().text,
            "An error occurred while reading the graph.\r\nThe error is The enabled sensor count "
            "of the graph file X_01.BGF is out of range.");
}

// The graph file is read again only when it changed: a large one takes a while.
TEST_F(GraphModelTest, TheGraphFileIsReadAgainOnlyWhenItChanged) {
  ThreeDepths(ThreeScans());
  int reads = 0;
  const auto counted = [&reads](int percent) { reads += percent == 100; };
  ASSERT_EQ(model.Load(counted), GraphModel::LoadResult::Drawn);
  EXPECT_TRUE(model.Draw(counted));
  EXPECT_EQ(reads, 1);
  // Rewritten to the same length under the model: its new values are drawn.
  {
    auto file = CalibratedFile(site.Graph(), kGraphRecordSize, RecordFile::Mode::ReadWrite);
    file.WriteRecord(13, SensorLine(44, 0, 0));
  }
  fs::last_write_time(site.Graph(), fs::last_write_time(site.Graph()) + std::chrono::seconds(2));
  EXPECT_TRUE(model.Draw(counted));
  EXPECT_EQ(reads, 2);
  EXPECT_EQ(Y(0)[0], 44);
}

TEST(ReadNumberFast, AgreesWithTheLenientReader) {
  std::vector<std::string> texts = {"",       " ",      "-",   ".",    " .5",
                                    "-.5",    "+7",     "1.",  " 600", "-03.20",
                                    "123.46", "1000.2", "5e3", " 0",   "-0.00"};
  texts.insert(texts.end(), {"  07.50 -03.20", "12345678901234567890",
                             "0.1000000000000000000000001", std::string(6, '\0')});
  for (double v = -250; v < 250; v += 0.37) {
    texts.push_back(Spaced(v));
    texts.push_back(SensorField(v));
    texts.push_back(Spaced(10014 + v / 997));
  }
  for (const std::string& t : texts) {
    const double fast = ReadNumberFast(t);
    const double full = ParseLeadingNumber(t);
    EXPECT_EQ(fast, full) << '"' << t << '"';
    EXPECT_EQ(std::signbit(fast), std::signbit(full)) << '"' << t << '"';
  }
}

TEST_F(GraphModelTest, ASensorLineReadsAsTheLenientReaderReadsItAndInHundredthsAsItRounds) {
  // The conversion's shapes, and every way a text can stray from them.
  std::vector<std::string> texts = {
      "  5.00", " 23.45", "123.45", "-12.34",  " -1.23",  "  0.00", " -0.00", "-00.00",
      "  0.07", "+12.34", " +1.23", "\t 1.23", " \t1.23", "1 2.34", "- 2.34", "--1.23",
      " 1-.23", " 1a.23", "12.345", "1.2345",  "1.005 ",  "-1.005", "  1.5 ", "   15 ",
      "  .50 ", "99999.", "1000.2", "  1.2x",  "    -5",  "      ", "12 .34", " 12.3 ",
      "0012.3", " 9-.99", "a12.34", " a1.23",  " 12.:4",  " 12.3:", " 1:.23", ":12.34"};
  for (double v = -250; v < 250; v += 0.37) texts.push_back(SensorField(v));
  Slots({{1, 4600, 100, 0, 12}});
  Graph(std::vector<GraphScan>(texts.size(), {600, kDay, {0}}));
  {
    // Each scan's sensor line then begins with one of the texts.
    std::fstream graph(site.Graph(), std::ios::in | std::ios::out | std::ios::binary);
    for (std::size_t k = 0; k < texts.size(); ++k) {
      texts[k].resize(6, ' ');
      graph.seekp(static_cast<std::streamoff>((10 + 3 * k + 2) * kGraphRecordSize));
      graph.write(texts[k].data(), 6);
    }
  }
  std::vector<double> values;
  std::vector<std::int32_t> hundredths;
  auto reader = GraphFileReader::Open(site.Graph());
  ASSERT_TRUE(reader);
  reader->ForEachScan([&](const GraphScanView& scan) {
    values.push_back(scan.values[0]);
    hundredths.push_back(scan.hundredths[0]);
  });
  ASSERT_EQ(values.size(), texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    const double expected = ParseLeadingNumber(texts[k]);
    EXPECT_EQ(values[k], expected) << '"' << texts[k] << '"';
    EXPECT_EQ(std::signbit(values[k]), std::signbit(expected)) << '"' << texts[k] << '"';
    EXPECT_EQ(hundredths[k], RoundHalfAway(expected * 100)) << '"' << texts[k] << '"';
  }
}

}  // namespace
}  // namespace pelvaro::testing
