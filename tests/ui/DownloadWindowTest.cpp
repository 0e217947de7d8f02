// DOWNLOAD DATA on the main window, against the in-process logger.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro::testing {
namespace {

class DownloadWindowTest : public ::testing::Test {
 protected:
  DownloadWindowTest()
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
};

TEST_F(DownloadWindowTest, AClickOnTheHighlightedSiteRunsTheDownloadAndOffersTheGraph) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  ASSERT_EQ(List()->currentRow(), 0);
  Click(Find("Option3"));
  ExpectWaitingForASite();
  EXPECT_EQ(Status()->toPlainText(),
            "\n\n    Please select a site file from \n    the list opposite.");

  prompter.answers = {Answer::No};  // no restart: the graph follows
  ClickRow(List(), 0);
  EXPECT_TRUE(Stored());
  EXPECT_EQ(prompter.shown.back().title, "RE-START DATA LOGGER?");
  EXPECT_EQ(ReadBytes(files.Root() / "START.DAT"), "NO\r\n");
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  EXPECT_TRUE(window.GraphAfterDownload());
  ExpectIdle();
  EXPECT_FALSE(Find<QProgressBar>("ProgressBar1")->isVisible());
  // A later click is an ordinary site click again.
  const std::size_t shown = prompter.shown.size();
  ClickRow(List(), 0);
  EXPECT_EQ(prompter.shown.size(), shown);
}

TEST_F(DownloadWindowTest, AnUnusableSiteIsRefusedAndTheDownloadWaitsForAnother) {
  // Only a file made by hand can carry such a name.
  WriteBytes(files.HeaderFolder() / "BAD..SITE_02.key", std::string(222 * 64, ' '));
  window.RefreshSiteList();
  ASSERT_EQ(List()->item(0)->text(), "BAD..SITE_02.key");
  ClickRow(List(), 1);  // FARM_01: the site clicked before
  Click(Find("Option3"));
  ClickRow(List(), 0);
  EXPECT_EQ(prompter.shown.back().text,
            "The name \"BAD..SITE_02\" cannot be used as a file or folder name.");
  EXPECT_EQ(prompter.shown.back().title, "Site File Error");
  EXPECT_EQ(port.Written(), "");
  EXPECT_FALSE(Stored());
  ExpectWaitingForASite();

  prompter.answers = {Answer::No};
  ClickRow(List(), 1);
  EXPECT_TRUE(Stored());
  ExpectIdle();
}

// Esc, Abort and the title bar before a site is chosen end the download unstarted.
TEST_F(DownloadWindowTest, EscAbortOrCloseBeforeASiteIsChosenGoesBackToTheMenu) {
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

TEST_F(DownloadWindowTest, CloseDuringTheDownloadIsRefusedAndTheBlockIsStoredWhole) {
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

}  // namespace
}  // namespace pelvaro::testing
