// TRACE MODE and F12 on the main window, against the in-process logger.
#include <gtest/gtest.h>

#include <QTest>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro {
namespace {

using testing::FixedFinder;
using testing::ScriptedDialogs;
using testing::ScriptedPrompter;
using testing::TempRoot;

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
  }
  QTextEdit* Status() { return window.findChild<QTextEdit*>("Picture1"); }
  QPushButton* Button(const char* name) { return window.findChild<QPushButton*>(name); }

  TempRoot tmp;
  VirtualClock clock;
  sim::LoggerEngine engine;
  sim::SimSerialPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  FixedFinder finder;
  MainWindow window;
};

TEST_F(TraceWindowTest, TraceShowsLiveRowsUntilTheUserExits) {
  window.SetTraceSensorsAsker([] { return 2; });
  QTest::mouseClick(Button("Option12"), Qt::LeftButton);
  ASSERT_NE(window.Trace(), nullptr);
  EXPECT_TRUE(window.Trace()->Active());
  EXPECT_TRUE(Button("Command2")->isVisible());
  EXPECT_EQ(Button("Command2")->text(), "Exit Trace Mode");
  EXPECT_FALSE(window.findChild<QGroupBox*>("FrameMain")->isVisible());
  for (int second = 0; second < 3; ++second) {
    clock.Advance(1.0);
    port.Pump();
  }
  EXPECT_TRUE(Status()->toPlainText().contains(" Scan   Sensor 1     Sensor 2     "));
  EXPECT_TRUE(Status()->toPlainText().contains("  03"));
  QTest::mouseClick(Button("Command2"), Qt::LeftButton);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(window.findChild<QGroupBox*>("FrameMain")->isVisible());
  EXPECT_FALSE(Button("Command2")->isVisible());
  EXPECT_EQ(port.Written().back(), '\0');
}

TEST_F(TraceWindowTest, CancelledSensorChoiceSendsNothing) {
  window.SetTraceSensorsAsker([] { return 0; });
  QTest::mouseClick(Button("Option12"), Qt::LeftButton);
  EXPECT_EQ(port.Written(), "");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(window.findChild<QGroupBox*>("FrameMain")->isVisible());
}

TEST_F(TraceWindowTest, ServiceKeyWritesTheSerialNumber) {
  prompter.inputs = {std::string("58207"), std::string("1000")};
  window.RunSerialNumberService();
  EXPECT_EQ(engine.SerialNumber(), 1000);
  EXPECT_EQ(prompter.shown.back().text, "Data logger serial number is updated successfully.");
  prompter.inputs = {std::string("4321")};
  window.RunSerialNumberService();  // the code is not asked twice
  EXPECT_EQ(engine.SerialNumber(), 4321);
}

}  // namespace
}  // namespace pelvaro
