#include "ui/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompter;
using testing::TempRoot;
using testing::WriteBytes;

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : window(prompter) {
    env.home = tmp.Path().string();
    env.currentFolder = tmp.Path() / "cwd";
  }
  fs::path Root() const { return tmp.Path() / "Pelvaro Data"; }
  template <typename T>
  T* Find(const char* name) {
    return window.findChild<T*>(name);
  }

  TempRoot tmp;
  StartupEnvironment env;
  ScriptedPrompter prompter;
  MainWindow window;
};

TEST_F(MainWindowTest, LoadShowsCaptionsAndTheRememberedSite) {
  for (const char* name : {"NORTH_01.key", "SOUTH_02.key", "WEST_03.key", "notes.txt"}) {
    WriteBytes(Root() / "TVMKHEADER" / name, "");
  }
  const std::string remembered = "south_02\r\nTVMKDATA\r\n 2\r\n";
  WriteBytes(Root() / "Sitesel.dat", remembered);
  window.Load(env);

  EXPECT_EQ(window.windowTitle(), "Velmora Pelvaro Soil Moisture V3.1 ");
  EXPECT_EQ(Find<QLabel>("LabelAppName")->text(), "Velmora Pelvaro Soil Moisture");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "V3.1 ");
  auto* list = Find<QListWidget>("File1");
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), "NORTH_01.key");
  EXPECT_EQ(list->currentRow(), 1);
  EXPECT_FALSE(Find<QPlainTextEdit>("Picture1")->isVisibleTo(&window));
  // Selecting the remembered site is not a click: the selection file stays as it was.
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), remembered);
  EXPECT_EQ(ReadBytes(Root() / "START.DAT"), "NO\r\n");
}

TEST_F(MainWindowTest, ExitClosesTheWindowAndControlsScaleWithIt) {
  window.Load(env);
  window.show();
  auto* list = Find<QListWidget>("File1");
  const QRect before = list->geometry();
  window.resize(1440, 960);
  EXPECT_NEAR(list->geometry().width(), before.width() * 2, 2);
  EXPECT_NEAR(list->geometry().top(), before.top() * 2, 2);
  auto* exitButton = Find<QPushButton>("Command1");
  EXPECT_EQ(exitButton->text(), "Exit");
  QTest::mouseClick(exitButton, Qt::LeftButton);
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace pelvaro
