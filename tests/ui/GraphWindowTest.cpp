#include "ui/graph/GraphWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLegendMarker>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <filesystem>

#include "core/storage/CalibratedFiles.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/graph/GraphChartView.h"

namespace pelvaro {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompter;
using testing::TempRoot;

constexpr char kSample[] = "SAMPLE SITE_01";

// The sample site as the program installs it: header in TVMKHEADER, blocks
// and graph file in TVMKDATA. Its sensors sit at 10, 20, 40, 60 and 80 cm.
class GraphWindowTest : public ::testing::Test {
 protected:
  GraphWindowTest() : files(root.Path()) {
    const fs::path sample = PELVARO_SAMPLE_DIR;
    fs::create_directories(root.Path() / "TVMKHEADER");
    fs::create_directories(root.Path() / "TVMKDATA");
    for (const auto& entry : fs::directory_iterator(sample)) {
      const bool header = entry.path().filename() == std::string(kSample) + ".key";
      fs::copy_file(entry.path(),
                    root.Path() / (header ? "TVMKHEADER" : "TVMKDATA") / entry.path().filename());
    }
    WriteSiteSelection(files, kSample, "TVMKDATA");
  }

  std::unique_ptr<GraphWindow> Open() {
    auto window = std::make_unique<GraphWindow>(files, prompter, false);
    EXPECT_TRUE(window->Loaded());
    window->show();
    QApplication::processEvents();
    return window;
  }
  template <typename T>
  static T* Find(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  static QPoint InView(GraphWindow& w, QPointF value) {
    auto* view = w.findChild<GraphChartView*>("TChart1");
    const QPointF inChart = w.Chart()->mapToPosition(value, w.SeriesAt(0));
    return view->mapFromScene(w.Chart()->mapToScene(inChart));
  }
  static int PixelsOf(const QImage& image, QColor colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
    }
    return count;
  }
  QString Path(const char* name) const {
    return QString::fromStdString((root.Path() / name).string());
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(GraphWindowTest, OpensOnTheSampleSiteAndTheBoxesDecideTheSeries) {
  auto w = Open();
  EXPECT_EQ(w->objectName(), "TVMKGRAPH1");
  EXPECT_EQ(w->windowTitle(), "Site Data Graph");
  EXPECT_TRUE(w->isModal());
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(Find<QLineEdit>(*w, "txtDataDir")->text(), "TVMKDATA");
  EXPECT_EQ(Find<QLabel>(*w, "lblDepths")->text(), "Measured Depths in cm");
  EXPECT_EQ(Find<QTableWidget>(*w, "FgCalOnOff")->rowCount(), 5);
  EXPECT_EQ(Find<QTableWidget>(*w, "FgCalOnOff")->item(2, 0)->text(), "40");
  EXPECT_FALSE(Find<QCheckBox>(*w, "chkThrty")->isEnabled());
  const int plotWidth = qRound(w->Chart()->plotArea().width());
  for (int i = 0; i < kGraphSeries; ++i) {
    EXPECT_EQ(w->SeriesAt(i)->isVisible(), i < 5) << i;
    EXPECT_LE(w->SeriesAt(i)->count(), plotWidth) << i;
  }
  EXPECT_EQ(w->SeriesAt(3)->name(), " 60cm");
  EXPECT_GT(w->Model().Scans(), static_cast<std::size_t>(plotWidth));

  auto* twenty = Find<QCheckBox>(*w, "chkTwnty");
  twenty->click();
  EXPECT_FALSE(w->SeriesAt(1)->isVisible());
  EXPECT_FALSE(w->Chart()->legend()->markers(w->SeriesAt(1)).front()->isVisible());
  twenty->click();
  EXPECT_TRUE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(w->SeriesAt(1)->name(), " 20cm");

  auto* limits = Find<QCheckBox>(*w, "chkFC_RFON");
  limits->click();
  EXPECT_TRUE(w->SeriesAt(kFieldCapacitySeries)->isVisible());
  EXPECT_EQ(w->SeriesAt(kFieldCapacitySeries)->name(), "F.C. 100%");
  EXPECT_EQ(limits->text(), "Field Capacity + Refill at 10 cm");
  Find<QCheckBox>(*w, "chkSumDpth")->click();
  EXPECT_EQ(w->SeriesAt(kRefillSeries)->name(), "Sum Refill 300%");
  EXPECT_FALSE(w->SeriesAt(1)->isVisible());
  EXPECT_EQ(limits->text(), "Field Capacity + Refill");
}

TEST_F(GraphWindowTest, ZoomReadoutAndBeepWorkOnTheDrawnPoints) {
  auto w = Open();
  int beeps = 0;
  w->SetBeep([&] { ++beeps; });
  auto* view = Find<GraphChartView>(*w, "TChart1");
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
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, InView(*w, p));
  EXPECT_EQ(beeps, 0);
  Find<QCheckBox>(*w, "chkFC_RFON")->click();
  bottom->setRange(x[100], x[160]);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, InView(*w, p));
  EXPECT_EQ(beeps, 20);

  Find<QPushButton>(*w, "cmdZoomReset")->click();
  EXPECT_EQ(bottom->min(), x.front());
  EXPECT_EQ(w->SeriesAt(0)->count(), fullCount);
  const QPoint centre = view->viewport()->rect().center();
  QWheelEvent wheel(centre, view->viewport()->mapToGlobal(centre), {}, {0, 120}, Qt::NoButton, {},
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->viewport(), &wheel);
  EXPECT_LT(bottom->max() - bottom->min(), 0.9 * (x.back() - x.front()));

  // A wider window draws more points, never more than its plot is wide.
  w->resize(1600, 700);
  QApplication::processEvents();
  Find<QPushButton>(*w, "cmdZoomReset")->click();
  EXPECT_GT(w->SeriesAt(0)->count(), fullCount);
  EXPECT_LE(w->SeriesAt(0)->count(), qRound(w->Chart()->plotArea().width()));
}

TEST_F(GraphWindowTest, SavedPicturesShowTheLinesAndAFailedSaveSaysWhy) {
  auto w = Open();
  for (const char* name : {"graph.bmp", "graph.png"}) {
    ASSERT_TRUE(w->SavePicture(Path(name))) << name;
    const QImage image(Path(name));
    ASSERT_FALSE(image.isNull()) << name;
    for (int i = 0; i < 5; ++i) {
      EXPECT_GT(PixelsOf(image, w->SeriesAt(i)->pen().color()), 50) << name << " series " << i;
    }
  }
  ASSERT_TRUE(w->SavePicture(Path("graph.svg")));
  EXPECT_NE(ReadBytes(root.Path() / "graph.svg").find("<svg"), std::string::npos);
  ASSERT_TRUE(w->SavePicture(Path("graph.pdf")));
  EXPECT_EQ(ReadBytes(root.Path() / "graph.pdf").substr(0, 4), "%PDF");

  // The save dialog's filter gives a name typed without extension its type.
  w->SetSaveNameAsker([&](QString& filter) {
    filter = "*.png Files(*.png)";
    return Path("typed");
  });
  Find<QPushButton>(*w, "ButtonSaveAs")->click();
  EXPECT_FALSE(QImage(Path("typed.png")).isNull());

  EXPECT_FALSE(w->SavePicture(Path("missing/graph.bmp")));
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "An error occurred while saving site data graph.\r\nThe error is No such file or "
            "directory");
}

TEST_F(GraphWindowTest, PrintsToPdfAndWithoutAPrinterSaysSoAndStaysUsable) {
  auto w = Open();
  QPrinter pdf(QPrinter::HighResolution);
  pdf.setOutputFormat(QPrinter::PdfFormat);
  pdf.setOutputFileName(Path("print.pdf"));
  ASSERT_TRUE(w->PrintTo(pdf));
  EXPECT_EQ(ReadBytes(root.Path() / "print.pdf").substr(0, 4), "%PDF");
  EXPECT_TRUE(prompter.shown.empty());

  if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
  Find<QPushButton>(*w, "ButtonPrint")->click();
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Printer Not Connected");
  EXPECT_EQ(prompter.shown[0].text, "An error occurred while printing the graph.");
  EXPECT_TRUE(w->isVisible());
  Find<QCheckBox>(*w, "chkTen")->click();
  EXPECT_FALSE(w->SeriesAt(0)->isVisible());
}

TEST_F(GraphWindowTest, GridSaveRedrawsFromTheRecalculatedFile) {
  auto w = Open();
  const double before = w->Model().Series(0).y[0];
  auto* grid = Find<QTableWidget>(*w, "FgCalOnOff");
  grid->setCurrentCell(0, CalibrationTable::kOffset);
  QTest::keyClicks(grid, "4220");
  EXPECT_EQ(grid->item(0, CalibrationTable::kOffset)->text(), "4220");
  QTest::keyClick(grid, Qt::Key_Return);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Save Calibration Data Changes");
  EXPECT_EQ(SiteHeader::Open(files, kSample).ReadRecord(header::CalibrationBase(1)), " 4220");
  // 120 more raw units at slope 120, as the file's two decimals hold it.
  EXPECT_NEAR(w->Model().Series(0).y[0], before + 10, 0.011);
}

TEST_F(GraphWindowTest, AnotherDataDirectoryIsChosenInTheDialog) {
  fs::create_directories(root.Path() / "OLD");
  SiteHeader::Open(files, kSample).WriteRecord(header::kFirstDirectory + 1, "OLD");
  const fs::path copy = root.Path() / "OLD" / (std::string(kSample) + ".BGF");
  fs::copy_file(root.Path() / "TVMKDATA" / (std::string(kSample) + ".bgf"), copy);
  CalibratedFile(copy, kGraphRecordSize, RecordFile::Mode::ReadWrite)
      .WriteRecord(13, SensorLine(55.5, 0, 0));
  auto w = Open();
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    ASSERT_EQ(dialog->objectName(), "DialogDataDir");
    dialog->findChild<QRadioButton*>("optDir2")->click();
    dialog->findChild<QPushButton*>("OKButton")->click();
  });
  Find<QPushButton>(*w, "cmdChangeDataDir")->click();
  EXPECT_EQ(Find<QLineEdit>(*w, "txtDataDir")->text(), "OLD");
  EXPECT_EQ(w->Model().Series(0).y[0], 55.5);
}

TEST_F(GraphWindowTest, AnEmptySiteSaysSoAndNeverOpens) {
  fs::resize_file(root.Path() / "TVMKDATA" / (std::string(kSample) + ".bgf"), 499);
  GraphWindow w(files, prompter, true);
  EXPECT_FALSE(w.Loaded());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "This site is empty ");
  EXPECT_EQ(w.exec(), QDialog::Rejected);
  w.show();
  EXPECT_FALSE(w.isVisible());
}

}  // namespace
}  // namespace pelvaro
