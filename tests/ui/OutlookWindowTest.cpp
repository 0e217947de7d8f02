#include "ui/outlook/OutlookWindow.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>
#include <memory>
#include <set>

#include "support/PdfTools.h"
#include "support/RowNames.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

const QColor kRed(255, 140, 140);
const QColor kAmber(255, 204, 102);

// The sample, copies below refill, due soon and due later with a faulty sensor, one empty site.
class OutlookWindowTest : public WindowTest {
 protected:
  OutlookWindowTest() {
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
  // The window shown with every site read.
  std::unique_ptr<OutlookWindow> ReadAll() {
    auto w = std::make_unique<OutlookWindow>(files);
    w->show();
    QSignalSpy read(w.get(), &OutlookWindow::readingFinished);
    EXPECT_TRUE(!w->Reading() || read.wait(30000));
    return w;
  }
  // The window following the data, after another program's change came in and was read.
  static void ReadAgain(OutlookWindow& w, DataWatcher& watcher) {
    QSignalSpy read(&w, &OutlookWindow::readingFinished);
    ASSERT_TRUE(ChangesLetIn(watcher));
    EXPECT_TRUE(read.wait(30000));
  }
  // Forty more sites, so that reading them all takes a while.
  void AddManySites() {
    for (int i = 10; i < 50; ++i) {
      InstallSample(PELVARO_SAMPLE_DIR, files, "MANY_" + std::to_string(i), true);
    }
  }
  // The window shown once its first row has arrived.
  std::unique_ptr<OutlookWindow> FirstRowShown() {
    auto w = std::make_unique<OutlookWindow>(files);
    w->show();
    QSignalSpy rows(Table(*w)->model(), &QAbstractItemModel::rowsInserted);
    EXPECT_TRUE(rows.wait(30000));
    return w;
  }
};

TEST_F(OutlookWindowTest, IsTitledOutlook) { EXPECT_EQ(ReadAll()->windowTitle(), "Outlook"); }

TEST_F(OutlookWindowTest, HeadingsNameEveryColumn) {
  const auto w = ReadAll();
  QTableWidget* table = Table(*w);
  const char* headings[] = {"Site",    "Last scan",   "Total",      "Refill", "Use per day",
                            "Outlook", "Refill date", "Last event", "Faults"};
  ASSERT_EQ(table->columnCount(), 9);
  for (int c = 0; c < 9; ++c) {
    EXPECT_EQ(table->horizontalHeaderItem(c)->text(), headings[c]) << "column " << c;
  }
}

// One row's texts reach their cells whole (the core's report tests hold every row's).
TEST_F(OutlookWindowTest, ARowShowsItsSitesFiguresWhole) {
  const auto w = ReadAll();
  QTableWidget* table = Table(*w);
  const char* dune[] = {"DUNE_04",
                        "02-11-2026 12:45:00",
                        "272.25 %",
                        "210 %",
                        "9.89 %/day over 3 dry days",
                        "refill in 6.3 days, about 08-11-2026",
                        "08-11-2026",
                        "01-11-2026 22:45, unknown, 80 cm",
                        "20 cm: 12 readings out of range"};
  ASSERT_EQ(table->rowCount(), 5);
  ASSERT_EQ(table->columnCount(), 9);
  for (int c = 0; c < 9; ++c) EXPECT_EQ(table->item(2, c)->text(), dune[c]) << "column " << c;
}

TEST_F(OutlookWindowTest, RowsComeMostUrgentFirst) {
  const auto w = ReadAll();
  QTableWidget* table = Table(*w);
  const char* order[] = {"ALDER_01", "BIRCH_02", "DUNE_04", "SAMPLE SITE_01", "EMPTY_05"};
  ASSERT_EQ(table->rowCount(), 5);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(table->item(r, 0)->text(), order[r]) << "row " << r;
}

TEST_F(OutlookWindowTest, TheProgressBarCountsTheSitesRead) {
  const auto w = ReadAll();
  EXPECT_EQ(Child<QProgressBar>(*w, "OutlookProgress")->text(), "5 of 5 sites read");
}

// What the screen shows: below refill red, due soon amber, the rest plain.
TEST_F(OutlookWindowTest, BelowRefillIsRedAndDueSoonIsAmber) {
  const auto w = ReadAll();
  QTableWidget* table = Table(*w);
  const QImage shown = table->viewport()->grab().toImage();
  ASSERT_EQ(table->rowCount(), 5);
  for (int r = 0; r < table->rowCount(); ++r) {
    const QRect row(0, table->rowViewportPosition(r), shown.width(), table->rowHeight(r) - 1);
    const int area = row.width() * row.height();
    EXPECT_EQ(PixelsNear(shown.copy(row), kRed) > area / 2, r == 0) << "red, row " << r;
    EXPECT_EQ(PixelsNear(shown.copy(row), kAmber) > area / 2, r == 1) << "amber, row " << r;
  }
}

TEST_F(OutlookWindowTest, EverythingShowsWholeAtEverySize) {
  const auto w = ReadAll();
  QTableWidget* table = Table(*w);
  AtEverySize(
      *w,
      [&](Size size) {
        if (size == kDefault) {
          EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width());
        }
      },
      /*gridsScroll=*/true);
}

// Other copies of the program make a site, and change one, while the window is open.
TEST_F(OutlookWindowTest, ASiteAnotherProgramMakesGetsARow) {
  const auto w = ReadAll();
  DataWatcher watcher(files);
  w->Follow(watcher);
  SiteBuilder(files, "NEW_06").Header({}, 0);
  ReadAgain(*w, watcher);
  ASSERT_EQ(Table(*w)->rowCount(), 6);
  EXPECT_EQ(Table(*w)->item(5, 0)->text(), "NEW_06");
}

// Lower refill points take ALDER_01 from below refill to after SAMPLE SITE_01's 9.3 days.
TEST_F(OutlookWindowTest, ASiteAnotherProgramChangesIsReadAgainAndStaysSelected) {
  const auto w = ReadAll();
  DataWatcher watcher(files);
  w->Follow(watcher);
  Table(*w)->selectRow(0);
  SetRefill(files, "ALDER_01", 50);
  ReadAgain(*w, watcher);
  ASSERT_EQ(Table(*w)->rowCount(), 5);
  EXPECT_EQ(Table(*w)->item(3, 0)->text(), "ALDER_01");
  EXPECT_EQ(Table(*w)->currentRow(), 3);
}

// BIRCH_02 goes; DUNE_04, read again after, replaces its own row and no other.
TEST_F(OutlookWindowTest, ASiteAnotherProgramRemovesLosesItsRowAndNoOther) {
  const auto w = ReadAll();
  DataWatcher watcher(files);
  w->Follow(watcher);
  fs::remove(files.HeaderPath("BIRCH_02"));
  ASSERT_TRUE(ChangesLetIn(watcher));
  EXPECT_EQ(Child<QProgressBar>(*w, "OutlookProgress")->text(), "4 of 4 sites read");
  SetRefill(files, "DUNE_04", 60);
  ReadAgain(*w, watcher);
  QStringList sites;
  for (int r = 0; r < Table(*w)->rowCount(); ++r) sites << Table(*w)->item(r, 0)->text();
  EXPECT_EQ(sites.join('|'), "ALDER_01|SAMPLE SITE_01|DUNE_04|EMPTY_05");
}

TEST_F(OutlookWindowTest, TabGoesFromTheTableToReportThenClose) {
  const auto w = ReadAll();
  Table(*w)->setFocus();
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>(*w, "cmdReport"));
  Press(Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), Child<QPushButton>(*w, "cmdClose"));
}

// Another program labels DUNE_04's last event: only the labels file changed.
TEST_F(OutlookWindowTest, ALabelAnotherProgramGivesTheLastEventIsShown) {
  const auto w = ReadAll();
  DataWatcher watcher(files);
  w->Follow(watcher);
  WriteBytes(files.Root() / "TVMKDATA" / "DUNE_04.EVT", "2026-11-01T22:45:00\tirrigation\n");
  ReadAgain(*w, watcher);
  ASSERT_EQ(Table(*w)->rowCount(), 5);
  EXPECT_EQ(Table(*w)->item(2, 7)->text(), "01-11-2026 22:45, irrigation, 80 cm");
}

// "Report...", answered by a script: the save dialog gives `names` in turn, then cancels.
class OutlookReportTest : public OutlookWindowTest {
 protected:
  std::unique_ptr<OutlookWindow> Ready(std::vector<fs::path> names) {
    auto w = ReadAll();
    w->SetPrompter(prompter);
    w->SetReportNameAsker([this, names = std::move(names)](const QString&) {
      const std::size_t call = asked++;
      return call < names.size() ? Q(names[call]) : QString();
    });
    return w;
  }
  static void ClickRow(OutlookWindow& w, int row, Qt::KeyboardModifiers keys = {}) {
    QTableWidget* table = Table(w);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, keys,
                      table->visualRect(table->model()->index(row, 0)).center());
  }
  std::size_t asked = 0;
};

TEST_F(OutlookReportTest, EverySiteGoesUnderTheChosenNameWithPdfAdded) {
  const auto w = Ready({root.Path() / "week"});
  Click(Child<QPushButton>(*w, "cmdReport"));
  const fs::path pdf = root.Path() / "week.pdf";
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_EQ(Info(pdf, "Pages"), "6");  // the list, then the five sites
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().text.rfind("The report was written to\r\n", 0), 0u);
}

// Two of the five rows selected, and the person's answer to "the selected sites only?".
struct ReportChoice {
  const char* guards;
  Answer answer;
  const char* pages;  // none: no report
  bool birch;         // the unselected BIRCH_02 is in it
};

class ReportChoiceTest : public OutlookReportTest,
                         public ::testing::WithParamInterface<ReportChoice> {};

TEST_P(ReportChoiceTest, ReportsTheSitesThePersonChose) {
  const auto w = Ready({root.Path() / "two.pdf"});
  ClickRow(*w, 0);
  ClickRow(*w, 2, Qt::ControlModifier);
  prompter.answers = {GetParam().answer};
  Click(Child<QPushButton>(*w, "cmdReport"));
  const fs::path pdf = root.Path() / "two.pdf";
  ASSERT_EQ(fs::exists(pdf), GetParam().pages != nullptr);
  if (GetParam().pages == nullptr) return;
  EXPECT_EQ(Info(pdf, "Pages"), GetParam().pages);
  const std::string text = PdfText(pdf);
  EXPECT_NE(text.find("DUNE_04"), std::string::npos);
  EXPECT_EQ(text.find("BIRCH_02") != std::string::npos, GetParam().birch);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ReportChoiceTest,
    ::testing::Values(ReportChoice{"yes: the selected rows alone", Answer::Yes, "3", false},
                      ReportChoice{"no: every site in the list", Answer::No, "6", true},
                      ReportChoice{"cancel: no report", Answer::Cancel, nullptr, false}),
    ByGuards());

TEST_F(OutlookReportTest, AnExistingFileIsReplacedOnlyWhenThePersonAgrees) {
  const fs::path pdf = root.Path() / "week.pdf";
  WriteBytes(pdf, "last week's");
  const auto w = Ready({pdf});
  prompter.answers = {Answer::No};
  Click(Child<QPushButton>(*w, "cmdReport"));
  EXPECT_EQ(asked, 2u) << "No opens the save dialog again";
  EXPECT_EQ(ReadBytes(pdf), "last week's");
}

TEST_F(OutlookReportTest, CancelOnTheProgressBarLeavesNoFile) {
  const auto w = Ready({root.Path() / "week.pdf"});
  const auto entries = [this] {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(root.Path())) names.insert(entry.path());
    return names;
  };
  const std::set<fs::path> before = entries();
  // The bar shows once the writing has begun; Cancel is clicked on it then.
  QTimer press;
  bool pressed = false;
  QObject::connect(&press, &QTimer::timeout, [&w, &pressed] {
    if (auto* bar = w->findChild<QProgressDialog*>("ReportProgress"); bar && bar->isVisible()) {
      if (auto* cancel = bar->findChild<QPushButton*>(); cancel && !pressed) {
        pressed = true;
        Click(cancel);
      }
    }
  });
  press.start(0);
  Click(Child<QPushButton>(*w, "cmdReport"));
  press.stop();
  ASSERT_TRUE(pressed);
  EXPECT_EQ(entries(), before);
  EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front().text;
}

TEST_F(OutlookWindowTest, TheFirstRowShowsLongBeforeTheLastSiteIsRead) {
  AddManySites();
  const auto w = FirstRowShown();
  EXPECT_TRUE(w->Reading());
  EXPECT_LT(Table(*w)->rowCount(), 45);
}

TEST_F(OutlookWindowTest, EscWhileReadingStopsTheReadingAndNothingArrivesLater) {
  AddManySites();
  const auto w = FirstRowShown();
  auto* reader = w->findChild<QThread*>();
  ASSERT_NE(reader, nullptr);
  PressKey(w.get(), Qt::Key_Escape, Table(*w));
  EXPECT_FALSE(w->isVisible());
  EXPECT_TRUE(reader->isFinished());
  const int shown = Table(*w)->rowCount();
  QApplication::processEvents();
  EXPECT_EQ(Table(*w)->rowCount(), shown);
}

// Nothing arrives at the window that is gone either.
TEST_F(OutlookWindowTest, AWindowDestroyedWhileReadingStopsItsReaderFirst) {
  AddManySites();
  auto w = std::make_unique<OutlookWindow>(files);
  auto* reader = w->findChild<QThread*>();
  ASSERT_NE(reader, nullptr);
  QSignalSpy finished(reader, &QThread::finished);
  w->show();
  QSignalSpy rows(Table(*w)->model(), &QAbstractItemModel::rowsInserted);
  ASSERT_TRUE(rows.wait(30000));
  ASSERT_TRUE(w->Reading());
  w.reset();
  EXPECT_EQ(finished.count(), 1);
  QApplication::processEvents();
}

}  // namespace
}  // namespace pelvaro::testing
