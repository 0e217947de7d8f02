// The start window and TRACE MODE over the real serial port and event loop, against pelvaro-sim,
// on the computer's clock.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <map>
#include <optional>

#include "core/storage/DayNumbers.h"
#include "core/storage/StateFiles.h"
#include "e2e/Simulator.h"
#include "support/Environment.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/MainWindowControls.h"
#include "ui/PersonDriver.h"
#include "ui/operations/StartWindow.h"
#include "ui/operations/TraceDialog.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro::testing {
namespace {

using namespace main_window;

constexpr int kPort = 7;

// The 41 bytes the simulator says it was started with.
std::vector<int> StartBlockSeen(Simulator& sim) {
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

// The grids show the highlighted site; a click on a site, the highlighted one too, pairs it with
// its own folder, and the one clicked last starts.
TEST(StartWindowOnTheLine, AClickedSitePairsWithItsOwnFolderAndStartSendsThePickersValues) {
  Simulator sim;
  sim.Start({"--serial", "3001"});
  const ScopedEnvironment port7("PELVARO_COM7", sim.Pty().toStdString());
  TempRoot root;
  const Files files(root.Path());
  WritePortNumber(files, kPort);
  SiteBuilder brook(files, "BROOK_01", "BROOKDATA");
  brook.Header(LoggerSensors(2), 0);
  brook.Logger(3001, 2);
  // Last started in TIMED mode long ago: the grid shows that, the pickers a new start.
  SiteBuilder farm(files, "FARM_07", "FARMDATA");
  farm.Header(LoggerSensors(3), 2);
  farm.Logger(3001, 3);
  farm.Set({{header::kSiteNumber, "07"},
            {header::kStartMode, "TIMED START"},
            {header::kStartDate, "01-03-2025"},
            {header::kStartTime, "10:00:00"},
            {header::kScanInterval, "00:00:30"}});
  // The selection still carries the folder of the site chosen before.
  WriteSiteSelection(files, "FARM_07", "BROOKDATA", 2);

  QtSerialPort port;
  QtClock clock;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  StartWindow window(files, prompter, port, clock, dialogs);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

  const auto text = [&](const char* name) {
    return window.findChild<QWidget*>(name)->property("text").toString().toStdString();
  };
  const auto sensorsAndBlocks = [&] {
    auto* grid = window.findChild<QTableWidget*>("FgSiteHeader");
    return grid->item(4, 1)->text() + grid->item(5, 1)->text();
  };
  EXPECT_EQ(window.windowTitle(), "Start Velmora Data Logger");
  EXPECT_EQ(text("DateDisplbl"),
            "Date:  " + QDate::currentDate().toString("dd-MM-yyyy").toStdString());
  auto* list = window.findChild<QListWidget*>("KeyFileBox");
  ASSERT_EQ(list->currentItem()->text() + sensorsAndBlocks(), "FARM_07.key 3 2");
  ClickRow(list, 1);
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "FARM_07\r\nFARMDATA\r\n");
  ClickRow(list, 0);
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "BROOK_01\r\nBROOKDATA\r\n");
  EXPECT_EQ(text("StartLoggerHint"), "Hint: Click Start button to start the logger");
  EXPECT_EQ(sensorsAndBlocks(), " 2 0");
  ClickRow(list, 1);

  const QDate date = window.findChild<QDateEdit*>("DTStartdate")->date();
  const QTime time = window.findChild<QTimeEdit*>("DTStartTime")->time();
  EXPECT_EQ(window.findChild<QTimeEdit*>("DTScanTime")->time(), QTime(0, 0, 30));
  QTest::mouseClick(window.findChild<QPushButton*>("cmdStart"), Qt::LeftButton);
  ASSERT_TRUE(window.Started()) << (prompter.shown.empty() ? "" : prompter.shown.back().text);
  EXPECT_EQ(prompter.shown.back().title + prompter.shown.back().text,
            "Logger Started Logger started successfully.\r\n\r\nRemove the interface cable from "
            "logger.\r\n");
  EXPECT_EQ(window.findChild<QTextEdit*>("PicCommInfo")->toPlainText().toStdString(),
            "CONTACTING RECORDER\nRECORDER TALKING\nSENDING DATA");
  EXPECT_FALSE(window.isVisible());

  const std::vector<int> block = StartBlockSeen(sim);
  ASSERT_EQ(block.size(), kStartBlockSize);
  const int day = DateToDayNumber(date.day(), date.month(), date.year());
  const int units = time.msecsSinceStartOfDay() / 2000;  // whole seconds, even by default
  // Day, time and scan interval; site number 7, 3 sensors, timed; the hour in BCD.
  EXPECT_EQ((std::vector<int>{block[0], block[1], block[2], block[3], block[4], block[5], block[7],
                              block[11], block[12], block[27]}),
            (std::vector<int>{day & 255, day >> 8, units & 255, units >> 8, 30, 0, 7, 3, 2,
                              (time.hour() / 10) * 16 + time.hour() % 10}));
  auto header = SiteHeader::Open(files, "FARM_07", RecordFile::Mode::ReadOnly);
  EXPECT_EQ(header.ReadRecord(header::kStartDate) + " " + header.ReadRecord(header::kStartTime),
            date.toString("dd-MM-yyyy ").toStdString() + time.toString("HH:mm:ss").toStdString());
}

TEST(MainWindowTrace, AllSixtyFourScansAndTheLoggersEndArriveOnTime) {
  Simulator sim;
  sim.Start();
  const ScopedEnvironment port1("PELVARO_COM1", sim.Pty().toStdString());
  TempRoot home;
  StartupEnvironment env;
  env.home = home.Path().string();
  ScriptedPrompter prompter;
  QtClock clock;
  QtSerialPort port;
  FixedFinder finder;
  ScriptedDialogs dialogs;
  MainWindow window({prompter, port, clock, finder, dialogs});
  window.Load(env);
  window.show();

  // When each row is first shown, in seconds from the header.
  QElapsedTimer sinceHeader;
  std::map<int, double> shownAt;
  std::vector<std::string> lines;
  auto* status = Child<QTextEdit>(window, kStatus);
  QObject::connect(status, &QTextEdit::textChanged, [&] {
    const std::string line = status->toPlainText().section('\n', -1).toStdString();
    if (line.empty()) return;
    lines.push_back(line);
    if (line.rfind(" Scan ", 0) == 0 && !sinceHeader.isValid()) sinceHeader.start();
    if (line.size() > 4 && line.compare(0, 2, "  ") == 0 && std::isdigit(line[2])) {
      shownAt.emplace(std::stoi(line.substr(2, 3)), sinceHeader.elapsed() / 1000.0);
    }
  });

  auto* com1 = Child<QRadioButton>(window, "optCom1");
  QTest::mouseClick(com1, Qt::LeftButton, {}, QPoint(8, com1->height() / 2));
  ASSERT_TRUE(com1->isChecked()) << (prompter.shown.empty() ? "" : prompter.shown.back().text);
  WhenDialogOpens<TraceSensorsDialog>([](TraceSensorsDialog& d) {
    QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
    QTest::mouseClick(Child<QPushButton>(d, "OKButton"), Qt::LeftButton);
  });
  QTest::mouseClick(Child<QPushButton>(window, kTraceMode), Qt::LeftButton);
  ASSERT_NE(window.Trace(), nullptr);
  ASSERT_TRUE(window.Trace()->Active()) << (lines.empty() ? "" : lines.back());

  // One scan a second for 64 seconds, then the logger's own end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 90000));
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(LastMessage(prompter),
            ": Trace mode has been terminated after 64 scans to save battery life.");
  ASSERT_EQ(shownAt.size(), 64u);
  EXPECT_EQ(shownAt.rbegin()->first, 64);
  // Scan n leaves the logger n seconds after the command; its row follows
  // within the reading and page pauses, not seconds later.
  for (const auto& [row, at] : shownAt) EXPECT_LT(at, row + 2.5) << "row " << row;
  EXPECT_EQ(lines.back(), "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(Child<QGroupBox>(window, "FrameMain")->isVisible());
  EXPECT_FALSE(Child<QPushButton>(window, kStop)->isVisible());
}

// FARM_01 of two sensors in a working root of its own, on the main window over the real line.
struct DownloadOnTheLine {
  explicit DownloadOnTheLine(const QStringList& simOptions) {
    sim.Start(QStringList{"--serial", "3001", "--site", "1", "--sensors", "2", "--scans", "300"} +
              simOptions);
    port1.emplace("PELVARO_COM1", sim.Pty().toStdString());
    env.home = home.Path().string();
    SiteBuilder site(files, "FARM_01");
    site.Header(LoggerSensors(2), 0);
    site.Logger(3001, 2);
    WriteRestartRequest(files, "NO");
    window.Load(env);
    window.show();
    auto* com1 = Child<QRadioButton>(window, "optCom1");
    QTest::mouseClick(com1, Qt::LeftButton, {}, QPoint(8, com1->height() / 2));
  }
  // DOWNLOAD DATA, then a click on FARM_01; the restart is declined.
  void Download() {
    prompter.answers = {Answer::No};
    QTest::mouseClick(Child<QPushButton>(window, "Option3"), Qt::LeftButton);
    ClickRow(Child<QListWidget>(window, "File1"), 0);
  }
  bool Stored() const { return fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"); }
  bool TempFilesLeft() const {
    return fs::exists(files.Root() / kTempHeaderName) || fs::exists(files.Root() / kTempDataName);
  }

  Simulator sim;
  std::optional<ScopedEnvironment> port1;
  TempRoot home;
  Files files{home.Path() / "Pelvaro Data"};
  StartupEnvironment env;
  ScriptedPrompter prompter;
  QtClock clock;
  QtSerialPort port;
  FixedFinder finder;
  ScriptedDialogs dialogs;
  MainWindow window{{prompter, port, clock, finder, dialogs}};
};

// Abort Download clicked while the data comes in: nothing is kept, and the logger, told the
// transfer is over, answers the next download, which stores the whole run.
TEST(MainWindowDownload, AbortDuringTheTransferKeepsNothingAndTheNextDownloadSucceeds) {
  DownloadOnTheLine line({});
  auto* bar = Child<QProgressBar>(line.window, "ProgressBar1");
  bool clicked = false;
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int received) {
    if (clicked || received < 480) return;
    clicked = true;
    QTest::mouseClick(Child<QPushButton>(line.window, "Command2"), Qt::LeftButton);
  });
  line.Download();
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(line.Stored());
  EXPECT_FALSE(line.TempFilesLeft());
  EXPECT_TRUE(line.prompter.shown.empty()) << LastMessage(line.prompter);
  EXPECT_TRUE(Child<QGroupBox>(line.window, "FrameMain")->isVisible());

  clicked = true;  // no second stop
  line.Download();
  EXPECT_TRUE(line.Stored()) << LastMessage(line.prompter);
  EXPECT_EQ(fs::file_size(line.files.Root() / "TVMKDATA" / "FARM_01_001.DAT"), 1200u);
}

// A logger that falls silent part-way (unplugged, flat): the window says so and keeps nothing.
TEST(MainWindowDownload, ALoggerThatStopsAnsweringIsReported) {
  DownloadOnTheLine line({"--fault", "silent-after=400"});
  line.Download();
  EXPECT_FALSE(line.Stored());
  EXPECT_FALSE(line.TempFilesLeft());
  EXPECT_EQ(LastMessage(line.prompter),
            "Download Not Stored: The logger stopped answering after 400 of 1200 bytes. Nothing "
            "was stored; download the run again.");
  EXPECT_TRUE(Child<QGroupBox>(line.window, "FrameMain")->isVisible());
}

}  // namespace
}  // namespace pelvaro::testing
