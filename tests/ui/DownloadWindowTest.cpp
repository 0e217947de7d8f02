// DOWNLOAD DATA on the main window, against the in-process logger.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/shell/MainWindow.h"

namespace pelvaro {
namespace {

using testing::FixedFinder;
using testing::ReadBytes;
using testing::ScriptedDialogs;
using testing::ScriptedPrompter;
using testing::SiteBuilder;
using testing::TempRoot;

class DownloadWindowTest : public ::testing::Test {
 protected:
  DownloadWindowTest()
      : files(tmp.Path() / "Pelvaro Data"),
        engine(sim::GenerateRun(3001, 1, 2, 11300, 36000, 900, 40)),
        port(engine, clock),
        window({prompter, port, clock, finder, dialogs}) {
    qRegisterMetaType<pelvaro::NextWindow>();
    SiteBuilder site(files, "FARM_01");
    site.Header(testing::LoggerSensors(2), 0);
    site.Logger(3001, 2);
    WritePortNumber(files, 1);
    WriteRestartRequest(files, "NO");
    StartupEnvironment env;
    env.home = tmp.Path().string();
    window.Load(env);
    window.show();
  }
  template <typename T = QPushButton>
  T* Find(const char* name) {
    return window.findChild<T*>(name);
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

TEST_F(DownloadWindowTest, SiteClickRunsTheDownloadAndOffersTheGraph) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  QTest::mouseClick(Find("Option3"), Qt::LeftButton);
  auto* status = Find<QTextEdit>("Picture1");
  EXPECT_TRUE(status->isVisible());
  EXPECT_TRUE(status->toPlainText().contains("    Please select a site file from "));
  EXPECT_TRUE(Find("Command2")->isVisible());
  EXPECT_EQ(Find("Command2")->text(), "Abort Download");
  EXPECT_FALSE(Find<QGroupBox>("FrameMain")->isVisible());

  prompter.answers = {Answer::No};  // no restart: the graph follows
  Find<QListWidget>("File1")->setCurrentRow(0);
  EXPECT_TRUE(fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"));
  EXPECT_EQ(prompter.shown.back().title, "RE-START DATA LOGGER?");
  EXPECT_EQ(ReadBytes(files.Root() / "START.DAT"), "NO\r\n");
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  EXPECT_TRUE(window.GraphAfterDownload());
  EXPECT_TRUE(Find<QGroupBox>("FrameMain")->isVisible());
  EXPECT_FALSE(status->isVisible());
  EXPECT_FALSE(Find("Command2")->isVisible());
  EXPECT_FALSE(Find<QProgressBar>("ProgressBar1")->isVisible());
  // A later click is an ordinary site click again.
  const std::size_t shown = prompter.shown.size();
  Find<QListWidget>("File1")->setCurrentRow(-1);
  Find<QListWidget>("File1")->setCurrentRow(0);
  EXPECT_EQ(prompter.shown.size(), shown);
}

TEST_F(DownloadWindowTest, AbortBeforeASiteIsChosenGoesBackToTheMenu) {
  QTest::mouseClick(Find("Option3"), Qt::LeftButton);
  EXPECT_EQ(window.Mode(), "DOWNLOAD");
  QTest::mouseClick(Find("Command2"), Qt::LeftButton);
  EXPECT_EQ(window.Mode(), "");
  EXPECT_TRUE(Find<QGroupBox>("FrameMain")->isVisible());
  EXPECT_FALSE(Find<QTextEdit>("Picture1")->isVisible());
  Find<QListWidget>("File1")->setCurrentRow(-1);
  Find<QListWidget>("File1")->setCurrentRow(0);
  EXPECT_FALSE(fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"));
  EXPECT_EQ(port.Written(), "");
}

}  // namespace
}  // namespace pelvaro
