#include "ui/graph/GraphWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLegend>
#include <QLegendMarker>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QTableWidget>
#include <QValueAxis>
#include <QWheelEvent>
#include <filesystem>
#include <utility>

#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/Environment.h"
#include "support/RowNames.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/chart/GraphChartView.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro::testing {
namespace {

constexpr char kSample[] = "SAMPLE SITE_01";
const QColor kReadoutBlue(0, 0, 255);

// The sample site as installed, sensors at 10, 20, 40, 60 and 80 cm.
class GraphWindowTest : public WindowTest {
 protected:
  GraphWindowTest() {
    InstallSample(PELVARO_SAMPLE_DIR, files);
    WriteSiteSelection(files, kSample, "TVMKDATA");
  }

  std::unique_ptr<GraphWindow> Open() {
    auto window = std::make_unique<GraphWindow>(files, prompter, false);
    EXPECT_TRUE(window->Loaded());
    // Nothing a test does may reach a real dialog.
    window->SetPrinterChooser([this](QPrinter& printer) {
      ++printDialogs;
      if (printTo.isEmpty()) return false;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(printTo);
      return true;
    });
    window->SetSaveNameAsker([this](const QString& start, QString& filter, bool) {
      ++saveDialogs;
      dialogStarts.push_back(start);
      filter = saveFilter;
      return std::exchange(saveTo, QString());  // a dialog opened again is cancelled
    });
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    return window;
  }
  // A site of its own, selected, sensors at 10 cm and 120 cm, with one scan converted.
  SiteBuilder OneScanSite() {
    SiteBuilder site(files, "X_01");
    site.Header({{1, 4600, 100, 30, 12}, {12, 4650, 100, 35, 15}}, 1);
    site.Block(1, {10014, 0, 900, 2, {4400, 4300}});
    EXPECT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
    WriteSiteSelection(files, "X_01", "TVMKDATA");
    return site;
  }
  static QPoint InView(GraphWindow& w, QPointF value) {
    auto* view = w.findChild<GraphChartView*>("TChart1");
    const QPointF inChart = w.Chart()->mapToPosition(value, w.SeriesAt(0));
    return view->mapFromScene(w.Chart()->mapToScene(inChart));
  }
  // The plot as the screen shows it, without the legend beside it.
  static QImage Screen(GraphWindow& w) {
    QApplication::processEvents();
    auto* view = Child<GraphChartView>(w, "TChart1");
    const QRectF plot = w.Chart()->mapToScene(w.Chart()->plotArea()).boundingRect();
    return view->grab(view->mapFromScene(plot).boundingRect()).toImage();
  }
  // A person ticks a box on its indicator, not on the empty space beside it.
  static void ClickBox(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    Click(box, mark.center());
  }
  // The first page of a PDF as pdftoppm draws it.
  QImage PdfPage(const char* name) const {
    const QString tool = QStandardPaths::findExecutable("pdftoppm");
    if (tool.isEmpty()) return {};
    const QString out = Path(name) + "-page";
    QProcess::execute(tool, {"-png", "-r", "60", "-singlefile", Path(name), out});
    return QImage(out + ".png");
  }
  QString Path(const char* name) const {
    return QString::fromStdString((root.Path() / name).string());
  }
  // A name given in the file dialog the button opens; none cancels it.
  void SaveAs(GraphWindow& w, const char* name, const char* filter,
              const char* button = "ButtonSaveAs") {
    saveTo = name == nullptr ? QString() : Path(name);
    saveFilter = filter;
    Click(Child<QPushButton>(w, button));
  }
  void Print(GraphWindow& w, const char* name) {
    printTo = name == nullptr ? QString() : Path(name);
    Click(Child<QPushButton>(w, "ButtonPrint"));
  }
  static GraphChartView* View(GraphWindow& w) { return Child<GraphChartView>(w, "TChart1"); }
  static QValueAxis* Bottom(GraphWindow& w) {
    return qobject_cast<QValueAxis*>(w.Chart()->axes(Qt::Horizontal).front());
  }
  // The pointer onto a point, from a corner: a pointer already there would not move.
  static void Hover(GraphWindow& w, QPointF value) {
    QTest::mouseMove(View(w)->viewport(), QPoint(1, 1));
    QTest::mouseMove(View(w)->viewport(), InView(w, value));
  }
  // The pointer on the middle scan of the 20 cm series: the readout shows.
  static void PointAtAScan(GraphWindow& w) {
    Hover(w, w.SeriesAt(2)->at(w.SeriesAt(2)->count() / 2));
    ASSERT_FALSE(w.ReadoutText().isEmpty());
  }
  static void ZoomToScans(GraphWindow& w, std::size_t first, std::size_t last) {
    Bottom(w)->setRange(w.Model().X()[first], w.Model().X()[last]);
  }
  // The lines of a season export given this name in the file dialog.
  QStringList Exported(GraphWindow& w, const char* name) {
    SaveAs(w, name, "*.csv Files(*.csv)", "cmdExportSeason");
    QStringList lines =
        QString::fromStdString(ReadBytes(root.Path() / (std::string(name) + ".csv"))).split("\r\n");
    lines.removeLast();  // what follows the last line's end
    return lines;
  }
  std::string Offset(int slot) {
    return SiteHeader::Open(files, kSample).ReadRecord(header::CalibrationBase(slot));
  }

  int printDialogs = 0;
  int saveDialogs = 0;
  QStringList dialogStarts;  // where each save dialog opened
  QString printTo;
  QString saveTo;
  QString saveFilter = "*.bmp Files(*.bmp)";
};

TEST_F(GraphWindowTest, OpensOnTheSelectedSiteWithARowAndASeriesPerSensor) {
  auto w = Open();
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  EXPECT_EQ(
      QStringList({w->objectName(), w->windowTitle(), Child<QLineEdit>(*w, "txtDataDir")->text(),
                   Child<QLabel>(*w, "lblDepths")->text(), grid->item(2, 0)->text()})
          .join('|'),
      "TVMKGRAPH1|Site Data Graph|TVMKDATA|Measured Depths in cm|40");
  EXPECT_TRUE(w->isModal());
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(grid->rowCount(), 5);
  EXPECT_FALSE(Child<QCheckBox>(*w, "chkThrty")->isEnabled());  // no sensor at 30 cm
  for (int i = 0; i < kGraphSeries; ++i) EXPECT_EQ(w->SeriesAt(i)->isVisible(), i < 5) << i;
}

TEST_F(GraphWindowTest, TheDepthBoxesNameTheirDepthsAndTheMeasuredOnesStandOut) {
  auto w = Open();
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  QStringList measured;
  for (int r = 0; r < grid->rowCount(); ++r) measured << grid->item(r, 0)->text();
  QStringList captions;
  QStringList highlighted;
  for (const char* name :
       {"chkTen", "chkTwnty", "chkThrty", "chkForty", "chkFifty", "chkSixty", "chkSvnty",
        "chkEghty", "chkNinty", "chkHndrd", "chkHndTen", "chkHndTwnty"}) {
    auto* box = Child<QCheckBox>(*w, name);
    captions << box->text();
    if (box->autoFillBackground() &&
        box->palette().color(QPalette::Window) == QColor(255, 255, 128))
      highlighted << box->text();
  }
  EXPECT_EQ(captions.join(' '), "10 20 30 40 50 60 70 80 90 100 110 120");
  EXPECT_EQ(highlighted, measured);
}

TEST_F(GraphWindowTest, TheLimitLinesFollowTheFirstDepthThenTheSum) {
  auto w = Open();
  auto* limits = Child<QCheckBox>(*w, "chkFC_RFON");
  ClickBox(limits);
  EXPECT_TRUE(w->SeriesAt(kFieldCapacitySeries)->isVisible());
  EXPECT_EQ(w->SeriesAt(kFieldCapacitySeries)->name(), "F.C. 100%");
  EXPECT_EQ(limits->text(), "Field Capacity + Refill at 10 cm");
  ClickBox(Child<QCheckBox>(*w, "chkSumDpth"));
  EXPECT_EQ(w->SeriesAt(kRefillSeries)->name(), "Sum Refill 300%");
  EXPECT_FALSE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(limits->text(), "Field Capacity + Refill");
}

TEST_F(GraphWindowTest, TheChartGrowsWithTheWindowAndKeepsRoomWhenItShrinks) {
  auto w = Open();
  auto* view = View(*w);
  const QSize byDefault = w->size();
  const int chartByDefault = view->width();
  AtEverySize(*w, [&](Size size) {
    if (size == kLarge) {
      EXPECT_GT(view->width(), chartByDefault + 500);
      EXPECT_GT(view->height(), 600);
    } else if (size == kSmallest) {
      EXPECT_LT(w->width(), byDefault.width());
      EXPECT_GE(view->width(), 300);
      EXPECT_GE(view->height(), 250);
    }
  });
}

TEST_F(GraphWindowTest, AnEmptySiteSaysSoAndItsWindowNeverOpens) {
  fs::resize_file(root.Path() / "TVMKDATA" / (std::string(kSample) + ".bgf"), 499);
  GraphWindow empty(files, prompter, true);
  EXPECT_FALSE(empty.Loaded());
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(LastMessage(prompter), ": This site is empty ");
  EXPECT_EQ(empty.exec(), QDialog::Rejected);
  empty.show();
  EXPECT_FALSE(empty.isVisible());
}

TEST_F(GraphWindowTest, ASingleScanIsADotAndThe120CmBoxAnswersTheMouse) {
  OneScanSite();
  auto w = Open();
  for (int i : {0, 1}) {
    ASSERT_EQ(w->SeriesAt(i)->count(), 1) << i;
    EXPECT_GT(PixelsNear(Screen(*w), w->SeriesAt(i)->pen().color()), 10) << i;
  }
  EXPECT_EQ(w->SeriesAt(1)->name(), " 120cm");
  ClickBox(Child<QCheckBox>(*w, "chkFC_RFON"));
  EXPECT_GT(PixelsNear(Screen(*w), w->SeriesAt(kRefillSeries)->pen().color()), 10);

  auto* deepest = Child<QCheckBox>(*w, "chkHndTwnty");
  ClickBox(deepest);
  EXPECT_FALSE(deepest->isChecked());
  EXPECT_FALSE(w->SeriesAt(1)->isVisible());
  EXPECT_FALSE(w->Chart()->legend()->markers(w->SeriesAt(1)).front()->isVisible());
  EXPECT_EQ(PixelsNear(Screen(*w), w->SeriesAt(1)->pen().color()), 0);
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  EXPECT_NE(grid->item(1, CalibrationTable::kOffset)->background().color(), QColor(Qt::white));
  ClickBox(deepest);
  EXPECT_TRUE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(grid->item(1, CalibrationTable::kOffset)->background().color(), QColor(Qt::white));
}

// Another copy of the program downloads into the site shown and converts it.
TEST_F(GraphWindowTest, TheChartTakesTheScansAnotherProgramConverted) {
  SiteBuilder site = OneScanSite();
  auto w = Open();
  DataWatcher watcher(files);
  w->Follow(watcher);
  site.Stored(2, {10015, 0, 900, 2, {4410, 4310, 4420, 4320}});
  ASSERT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
  ASSERT_TRUE(ChangesLetIn(watcher));
  EXPECT_EQ(w->SeriesAt(0)->count(), 3);
}

// Outlook line, fault marks, and the forecast the model gives (which boxes give one is
// GraphModelTest.TheForecastGoesWithTheRootZonesSumAndItsLimitLines).
TEST_F(GraphWindowTest, TheOutlookLineFaultMarksAndForecastFollowTheSiteAndTheBoxes) {
  const QColor forecastColour(120, 0, 180);
  const std::string line =
      "Root zone 10\u201340 cm: use 9.89 %/day over 3 dry days \u00B7 refill in 9.3 days, about "
      "11-11-2026";
  BreakSensor(files, kSample, 2, 1);  // 20 cm, weeks before the last morning
  const std::vector<const char*> rootZoneSum = {"chkSixty", "chkEghty", "chkSumDpth", "chkFC_RFON"};
  const struct {
    std::vector<const char*> boxes;
    const char* names[2];  // of series 0 and 1; nothing for a hidden series
    bool drawn;
    bool outdated = false;
  } cases[] = {
      {{}, {" 10cm", " 20cm (fault)"}, false},
      {rootZoneSum, {"Sum (fault)", nullptr}, true},
      // A block taken from the site leaves the graph file behind: no outlook.
      {rootZoneSum, {"Sum", nullptr}, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.boxes.size() * 10 + c.outdated);
    if (c.outdated) {
      SiteHeader::Open(files, kSample).WriteRecord(header::kFirstBlockSlot + 2, "0");
    }
    auto w = Open();
    for (const char* box : c.boxes) ClickBox(Child<QCheckBox>(*w, box));
    auto* shownLine = Child<QLabel>(*w, "lblOutlook");
    EXPECT_EQ(shownLine->text().toStdString(), c.outdated ? kOutdatedGraph : line);
    EXPECT_GT(PixelsNear(shownLine->grab().toImage(),
                         shownLine->palette().color(QPalette::WindowText), 40),
              100);
    for (int i : {0, 1}) {
      if (c.names[i] != nullptr) {
        EXPECT_EQ(w->SeriesAt(i)->name().toStdString(), c.names[i]);
      }
    }
    QLineSeries* forecast = w->Projection();
    EXPECT_EQ(forecast->isVisible(), c.drawn);
    EXPECT_EQ(PixelsNear(Screen(*w), forecastColour, 40) > 0, c.drawn);
    if (!c.drawn) continue;

    ASSERT_EQ(forecast->count(), 2);
    QLineSeries* refill = w->SeriesAt(kRefillSeries);
    EXPECT_EQ(forecast->at(0), QPointF(w->Model().X().back(), w->Model().Series(0).y.back()));
    EXPECT_EQ(forecast->at(1), refill->at(refill->count() - 1));
    EXPECT_EQ(Bottom(*w)->max(), forecast->at(1).x());
    // Along the line: dashes with gaps between them.
    QApplication::processEvents();
    const QImage shown = Child<GraphChartView>(*w, "TChart1")->viewport()->grab().toImage();
    const QPointF from = InView(*w, forecast->at(0));
    const QPointF to = InView(*w, forecast->at(1));
    int dashes = 0;
    int on = 0;
    bool was = false;
    constexpr int kSteps = 400;
    for (int k = 5; k < kSteps - 5; ++k) {
      const QPoint at = (from + (to - from) * k / kSteps).toPoint();
      const bool ink = PixelsNear(shown.copy(at.x(), at.y(), 1, 1), forecastColour, 40) > 0;
      dashes += ink && !was;
      on += ink;
      was = ink;
    }
    EXPECT_GE(dashes, 5);
    EXPECT_LT(on, kSteps * 9 / 10);
    EXPECT_GT(on, kSteps / 3);
    // Saved pictures hold it: it is part of the chart.
    SaveAs(*w, "forecast.png", "*.png Files(*.png)");
    EXPECT_GT(PixelsNear(QImage(Path("forecast.png")), forecastColour, 40), 50);
  }
}

struct PictureRow {
  const char* guards;
  const char* name;  // as typed in the file dialog
  const char* filter;
  const char* saved;
};

class PictureTest : public GraphWindowTest, public ::testing::WithParamInterface<PictureRow> {};

TEST_P(PictureTest, ASavedPictureHoldsEveryDepthsSeries) {
  auto w = Open();
  SaveAs(*w, GetParam().name, GetParam().filter);
  const QImage picture(Path(GetParam().saved));
  for (int i = 0; i < 5; ++i) {
    EXPECT_GT(PixelsNear(picture, w->SeriesAt(i)->pen().color()), 50) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, PictureTest,
    ::testing::Values(PictureRow{"a bitmap", "graph.bmp", "*.bmp Files(*.bmp)", "graph.bmp"},
                      PictureRow{"a png", "graph.png", "*.png Files(*.png)", "graph.png"},
                      PictureRow{"a name without extension takes the filter's", "graph",
                                 "*.png Files(*.png)", "graph.png"}),
    ByGuards());

TEST_F(GraphWindowTest, AnSvgIsWrittenAsSvg) {
  auto w = Open();
  SaveAs(*w, "graph.svg", "*.svg Files(*.svg)");
  EXPECT_NE(ReadBytes(root.Path() / "graph.svg").find("<svg"), std::string::npos);
}

TEST_F(GraphWindowTest, CancelledDialogsWriteNothingNotEvenABareExtension) {
  auto w = Open();
  SaveAs(*w, nullptr, "*.svg Files(*.svg)");
  Print(*w, nullptr);
  EXPECT_EQ(saveDialogs, 1);
  EXPECT_EQ(printDialogs, 1);
  EXPECT_FALSE(fs::exists(fs::current_path() / ".svg"));
  EXPECT_TRUE(prompter.shown.empty());
}

struct PageRow {
  const char* guards;
  const char* extension;
  bool printed;
};

class PageTest : public GraphWindowTest, public ::testing::WithParamInterface<PageRow> {};

TEST_P(PageTest, APictureOrPageMadeWhileTheReadoutShowsLeavesItOut) {
  auto w = Open();
  const bool pdf = std::string(GetParam().extension) == ".pdf";
  const auto made = [&](std::string name) {
    name += GetParam().extension;
    const QString filter = QString("*%1 Files(*%1)").arg(GetParam().extension);
    GetParam().printed ? Print(*w, name.c_str()) : SaveAs(*w, name.c_str(), qPrintable(filter));
    return pdf ? PdfPage(name.c_str()) : QImage(Path(name.c_str()));
  };
  const QImage plain = made("plain");
  PointAtAScan(*w);
  const QImage hover = made("hover");
  EXPECT_FALSE(w->ReadoutText().isEmpty());  // still on the screen
  if (pdf && hover.isNull()) GTEST_SKIP() << "pdftoppm is not installed";
  ASSERT_FALSE(hover.isNull());
  EXPECT_EQ(PixelsNear(hover, kReadoutBlue), 0);
  EXPECT_EQ(hover, plain);
}

INSTANTIATE_TEST_SUITE_P(Pages, PageTest,
                         ::testing::Values(PageRow{"a saved png", ".png", false},
                                           PageRow{"a saved pdf", ".pdf", false},
                                           PageRow{"a printed page", ".pdf", true}),
                         ByGuards());

TEST_F(GraphWindowTest, ASaveIntoAMissingFolderSaysWhy) {
  auto w = Open();
  SaveAs(*w, "missing/graph.bmp", "*.bmp Files(*.bmp)");
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(LastMessage(prompter),
            ": An error occurred while saving site data graph.\r\nThe error is No such file or "
            "directory");
}

// Without a printer the print dialog still comes, set to a PDF file in the documents folder.
TEST_F(GraphWindowTest, WithNoPrinterInstalledPrintingMakesAPdfFile) {
  if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
  const ScopedEnvironment home("HOME", root.Path());
  fs::create_directories(root.Path() / "Documents");
  auto w = Open();
  w->SetPrinterChooser(PrintDialogChooser(w.get()));
  QString offered;
  WhenDialogOpens<QPrintDialog>([&](QPrintDialog& dialog) {
    offered = dialog.printer()->outputFileName();
    dialog.accept();
  });
  Print(*w, nullptr);
  ASSERT_TRUE(offered.endsWith(".pdf")) << offered.toStdString();
  EXPECT_EQ(ReadBytes(offered.toStdString()).substr(0, 5), "%PDF-");
  EXPECT_TRUE(prompter.shown.empty()) << LastMessage(prompter);
  EXPECT_TRUE(w->isVisible());
}

TEST_F(GraphWindowTest, PointingAtAScanReadsItsValueUnitDateAndTime) {
  auto w = Open();
  // The zoom draws every scan in view and one on either side.
  ZoomToScans(*w, 100, 160);
  Hover(*w, w->SeriesAt(0)->at(31));  // the 131st scan, 32.5 hours after 07-09-2026 10:00
  EXPECT_EQ(w->ReadoutText().toStdString(), "86.33 %, 08-09-2026 18:30");
  EXPECT_GT(PixelsNear(Screen(*w), kReadoutBlue), 20);
}

// A site of its own: the 10 cm sensor misses its fourth to sixth readings.
TEST_F(GraphWindowTest, MissingReadingsBreakTheLineAndStayOffTheAxis) {
  SiteBuilder site(files, "X_01");
  site.Header({{1, 4600, 100, 30, 12}, {2, 4600, 100, 35, 15}}, 1);
  site.Block(1, MissingReadingsBlock());
  ASSERT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
  WriteSiteSelection(files, "X_01", "TVMKDATA");
  auto w = Open();
  const auto* left = qobject_cast<QValueAxis*>(w->Chart()->axes(Qt::Vertical).front());
  EXPECT_EQ(left->min(), 8);  // 2 beyond the values 10 to 30
  EXPECT_EQ(left->max(), 32);
  QApplication::processEvents();
  const QImage shown = View(*w)->viewport()->grab().toImage();
  const auto ink = [&](std::size_t scan) {
    const QPoint at = InView(*w, {w->Model().X()[scan], 20});
    return PixelsNear(shown.copy(at.x() - 3, at.y() - 3, 7, 7), w->SeriesAt(0)->pen().color(), 40);
  };
  EXPECT_GT(ink(1), 0);
  EXPECT_EQ(ink(4), 0);  // where a line joined across the gap would run
}

struct BeepRow {
  const char* guards;
  bool limitLines;
  int beeps;
};

class BeepTest : public GraphWindowTest, public ::testing::WithParamInterface<BeepRow> {};

TEST_P(BeepTest, AClickOnAScanBeepsOnlyWhileTheLimitLinesShow) {
  auto w = Open();
  int beeps = 0;
  w->SetBeep([&] { ++beeps; });
  if (GetParam().limitLines) ClickBox(Child<QCheckBox>(*w, "chkFC_RFON"));
  ZoomToScans(*w, 100, 160);
  Click(View(*w)->viewport(), InView(*w, w->SeriesAt(0)->at(31)));
  EXPECT_EQ(beeps, GetParam().beeps);
}

INSTANTIATE_TEST_SUITE_P(Clicks, BeepTest,
                         ::testing::Values(BeepRow{"without limit lines none", false, 0},
                                           BeepRow{"with limit lines twenty", true, 20}),
                         ByGuards());

TEST_F(GraphWindowTest, TurningTheWheelZoomsInAndTakesTheReadoutAway) {
  auto w = Open();
  ZoomToScans(*w, 100, 160);
  auto* viewport = View(*w)->viewport();
  const QPoint at = InView(*w, w->SeriesAt(0)->at(31));
  Hover(*w, w->SeriesAt(0)->at(31));
  ASSERT_FALSE(w->ReadoutText().isEmpty());
  QWheelEvent wheel(at, viewport->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewport, &wheel);
  const auto x = w->Model().X();
  EXPECT_LT(Bottom(*w)->max() - Bottom(*w)->min(), 0.9 * (x[160] - x[100]));
  EXPECT_EQ(w->ReadoutText(), "");
  EXPECT_EQ(PixelsNear(Screen(*w), kReadoutBlue), 0);
}

TEST_F(GraphWindowTest, ResetZoomShowsEveryScanAgain) {
  auto w = Open();
  const int fullCount = w->SeriesAt(0)->count();
  ZoomToScans(*w, 100, 160);
  Click(Child<QPushButton>(*w, "cmdZoomReset"));
  EXPECT_EQ(Bottom(*w)->min(), w->Model().X().front());
  EXPECT_EQ(w->SeriesAt(0)->count(), fullCount);
}

TEST_F(GraphWindowTest, AWiderWindowDrawsMorePointsButNoMoreThanThePlotIsWide) {
  auto w = Open();
  const int fullCount = w->SeriesAt(0)->count();
  w->resize(1600, 700);
  QApplication::processEvents();
  Click(Child<QPushButton>(*w, "cmdZoomReset"));
  EXPECT_GT(w->SeriesAt(0)->count(), fullCount);
  EXPECT_LE(w->SeriesAt(0)->count(), qRound(w->Chart()->plotArea().width()));
}

TEST_F(GraphWindowTest, AnExportUnzoomedHoldsTheWholeSeasonUnderANameEndingCsv) {
  auto w = Open();
  const auto whole = Exported(*w, "season");
  EXPECT_EQ(static_cast<std::size_t>(whole.size()), 1 + w->Model().Scans());
}

TEST_F(GraphWindowTest, AnExportAfterARubberBandHoldsTheScansItShowsAndNoOther) {
  auto w = Open();
  const QStringList whole = Exported(*w, "season");
  const auto x = w->Model().X();
  auto* viewport = View(*w)->viewport();
  const QPoint from = InView(*w, {x[1000], 70}) - QPoint(0, 50);
  const QPoint to = InView(*w, {x[1200], 70}) + QPoint(0, 50);
  QTest::mousePress(viewport, Qt::LeftButton, {}, from);
  QTest::mouseMove(viewport, to);
  QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
  ASSERT_GT(Bottom(*w)->min(), x[990]);
  ASSERT_LT(Bottom(*w)->max(), x[1210]);
  const auto first = std::lower_bound(x.begin(), x.end(), Bottom(*w)->min()) - x.begin();
  const auto last = std::upper_bound(x.begin(), x.end(), Bottom(*w)->max()) - x.begin() - 1;
  const QStringList zoomed = Exported(*w, "zoomed");
  ASSERT_EQ(zoomed.size(), 1 + last - first + 1);
  EXPECT_EQ(zoomed[1], whole[1 + first]);
  EXPECT_EQ(zoomed.back(), whole[1 + last]);
}

TEST_F(GraphWindowTest, AnExportIntoAMissingFolderSaysWhyAndTheWindowGoesOn) {
  auto w = Open();
  Exported(*w, "missing/season");
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(LastMessage(prompter),
            "Export Season: An error occurred while exporting the season.\r\nThe error is No "
            "such file or directory: " +
                (root.Path() / "missing").string());
}

// The name is typed without ".csv": the question names the files the export really replaces.
TEST_F(GraphWindowTest, AnExportReplacesTheTableAndItsSidecarOnlyWhenThePersonSaysYes) {
  auto w = Open();
  const std::string csv = (root.Path() / "season.csv").string();
  const std::string meta = csv + ".meta.json";
  WriteBytes(csv, "old");
  WriteBytes(meta, "old meta");
  prompter.answers = {Answer::No};
  SaveAs(*w, "season", "*.csv Files(*.csv)", "cmdExportSeason");
  EXPECT_EQ(LastMessage(prompter), "Export Season: " + csv + "\r\nand\r\n" + meta +
                                       "\r\nalready exist.\r\n\r\nDo you want to replace them?");
  EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoDefaultNo);
  EXPECT_TRUE(ReadBytes(csv) == "old" && ReadBytes(meta) == "old meta");
  // No opens the dialog again where the person was, to pick another name or cancel.
  EXPECT_EQ(dialogStarts.value(1), Path("season"));

  prompter.answers = {Answer::Yes};
  const QStringList lines = Exported(*w, "season");
  EXPECT_EQ(lines.value(0), "time,10cm,20cm,40cm,60cm,80cm,root_zone_total");
  EXPECT_EQ(LastMessage(prompter),
            "Export Season: Exported " + std::to_string(w->Model().Scans()) + " scans to\r\n" +
                csv + "\r\n\r\nThe site, its unit and its sensors are in\r\n" + meta);
}

TEST_F(GraphWindowTest, AnExportOffersTheSiteAndItsDatesInTheFolderLastExportedTo) {
  auto w = Open();
  fs::create_directories(root.Path() / "exports");
  Exported(*w, "exports/first");
  SaveAs(*w, nullptr, "*.csv Files(*.csv)", "cmdExportSeason");
  EXPECT_EQ(dialogStarts.value(1), Path("exports/SAMPLE SITE_01_2026-09-07_2026-11-02.csv"));
}

// Then another data directory is chosen in its dialog.
TEST_F(GraphWindowTest, TheGridIsTypedIntoWhereTheMouseClickedEnterOnlyAsksToSaveAndDirsChange) {
  fs::create_directories(root.Path() / "OLD");
  {
    // A first entry never filled still offers the site's own directory.
    auto header = SiteHeader::Open(files, kSample);
    header.WriteRecord(header::kFirstDirectory, "");
    header.WriteRecord(header::kFirstDirectory + 1, "OLD");
  }
  const fs::path copy = root.Path() / "OLD" / (std::string(kSample) + ".BGF");
  fs::copy_file(root.Path() / "TVMKDATA" / (std::string(kSample) + ".bgf"), copy);
  CalibratedFile(copy, kGraphRecordSize, RecordFile::Mode::ReadWrite)
      .WriteRecord(13, SensorLine(55.5, 0, 0));
  auto w = Open();
  const double before = w->Model().Series(0).y[0];
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  // The first digit after the click replaces, the next ones append; then the current cell is
  // clicked again.
  for (const QString typed : {"42", "7"}) {
    ClickCell(grid, 0, CalibrationTable::kOffset);
    Type(typed);
    EXPECT_EQ(grid->item(0, CalibrationTable::kOffset)->text(), typed);
  }

  prompter.answers = {Answer::No};
  Press(Qt::Key_Return);
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(LastMessage(prompter),
            "Save Calibration Data Changes: Changes have been made to this site's calibration "
            "data.\n\nWould you like to save these changes?");
  EXPECT_EQ(Offset(1), " 4100");
  // The question cleared the change; Enter here or in the directory field presses no button.
  Press(Qt::Key_Return);
  Click(Child<QLineEdit>(*w, "txtDataDir"));
  Press(Qt::Key_Enter);
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(printDialogs + saveDialogs, 0);
  EXPECT_TRUE(w->isVisible());

  const QString outlook = Child<QLabel>(*w, "lblOutlook")->text();
  ClickCell(grid, 0, CalibrationTable::kOffset);
  Type("4220");
  Press(Qt::Key_Enter);
  EXPECT_EQ(prompter.shown.size(), 2u);
  EXPECT_EQ(Offset(1), " 4220");
  // Wetter at 10 cm: the root zone reaches its refill point later.
  EXPECT_NE(Child<QLabel>(*w, "lblOutlook")->text(), outlook);
  // 120 more raw units at slope 120, as the file's two decimals hold it.
  EXPECT_NEAR(w->Model().Series(0).y[0], before + 10, 0.011);
  // A directory chosen, then cancelled: the graph stays on its own.
  WhenDialogOpens<DataDirDialog>([](DataDirDialog& dialog) {
    Click(Child<QRadioButton>(dialog, "optDir2"), QPoint(8, 8));
    Act(dialog, "CancelButton");
  });
  Click(Child<QPushButton>(*w, "cmdChangeDataDir"));
  EXPECT_EQ(Child<QLineEdit>(*w, "txtDataDir")->text(), "TVMKDATA");
  WhenDialogOpens<DataDirDialog>([](DataDirDialog& dialog) {
    EXPECT_EQ(Child<QRadioButton>(dialog, "optDir1")->text().simplified(), "1 TVMKDATA");
    Click(Child<QRadioButton>(dialog, "optDir2"), QPoint(8, 8));
    Act(dialog, "OKButton");
  });
  Click(Child<QPushButton>(*w, "cmdChangeDataDir"));
  EXPECT_EQ(Child<QLineEdit>(*w, "txtDataDir")->text(), "OLD");
  EXPECT_EQ(w->Model().Series(0).y[0], 55.5);
  PressKey(w.get(), Qt::Key_Escape, grid);  // nothing left unsaved: it just closes
  EXPECT_FALSE(w->isVisible());
  EXPECT_EQ(prompter.shown.size(), 2u);
}

// What is asked, the first offset after, and whether the window stays open.
TEST_F(GraphWindowTest, LeavingWithTypedValuesAsksToSaveThem) {
  const auto leave = [&](const char* way, int column, const char* typed, Answer answer) {
    prompter.shown.clear();
    auto w = Open();
    ClickCell(Child<QTableWidget>(*w, "FgCalOnOff"), 0, column);
    Type(typed);
    prompter.answers = {answer};
    Act(*w, way);
    return Titles(prompter) + Offset(1) + (w->isVisible() ? " open" : " closed");
  };
  EXPECT_EQ(leave("title bar", CalibrationTable::kOffset, "4220", Answer::No),
            "Save Calibration Data Changes| 4100 closed");
  // A field capacity above 100 is refused and kept for mending.
  EXPECT_EQ(leave("cmdExit", CalibrationTable::kFull, "\b\b\b101", Answer::Yes),
            "Save Calibration Data Changes|Invalid Field Capacity| 4100 open");
  EXPECT_EQ(leave("Esc FgCalOnOff", CalibrationTable::kOffset, "4220", Answer::Yes),
            "Save Calibration Data Changes| 4220 closed");
}

}  // namespace
}  // namespace pelvaro::testing
