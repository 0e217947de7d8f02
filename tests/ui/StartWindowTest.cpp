#include "ui/operations/StartWindow.h"

#include <gtest/gtest.h>

#include <QTest>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro {
namespace {

using testing::ScriptedDialogs;
using testing::ScriptedPrompter;
using testing::SiteBuilder;
using testing::TempRoot;

TEST(StartWindow, PickersFollowTheRulesAndStartClosesTheWindow) {
  TempRoot root;
  Files files(root.Path());
  SiteBuilder site(files, "FARM_07");
  site.Header(testing::LoggerSensors(1), 0);
  site.Logger(3001, 1);
  WritePortNumber(files, 1);
  VirtualClock clock({2026, 12, 6, 9, 7, 3});
  sim::LoggerEngine engine(sim::GenerateRun(3001, 1, 1, 100, 0, 900, 5));
  sim::SimSerialPort port(engine, clock);
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  StartWindow window(files, prompter, port, clock, dialogs);
  window.show();
  EXPECT_EQ(window.windowTitle(), "Start Velmora Data Logger");
  auto* sites = window.findChild<QListWidget*>("KeyFileBox");
  ASSERT_EQ(sites->count(), 1);
  EXPECT_EQ(window.findChild<QLabel*>("DateDisplbl")->text(), "Date:  06-12-2026");
  sites->setCurrentRow(0);
  auto* header = window.findChild<QTableWidget*>("FgSiteHeader");
  EXPECT_EQ(header->item(2, 0)->text(), "Velmora serial number");
  EXPECT_EQ(header->item(2, 1)->text(), "3001");

  auto* mode = window.findChild<QComboBox*>("cmbSelectMode");
  mode->setCurrentIndex(1);
  emit mode->activated(1);
  auto* startTime = window.findChild<QTimeEdit*>("DTStartTime");
  EXPECT_EQ(startTime->time(), QTime(9, 9, 0));
  EXPECT_EQ(window.findChild<QDateEdit*>("DTStartdate")->maximumDate(), QDate(9999, 12, 31));
  auto* scan = window.findChild<QTimeEdit*>("DTScanTime");
  scan->setTime(QTime(0, 0, 10));
  EXPECT_EQ(scan->time(), QTime(0, 0, 30));
  scan->setTime(QTime(0, 30, 0));

  QTest::mouseClick(window.findChild<QPushButton*>("cmdStart"), Qt::LeftButton);
  EXPECT_TRUE(window.Started());
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(engine.Memory(clock.Now() + 3600).interval, 1800);
  EXPECT_EQ(
      SiteHeader::Open(files, "FARM_07", RecordFile::Mode::ReadOnly).ReadRecord(header::kStartMode),
      "TIMED START");
}

}  // namespace
}  // namespace pelvaro
