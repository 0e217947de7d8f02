#include "ui/graph/GraphWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QLegendMarker>
#include <QPrinterInfo>
#include <QProcess>
#include <QRadioButton>
#include <QStandardPaths>
#include <QStyleOptionButton>
#include <QWheelEvent>
#include <filesystem>

#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/graph/GraphChartView.h"
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
    window->SetSaveNameAsker([this](QString& filter) {
      ++saveDialogs;
      filter = saveFilter;
      return saveTo;
    });
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
    return window;
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
  std::string Offset(int slot) {
    return SiteHeader::Open(files, kSample).ReadRecord(header::CalibrationBase(slot));
  }

  int printDialogs = 0;
  int saveDialogs = 0;
  QString printTo;
  QString saveTo;
  QString saveFilter = "*.bmp Files(*.bmp)";
};

TEST_F(GraphWindowTest, OpensOnTheSampleSiteTheBoxesDecideTheSeriesAllShowsAndEmptyNeverOpens) {
  auto w = Open();
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  EXPECT_EQ(
      QStringList({w->objectName(), w->windowTitle(), Child<QLineEdit>(*w, "txtDataDir")->text(),
                   Child<QLabel>(*w, "lblDepths")->text(), grid->item(2, 0)->text()})
          .join('|'),
      "TVMKGRAPH1|Site Data Graph|TVMKDATA|Measured Depths in cm|40");
  EXPECT_EQ(std::tuple(w->isModal(), prompter.shown.size(), grid->rowCount(),
                       Child<QCheckBox>(*w, "chkThrty")->isEnabled()),
            std::tuple(true, 0u, 5, false));
  for (int i = 0; i < kGraphSeries; ++i) EXPECT_EQ(w->SeriesAt(i)->isVisible(), i < 5) << i;

  auto* limits = Child<QCheckBox>(*w, "chkFC_RFON");
  ClickBox(limits);
  EXPECT_TRUE(w->SeriesAt(kFieldCapacitySeries)->isVisible());
  EXPECT_EQ(w->SeriesAt(kFieldCapacitySeries)->name(), "F.C. 100%");
  EXPECT_EQ(limits->text(), "Field Capacity + Refill at 10 cm");
  ClickBox(Child<QCheckBox>(*w, "chkSumDpth"));
  EXPECT_EQ(w->SeriesAt(kRefillSeries)->name(), "Sum Refill 300%");
  EXPECT_FALSE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(limits->text(), "Field Capacity + Refill");
  auto* view = Child<GraphChartView>(*w, "TChart1");
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
  // An empty site says so and its window never opens.
  fs::resize_file(root.Path() / "TVMKDATA" / (std::string(kSample) + ".bgf"), 499);
  GraphWindow empty(files, prompter, true);
  // The model's "This site is empty " is the one message.
  EXPECT_EQ((std::tuple{empty.Loaded(), prompter.shown.size(), empty.exec()}),
            std::tuple(false, 1u, QDialog::Rejected));
  empty.show();
  EXPECT_FALSE(empty.isVisible());
}

// A site of its own, sensors at 10 cm and 120 cm, with one scan converted.
TEST_F(GraphWindowTest, ASingleScanIsADotAndThe120CmBoxAnswersTheMouse) {
  SiteBuilder site(files, "X_01");
  site.Header({{1, 4600, 100, 30, 12}, {12, 4650, 100, 35, 15}}, 1);
  site.Block(1, {10014, 0, 900, 2, {4400, 4300}});
  ASSERT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
  WriteSiteSelection(files, "X_01", "TVMKDATA");
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
  EXPECT_EQ(std::tuple(deepest->isChecked(), w->SeriesAt(1)->isVisible(),
                       w->Chart()->legend()->markers(w->SeriesAt(1)).front()->isVisible(),
                       PixelsNear(Screen(*w), w->SeriesAt(1)->pen().color())),
            std::tuple(false, false, false, 0));
  auto* grid = Child<QTableWidget>(*w, "FgCalOnOff");
  EXPECT_NE(grid->item(1, CalibrationTable::kOffset)->background().color(), QColor(Qt::white));
  ClickBox(deepest);
  EXPECT_TRUE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(grid->item(1, CalibrationTable::kOffset)->background().color(), QColor(Qt::white));
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
    auto* bottom = qobject_cast<QValueAxis*>(w->Chart()->axes(Qt::Horizontal).front());
    EXPECT_EQ(bottom->max(), forecast->at(1).x());
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

// Saved and printed graphs hold the chart without the readout; the readout, the beep and the
// season export work on the scans in view.
TEST_F(GraphWindowTest, SaveAndPrintLeaveTheReadoutOutAndZoomReadoutAndExportTakeTheScansInView) {
  auto w = Open();
  SaveAs(*w, "plain", "*.png Files(*.png)");  // no extension typed: the filter's
  SaveAs(*w, "plain.pdf", "*.bmp Files(*.bmp)");
  Print(*w, "plain-print.pdf");
  SaveAs(*w, "graph.bmp", "*.bmp Files(*.bmp)");
  EXPECT_GT(PixelsNear(QImage(Path("graph.bmp")), w->SeriesAt(0)->pen().color()), 50);
  SaveAs(*w, "graph.svg", "*.svg Files(*.svg)");
  EXPECT_NE(ReadBytes(root.Path() / "graph.svg").find("<svg"), std::string::npos);
  // Both dialogs cancelled: nothing is written, not even a bare ".svg".
  SaveAs(*w, nullptr, "*.svg Files(*.svg)");
  Print(*w, nullptr);
  EXPECT_EQ(saveDialogs + printDialogs, 7);
  EXPECT_FALSE(fs::exists(fs::current_path() / ".svg"));

  auto* view = Child<GraphChartView>(*w, "TChart1");
  const QPointF middle = w->SeriesAt(2)->at(w->SeriesAt(2)->count() / 2);
  QTest::mouseMove(view->viewport(), InView(*w, middle));
  ASSERT_FALSE(w->ReadoutText().isEmpty());
  SaveAs(*w, "hover.png", "*.png Files(*.png)");
  SaveAs(*w, "hover.pdf", "*.pdf Files(*.pdf)");
  Print(*w, "hover-print.pdf");
  EXPECT_FALSE(w->ReadoutText().isEmpty());  // still on the screen
  SaveAs(*w, "missing/graph.bmp", "*.bmp Files(*.bmp)");
  EXPECT_EQ(std::tuple(prompter.shown.size(), LastMessage(prompter)),
            std::tuple(1u, std::string(": An error occurred while saving site data graph.\r\nThe "
                                       "error is No such file or directory")));

  // With no printer installed the chooser has nothing to offer and leaves the printer as it is.
  if (QPrinterInfo::availablePrinters().isEmpty()) {
    w->SetPrinterChooser(PrintDialogChooser(w.get()));
    Print(*w, nullptr);
    EXPECT_EQ(std::tuple(prompter.shown.size(), LastMessage(prompter)),
              std::tuple(2u, std::string("Printer Not Connected: An error occurred while printing "
                                         "the graph.")));
    EXPECT_TRUE(w->isVisible());
  }

  const QImage hover(Path("hover.png"));
  ASSERT_FALSE(hover.isNull());
  EXPECT_EQ(PixelsNear(hover, kReadoutBlue), 0);
  EXPECT_EQ(hover, QImage(Path("plain.png")));
  for (int i = 0; i < 5; ++i) EXPECT_GT(PixelsNear(hover, w->SeriesAt(i)->pen().color()), 50) << i;

  prompter.shown.clear();
  saveDialogs = 0;
  int beeps = 0;
  w->SetBeep([&] { ++beeps; });
  auto* bottom = qobject_cast<QValueAxis*>(w->Chart()->axes(Qt::Horizontal).front());
  const auto x = w->Model().X();
  const int fullCount = w->SeriesAt(0)->count();

  // Zoomed to 61 scans: every one of them is drawn, plus a neighbour on each side.
  bottom->setRange(x[100], x[160]);
  ASSERT_EQ(w->SeriesAt(0)->count(), 63);
  const QPointF p = w->SeriesAt(0)->at(31);
  EXPECT_EQ(p.y(), w->Model().Series(0).y[130]);

  QTest::mouseMove(view->viewport(), InView(*w, p));
  EXPECT_EQ(w->ReadoutText().toStdString(), ReadoutText(w->Model().Mode(), p.x(), p.y()));
  EXPECT_GT(PixelsNear(Screen(*w), kReadoutBlue), 20);
  Click(view->viewport(), InView(*w, p));
  EXPECT_EQ(beeps, 0);
  ClickBox(Child<QCheckBox>(*w, "chkFC_RFON"));
  bottom->setRange(x[100], x[160]);
  Click(view->viewport(), InView(*w, p));
  EXPECT_EQ(beeps, 20);

  // Turning the wheel moves every point: the readout goes with the old picture.
  QTest::mouseMove(view->viewport(), InView(*w, p));
  ASSERT_FALSE(w->ReadoutText().isEmpty());
  const QPoint at = InView(*w, p);
  QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), {}, {0, 120}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_LT(bottom->max() - bottom->min(), 0.9 * (x[160] - x[100]));
  EXPECT_EQ(std::tuple(w->ReadoutText(), PixelsNear(Screen(*w), kReadoutBlue)), std::tuple("", 0));

  Click(Child<QPushButton>(*w, "cmdZoomReset"));
  EXPECT_EQ(std::tuple(bottom->min(), w->SeriesAt(0)->count()), std::tuple(x.front(), fullCount));
  // A wider window draws more points, never more than its plot is wide.
  w->resize(1600, 700);
  QApplication::processEvents();
  Click(Child<QPushButton>(*w, "cmdZoomReset"));
  EXPECT_GT(w->SeriesAt(0)->count(), fullCount);
  EXPECT_LE(w->SeriesAt(0)->count(), qRound(w->Chart()->plotArea().width()));

  const auto exported = [&](const char* name) {
    SaveAs(*w, name, "*.csv Files(*.csv)", "cmdExportSeason");
    QStringList lines =
        QString::fromStdString(ReadBytes(root.Path() / (std::string(name) + ".csv"))).split("\r\n");
    lines.removeLast();  // what follows the last line's end
    return lines;
  };
  // Not zoomed: the whole season, under a name the dialog gave ".csv".
  const auto whole = exported("season");
  ASSERT_EQ(static_cast<std::size_t>(whole.size()), 1 + w->Model().Scans());

  // A rubber band dragged over the chart: the scans it shows, and no other.
  const QPoint from = InView(*w, {x[1000], 70}) - QPoint(0, 50);
  const QPoint to = InView(*w, {x[1200], 70}) + QPoint(0, 50);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
  QTest::mouseMove(view->viewport(), to);
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
  ASSERT_GT(bottom->min(), x[990]);
  ASSERT_LT(bottom->max(), x[1210]);
  const auto first = std::lower_bound(x.begin(), x.end(), bottom->min()) - x.begin();
  const auto last = std::upper_bound(x.begin(), x.end(), bottom->max()) - x.begin() - 1;
  const auto zoomed = exported("zoomed");
  ASSERT_EQ(zoomed.size(), 1 + last - first + 1);
  EXPECT_EQ(std::tuple(zoomed[1], zoomed.back()), std::tuple(whole[1 + first], whole[1 + last]));

  // A folder that is not there: the message, and the window goes on.
  exported("missing/season");
  EXPECT_EQ(std::tuple(prompter.shown.size(), saveDialogs, w->isVisible()),
            std::tuple(1u, 3, true));
  EXPECT_EQ(LastMessage(prompter),
            ": An error occurred while exporting the season.\r\nThe error is No such file or "
            "directory: " +
                (root.Path() / "missing").string());

  for (const auto& [plain, hovered] :
       {std::pair{"plain.pdf", "hover.pdf"}, std::pair{"plain-print.pdf", "hover-print.pdf"}}) {
    const QImage page = PdfPage(hovered);
    if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed";
    EXPECT_EQ(PixelsNear(page, kReadoutBlue), 0) << hovered;
    EXPECT_EQ(page, PdfPage(plain)) << hovered;
  }
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
  EXPECT_EQ(std::tuple(prompter.shown.size(), LastMessage(prompter), Offset(1)),
            std::tuple(1u,
                       "Save Calibration Data Changes: Changes have been made to this site's "
                       "calibration data.\n\nWould you like to save these changes?",
                       " 4100"));
  // The question cleared the change; Enter here or in the directory field presses no button.
  Press(Qt::Key_Return);
  Click(Child<QLineEdit>(*w, "txtDataDir"));
  Press(Qt::Key_Enter);
  EXPECT_EQ(std::tuple(prompter.shown.size(), printDialogs + saveDialogs, w->isVisible()),
            std::tuple(1u, 0, true));

  const QString outlook = Child<QLabel>(*w, "lblOutlook")->text();
  ClickCell(grid, 0, CalibrationTable::kOffset);
  Type("4220");
  Press(Qt::Key_Enter);
  EXPECT_EQ(std::tuple(prompter.shown.size(), Offset(1)), std::tuple(2u, std::string(" 4220")));
  // Wetter at 10 cm: the root zone reaches its refill point later.
  EXPECT_NE(Child<QLabel>(*w, "lblOutlook")->text(), outlook);
  // 120 more raw units at slope 120, as the file's two decimals hold it.
  EXPECT_NEAR(w->Model().Series(0).y[0], before + 10, 0.011);
  WhenDialogOpens<DataDirDialog>([](DataDirDialog& dialog) {
    EXPECT_EQ(Child<QRadioButton>(dialog, "optDir1")->text().simplified(), "1 TVMKDATA");
    Click(Child<QRadioButton>(dialog, "optDir2"), QPoint(8, 8));
    Act(dialog, "OKButton");
  });
  Click(Child<QPushButton>(*w, "cmdChangeDataDir"));
  EXPECT_EQ(std::tuple(Child<QLineEdit>(*w, "txtDataDir")->text(), w->Model().Series(0).y[0]),
            std::tuple(QString("OLD"), 55.5));
  PressKey(w.get(), Qt::Key_Escape, grid);  // nothing left unsaved: it just closes
  EXPECT_EQ(std::tuple(w->isVisible(), prompter.shown.size()), std::tuple(false, 2u));
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
