#include "ui/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QMessageBox>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTextEdit>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/SampleSites.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/MainWindowControls.h"
#include "ui/PersonDriver.h"
#include "ui/SiteWindowDriver.h"
#include "ui/graph/GraphWindow.h"
#include "ui/operations/TraceDialog.h"
#include "ui/outlook/OutlookWindow.h"
#include "ui/shell/WindowOpener.h"
#include "ui/site/SiteWindow.h"

namespace pelvaro::testing {
namespace {

using namespace main_window;

using Stage = DownloadControl::Stage;

// What the window shows besides the site list: the stop button's caption when it shows, and
// whether the status area, the progress bar and the menu (OUTLOOK with it) show.
struct Showing {
  std::optional<QString> stop;
  bool status;
  bool progress;
  bool menu;
};

// The main window over a working root, on a scripted line or on the in-process logger.
class MainWindowTest : public ::testing::Test {
 protected:
  explicit MainWindowTest(bool onTheLogger = false)
      : window({prompter, onTheLogger ? static_cast<SerialPort&>(logger) : port, clock, finder,
                dialogs}) {
    env.home = tmp.Path().string();
    env.currentFolder = tmp.Path() / "cwd";
    qRegisterMetaType<pelvaro::NextWindow>();
  }
  fs::path Root() const { return files.Root(); }
  template <typename T = QPushButton>
  T* Find(const char* name) {
    return Child<T>(window, name);
  }
  QListWidget* List() { return Find<QListWidget>(kSiteList); }
  std::string SelectionFile() { return ReadBytes(Root() / "Sitesel.dat"); }
  void ExpectChosen(int row, const std::string& selection) {
    EXPECT_EQ(List()->currentRow(), row) << "highlighted row";
    EXPECT_EQ(SelectionFile(), selection) << "Sitesel.dat";
  }
  void Click(const char* name) { testing::Click(Find(name)); }
  // A window refused: its button says why.
  void ExpectRefused(const char* button, const std::string& message) {
    Click(button);
    EXPECT_EQ(LastMessage(prompter), message) << button;
  }
  void Start() {
    window.Load(env);
    window.show();
  }
  void ExpectShowing(const Showing& expected) {
    QPushButton* stop = Find(kStop);
    EXPECT_EQ(stop->isVisible() ? std::optional(Caption(stop)) : std::nullopt, expected.stop)
        << "stop button";
    EXPECT_EQ(Find<QWidget>(kStatus)->isVisible(), expected.status) << "status area";
    EXPECT_EQ(Find<QWidget>(kProgressBar)->isVisible(), expected.progress) << "progress bar";
    EXPECT_EQ(Find<QWidget>("FrameMain")->isVisible(), expected.menu) << "menu";
    EXPECT_EQ(Find(kOutlook)->isVisible(), expected.menu) << "OUTLOOK";
  }
  void ExpectIdle() {
    EXPECT_EQ(window.DownloadStage(), Stage::Idle);
    ExpectShowing({std::nullopt, false, false, true});
  }

  TempRoot tmp;
  Files files{tmp.Path() / "Pelvaro Data"};
  StartupEnvironment env;
  ScriptedPrompter prompter;
  VirtualClock clock;
  ScriptedPort port{clock};
  sim::LoggerEngine engine{sim::GenerateRun(3001, 1, 2, 11300, 36000, 900, 40)};
  sim::SimSerialPort logger{engine, clock};
  ScriptedDialogs dialogs;
  FixedFinder finder;
  MainWindow window;
};

// Three site headers and a file that is none; nothing remembered.
class ThreeSitesTest : public MainWindowTest {
 protected:
  ThreeSitesTest() {
    for (const char* name : {"NORTH_01.key", "SOUTH_02.key", "WEST_03.key", "notes.txt"}) {
      WriteBytes(Root() / "TVMKHEADER" / name, "");
    }
    Start();
  }
  QRadioButton* Port(const char* name) { return Find<QRadioButton>(name); }
  // A radio button takes clicks on its circle and caption.
  void ClickPort(const char* name) { testing::Click(Port(name), {8, 8}); }
  void ExpectNoPortChosen() {
    for (const char* name : {"optCom1", "optCom2", "optUSB"}) {
      EXPECT_FALSE(Port(name)->isChecked()) << name;
    }
  }
};

TEST_F(ThreeSitesTest, EveryControlKeepsTheNameDriversFindItBy) {
  for (const char* name : {"PictureLogo", "LabelAppName", kVersion,      kSiteList,    "FrameMain",
                           "FrameSite",   "FrameLogger",  "FrameData",   kCreateNew,   kEditSite,
                           kDelete,       kStart,         kDownloadData, kTraceMode,   kEditData,
                           kViewGraph,    kOutlook,       kStatus,       kProgressBar, kExit,
                           kStop,         "frmSelPort",   "optCom1",     "optCom2",    "optUSB"}) {
    EXPECT_NE(window.findChild<QWidget*>(name), nullptr) << name;
  }
}

// The window itself is the one without a name here.
TEST_F(ThreeSitesTest, CaptionsNameTheProgramItsVersionAndTheOperations) {
  const struct {
    const char* name;
    const char* property;
    const char* caption;
  } captions[] = {
      {"", "windowTitle", "Velmora Pelvaro Soil Moisture V3.1 "},
      {"LabelAppName", "text", "Velmora Pelvaro Soil Moisture"},
      {kVersion, "text", "V3.1 "},
      {"FrameLogger", "title", "Logger Operations"},
      {kDownloadData, "text", "DOWNLOAD DATA"},
      {kOutlook, "text", "OUTLOOK"},
      {kExit, "text", "Exit"},
  };
  for (const auto& c : captions) {
    QWidget* w = *c.name == '\0' ? &window : Find<QWidget>(c.name);
    // A button's "&" marks its Alt key and is not shown.
    EXPECT_EQ(w->property(c.property).toString().remove('&'), c.caption)
        << c.name << " " << c.property;
  }
}

TEST_F(ThreeSitesTest, OutlookEndsTheDataAnalysisGroupUnderViewGraph) {
  EXPECT_EQ(Find(kOutlook)->parentWidget(), Find<QGroupBox>("FrameData"));
  EXPECT_GT(Find(kOutlook)->y(), Find(kViewGraph)->y());
}

// Another copy of the program makes a site while this one shows the list.
TEST_F(ThreeSitesTest, ASiteAnotherProgramMakesJoinsTheListAndTheHighlightStays) {
  testing::ClickRow(List(), 2);
  SiteBuilder(files, "EAST_04").Header({}, 0);
  ASSERT_TRUE(ChangesLetIn(*window.Watcher()));
  ASSERT_EQ(List()->count(), 4);
  EXPECT_EQ(List()->item(0)->text(), "EAST_04.key");
  EXPECT_EQ(List()->currentRow(), 3) << "WEST_03";
}

TEST_F(ThreeSitesTest, NoSiteIsChosenBeforeAClick) {
  EXPECT_EQ(List()->currentRow(), -1);
  EXPECT_FALSE(fs::exists(Root() / "Sitesel.dat"));
}

TEST_F(ThreeSitesTest, TheWindowOpensOnTheMenuWithNothingRunning) { ExpectIdle(); }

// Coming into focus the list shows a current row, but nobody clicked a site. Enter on a
// focused button presses it, as Space does.
TEST_F(ThreeSitesTest, EscOnAnyControlAndEnterInTheListStartNothing) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) PressKey(&window, key, List());
  for (const char* name : {kSiteList, kCreateNew, kEditSite, kDelete, kStart, kDownloadData,
                           kTraceMode, kEditData, kViewGraph, kOutlook, kExit}) {
    PressKey(&window, Qt::Key_Escape, Find<QWidget>(name));
    EXPECT_TRUE(window.isVisible()) << name;
  }
  EXPECT_EQ(opened.count(), 0) << "windows asked for";
  EXPECT_EQ(prompter.shown.size(), 0u) << "messages";
  EXPECT_EQ(port.opened.size(), 0u) << "ports opened";
  EXPECT_TRUE(fs::exists(Root() / "TVMKHEADER" / "NORTH_01.key")) << "a site deleted";
  EXPECT_FALSE(fs::exists(Root() / "Sitesel.dat")) << "a site chosen";
  ExpectIdle();
}

TEST_F(ThreeSitesTest, NoPortIsChosenAtFirst) { ExpectNoPortChosen(); }

TEST_F(ThreeSitesTest, AChosenComPortIsTestedAndRemembered) {
  ClickPort("optCom2");
  EXPECT_TRUE(Port("optCom2")->isChecked());
  EXPECT_EQ(port.opened, std::vector<int>{2});
  EXPECT_EQ(ReadBytes(Root() / "DEF.INS"), " 2\r\n");
}

TEST_F(ThreeSitesTest, AComPortInUseLeavesNoPortChosenAndSaysSo) {
  ClickPort("optCom2");
  port.openResults = {{PortError::InUse, "busy", {}}};
  ClickPort("optCom1");
  ExpectNoPortChosen();
  EXPECT_EQ(prompter.shown.back().title, "Communications Port Error");
}

TEST_F(ThreeSitesTest, UsbWithNoCableAndTheListCancelledChoosesNothing) {
  ClickPort("optUSB");
  EXPECT_EQ(dialogs.portLists, 1);
  EXPECT_FALSE(Port("optUSB")->isChecked());
}

TEST_F(ThreeSitesTest, EverythingShowsWholeAndGrowsWithTheWindow) {
  const QSize option = Find(kDownloadData)->size();
  const qreal points = Find(kDownloadData)->font().pointSizeF();
  AtEverySize(window, [&](Size size) {
    if (size == kLarge) {
      EXPECT_GT(Find(kDownloadData)->width(), option.width() * 3 / 2);
      EXPECT_GT(Find(kDownloadData)->height(), option.height());
      EXPECT_GT(Find(kDownloadData)->font().pointSizeF(), points * 3 / 2);
      EXPECT_GT(List()->width(), 500);
    } else if (size == kSmallest) {
      EXPECT_EQ(Find(kDownloadData)->font().pointSizeF(), points);
    }
  });
}

TEST_F(ThreeSitesTest, ExitClosesTheWindow) {
  Click(kExit);
  EXPECT_FALSE(window.isVisible());
}

// FARM_01 keeps its blocks in two directories, beside those of FARM_011 whose name starts alike;
// the remembered site is gone.
class TwoFarmsTest : public MainWindowTest {
 protected:
  TwoFarmsTest() {
    SiteBuilder site(files, "FARM_01", "DIR_A");
    site.Header({{1, 1000, 100, 40, 20}}, 2);
    site.Logger(3001, 1);
    site.Set({{26, "DIR_A"}, {27, "DIR_B"}});
    for (const char* dir : {"DIR_A", "DIR_B"}) {
      for (const char* name :
           {"FARM_01_001.DAT", "FARM_01_001.KEY", "FARM_01_002.DAT", "FARM_01.BGF", "FARM_01.Pct",
            "FARM_011_001.DAT", "FARM_011.BGF", "FARM_01_notes.txt"}) {
        WriteBytes(Root() / dir / name, "x");
      }
    }
    SiteBuilder(files, "FARM_011").Header({}, 0);
    WriteSiteSelection(files, "GONE_01", "TVMKDATA");
    gone = SelectionFile();
    Start();
  }
  bool FarmListed() const { return fs::exists(Root() / "TVMKHEADER" / "FARM_01.key"); }

  const std::string farm = "FARM_01\r\nDIR_A\r\n 2\r\n";
  const std::string farm011 = "FARM_011\r\nTVMKDATA\r\n 2\r\n";
  std::string gone;
};

TEST_F(TwoFarmsTest, ARememberedSiteThatIsGoneHighlightsTheLastRowAndLeavesTheSelection) {
  ExpectChosen(1, gone);
}

TEST_F(TwoFarmsTest, AClickOnARowRemembersItsSite) {
  const struct {
    int row;
    std::string selection;
  } clicks[] = {{1, farm011}, {0, farm}};
  for (const auto& c : clicks) {
    SCOPED_TRACE(c.row);
    ClickRow(List(), c.row);
    ExpectChosen(c.row, c.selection);
  }
}

// Another window changed the selection meanwhile.
TEST_F(TwoFarmsTest, AClickOnTheCurrentRowChoosesItAgain) {
  ClickRow(List(), 0);
  WriteSiteSelection(files, "FARM_011", "TVMKDATA");
  ClickRow(List(), 0);
  EXPECT_EQ(SelectionFile(), farm);
}

TEST_F(TwoFarmsTest, EditOpensTheSiteWindowForTheChosenSite) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  ClickRow(List(), 0);
  Click(kEditSite);
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::SiteWindow);
  EXPECT_EQ(ReadSiteSelection(files).identification, "FARM_01");
}

// The program re-selecting the remembered site (after another window) is no click.
TEST_F(TwoFarmsTest, ReselectingTheRememberedSiteIsNoClick) {
  ClickRow(List(), 0);
  WriteBytes(Root() / "Sitesel.dat", "farm_011\r\nTVMKDATA\r\n");
  window.ReselectRememberedSite();
  ExpectChosen(1, "farm_011\r\nTVMKDATA\r\n");
  EXPECT_EQ(window.Current()->identification, "FARM_01");
}

// Each row on the way is a click, as a person walking down the list makes.
TEST_F(TwoFarmsTest, SelectingTheSavedSiteClicksDownToItOrToTheLastRow) {
  const struct {
    const char* name;
    const char* saved;
    int row;
    std::string selection;
  } cases[] = {
      {"saved site gone", "GONE_01", 1, farm011},
      {"saved site listed", "FARM_01", 0, farm},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteSiteSelection(files, c.saved, "DX");
    window.SelectSavedSite();
    ExpectChosen(c.row, c.selection);
  }
}

// Not from the chosen site: the person types a new one and presses OK.
TEST_F(TwoFarmsTest, ASiteJustCreatedIsTheChosenSite) {
  WindowOpener opener{window, prompter};
  window.SetWindowOpener([&opener](NextWindow next) { opener.Open(next); });
  ClickRow(List(), 0);
  prompter.answers = {Answer::No};
  WhenDialogOpens<SiteWindow>([](SiteWindow& site) {
    FillNewSite(site);
    testing::Click(Child<QPushButton>(site, "cmdOK"));
  });
  Click(kCreateNew);
  ExpectChosen(2, "NORTH_07\r\nTVMKDATA\r\n 2\r\n");
  ASSERT_TRUE(window.Current().has_value());
  EXPECT_EQ(window.Current()->identification, "NORTH_07");
}

TEST_F(TwoFarmsTest, EnterOnTheFocusedDeleteButtonAsksFirstAndNoDeletesNothing) {
  ClickRow(List(), 0);
  const std::size_t asked = prompter.shown.size();
  prompter.answers = {Answer::No};
  PressKey(&window, Qt::Key_Return, Find(kDelete));
  EXPECT_EQ(prompter.shown.size(), asked + 1);
  EXPECT_TRUE(FarmListed());
}

TEST_F(TwoFarmsTest, DeleteAsksFirstAndOnlyYesDeletes) {
  ClickRow(List(), 0);
  const struct {
    const char* name;
    Answer answer;
    bool kept;
  } cases[] = {{"No", Answer::No, true}, {"Yes", Answer::Yes, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompter.answers = {c.answer};
    ExpectRefused(kDelete,
                  "Confirm Delete: Are you sure you want to delete the selected site file?");
    EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoDefaultNo);
    EXPECT_FALSE(Find(kDelete)->isChecked());
    EXPECT_EQ(FarmListed(), c.kept);
  }
}

TEST_F(TwoFarmsTest, DeleteRemovesTheSitesFilesFromEveryDirectoryAndNothingElse) {
  ClickRow(List(), 0);
  prompter.answers = {Answer::Yes};
  Click(kDelete);
  for (const char* dir : {"DIR_A", "DIR_B"}) {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Root() / dir)) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"FARM_011.BGF", "FARM_011_001.DAT", "FARM_01_notes.txt"}))
        << dir;
  }
}

TEST_F(TwoFarmsTest, AfterADeleteTheFirstSiteIsChosen) {
  ClickRow(List(), 0);
  prompter.answers = {Answer::Yes};
  Click(kDelete);
  ASSERT_EQ(List()->count(), 1);
  ExpectChosen(0, farm011);
}

// G_01 has a header without blocks; each case leaves its graph file as it says.
TEST_F(MainWindowTest, OperationsRefuseWithoutAUsableSite) {
  Start();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  SiteBuilder(files, "G_01").Header({{1, 1000, 100, 40, 20}}, 0);
  const struct {
    const char* name;
    const char* site;
    int graphBytes;  // no graph file when negative
    const char* button;
    const char* message;
  } cases[] = {
      {"EDIT, site gone", "GONE_01", -1, kEditSite, "Edit Site File: Select a site file to edit."},
      {"EDIT DATA, site gone", "GONE_01", -1, kEditData,
       "Site File Error: Select a site file to edit data"},
      {"VIEW GRAPH, site gone", "GONE_01", -1, kViewGraph,
       "Site File Error: Select a site file to graph data"},
      {"EDIT DATA, no blocks", "G_01", -1, kEditData, ": No data blocks exist for this site file."},
      {"VIEW GRAPH, no graph file", "G_01", -1, kViewGraph,
       "No Data Blocks: No data blocks exist for this site."},
      {"VIEW GRAPH, graph file short", "G_01", 499, kViewGraph,
       "Empty Graph File: Calibrated data does not exist for this site to graph."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteBytes(Root() / "Sitesel.dat", std::string(c.site) + "\r\nTVMKDATA\r\n");
    fs::remove(Root() / "TVMKDATA" / "G_01.BGF");
    if (c.graphBytes >= 0) {
      WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(std::size_t(c.graphBytes), ' '));
    }
    ExpectRefused(c.button, c.message);
    EXPECT_EQ(opened.count(), 0);
  }
}

TEST_F(MainWindowTest, EditMarksTheSelectionForTheSiteWindowEvenWhenItRefuses) {
  Start();
  WriteBytes(Root() / "Sitesel.dat", "GONE_01\r\nTVMKDATA\r\n");
  Click(kEditSite);
  EXPECT_EQ(SelectionFile(), "GONE_01\r\nTVMKDATA\r\n 2\r\n");
}

// G_01 has a block and a graph file of the least length that holds data.
class SiteWithDataTest : public MainWindowTest {
 protected:
  SiteWithDataTest() {
    Start();
    SiteBuilder(files, "G_01").Header({{1, 1000, 100, 40, 20}}, 1);
    WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(500, ' '));
    WriteBytes(Root() / "Sitesel.dat", "G_01\r\nTVMKDATA\r\n");
  }
};

TEST_F(SiteWithDataTest, ViewGraphAndEditDataOpenTheirWindowsWithoutAWord) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  const struct {
    const char* button;
    NextWindow window;
  } cases[] = {{kViewGraph, NextWindow::Graph}, {kEditData, NextWindow::Editor}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button);
    Click(c.button);
    EXPECT_EQ(prompter.shown.size(), 0u);
    EXPECT_FALSE(Find(c.button)->isChecked());
    ASSERT_FALSE(opened.isEmpty());
    EXPECT_EQ(opened.takeLast()[0].value<NextWindow>(), c.window);
  }
}

// The graph window's person added B_01 and chose it there.
TEST_F(SiteWithDataTest, TheListIsReadAgainWhenTheGraphWindowCloses) {
  window.SetWindowOpener([this](NextWindow) {
    SiteBuilder(files, "B_01").Header({}, 0);
    WriteSiteSelection(files, "B_01", "TVMKDATA");
  });
  Click(kViewGraph);
  EXPECT_EQ(List()->count(), 2);
  EXPECT_EQ(List()->currentRow(), 0);
}

// The sample as BIRCH_02 and an empty site; the windows open as the program opens them.
class OutlookOnTheMainWindowTest : public MainWindowTest {
 protected:
  OutlookOnTheMainWindowTest() {
    InstallSample(PELVARO_SAMPLE_DIR, files, "BIRCH_02");
    SiteHeader::CreateBlank(files, "EMPTY_05").WriteRecord(header::kDataDirectory, "TVMKDATA");
    Start();
    window.SetWindowOpener([this](NextWindow next) { opener.Open(next); });
  }
  // Acts in the outlook once every site is read, then closes it with Esc.
  void InOutlook(const std::function<void(OutlookWindow&, QTableWidget*)>& act) {
    WhenDialogOpens<OutlookWindow>([&](OutlookWindow& w) {
      QSignalSpy read(&w, &OutlookWindow::readingFinished);
      ASSERT_TRUE(!w.Reading() || read.wait(30000));
      act(w, Child<QTableWidget>(w, "OutlookTable"));
      PressKey(&w, Qt::Key_Escape, w.focusWidget());
    });
    Click(kOutlook);
  }
  // Another window chose ALDER_01 meanwhile; the graph of a site with data is closed at once.
  void DoubleClickSite(QTableWidget* table, const std::string& site) {
    WriteSiteSelection(files, "ALDER_01", "TVMKDATA");
    if (site != "EMPTY_05") {
      WhenDialogOpens<GraphWindow>([this](GraphWindow& graph) {
        graphs.push_back(graph.Model().Subtitle());
        graph.reject();
      });
    }
    const auto found = table->findItems(QString::fromStdString(site), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    DoubleClick(table->viewport(), table->visualItemRect(found.front()).center());
  }

  WindowOpener opener{window, prompter};
  std::vector<std::string> graphs;  // the subtitle of every graph opened
};

// The second time the row is already current.
TEST_F(OutlookOnTheMainWindowTest, ADoubleClickedRowIsChosenAsAClickInTheListChoosesIt) {
  InOutlook([this](OutlookWindow&, QTableWidget* table) {
    for (const std::string site : {"BIRCH_02", "BIRCH_02", "EMPTY_05"}) {
      SCOPED_TRACE(site);
      DoubleClickSite(table, site);
      EXPECT_EQ(SelectionFile(), site + "\r\nTVMKDATA\r\n 2\r\n");
      EXPECT_EQ(List()->currentItem()->text().toStdString(), site + ".key");
    }
  });
}

TEST_F(OutlookOnTheMainWindowTest, ADoubleClickedSiteWithDataShowsItsGraphOverTheOutlook) {
  InOutlook([this](OutlookWindow& w, QTableWidget* table) {
    for (const char* time : {"first", "again"}) {
      SCOPED_TRACE(time);
      const std::size_t opened = graphs.size();
      DoubleClickSite(table, "BIRCH_02");
      ASSERT_EQ(graphs.size(), opened + 1);
      EXPECT_EQ(graphs.back().substr(graphs.back().find("File ")), "File BIRCH_02");
      EXPECT_TRUE(w.isVisible());
    }
    EXPECT_EQ(prompter.shown.size(), 0u);
  });
}

TEST_F(OutlookOnTheMainWindowTest, ADoubleClickedSiteWithoutDataSaysWhyAndShowsNoGraph) {
  InOutlook([this](OutlookWindow& w, QTableWidget* table) {
    DoubleClickSite(table, "EMPTY_05");
    EXPECT_EQ(graphs.size(), 0u);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown.back().text, "No data blocks exist for this site.");
    EXPECT_TRUE(w.isVisible());
  });
}

TEST_F(OutlookOnTheMainWindowTest, EnterInTheOutlookOpensNothingAndChoosesNothing) {
  InOutlook([this](OutlookWindow& w, QTableWidget* table) {
    DoubleClickSite(table, "BIRCH_02");
    WriteSiteSelection(files, "ALDER_01", "TVMKDATA");
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) PressKey(&w, key, table);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(graphs.size(), 1u);
    EXPECT_EQ(prompter.shown.size(), 0u);
    EXPECT_EQ(SelectionFile(), "ALDER_01\r\nTVMKDATA\r\n");
    EXPECT_EQ(List()->currentItem()->text(), "BIRCH_02.key");
  });
}

TEST_F(OutlookOnTheMainWindowTest, SpaceOnARowShowsItsSitesGraph) {
  InOutlook([this](OutlookWindow& w, QTableWidget* table) {
    WhenDialogOpens<GraphWindow>([this](GraphWindow& graph) {
      graphs.push_back(graph.Model().Subtitle());
      graph.reject();
    });
    table->setCurrentItem(table->findItems("BIRCH_02", Qt::MatchExactly).front());
    PressKey(&w, Qt::Key_Space, table);
    ASSERT_EQ(graphs.size(), 1u);
    EXPECT_EQ(graphs.back().substr(graphs.back().find("File ")), "File BIRCH_02");
  });
}

TEST_F(OutlookOnTheMainWindowTest, EscClosesTheOutlookAndOutlookIsUncheckedAfter) {
  InOutlook([](OutlookWindow&, QTableWidget*) {});
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_FALSE(Find(kOutlook)->isChecked());
  EXPECT_EQ(graphs.size(), 0u);
}

// DOWNLOAD DATA, TRACE MODE and F12 against the in-process logger, FARM_01 chosen before.
class LoggerOnTheMainWindow : public MainWindowTest {
 protected:
  LoggerOnTheMainWindow() : MainWindowTest(true) {
    SiteBuilder site(files, "FARM_01");
    site.Header(LoggerSensors(2), 0);
    site.Logger(3001, 2);
    WritePortNumber(files, 1);
    WriteRestartRequest(files, "NO");
    WriteSiteSelection(files, "FARM_01", "TVMKDATA");
    Start();
    // Every line the status area shows, as it is shown.
    QObject::connect(Status(), &QTextEdit::textChanged, [this] {
      const QString text = Status()->toPlainText();
      if (!text.isEmpty()) seen.push_back(text.section('\n', -1).toStdString());
    });
  }
  QTextEdit* Status() { return Find<QTextEdit>(kStatus); }
  bool Stored() const { return fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"); }
  void ExpectWaitingForASite() {
    EXPECT_EQ(window.DownloadStage(), Stage::WaitingForSite);
    ExpectShowing({"Abort Download", true, false, false});
  }
  // DOWNLOAD DATA, then a click on the highlighted FARM_01; no restart, so the graph follows.
  void DownloadIntoTheHighlightedSite() {
    prompter.answers = {Answer::No};
    Click(kDownloadData);
    ClickRow(List(), 0);
  }
  // Two sensors chosen in the count dialog, then TRACE MODE.
  void StartTrace() {
    WhenDialogOpens<TraceSensorsDialog>([](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
      Act(d, "OKButton");
    });
    Click(kTraceMode);
    ASSERT_NE(window.Trace(), nullptr);
    ASSERT_TRUE(window.Trace()->Active());
  }
  // TRACE MODE with the count dialog checked, then left as it is (closed when still open).
  void InSensorCountDialog(const std::function<void(TraceSensorsDialog&)>& check) {
    WhenDialogOpens<TraceSensorsDialog>([check](TraceSensorsDialog& d) {
      check(d);
      if (d.isVisible()) d.reject();
    });
    Click(kTraceMode);
  }

  std::vector<std::string> seen;
};

// Enter in the list is no site click on the way.
TEST_F(LoggerOnTheMainWindow, EscStopOrTheTitleBarEndADownloadThatWaitsForItsSite) {
  for (const std::string& way :
       {std::string("Esc ") + kSiteList, std::string(kStop), std::string("title bar")}) {
    SCOPED_TRACE(way);
    Click(kDownloadData);
    ExpectWaitingForASite();
    PressKey(&window, Qt::Key_Return, List());
    Act(window, way);
    EXPECT_EQ(window.isVisible(), way != "title bar");
    if (way != "title bar") ExpectIdle();
    EXPECT_EQ(window.DownloadStage(), Stage::Idle);
    EXPECT_EQ(logger.Written(), "");
    EXPECT_FALSE(logger.IsOpen());
  }
}

// Without a mouse: the focus waits in the list, and Space on the highlighted row chooses it.
TEST_F(LoggerOnTheMainWindow, SpaceOnTheHighlightedSiteDownloadsIntoIt) {
  prompter.answers = {Answer::No};
  PressKey(&window, Qt::Key_Space, Find(kDownloadData));
  ASSERT_EQ(QApplication::focusWidget(), List());
  PressKey(&window, Qt::Key_Space);
  EXPECT_TRUE(Stored());
}

TEST_F(LoggerOnTheMainWindow, ADownloadAsksForItsSiteInTheStatusArea) {
  Click(kDownloadData);
  ExpectWaitingForASite();
  EXPECT_EQ(Status()->toPlainText(),
            "\n\n    Please select a site file from \n    the list opposite.");
}

// Only a file made by hand can carry such a name.
TEST_F(LoggerOnTheMainWindow, ADownloadRefusesASiteWhoseNameCannotBeAFileAndWaitsOn) {
  WriteBytes(files.HeaderFolder() / "BAD..SITE_02.key", std::string(222 * 64, ' '));
  window.RefreshSiteList();
  ASSERT_EQ(List()->item(0)->text(), "BAD..SITE_02.key");
  Click(kDownloadData);
  ClickRow(List(), 0);
  EXPECT_EQ(LastMessage(prompter),
            "Site File Error: The name \"BAD..SITE_02\" cannot be used as a file or folder name.");
  EXPECT_EQ(logger.Written(), "");
  EXPECT_FALSE(Stored());
  ExpectWaitingForASite();
}

// The person closes the window as soon as the data starts to come in.
TEST_F(LoggerOnTheMainWindow, ClosingTheWindowWhileTheDataIsStoredIsRefusedWithANotice) {
  std::optional<bool> closed;
  QObject::connect(Status(), &QTextEdit::textChanged, [&] {
    if (!closed && Status()->toPlainText().contains("Loading Data")) closed = window.close();
  });
  DownloadIntoTheHighlightedSite();
  EXPECT_EQ(closed, std::optional(false));
  EXPECT_TRUE(window.isVisible());
  auto* notice = Find<QMessageBox>("DownloadRunningNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_EQ(notice->text(),
            "The data is being downloaded from the logger and stored.\n"
            "Close the program when the download has ended.");
  EXPECT_TRUE(Stored());
}

TEST_F(LoggerOnTheMainWindow, AStoredDownloadAsksAboutRestartingAndOpensTheGraph) {
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  DownloadIntoTheHighlightedSite();
  EXPECT_TRUE(Stored());
  EXPECT_EQ(SiteHeader::Open(files, "FARM_01").ReadRecord(114), "1");
  EXPECT_EQ(prompter.shown.back().title, "RE-START DATA LOGGER?");
  EXPECT_TRUE(window.GraphAfterDownload());
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  ExpectIdle();
}

TEST_F(LoggerOnTheMainWindow, ACancelledSensorCountStartsNoTrace) {
  for (const std::string way : {"CancelButton", "Esc ComboSensors"}) {
    SCOPED_TRACE(way);
    InSensorCountDialog([way](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
      Act(d, way);
      EXPECT_EQ(d.result(), QDialog::Rejected);
      EXPECT_EQ(d.SensorCount(), 0);
    });
    EXPECT_EQ(logger.Written(), "");
    EXPECT_FALSE(logger.IsOpen());
    ExpectIdle();
  }
}

TEST_F(LoggerOnTheMainWindow, F12WritesTheSerialNumberAfterTheAccessCode) {
  prompter.inputs = {std::string("58207"), std::string("1000")};
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(engine.SerialNumber(), 1000);
  EXPECT_EQ(prompter.shown.back().text, "Data logger serial number is updated successfully.");
}

TEST_F(LoggerOnTheMainWindow, F12AsksTheAccessCodeOnlyOnce) {
  prompter.inputs = {std::string("58207"), std::string("1000")};
  PressKey(&window, Qt::Key_F12);
  prompter.inputs = {std::string("4321")};
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(engine.SerialNumber(), 4321);
}

TEST_F(LoggerOnTheMainWindow, TheSensorCountDialogSaysWhatATraceEnds) {
  InSensorCountDialog([](TraceSensorsDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Probe Trace Mode");
    EXPECT_EQ(Child<QLabel>(d, "LabelInfo")->text(),
              "Data logging will be terminated if the interfaced unit \nis recording data.");
  });
}

TEST_F(LoggerOnTheMainWindow, TheSensorCountOffersOneToFiveWithFiveChosen) {
  InSensorCountDialog([](TraceSensorsDialog& d) {
    auto* list = Child<QComboBox>(d, "ComboSensors");
    EXPECT_EQ(list->count(), 5);
    EXPECT_EQ(list->itemText(0), " 1");
    EXPECT_EQ(list->currentText(), " 5");
  });
}

TEST_F(LoggerOnTheMainWindow, TheSensorCountFollowsDigitsAndArrowsOnly) {
  const struct {
    const char* name;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> keys;
    const char* count;
  } cases[] = {
      {"a letter, a 9 and Home", {{Qt::Key_A, {}}, {Qt::Key_9, {}}, {Qt::Key_Home, {}}}, " 5"},
      {"a keypad digit and Down", {{Qt::Key_1, Qt::KeypadModifier}, {Qt::Key_Down, {}}}, " 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InSensorCountDialog([&c](TraceSensorsDialog& d) {
      auto* list = Child<QComboBox>(d, "ComboSensors");
      for (const auto& [key, modifiers] : c.keys) QTest::keyClick(list, key, modifiers);
      EXPECT_EQ(list->currentText(), c.count);
    });
  }
}

// A stray Enter on the list does not; Enter on the focused OK does.
TEST_F(LoggerOnTheMainWindow, OnlyADeliberateOkStartsTheTrace) {
  InSensorCountDialog([](TraceSensorsDialog& d) {
    auto* list = Child<QComboBox>(d, "ComboSensors");
    QTest::keyClick(list, Qt::Key_2);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(list, key);
    EXPECT_TRUE(d.isVisible());
    PressKey(&d, Qt::Key_Return, Child<QPushButton>(d, "OKButton"));
  });
  ASSERT_NE(window.Trace(), nullptr);
  EXPECT_TRUE(window.Trace()->Active());
  EXPECT_EQ(logger.Written().substr(logger.Written().size() - 3), std::string("\0T\x02", 3));
}

TEST_F(LoggerOnTheMainWindow, ATraceShowsTheStatusAreaAndItsStopButtonInPlaceOfTheMenu) {
  StartTrace();
  ExpectShowing({"Exit Trace Mode", true, false, false});
}

// Three scans wait when the one notification comes.
TEST_F(LoggerOnTheMainWindow, ScansThatArriveTogetherAllBecomeRows) {
  StartTrace();
  clock.Advance(3.05);
  logger.Pump();
  for (const char* row :
       {" Scan   Sensor 1     Sensor 2     \n", "\n  01 ", "\n  02 ", "\n  03 "}) {
    EXPECT_TRUE(Status()->toPlainText().contains(row)) << row;
  }
}

TEST_F(LoggerOnTheMainWindow, F12WhileATraceOwnsThePortAsksNothing) {
  StartTrace();
  const std::size_t asked = prompter.shown.size();
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(prompter.shown.size(), asked);
}

TEST_F(LoggerOnTheMainWindow, EscEndsATrace) {
  StartTrace();
  PressKey(&window, Qt::Key_Escape);
  EXPECT_EQ(logger.Written().back(), '\0');
  EXPECT_EQ(seen.back(), "    Trace mode terminated.");
  EXPECT_FALSE(logger.IsOpen());
  ExpectIdle();
}

TEST_F(LoggerOnTheMainWindow, ClosingTheWindowDuringATraceStopsTheLoggerFirst) {
  StartTrace();
  for (int i = 0; i < 5; ++i) {
    clock.Advance(0.5);
    logger.Pump();
  }
  engine.TakeLog();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(engine.TakeLog(), std::vector<std::string>{"trace stopped by host"});
  EXPECT_FALSE(logger.IsOpen());
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace pelvaro::testing
