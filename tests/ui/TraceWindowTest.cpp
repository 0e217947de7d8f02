// TRACE MODE, its sensor-count dialog and F12 on the main window, against the in-process logger.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "ui/PersonDriver.h"
#include "ui/operations/TraceDialog.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro::testing {
namespace {

class TraceWindowTest : public ::testing::Test {
 protected:
  TraceWindowTest()
      : engine(sim::GenerateRun(3001, 1, 2, 11300, 36000, 900, 4)),
        port(engine, clock),
        window({prompter, port, clock, finder, dialogs}) {
    StartupEnvironment env;
    env.home = tmp.Path().string();
    window.Load(env);
    WritePortNumber(window.Storage(), 1);
    window.show();
    // Every line the status area shows, as it is shown.
    QObject::connect(Status(), &QTextEdit::textChanged, [this] {
      const QString text = Status()->toPlainText();
      if (!text.isEmpty()) seen.push_back(text.section('\n', -1).toStdString());
    });
  }
  QTextEdit* Status() { return Child<QTextEdit>(window, "Picture1"); }
  QPushButton* Button(const char* name) { return Child<QPushButton>(window, name); }
  bool MenuShown() { return Child<QGroupBox>(window, "FrameMain")->isVisible(); }
  // TRACE MODE, and the sensor count typed into its dialog.
  void StartTrace(Qt::Key sensors) {
    WhenDialogOpens<TraceSensorsDialog>([sensors](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), sensors);
      Click(Child<QPushButton>(d, "OKButton"));
    });
    Click(Button("Option12"));
  }
  std::set<int> RowsSeen() const {
    std::set<int> rows;
    for (const std::string& line : seen) {
      if (line.size() > 4 && line.compare(0, 2, "  ") == 0 && std::isdigit(line[2])) {
        rows.insert(std::stoi(line.substr(2, 3)));
      }
    }
    return rows;
  }

  TempRoot tmp;
  VirtualClock clock;
  sim::LoggerEngine engine;
  sim::SimSerialPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  FixedFinder finder;
  MainWindow window;
  std::vector<std::string> seen;
};

TEST_F(TraceWindowTest, F12WritesTheSerialNumberAndTraceRowsKeepUpUntilEsc) {
  prompter.inputs = {std::string("58207"), std::string("1000")};
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(engine.SerialNumber(), 1000);
  EXPECT_EQ(prompter.shown.back().text, "Data logger serial number is updated successfully.");
  prompter.inputs = {std::string("4321")};
  PressKey(&window, Qt::Key_F12);  // the code is not asked twice
  EXPECT_EQ(engine.SerialNumber(), 4321);
  StartTrace(Qt::Key_2);
  ASSERT_NE(window.Trace(), nullptr);
  EXPECT_TRUE(window.Trace()->Active());
  EXPECT_EQ(port.Written().substr(port.Written().size() - 3), std::string("\0T\x02", 3));
  EXPECT_TRUE(Button("Command2")->isVisible());
  EXPECT_EQ(Button("Command2")->text(), "Exit Trace Mode");
  EXPECT_FALSE(MenuShown());
  // Three scans wait when the one notification comes: all three become rows.
  clock.Advance(3.05);
  port.Pump();
  EXPECT_TRUE(Status()->toPlainText().contains(" Scan   Sensor 1     Sensor 2     "));
  EXPECT_EQ(RowsSeen(), (std::set<int>{1, 2, 3}));
  // F12 while the trace owns the port asks for nothing.
  const std::size_t asked = prompter.shown.size();
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(prompter.shown.size(), asked);

  PressKey(&window, Qt::Key_Escape);
  EXPECT_EQ(port.Written().back(), '\0');
  EXPECT_EQ(seen.back(), "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(MenuShown());
  EXPECT_FALSE(Status()->isVisible());
  EXPECT_FALSE(Button("Command2")->isVisible());
}

// A count chosen and then cancelled is no count.
TEST_F(TraceWindowTest, CancelOrEscInTheSensorChoiceSendsNothing) {
  for (const std::string way : {"CancelButton", "Esc ComboSensors"}) {
    SCOPED_TRACE(way);
    WhenDialogOpens<TraceSensorsDialog>([way](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
      Act(d, way);
      EXPECT_EQ(d.result(), QDialog::Rejected);
      EXPECT_EQ(d.SensorCount(), 0);
    });
    Click(Button("Option12"));
    EXPECT_EQ(port.Written(), "");
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(MenuShown());
  }
}

TEST_F(TraceWindowTest, ClosingTheWindowDuringATraceStopsTheLoggerFirst) {
  StartTrace(Qt::Key_2);
  for (int i = 0; i < 5; ++i) {
    clock.Advance(0.5);
    port.Pump();
  }
  engine.TakeLog();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(engine.TakeLog(), std::vector<std::string>{"trace stopped by host"});
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(window.isVisible());
}

TEST(TraceDialog, DigitsChooseTheCountAndOnlyADeliberateOkStartsTheTrace) {
  TraceSensorsDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Probe Trace Mode");
  EXPECT_TRUE(dialog.isModal());
  EXPECT_EQ(Child<QLabel>(dialog, "LabelInfo")->text(),
            "Data logging will be terminated if the interfaced unit \nis recording data.");
  auto* list = Child<QComboBox>(dialog, "ComboSensors");
  ASSERT_EQ(list->count(), 5);
  EXPECT_EQ(list->itemText(0), " 1");
  EXPECT_EQ(list->currentText(), " 5");

  QTest::keyClick(list, Qt::Key_3);
  EXPECT_EQ(list->currentText(), " 3");
  QTest::keyClick(list, Qt::Key_A);
  QTest::keyClick(list, Qt::Key_9);
  QTest::keyClick(list, Qt::Key_Home);
  EXPECT_EQ(list->currentText(), " 3");
  QTest::keyClick(list, Qt::Key_2, Qt::KeypadModifier);
  EXPECT_EQ(list->currentText(), " 2");
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentText(), " 3");

  // Trace mode ends a logging run: a stray Enter, in the list or on a button, never starts it.
  auto* ok = Child<QPushButton>(dialog, "OKButton");
  for (QWidget* focus : {static_cast<QWidget*>(list), static_cast<QWidget*>(ok)}) {
    QTest::keyClick(focus, Qt::Key_Return);
    QTest::keyClick(focus, Qt::Key_Enter);
  }
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.SensorCount(), 0);

  QTest::keyClick(ok, Qt::Key_Space);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SensorCount(), 3);
}

}  // namespace
}  // namespace pelvaro::testing
