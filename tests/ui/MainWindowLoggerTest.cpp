// DOWNLOAD DATA, TRACE MODE and F12 on the main window, against the in-process logger.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>
#include <set>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/operations/TraceDialog.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro::testing {
namespace {

class LoggerOnTheMainWindow : public ::testing::Test {
 protected:
  LoggerOnTheMainWindow()
      : files(tmp.Path() / "Pelvaro Data"),
        engine(sim::GenerateRun(3001, 1, 2, 11300, 36000, 900, 40)),
        port(engine, clock),
        window({prompter, port, clock, finder, dialogs}) {
    qRegisterMetaType<pelvaro::NextWindow>();
    SiteBuilder site(files, "FARM_01");
    site.Header(LoggerSensors(2), 0);
    site.Logger(3001, 2);
    WritePortNumber(files, 1);
    WriteRestartRequest(files, "NO");
    WriteSiteSelection(files, "FARM_01", "TVMKDATA");
    StartupEnvironment env;
    env.home = tmp.Path().string();
    window.Load(env);
    window.show();
    // Every line the status area shows, as it is shown.
    QObject::connect(Status(), &QTextEdit::textChanged, [this] {
      const QString text = Status()->toPlainText();
      if (!text.isEmpty()) seen.push_back(text.section('\n', -1).toStdString());
    });
  }
  template <typename T = QPushButton>
  T* Find(const char* name) {
    return Child<T>(window, name);
  }
  QListWidget* List() { return Find<QListWidget>("File1"); }
  QTextEdit* Status() { return Find<QTextEdit>("Picture1"); }
  bool Stored() const { return fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"); }
  void ExpectWaitingForASite() {
    EXPECT_EQ(window.Mode(), "DOWNLOAD");
    EXPECT_TRUE(Status()->isVisible());
    EXPECT_TRUE(Find("Command2")->isVisible());
    EXPECT_EQ(Find("Command2")->text(), "Abort Download");
    EXPECT_FALSE(Find<QGroupBox>("FrameMain")->isVisible());
    EXPECT_FALSE(Find("OptionOutlook")->isVisible());
  }
  // TRACE MODE, and the sensor count typed into its dialog.
  void StartTrace(Qt::Key sensors) {
    WhenDialogOpens<TraceSensorsDialog>([sensors](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), sensors);
      Click(Child<QPushButton>(d, "OKButton"));
    });
    Click(Find("Option12"));
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
  void ExpectIdle() {
    EXPECT_EQ(window.Mode(), "");
    EXPECT_TRUE(Find<QGroupBox>("FrameMain")->isVisible());
    EXPECT_FALSE(Status()->isVisible());
    EXPECT_FALSE(Find("Command2")->isVisible());
  }

  TempRoot tmp;
  Files files;
  VirtualClock clock;
  sim::LoggerEngine engine;
  sim::SimSerialPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  FixedFinder finder;
  MainWindow window;
  std::vector<std::string> seen;
};

// A site whose name cannot be a file is refused and the download waits for another.
TEST_F(LoggerOnTheMainWindow, AnUnusableSiteIsRefusedThenAClickedSiteRunsTheDownload) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  // Only a file made by hand can carry such a name.
  WriteBytes(files.HeaderFolder() / "BAD..SITE_02.key", std::string(222 * 64, ' '));
  window.RefreshSiteList();
  ASSERT_EQ(List()->item(0)->text(), "BAD..SITE_02.key");
  ClickRow(List(), 1);  // FARM_01: the site clicked before
  Click(Find("Option3"));
  ExpectWaitingForASite();
  EXPECT_EQ(Status()->toPlainText(),
            "\n\n    Please select a site file from \n    the list opposite.");
  ClickRow(List(), 0);
  EXPECT_EQ(prompter.shown.back().text,
            "The name \"BAD..SITE_02\" cannot be used as a file or folder name.");
  EXPECT_EQ(prompter.shown.back().title, "Site File Error");
  EXPECT_EQ(port.Written(), "");
  EXPECT_FALSE(Stored());
  ExpectWaitingForASite();

  prompter.answers = {Answer::No};  // no restart: the graph follows
  ClickRow(List(), 1);              // the highlighted site, clicked again
  EXPECT_TRUE(Stored());
  EXPECT_EQ(prompter.shown.back().title, "RE-START DATA LOGGER?");
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  EXPECT_TRUE(window.GraphAfterDownload());
  ExpectIdle();
  EXPECT_FALSE(Find<QProgressBar>("ProgressBar1")->isVisible());
  // A later click is an ordinary site click again.
  const std::size_t shown = prompter.shown.size();
  ClickRow(List(), 1);
  EXPECT_EQ(prompter.shown.size(), shown);
}

// Esc, Abort and the title bar before a site is chosen end the download unstarted.
TEST_F(LoggerOnTheMainWindow, EscAbortOrCloseBeforeASiteIsChosenGoesBackToTheMenu) {
  for (const std::string way : {"Esc File1", "Command2", "title bar"}) {
    SCOPED_TRACE(way);
    Click(Find("Option3"));
    ExpectWaitingForASite();
    PressKey(&window, Qt::Key_Return, List());  // Enter is no site click
    Act(window, way);
    EXPECT_EQ(window.isVisible(), way != "title bar");
    if (way != "title bar") ExpectIdle();
  }
  EXPECT_EQ(window.Mode(), "");
  ClickRow(List(), 0);
  EXPECT_FALSE(Stored());
  EXPECT_EQ(port.Written(), "");
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(LoggerOnTheMainWindow, CloseDuringTheDownloadIsRefusedAndTheBlockIsStoredWhole) {
  std::optional<bool> closed;
  // The person closes the window as soon as the data starts to come in.
  QObject::connect(Status(), &QTextEdit::textChanged, [&] {
    if (!closed && Status()->toPlainText().contains("Loading Data")) closed = window.close();
  });
  Click(Find("Option3"));
  prompter.answers = {Answer::No};
  ClickRow(List(), 0);
  ASSERT_TRUE(closed.has_value());
  EXPECT_FALSE(*closed);
  EXPECT_TRUE(window.isVisible());
  auto* notice = Find<QMessageBox>("DownloadRunningNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_EQ(notice->text(),
            "The data is being downloaded from the logger and stored.\n"
            "Close the program when the download has ended.");
  EXPECT_TRUE(Stored());
  EXPECT_EQ(SiteHeader::Open(files, "FARM_01").ReadRecord(114), "1");
  ExpectIdle();
  notice->close();
  EXPECT_TRUE(window.close());
}

// A count chosen and then cancelled is no count; Esc ends a trace, and so does closing.
TEST_F(LoggerOnTheMainWindow, F12WritesTheSerialNumberAndTraceRowsKeepUpUntilEscOrClose) {
  for (const std::string way : {"CancelButton", "Esc ComboSensors"}) {
    SCOPED_TRACE(way);
    WhenDialogOpens<TraceSensorsDialog>([way](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
      Act(d, way);
      EXPECT_EQ(d.result(), QDialog::Rejected);
      EXPECT_EQ(d.SensorCount(), 0);
    });
    Click(Find("Option12"));
    EXPECT_EQ(port.Written(), "");
    EXPECT_FALSE(port.IsOpen());
    ExpectIdle();
  }
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
  EXPECT_TRUE(Find("Command2")->isVisible());
  EXPECT_EQ(Find("Command2")->text(), "Exit Trace Mode");
  EXPECT_FALSE(Find<QGroupBox>("FrameMain")->isVisible());
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
  ExpectIdle();
  // Closing the window during a trace stops the logger first.
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

  QTest::keyClick(list, Qt::Key_A);  // digits choose (as TRACE MODE above), nothing else does
  QTest::keyClick(list, Qt::Key_9);
  QTest::keyClick(list, Qt::Key_Home);
  EXPECT_EQ(list->currentText(), " 5");
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
