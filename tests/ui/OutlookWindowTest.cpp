#include "ui/outlook/OutlookWindow.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QThread>

#include "support/SampleSites.h"
#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

const QColor kRed(255, 140, 140);
const QColor kAmber(255, 204, 102);

// The sample, copies below refill, due soon and due later with a faulty sensor, one empty site.
class OutlookWindowTest : public ::testing::Test {
 protected:
  OutlookWindowTest() : files(tmp.Path() / "Pelvaro Data") {
    InstallSample(PELVARO_SAMPLE_DIR, files);
    for (const auto& [site, refill] :
         {std::pair{"ALDER_01", 100.0}, {"BIRCH_02", 85.0}, {"DUNE_04", 70.0}}) {
      InstallSample(PELVARO_SAMPLE_DIR, files, site);
      SetRefill(files, site, refill);
    }
    BreakSensor(files, "DUNE_04", 2, 1);
    SiteHeader::CreateBlank(files, "EMPTY_05").WriteRecord(header::kDataDirectory, "TVMKDATA");
  }
  static QTableWidget* Table(OutlookWindow& w) { return Child<QTableWidget>(w, "OutlookTable"); }
  static void WaitUntilRead(OutlookWindow& w) {
    QSignalSpy read(&w, &OutlookWindow::readingFinished);
    ASSERT_TRUE(!w.Reading() || read.wait(30000));
  }

  TempRoot tmp;
  Files files;
};

TEST_F(OutlookWindowTest, RowsComeMostUrgentFirstInTheirColoursAndWholeAtEverySize) {
  OutlookWindow w(files);
  w.show();
  WaitUntilRead(w);
  EXPECT_EQ(w.windowTitle(), "Outlook");
  QTableWidget* table = Table(w);
  const std::vector<std::vector<std::string>> rows = {
      {"Site", "Last scan", "Total", "Refill", "Use per day", "Outlook", "Refill date", "Faults"},
      {"ALDER_01", "02-11-2026 12:45:00", "272.25 %", "300 %", "9.89 %/day over 3 dry days",
       "below refill since 18-10-2026 00:45:00", "", "none"},
      {"BIRCH_02", "02-11-2026 12:45:00", "272.25 %", "255 %", "9.89 %/day over 3 dry days",
       "refill in 1.7 days, about 04-11-2026", "04-11-2026", "none"},
      {"DUNE_04", "02-11-2026 12:45:00", "272.25 %", "210 %", "9.89 %/day over 3 dry days",
       "refill in 6.3 days, about 08-11-2026", "08-11-2026", "20 cm: 12 readings out of range"},
      {"SAMPLE SITE_01", "02-11-2026 12:45:00", "272.25 %", "180 %", "9.89 %/day over 3 dry days",
       "refill in 9.3 days, about 11-11-2026", "11-11-2026", "none"},
      {"EMPTY_05", "", "", "", "", "no data", "", "none"}};
  ASSERT_EQ(table->rowCount() + 1, static_cast<int>(rows.size()));
  for (int c = 0; c < table->columnCount(); ++c) {
    EXPECT_EQ(table->horizontalHeaderItem(c)->text().toStdString(), rows[0][c]);
    for (int r = 0; r < table->rowCount(); ++r) {
      EXPECT_EQ(table->item(r, c)->text().toStdString(), rows[r + 1][c]) << r << " " << c;
    }
  }
  EXPECT_EQ(Child<QProgressBar>(w, "OutlookProgress")->text(), "5 of 5 sites read");

  // What the screen shows: below refill red, due soon amber, the rest plain.
  const QImage shown = table->viewport()->grab().toImage();
  for (int r = 0; r < table->rowCount(); ++r) {
    const QRect row(0, table->rowViewportPosition(r), shown.width(), table->rowHeight(r) - 1);
    const int area = row.width() * row.height();
    EXPECT_EQ(PixelsNear(shown.copy(row), kRed) > area / 2, r == 0) << r;
    EXPECT_EQ(PixelsNear(shown.copy(row), kAmber) > area / 2, r == 1) << r;
  }

  AtEverySize(
      w,
      [&](Size size) {
        if (size == kDefault) {
          EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width());
        }
      },
      /*gridsScroll=*/true);
}

TEST_F(OutlookWindowTest, ClosingWhileItReadsStopsTheReadingAndNothingArrivesLater) {
  for (int i = 10; i < 50; ++i) {
    InstallSample(PELVARO_SAMPLE_DIR, files, "MANY_" + std::to_string(i), true);
  }
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Esc" : "destroyed");
    auto w = std::make_unique<OutlookWindow>(files);
    w->show();
    QSignalSpy rows(Table(*w)->model(), &QAbstractItemModel::rowsInserted);
    ASSERT_TRUE(rows.wait(30000));
    // The first row shows long before the last site is read.
    EXPECT_TRUE(w->Reading());
    EXPECT_LT(Table(*w)->rowCount(), 45);
    auto* reader = w->findChild<QThread*>();
    if (escape) {
      PressKey(w.get(), Qt::Key_Escape, Table(*w));
      EXPECT_FALSE(w->isVisible());
      EXPECT_TRUE(reader->isFinished());
      const int shown = Table(*w)->rowCount();
      QApplication::processEvents();
      EXPECT_EQ(Table(*w)->rowCount(), shown);
    }
    w.reset();
    QApplication::processEvents();
  }
}

}  // namespace
}  // namespace pelvaro::testing
