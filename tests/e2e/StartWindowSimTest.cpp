// The start window over the real serial port and event loop, against pelvaro-sim.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "core/storage/DayNumbers.h"
#include "core/storage/StateFiles.h"
#include "e2e/Simulator.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/operations/StartWindow.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"

namespace pelvaro::testing {
namespace {

constexpr int kPort = 7;

class StartWindowOnTheLine : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Start({"--serial", "3001"});
    qputenv("PELVARO_COM7", sim.Pty().toUtf8());
    WritePortNumber(files, kPort);

    SiteBuilder brook(files, "BROOK_01", "BROOKDATA");
    brook.Header(LoggerSensors(2), 0);
    // Last started in TIMED mode long ago: the grid shows that, the pickers a new start.
    SiteBuilder farm(files, "FARM_07", "FARMDATA");
    farm.Header(LoggerSensors(3), 2);
    farm.Logger(3001, 3);
    auto header = SiteHeader::Open(files, "FARM_07");
    header.WriteRecord(header::kSiteNumber, "07");
    header.WriteRecord(header::kStartMode, "TIMED START");
    header.WriteRecord(header::kStartDate, "01-03-2025");
    header.WriteRecord(header::kStartTime, "10:00:00");
    header.WriteRecord(header::kScanInterval, "00:00:30");
    header.Close();
    // The selection still carries the folder of the site chosen before.
    WriteSiteSelection(files, "FARM_07", "BROOKDATA", 2);
  }
  void TearDown() override { qunsetenv("PELVARO_COM7"); }
  // The 41 bytes the simulator says it was started with.
  std::vector<int> StartBlockSeen() {
    QByteArray out;
    for (int i = 0; i < 50 && !out.contains("\nstart ") && !out.startsWith("start "); ++i) {
      sim.Process().waitForReadyRead(100);
      out += sim.Process().readAllStandardOutput();
    }
    const qsizetype at = out.indexOf("start ");
    if (at < 0) return {};
    const QByteArray hex = out.mid(at + 6, out.indexOf('\n', at) - at - 6);
    std::vector<int> bytes;
    for (const QByteArray& b : hex.split(' ')) bytes.push_back(b.toInt(nullptr, 16));
    return bytes;
  }

  Simulator sim;
  TempRoot root;
  Files files{root.Path()};
};

TEST_F(StartWindowOnTheLine, AClickOnTheHighlightedSiteThenStartSendsThePickersValues) {
  QtSerialPort port;
  QtClock clock;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  StartWindow window(files, prompter, port, clock, dialogs);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  auto* list = window.findChild<QListWidget*>("KeyFileBox");
  ASSERT_EQ(list->currentItem()->text(), "FARM_07.key");
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->currentItem()).center());
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "FARM_07\r\nFARMDATA\r\n");

  const QDate date = window.findChild<QDateEdit*>("DTStartdate")->date();
  const QTime time = window.findChild<QTimeEdit*>("DTStartTime")->time();
  const QTime scan = window.findChild<QTimeEdit*>("DTScanTime")->time();
  EXPECT_EQ(scan.toString("HH:mm:ss").toStdString(), "00:00:30");
  QTest::mouseClick(window.findChild<QPushButton*>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(window.Started()) << (prompter.shown.empty() ? "" : prompter.shown.back().text);
  EXPECT_EQ(prompter.shown.back().text,
            "Logger started successfully.\r\n\r\nRemove the interface cable from logger.\r\n");
  EXPECT_FALSE(window.isVisible());

  const std::vector<int> block = StartBlockSeen();
  ASSERT_EQ(block.size(), kStartBlockSize);
  const int day = DateToDayNumber(date.day(), date.month(), date.year());
  const int units = time.msecsSinceStartOfDay() / 2000;  // whole seconds, even by default
  EXPECT_EQ(std::vector<int>(block.begin(), block.begin() + 6),
            (std::vector<int>{day & 255, day >> 8, units & 255, units >> 8, 30, 0}));
  EXPECT_EQ(block[7], 7);   // site number
  EXPECT_EQ(block[11], 3);  // sensors
  EXPECT_EQ(block[12], 2);  // timed
  EXPECT_EQ(block[27], (time.hour() / 10) * 16 + time.hour() % 10);
  auto header = SiteHeader::Open(files, "FARM_07", RecordFile::Mode::ReadOnly);
  EXPECT_EQ(header.ReadRecord(header::kStartDate), date.toString("dd-MM-yyyy").toStdString());
  EXPECT_EQ(header.ReadRecord(header::kStartTime), time.toString("HH:mm:ss").toStdString());
}

}  // namespace
}  // namespace pelvaro::testing
