#include "ui/operations/StartWindow.h"

#include <gtest/gtest.h>

#include <QLayout>
#include <memory>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"

namespace pelvaro::testing {
namespace {

// Two sites with their own folders; the selection names FARM_07 with BROOK_01's folder.
class StartWindowTest : public WindowTest {
 protected:
  StartWindowTest() {
    SiteBuilder brook(files, "BROOK_01", "BROOKDATA");
    brook.Header(LoggerSensors(2), 0);
    brook.Logger(3001, 2);
    SiteBuilder farm(files, "FARM_07", "FARMDATA");
    farm.Header(LoggerSensors(3), 4);
    farm.Logger(3001, 3);
    farm.Set({{header::kSiteNumber, "07"},
              {header::kStartMode, "START IMMEDIATE"},
              {header::kScanInterval, "00:15:00"}});
    WriteSiteSelection(files, "FARM_07", "BROOKDATA", 2);
    WritePortNumber(files, 1);
  }

  void Open(SerialPort* line = nullptr) {
    window = std::make_unique<StartWindow>(files, prompter, line ? *line : port, clock, dialogs);
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  template <typename W>
  W* Find(const char* name) {
    return window->findChild<W*>(name);
  }
  std::string Setting(const char* grid, int row) {
    return Find<QTableWidget>(grid)->item(row, 1)->text().toStdString();
  }
  std::string Text(const char* widget) {
    return Find<QWidget>(widget)->property("text").toString().toStdString();
  }
  void ClickRow(int row) { testing::ClickRow(Find<QListWidget>("KeyFileBox"), row); }
  void Click(const char* button) { testing::Click(Find<QPushButton>(button)); }
  // A double click on the first part of a date or time field selects it for typing over.
  void SelectHours(const char* field) {
    auto* edit = Find<QAbstractSpinBox>(field)->findChild<QLineEdit*>();
    DoubleClick(edit, QPoint(6, edit->height() / 2));
  }
  // One beat of the window's one-second clock, with the wall clock moved on.
  void Tick(double seconds = 1.0) {
    clock.Advance(seconds);
    auto* timer = Find<QTimer>("TimerDisp");
    QTimerEvent beat(timer->timerId());
    QCoreApplication::sendEvent(timer, &beat);
  }
  // What a time field holds, as it shows it.
  std::string TimeIn(const char* field) {
    return Find<QTimeEdit>(field)->time().toString("HH:mm:ss").toStdString();
  }

  VirtualClock clock{{2026, 12, 6, 9, 7, 3}};
  sim::LoggerEngine engine{sim::GenerateRun(3001, 7, 3, 100, 0, 900, 5)};
  sim::SimSerialPort port{engine, clock};
  ScriptedDialogs dialogs;
  std::unique_ptr<StartWindow> window;
};

// The grid shows the last timed start; the pickers offer any later day and take typed hours.
TEST_F(StartWindowTest, ATimedSiteShowsItsLastStartAndStartsAtTheTypedTime) {
  SiteBuilder(files, "FARM_07", "FARMDATA")
      .Set({{header::kStartMode, "TIMED START"},
            {header::kStartDate, "01-03-2025"},
            {header::kStartTime, "10:00"}});
  Open();
  EXPECT_EQ(Setting("FgStartSettings", 1) + " " + Setting("FgStartSettings", 2),
            "01-03-2025 10:00:00");
  EXPECT_EQ(Find<QComboBox>("cmbSelectMode")->currentText().toStdString(), "TIMED START");
  EXPECT_EQ(Find<QDateEdit>("DTStartdate")->maximumDate(), QDate(9999, 12, 31));
  SelectHours("DTStartTime");
  Type("11");
  Tick();
  Click("cmdStart");
  ASSERT_TRUE(window->Started()) << (prompter.shown.empty() ? "" : prompter.shown.back().text);
  EXPECT_EQ(engine.Memory(clock.Now()).startSeconds, 11 * 3600 + 9 * 60);
  EXPECT_EQ(HeaderRecords(files, "FARM_07", {header::kStartTime}), "11:09:00");
}

// A site as CREATE NEW leaves it holds "0" for its last start's date and time: it has none.
TEST_F(StartWindowTest, ASiteNeverStartedShowsNoLastStartTime) {
  SiteBuilder(files, "FARM_07", "FARMDATA")
      .Set({{header::kStartDate, "0"}, {header::kStartTime, "0"}});
  Open();
  ClickRow(1);
  Find<QComboBox>("cmbSelectMode")->setFocus();
  Press(Qt::Key_Down);  // TIMED START
  EXPECT_EQ(Setting("FgStartSettings", 2) + " while the field shows " + TimeIn("DTStartTime"),
            " while the field shows 09:09:00");
}

TEST_F(StartWindowTest, TheClockNeverUndoesTypingEnterNeverStartsAndEscCloses) {
  Open();
  SelectHours("DTScanTime");
  Type("0");
  Tick();
  Type("5");
  Tick();
  EXPECT_EQ(TimeIn("DTScanTime") + " shown as " + Text("DTScanTime"), "05:15:00 shown as 05:15:00");
  // Past the limit of 12 hours the field corrects itself as it is typed.
  SelectHours("DTScanTime");
  Type("13");
  EXPECT_EQ(TimeIn("DTScanTime"), "00:00:30");

  // An immediate start's time follows the clock, except while a person is in it.
  EXPECT_EQ(TimeIn("DTStartTime"), "09:07:05");
  SelectHours("DTStartTime");
  Tick(5);
  EXPECT_EQ(TimeIn("DTStartTime"), "09:07:05");
  SelectHours("DTScanTime");
  Tick();
  EXPECT_EQ(TimeIn("DTStartTime") + " " + Text("TimeDisplbl"), "09:07:11 Time: 09:07:11");
  const std::string before = ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key");
  ClickRow(1);
  for (const char* field : {"DTScanTime", "DTStartTime", "DTStartdate"}) {
    SelectHours(field);
    Press(Qt::Key_Return);
    Press(Qt::Key_Enter);
  }
  ClickRow(1);
  Press(Qt::Key_Return);
  EXPECT_EQ(port.Written(), "");
  EXPECT_EQ(prompter.shown.size(), 0u);
  EXPECT_TRUE(window->isVisible());

  SelectHours("DTScanTime");
  Press(Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_EQ(window->result(), QDialog::Rejected);
  EXPECT_EQ(port.Written(), "");
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key"), before);
}

TEST_F(StartWindowTest, EscAndCloseWhileTheLoggerStartsWaitForTheExchange) {
  ScriptedPort line(clock);
  bool visibleWhileStarting = false;
  line.onWrite = [&](const std::string& bytes, double now) {
    if (bytes == "\x01") {
      Press(Qt::Key_Escape);
      line.Arrive("Hi!", now + 0.1);
    } else if (bytes.size() == kStartBlockSize) {
      window->close();
      visibleWhileStarting = window->isVisible();
      line.Arrive(bytes, now + 0.2);
    }
  };
  Open(&line);
  Click("cmdStart");
  EXPECT_TRUE(visibleWhileStarting);
  EXPECT_TRUE(window->Started());
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_FALSE(line.IsOpen());
}

// Every grid row and site shows whole at every size, and after the exchange's lines.
TEST_F(StartWindowTest, EveryRowShowsWholeAtEverySize) {
  for (const char* id : {"CREEK SIDE PADDOCK_03", "HILL_04", "LOWER FLATS_05", "RIDGE_06"}) {
    SiteBuilder(files, id).Header(LoggerSensors(1), 0);
  }
  ScriptedPort silent(clock);
  Open(&silent);
  EXPECT_GE(window->width(), 800);
  auto* hint = Find<QLabel>("StartLoggerHint");
  AtEverySize(*window, [&](Size) { EXPECT_GE(hint->width(), hint->sizeHint().width()); });
  Click("cmdStart");  // at the smallest size, and the logger stays silent
  EXPECT_EQ(dialogs.notResponding, 1);
  window->show();
  EXPECT_EQ(Find<QTextEdit>("PicCommInfo")->toPlainText().toStdString(), "CONTACTING RECORDER");
  SCOPED_TRACE("after the exchange");
  ExpectNothingClipped(*window);
  EXPECT_GE(hint->width(), hint->sizeHint().width());
}

}  // namespace
}  // namespace pelvaro::testing
