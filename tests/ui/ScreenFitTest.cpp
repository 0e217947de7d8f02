// Every window opens on a small screen with every control outside its
// scrolling content on the screen. The screens (tests/ui/screens.json): a
// tablet of 1280 x 800 and a laptop of 1600 x 1000; CTest runs these tests
// again at 150 % and 200 % (QT_SCALE_FACTOR).
#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QScreen>
#include <memory>

#include "core/storage/StateFiles.h"
#include "support/SampleSites.h"
#include "support/ScriptedPort.h"
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

// The sample site over a stand-in for the main window, which the dialogs open over.
class WindowOnSmallScreen
    : public ::testing::Test,
      public ::testing::WithParamInterface<std::tuple<const char*, const char*>> {
 protected:
  WindowOnSmallScreen() {
    InstallSample(PELVARO_SAMPLE_DIR, files);
    WriteSiteSelection(files, kSampleSite, "TVMKDATA");
    env.home = tmp.Path().string();
    env.currentFolder = tmp.Path();
  }
  void SetUp() override {
    for (QScreen* s : QGuiApplication::screens()) {
      if (s->name() == std::get<1>(GetParam())) screen = s;
    }
    // A real display has screens of its own.
    if (screen == nullptr) GTEST_SKIP() << "no offscreen screen " << std::get<1>(GetParam());
    host.setScreen(screen);
    host.move(screen->availableGeometry().center());
    host.show();
  }
  std::unique_ptr<QWidget> Open(const std::string& window);

  TempRoot tmp;
  Files files{tmp.Path() / "Pelvaro Data"};
  StartupEnvironment env;
  ScriptedPrompter prompter;
  VirtualClock clock;
  ScriptedPort port{clock};
  ScriptedDialogs dialogs;
  FixedFinder finder;
  QScreen* screen = nullptr;
  QWidget host;
};

std::unique_ptr<QWidget> WindowOnSmallScreen::Open(const std::string& window) {
  QWidget* over = &host;
  if (window == "Main") {
    auto main =
        std::make_unique<MainWindow>(MainWindowServices{prompter, port, clock, finder, dialogs});
    main->Load(env);
    main->setScreen(screen);
    main->move(screen->availableGeometry().topLeft());
    return main;
  }
  if (window == "Site") return std::make_unique<SiteWindow>(files, prompter, false, over);
  if (window == "Start") {
    return std::make_unique<StartWindow>(files, prompter, port, clock, dialogs, over);
  }
  if (window == "EditorOnABlock") return std::make_unique<EditorWindow>(files, prompter, over);
  if (window == "Graph") return std::make_unique<GraphWindow>(files, prompter, false, over);
  if (window == "Outlook") return std::make_unique<OutlookWindow>(files, over);
  if (window == "Help") return std::make_unique<HelpWindow>(over);
  if (window == "PortList") return std::make_unique<PortListDialog>(prompter, over);
  if (window == "NotResponding") return std::make_unique<NotRespondingDialog>(over);
  if (window == "TraceSensors") return std::make_unique<TraceSensorsDialog>(over);
  if (window == "StartDate") return std::make_unique<CalDialog>("28/09/2026", over);
  std::vector<std::string> folders;
  for (int k = 1; k <= 8; ++k) folders.push_back("FOLDER" + std::to_string(k));
  return std::make_unique<DataDirDialog>(files, prompter, folders, "FOLDER1", over);
}

// Inside a scrolling area's view: reached by scrolling, not by the window's size.
bool Scrolls(const QWidget* widget, const QWidget* window) {
  for (const QWidget* w = widget->parentWidget(); w != window; w = w->parentWidget()) {
    const auto* area = qobject_cast<const QAbstractScrollArea*>(w->parentWidget());
    if (area != nullptr && area->viewport() == w) return true;
  }
  return false;
}

TEST_P(WindowOnSmallScreen, OpensOnTheScreenWithEveryControlOnIt) {
  const std::unique_ptr<QWidget> window = Open(std::get<0>(GetParam()));
  window->show();
  QApplication::processEvents();
  // A block's readings widen the editor after it opened; the window's new
  // layout, and then its fit, each take a turn of the event loop.
  if (auto* editor = qobject_cast<EditorWindow*>(window.get())) {
    ClickCell(Child<QTableWidget>(*editor, "Fg1"), 0, 0);
    QApplication::processEvents();
    QApplication::processEvents();
  }
  const QRect free = screen->availableGeometry();
  EXPECT_EQ(window->screen(), screen);
  EXPECT_TRUE(free.contains(window->frameGeometry()))
      << "window at " << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
      << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on "
      << free.width() << "x" << free.height();
  for (QWidget* w : window->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(window.get()) || w->isWindow() || Scrolls(w, window.get())) continue;
    const std::string name = (w->metaObject()->className() + (" " + w->objectName())).toStdString();
    EXPECT_TRUE(window->rect().contains(QRect(w->mapTo(window.get(), QPoint(0, 0)), w->size())))
        << name;
    // A button is also shown whole: nothing covers or cuts it.
    if (qobject_cast<QPushButton*>(w) != nullptr) {
      EXPECT_EQ(w->visibleRegion().boundingRect(), w->rect()) << name;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, WindowOnSmallScreen,
    ::testing::Combine(::testing::Values("Main", "Site", "Start", "EditorOnABlock", "Graph",
                                         "Outlook", "Help", "PortList", "NotResponding",
                                         "TraceSensors", "StartDate", "DataDirectories"),
                       ::testing::Values("Tablet", "Laptop")),
    [](const auto& row) {
      return std::string(std::get<0>(row.param)) + "_" + std::get<1>(row.param);
    });

}  // namespace
}  // namespace pelvaro::testing
