// TRACE MODE over the real serial port against pelvaro-sim, on the computer's clock.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <map>

#include "core/storage/StateFiles.h"
#include "e2e/Simulator.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/PersonDriver.h"
#include "ui/operations/TraceDialog.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro::testing {
namespace {

TEST(MainWindowTrace, AllSixtyFourScansAndTheLoggersEndArriveOnTime) {
  Simulator sim;
  sim.Start();
  setenv("PELVARO_COM1", sim.Pty().toUtf8().constData(), 1);
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
  auto* status = Child<QTextEdit>(window, "Picture1");
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
  QTest::mouseClick(Child<QPushButton>(window, "Option12"), Qt::LeftButton);
  ASSERT_NE(window.Trace(), nullptr);
  ASSERT_TRUE(window.Trace()->Active()) << (lines.empty() ? "" : lines.back());

  // One scan a second for 64 seconds, then the logger's own end.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !prompter.shown.empty(); }, 90000));
  unsetenv("PELVARO_COM1");
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "Trace mode has been terminated after 64 scans to save battery life.");
  ASSERT_EQ(shownAt.size(), 64u);
  EXPECT_EQ(shownAt.rbegin()->first, 64);
  // Scan n leaves the logger n seconds after the command; its row follows
  // within the reading and page pauses, not seconds later.
  for (const auto& [row, at] : shownAt) EXPECT_LT(at, row + 2.5) << "row " << row;
  EXPECT_EQ(lines.back(), "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(Child<QGroupBox>(window, "FrameMain")->isVisible());
  EXPECT_FALSE(Child<QPushButton>(window, "Command2")->isVisible());
}

}  // namespace
}  // namespace pelvaro::testing
