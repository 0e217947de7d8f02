// The wetting events in the graph window: bands on the chart, the list
// beside it, and the labels a person gives them.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QValueAxis>
#include <string>
#include <vector>

#include "core/events/EventLabels.h"
#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/StateFiles.h"
#include "support/PdfTools.h"
#include "support/RowNames.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/chart/EventBands.h"
#include "ui/chart/GraphChartView.h"
#include "ui/graph/EventsGrid.h"
#include "ui/graph/GraphWindow.h"

namespace pelvaro::testing {
namespace {

constexpr char kSite[] = "IRR_01";
constexpr char kLabelsHeading[] = "# Pelvaro wetting event labels: start, kind, note (UTF-8)\n";
// Over white, the band of an unlabelled event.
const QColor kUnknownBand(228, 228, 235);

// A site of 15-minute scans from 01-06-2023 00:00, sensors at 10, 20 and 40 cm
// all at 60 %, irrigated once: 10 cm reads 70 % from scan `wetAt`, 20 cm
// 65 % two hours later, 40 cm never more. The event starts at the scan before
// the rise and peaks when 20 cm rises.
struct Irrigation {
  int scans;
  int wetAt;
  int Start() const { return wetAt - 1; }
  int Peak() const { return wetAt + 8; }
};

class GraphEventsTest : public WindowTest {
 protected:
  void Irrigated(Irrigation irrigation) {
    SiteBuilder site(files, kSite);
    site.Header({{1, 4000, 100, 80, 50}, {2, 4000, 100, 80, 50}, {4, 4000, 100, 80, 50}}, 1);
    std::vector<std::uint16_t> words;
    for (int k = 0; k < irrigation.scans; ++k) {
      const bool top = k >= irrigation.wetAt;
      const bool middle = k >= irrigation.Peak();
      // A reading of 4000 - 10 x value.
      words.insert(words.end(), {static_cast<std::uint16_t>(top ? 3300 : 3400),
                                 static_cast<std::uint16_t>(middle ? 3350 : 3400), 3400});
    }
    site.Block(1, {10014, 0, 900, 3, words});
    ASSERT_TRUE(ConvertSite(files, prompter, kSite, "TVMKDATA"));
    WriteSiteSelection(files, kSite, "TVMKDATA");
  }
  std::unique_ptr<GraphWindow> Open() {
    auto window = std::make_unique<GraphWindow>(files, prompter, false);
    EXPECT_TRUE(window->Loaded());
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    return window;
  }
  fs::path Labels() const { return CalibratedPath(files, "TVMKDATA", kSite, kLabelsExtension); }
  static QTableView* List(GraphWindow& w) { return Child<QTableView>(w, "Events"); }
  // A cell's text as the list shows it.
  static QString Cell(QTableView* list, int row, int column) {
    return list->model()->index(row, column).data().toString();
  }
  static QValueAxis* Bottom(GraphWindow& w) {
    return qobject_cast<QValueAxis*>(w.Chart()->axes(Qt::Horizontal).front());
  }
  // Where an X value of the bottom axis lies across the chart view.
  static int InView(GraphWindow& w, double x) {
    auto* view = Child<GraphChartView>(w, "TChart1");
    const QPointF inChart = w.Chart()->mapToPosition({x, 0}, w.SeriesAt(0));
    return view->mapFromScene(w.Chart()->mapToScene(inChart)).x();
  }
  // The pixels of the band's shade in one column of the plot.
  static int BandPixels(GraphWindow& w, int x) {
    QApplication::processEvents();
    auto* view = Child<GraphChartView>(w, "TChart1");
    const QRect plot =
        view->mapFromScene(w.Chart()->mapToScene(w.Chart()->plotArea()).boundingRect())
            .boundingRect();
    return PixelsNear(view->viewport()->grab(QRect(x, plot.top(), 1, plot.height())).toImage(),
                      kUnknownBand, 3);
  }
  static int PlotHeight(GraphWindow& w) { return qRound(w.Chart()->plotArea().height()); }
  // A cell edited as a person does: a double click, keys, Enter.
  static void TypeInto(QTableView* list, int row, int column, const QString& keys) {
    DoubleClickCell(list, row, column);
    Type(keys);
    Press(Qt::Key_Return);
  }
  void Label(GraphWindow& w, const QString& kind, const QString& note) {
    TypeInto(List(w), 0, EventsGrid::kKind, kind);
    TypeInto(List(w), 0, EventsGrid::kNote, note);
  }
};

const Irrigation kFourDays{384, 200};

struct AxisRow {
  const char* guards;
  Irrigation irrigation;
  double hour;  // in the bottom axis's units
};

class AxisTest : public GraphEventsTest, public ::testing::WithParamInterface<AxisRow> {};

TEST_P(AxisTest, TheEventIsABandFromItsStartToItsPeak) {
  const Irrigation irrigation = GetParam().irrigation;
  Irrigated(irrigation);
  auto w = Open();
  const auto x = w->Model().X();
  const int start = InView(*w, x[irrigation.Start()]);
  const int peak = InView(*w, x[irrigation.Peak()]);
  ASSERT_GT(peak - start, 8);
  EXPECT_GT(BandPixels(*w, (start + peak) / 2), PlotHeight(*w) / 2);
  EXPECT_EQ(BandPixels(*w, start - 3), 0);
  EXPECT_EQ(BandPixels(*w, peak + 3), 0);
}

TEST_P(AxisTest, AClickOnTheEventsRowShowsTwelveHoursBeforeItToThreeDaysAfter) {
  const Irrigation irrigation = GetParam().irrigation;
  Irrigated(irrigation);
  auto w = Open();
  ClickCell(List(*w), 0, EventsGrid::kDeepest);
  const double start = w->Model().X()[irrigation.Start()];
  EXPECT_NEAR(Bottom(*w)->min(), start - 12 * GetParam().hour, 1e-9);
  EXPECT_NEAR(Bottom(*w)->max(), start + 72 * GetParam().hour, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Axes, AxisTest,
                         ::testing::Values(AxisRow{"ten hours of scans: minutes", {40, 10}, 60},
                                           AxisRow{"twenty hours of scans: hours", {80, 20}, 1},
                                           AxisRow{"four days of scans: dates", kFourDays,
                                                   1.0 / 24}),
                         ByGuards());

TEST_F(GraphEventsTest, TheBandIsLabelledWithTheDeepestDepthTheWaterReached) {
  Irrigated(kFourDays);
  auto w = Open();
  const EventBands* bands = nullptr;
  for (QGraphicsItem* item : w->Chart()->childItems()) {
    if (auto* found = dynamic_cast<EventBands*>(item)) bands = found;
  }
  ASSERT_NE(bands, nullptr);
  ASSERT_EQ(bands->Bands().size(), 1u);
  EXPECT_EQ(bands->Bands()[0].label, "20 cm");
}

// A page is drawn at many times a screen's resolution: the band's label
// keeps the size it has beside the axis's labels there.
TEST_F(GraphEventsTest, TheBandsLabelInASavedPdfIsTheSizeOfTheAxisLabels) {
  Irrigated(kFourDays);
  auto w = Open();
  const fs::path pdf = root.Path() / "chart.pdf";
  w->SetSaveNameAsker([&pdf](const QString&, QString& filter, bool) {
    filter = "*.pdf Files(*.pdf)";
    return Q(pdf);
  });
  Click(Child<QPushButton>(*w, "ButtonSaveAs"));
  ASSERT_TRUE(fs::exists(pdf));
  // Each word's box as pdftotext -bbox gives it: the band's "cm" and the axis's title.
  const QString boxes = QString::fromStdString(Poppler("pdftotext", {"-bbox", Q(pdf), "-"}));
  const auto height = [&boxes](const QString& word) {
    const QRegularExpression box(R"re(yMin="(-?[\d.]+)" xMax="-?[\d.]+" yMax="(-?[\d.]+)">)re" +
                                 QRegularExpression::escape(word) + "<");
    const auto found = box.match(boxes);
    return found.hasMatch() ? found.captured(2).toDouble() - found.captured(1).toDouble() : -1.0;
  };
  const double label = height("cm");
  const double axis = height("Time/Date");
  ASSERT_GT(label, 0) << boxes.toStdString();
  ASSERT_GT(axis, 0) << boxes.toStdString();
  EXPECT_LT(label, 1.5 * axis);
}

TEST_F(GraphEventsTest, KindAndNoteTypedInTheListAreSavedToTheLabelsFile) {
  Irrigated(kFourDays);
  auto w = Open();
  EXPECT_EQ(Cell(List(*w), 0, EventsGrid::kStart), "2023-06-03 01:45:00");
  Label(*w, "i", "pivot 2, six hours");
  Click(Child<QPushButton>(*w, "cmdSaveLabels"));
  EXPECT_EQ(ReadBytes(Labels()),
            std::string(kLabelsHeading) + "2023-06-03T01:45:00\tirrigation\tpivot 2, six hours\n");
}

struct CloseRow {
  const char* guards;
  Answer answer;
  bool saved;
};

class CloseTest : public GraphEventsTest, public ::testing::WithParamInterface<CloseRow> {};

TEST_P(CloseTest, ClosingWithEditedLabelsAsksToSaveThem) {
  Irrigated(kFourDays);
  auto w = Open();
  Label(*w, "r", "storm");
  prompter.answers = {GetParam().answer};
  Act(*w, "cmdExit");
  EXPECT_EQ(Titles(prompter), "Save Event Labels|");
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(fs::exists(Labels()), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(Answers, CloseTest,
                         ::testing::Values(CloseRow{"yes saves them", Answer::Yes, true},
                                           CloseRow{"no leaves no file", Answer::No, false}),
                         ByGuards());

struct ChangedRow {
  const char* guards;
  Answer reload;
  const char* kindShown;
  int rowsAdded;  // their label of an event that is gone
};

class ChangedLabelsTest : public GraphEventsTest,
                          public ::testing::WithParamInterface<ChangedRow> {};

TEST_P(ChangedLabelsTest, ASaveOverLabelsAnotherProgramWroteIsRefusedAndTheirsStay) {
  Irrigated(kFourDays);
  auto w = Open();
  const int rows = List(*w)->verticalHeader()->count();
  const std::string theirs =
      std::string(kLabelsHeading) + "2023-01-01T00:00:00\tirrigation\n2023-06-03T01:45:00\train\n";
  WriteBytes(Labels(), theirs);
  Label(*w, "i", "pivot 2");
  prompter.answers = {GetParam().reload};
  Click(Child<QPushButton>(*w, "cmdSaveLabels"));
  EXPECT_EQ(Titles(prompter), std::string(kFileChangedTitle) + "|");
  EXPECT_EQ(ReadBytes(Labels()), theirs);
  EXPECT_EQ(Cell(List(*w), 0, EventsGrid::kKind), GetParam().kindShown);
  // The rows a person sees, not only what the model holds.
  EXPECT_EQ(List(*w)->verticalHeader()->count(), rows + GetParam().rowsAdded);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ChangedLabelsTest,
    ::testing::Values(ChangedRow{"no keeps the edit in the list", Answer::No, "irrigation", 0},
                      ChangedRow{"yes shows their labels", Answer::Yes, "rain", 1}),
    ByGuards());

TEST_F(GraphEventsTest, TabGoesFromExitToTheListAndThenToItsSaveButton) {
  Irrigated(kFourDays);
  auto w = Open();
  Label(*w, "r", "storm");
  Child<QPushButton>(*w, "cmdExit")->setFocus();
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), List(*w));
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>(*w, "cmdSaveLabels"));
}

TEST_F(GraphEventsTest, ADamagedLabelsFileIsToldOnceAndNeverWrittenOver) {
  Irrigated(kFourDays);
  const std::string damaged = "2023-06-03T01:45:00\tflood\n";
  WriteBytes(Labels(), damaged);
  auto w = Open();
  EXPECT_EQ(Titles(prompter), "Event Labels|");
  auto* list = List(*w);
  DoubleClickCell(list, 0, EventsGrid::kNote);
  EXPECT_EQ(list->findChild<QLineEdit*>(), nullptr);  // no note can be typed
  EXPECT_EQ(Cell(list, 0, EventsGrid::kKind), "unknown");
  EXPECT_FALSE(Child<QPushButton>(*w, "cmdSaveLabels")->isEnabled());
  Act(*w, "cmdExit");
  EXPECT_EQ(Titles(prompter), "Event Labels|");
  EXPECT_EQ(ReadBytes(Labels()), damaged);
}

TEST_F(GraphEventsTest, ALabelWhoseEventIsGoneIsListedAfterTheEventsSayingSo) {
  Irrigated(kFourDays);
  WriteBytes(Labels(), std::string(kLabelsHeading) + "2023-06-01T09:00:00\train\tdrizzle\n");
  auto w = Open();
  auto* list = List(*w);
  ASSERT_EQ(list->model()->rowCount(), 2);
  EXPECT_EQ(Cell(list, 1, EventsGrid::kStart), "2023-06-01 09:00:00");
  EXPECT_EQ(Cell(list, 1, EventsGrid::kLags), "no such event now (data changed)");
  EXPECT_EQ(Cell(list, 1, EventsGrid::kNote), "drizzle");
}

TEST_F(GraphEventsTest, ALabelWhoseEventIsGoneTakesNoEdit) {
  Irrigated(kFourDays);
  WriteBytes(Labels(), std::string(kLabelsHeading) + "2023-06-01T09:00:00\train\tdrizzle\n");
  auto w = Open();
  auto* list = List(*w);
  DoubleClickCell(list, 1, EventsGrid::kNote);
  EXPECT_EQ(list->findChild<QLineEdit*>(), nullptr);
}

// "Report...": this site's page, for the range in view or the last 14 days.
struct ReportRow {
  const char* guards;
  bool zoomed;
  const char* period;
};

class ReportTest : public GraphEventsTest, public ::testing::WithParamInterface<ReportRow> {};

TEST_P(ReportTest, ThePageCoversTheRangeInViewElseTheLastFourteenDays) {
  Irrigated(kFourDays);
  auto w = Open();
  if (GetParam().zoomed) ClickCell(List(*w), 0, EventsGrid::kDeepest);
  const fs::path pdf = root.Path() / "irr.pdf";
  w->SetReportNameAsker([&pdf](const QString&) { return Q(pdf.parent_path() / "irr"); });
  Click(Child<QPushButton>(*w, "cmdReport"));
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_EQ(Info(pdf, "Pages"), "1");
  EXPECT_NE(PdfText(pdf).find(std::string("IRR_01 \xC2\xB7 ") + GetParam().period),
            std::string::npos)
      << PdfText(pdf);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ReportTest,
                         ::testing::Values(ReportRow{"zoomed to the event", true,
                                                     "02-06-2023 13:45 to 04-06-2023 23:45"},
                                           ReportRow{"not zoomed", false,
                                                     "21-05-2023 23:45 to 04-06-2023 23:45"}),
                         ByGuards());

}  // namespace
}  // namespace pelvaro::testing
