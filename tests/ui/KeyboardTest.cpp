// The push buttons of every window, as a person without a mouse presses them.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <memory>
#include <set>

#include "core/storage/StateFiles.h"
#include "support/SampleSites.h"
#include "support/ScriptedPort.h"
#include "ui/MainWindowControls.h"
#include "ui/PersonDriver.h"
#include "ui/editor/EditorWindow.h"
#include "ui/graph/GraphWindow.h"
#include "ui/link/LinkWindows.h"
#include "ui/operations/StartWindow.h"
#include "ui/operations/TraceDialog.h"
#include "ui/outlook/OutlookWindow.h"
#include "ui/shell/MainWindow.h"
#include "ui/site/DataDirDialog.h"
#include "ui/site/SiteWindow.h"

namespace pelvaro::testing {
namespace {

// A harmless button of each window, and the letter that goes with Alt to press it.
const struct {
  const char* window;
  const char* button;
  Qt::Key letter;
} kWindows[] = {
    {"main window", main_window::kExit, Qt::Key_X},
    {"site window", "cmdCancel", Qt::Key_C},
    {"start window", "cmdAbort", Qt::Key_C},
    {"block editor", "cmdExit", Qt::Key_L},
    {"start date", "CancelButton", Qt::Key_C},
    {"graph", "cmdZoomReset", Qt::Key_R},
    {"data directories", "CancelButton", Qt::Key_C},
    {"outlook", "cmdClose", Qt::Key_C},
    {"trace sensors", "CancelButton", Qt::Key_C},
    {"port list", "CancelButton", Qt::Key_C},
    {"logger not responding", "CancelButton", Qt::Key_H},
    {"help", "cmdClose", Qt::Key_C},
};

// Every window over the sample site, shown and active.
class KeyboardTest : public WindowTest {
 protected:
  KeyboardTest() {
    InstallSample(PELVARO_SAMPLE_DIR, files);
    WriteSiteSelection(files, kSampleSite, "TVMKDATA", 2);
  }
  std::unique_ptr<QWidget> Open(const std::string& name) {
    std::unique_ptr<QWidget> w = Make(name);
    w->show();
    QApplication::setActiveWindow(w.get());
    return w;
  }

 private:
  std::unique_ptr<QWidget> Make(const std::string& name) {
    if (name == "main window") {
      return std::make_unique<MainWindow>(
          MainWindowServices{prompter, port, clock, finder, dialogs});
    }
    if (name == "site window") return std::make_unique<SiteWindow>(files, prompter, false);
    if (name == "start window") {
      return std::make_unique<StartWindow>(files, prompter, port, clock, dialogs);
    }
    if (name == "block editor") return std::make_unique<EditorWindow>(files, prompter);
    if (name == "start date") return std::make_unique<CalDialog>("08/12/2026");
    if (name == "graph") return std::make_unique<GraphWindow>(files, prompter, false);
    if (name == "data directories") {
      return std::make_unique<DataDirDialog>(files, prompter, std::vector<std::string>{"TVMKDATA"},
                                             "TVMKDATA");
    }
    if (name == "outlook") return std::make_unique<OutlookWindow>(files);
    if (name == "trace sensors") return std::make_unique<TraceSensorsDialog>();
    if (name == "port list") return std::make_unique<PortListDialog>(prompter);
    if (name == "logger not responding") return std::make_unique<NotRespondingDialog>();
    return std::make_unique<HelpWindow>();
  }

  VirtualClock clock;
  ScriptedPort port{clock};
  FixedFinder finder;
  ScriptedDialogs dialogs;
};

TEST_F(KeyboardTest, EveryPushButtonHasAnAltLetterOfItsOwn) {
  for (const auto& row : kWindows) {
    const auto w = Open(row.window);
    std::set<int> letters;
    for (const QPushButton* button : w->findChildren<QPushButton*>()) {
      if (button->text().isEmpty()) continue;  // the main window's stop, captioned when offered
      const QKeySequence letter = QKeySequence::mnemonic(button->text());
      EXPECT_FALSE(letter.isEmpty()) << row.window << ": " << Caption(button).toStdString();
      EXPECT_TRUE(letter.isEmpty() || letters.insert(letter[0].toCombined()).second)
          << row.window << ": " << Caption(button).toStdString();
    }
  }
}

TEST_F(KeyboardTest, AltAndTheButtonsLetterPressesIt) {
  for (const auto& row : kWindows) {
    const auto w = Open(row.window);
    QSignalSpy pressed(Child<QPushButton>(*w, row.button), &QPushButton::clicked);
    PressKey(w.get(), row.letter, nullptr, Qt::AltModifier);
    EXPECT_EQ(pressed.count(), 1) << row.window;
  }
}

TEST_F(KeyboardTest, EnterOnAFocusedButtonPressesIt) {
  for (const auto& row : kWindows) {
    const auto w = Open(row.window);
    auto* button = Child<QPushButton>(*w, row.button);
    QSignalSpy pressed(button, &QPushButton::clicked);
    PressKey(w.get(), Qt::Key_Return, button);
    EXPECT_EQ(pressed.count(), 1) << row.window;
  }
}

}  // namespace
}  // namespace pelvaro::testing
