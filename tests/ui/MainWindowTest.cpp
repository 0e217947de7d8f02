#include "ui/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QSignalSpy>

#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/SampleSites.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/graph/GraphWindow.h"
#include "ui/operations/TraceDialog.h"
#include "ui/outlook/OutlookWindow.h"
#include "ui/shell/WindowOpener.h"

namespace pelvaro::testing {
namespace {

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
  QListWidget* List() { return Find<QListWidget>("File1"); }
  // The highlighted row, then what the selection file holds.
  std::string Chosen() {
    return std::to_string(List()->currentRow()) + " " + ReadBytes(Root() / "Sitesel.dat");
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
  // The mode, the stop button's caption if it shows, then which of status, progress, menu and
  // OUTLOOK show.
  std::string Shown() {
    std::string shown = window.Mode().toStdString() + "|";
    if (Find("Command2")->isVisible()) shown += Find("Command2")->text().toStdString();
    for (const char* name : {"Picture1", "ProgressBar1", "FrameMain", "OptionOutlook"}) {
      if (Find<QWidget>(name)->isVisible()) shown += std::string("|") + name;
    }
    return shown;
  }
  void ExpectIdle() { EXPECT_EQ(Shown(), "||FrameMain|OptionOutlook"); }

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

TEST_F(MainWindowTest, CaptionsAndPortsShowKeysStartNothingAndAllShowsAtEverySize) {
  for (const char* name : {"NORTH_01.key", "SOUTH_02.key", "WEST_03.key", "notes.txt"}) {
    WriteBytes(Root() / "TVMKHEADER" / name, "");
  }
  Start();
  for (const char* frame : {"FrameSite", "frmSelPort"}) Find<QGroupBox>(frame);
  // OUTLOOK ends the Data Analysis group, under VIEW GRAPH.
  EXPECT_EQ(Find("OptionOutlook")->parentWidget(), Find<QGroupBox>("FrameData"));
  EXPECT_GT(Find("OptionOutlook")->y(), Find("Option6")->y());
  EXPECT_EQ(QStringList({window.windowTitle(), Find<QLabel>("LabelAppName")->text(),
                         Find<QLabel>("Label2")->text(), Find<QGroupBox>("FrameLogger")->title(),
                         Find("Option3")->text(), Find("OptionOutlook")->text(),
                         Find("Command1")->text()})
                .join('|'),
            "Velmora Pelvaro Soil Moisture V3.1 |Velmora Pelvaro Soil Moisture|V3.1 |"
            "Logger Operations|DOWNLOAD DATA|OUTLOOK|Exit");
  ASSERT_EQ(List()->count(), 3);
  // Nothing remembered, nothing chosen yet.
  ASSERT_EQ(List()->item(0)->text() + " " + QString::number(List()->currentRow()),
            "NORTH_01.key -1");
  ExpectIdle();

  QSignalSpy opened(&window, &MainWindow::windowRequested);
  QList<QWidget*> focused{List()};
  for (const char* name : {"Option1", "Option7", "OptionDelete", "Option10", "Option3", "Option12",
                           "Option16", "Option6", "OptionOutlook", "Command1"}) {
    focused.append(Find(name));
  }
  for (QWidget* w : focused) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
      PressKey(&window, key, w);
    EXPECT_TRUE(window.isVisible()) << w->objectName().toStdString();
  }
  // Coming into focus the list shows a current row, but nobody clicked a site.
  EXPECT_EQ(std::tuple(opened.count(), prompter.shown.size(), port.opened.size(),
                       fs::exists(Root() / "TVMKHEADER" / "NORTH_01.key"),
                       fs::exists(Root() / "Sitesel.dat")),
            std::tuple(0, 0u, 0u, true, false));
  ExpectIdle();

  auto* com1 = Find<QRadioButton>("optCom1");
  auto* com2 = Find<QRadioButton>("optCom2");
  auto* usb = Find<QRadioButton>("optUSB");
  // A radio button takes clicks on its circle and caption.
  const auto click = [](QRadioButton* b) { testing::Click(b, {8, 8}); };
  EXPECT_FALSE(com1->isChecked() || com2->isChecked() || usb->isChecked());
  click(com2);
  EXPECT_TRUE(com2->isChecked());
  EXPECT_EQ(port.opened, std::vector<int>{2});
  EXPECT_EQ(ReadBytes(Root() / "DEF.INS"), " 2\r\n");
  port.openResults = {{PortError::InUse, "busy"}};
  click(com1);
  EXPECT_FALSE(com1->isChecked() || com2->isChecked() || usb->isChecked());
  EXPECT_EQ(prompter.shown.back().title, "Communications Port Error");
  // No cable found and the list cancelled: nothing selected.
  click(usb);
  EXPECT_EQ(dialogs.portLists, 1);
  EXPECT_FALSE(usb->isChecked());
  const QSize option = Find("Option3")->size();
  const qreal points = Find("Option3")->font().pointSizeF();
  AtEverySize(window, [&](Size size) {
    if (size == kLarge) {
      EXPECT_GT(Find("Option3")->width(), option.width() * 3 / 2);
      EXPECT_GT(Find("Option3")->height(), option.height());
      EXPECT_GT(Find("Option3")->font().pointSizeF(), points * 3 / 2);
      EXPECT_GT(List()->width(), 500);
    } else if (size == kSmallest) {
      EXPECT_EQ(Find("Option3")->font().pointSizeF(), points);
    }
  });
  Click("Command1");
  EXPECT_FALSE(window.isVisible());
}

// FARM_01 keeps its blocks in two directories, beside those of FARM_011 whose name starts alike.
TEST_F(MainWindowTest, AClickOnAnyRowRemembersItsSiteAndDeleteRemovesItFromEveryDirectory) {
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
  // The remembered site is gone: the last row is highlighted, the selection file left alone.
  WriteSiteSelection(files, "GONE_01", "TVMKDATA");
  const std::string gone = ReadBytes(Root() / "Sitesel.dat");
  Start();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  EXPECT_EQ(Chosen(), "1 " + gone);
  ClickRow(List(), 1);
  EXPECT_EQ(Chosen(), "1 FARM_011\r\nTVMKDATA\r\n 2\r\n");

  ClickRow(List(), 0);
  const std::string farm = "FARM_01\r\nDIR_A\r\n 2\r\n";
  EXPECT_EQ(Chosen(), "0 " + farm);
  ASSERT_TRUE(window.Current().has_value());
  EXPECT_EQ(std::tuple(window.Current()->siteNumber, window.Current()->serialNumber,
                       window.Current()->sensorsOn),
            std::tuple(1, 3001.0f, 1));
  // Another window changed the selection; the current row clicked again is chosen for EDIT.
  WriteSiteSelection(files, "FARM_011", "TVMKDATA");
  ClickRow(List(), 0);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), farm);
  Click("Option7");
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::SiteWindow);
  EXPECT_EQ(ReadSiteSelection(files).identification, "FARM_01");

  // The program re-selecting the remembered site (after another window) is no click.
  WriteBytes(Root() / "Sitesel.dat", "farm_011\r\nTVMKDATA\r\n");
  window.ReselectRememberedSite();
  EXPECT_EQ(Chosen(), "1 farm_011\r\nTVMKDATA\r\n");
  EXPECT_EQ(window.Current()->identification, "FARM_01");
  // Highlighting the saved site walks the list as clicks up to it, or to the last row.
  for (const auto& [saved, chosen] :
       {std::pair<const char*, std::string>{"GONE_01", "1 FARM_011\r\nTVMKDATA\r\n 2\r\n"},
        {"FARM_01", "0 " + farm}}) {
    WriteSiteSelection(files, saved, "DX");
    window.HighLightFile();
    EXPECT_EQ(Chosen(), chosen);
  }

  // Enter on the focused DELETE button deletes nothing and asks nothing.
  const std::size_t asked = prompter.shown.size();
  PressKey(&window, Qt::Key_Return, Find("OptionDelete"));
  EXPECT_EQ(prompter.shown.size(), asked);
  // Asked, No keeps the site and Yes deletes it.
  for (const Answer answer : {Answer::No, Answer::Yes}) {
    prompter.answers = {answer};
    ExpectRefused("OptionDelete",
                  "Confirm Delete: Are you sure you want to delete the selected site file?");
    EXPECT_EQ(std::tuple(prompter.shown.back().buttons, Find("OptionDelete")->isChecked(),
                         fs::exists(Root() / "TVMKHEADER" / "FARM_01.key")),
              std::tuple(Buttons::YesNoDefaultNo, false, answer == Answer::No));
  }
  for (const char* dir : {"DIR_A", "DIR_B"}) {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Root() / dir)) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"FARM_011.BGF", "FARM_011_001.DAT", "FARM_01_notes.txt"}))
        << dir;
  }
  ASSERT_EQ(List()->count(), 1);
  EXPECT_EQ(Chosen(), "0 FARM_011\r\nTVMKDATA\r\n 2\r\n");
}

TEST_F(MainWindowTest, EditDataAndViewGraphCheckBeforeOpeningAndTheListIsReadAfter) {
  Start();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  WriteBytes(Root() / "Sitesel.dat", "GONE_01\r\nTVMKDATA\r\n");
  ExpectRefused("Option7", "Edit Site File: Select a site file to edit.");
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "GONE_01\r\nTVMKDATA\r\n 2\r\n");
  ExpectRefused("Option16", "Site File Error: Select a site file to edit data");
  ExpectRefused("Option6", "Site File Error: Select a site file to graph data");

  SiteBuilder site(files, "G_01");
  site.Header({{1, 1000, 100, 40, 20}}, 0);
  WriteBytes(Root() / "Sitesel.dat", "G_01\r\nTVMKDATA\r\n");
  ExpectRefused("Option16", ": No data blocks exist for this site file.");
  ExpectRefused("Option6", "No Data Blocks: No data blocks exist for this site.");
  WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(499, ' '));
  ExpectRefused("Option6",
                "Empty Graph File: Calibrated data does not exist for this site to graph.");
  EXPECT_EQ(opened.count(), 0);

  WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(500, ' '));
  site.Header({{1, 1000, 100, 40, 20}}, 1);
  const std::size_t shown = prompter.shown.size();
  Click("Option6");
  Click("Option16");
  EXPECT_EQ(std::tuple(prompter.shown.size(), Find("Option6")->isChecked(), window.Mode()),
            std::tuple(shown, false, "Going"));
  ASSERT_EQ(opened.count(), 2);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  EXPECT_EQ(opened[1][0].value<NextWindow>(), NextWindow::Editor);
  // The mouse moved over the window after the other one: the list is read again.
  SiteBuilder(files, "B_01").Header({}, 0);
  WriteSiteSelection(files, "B_01", "TVMKDATA");
  QMouseEvent move(QEvent::MouseMove, QPointF(6, 6), QPointF(6, 6), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&window, &move);
  EXPECT_EQ(std::tuple(List()->count(), List()->currentRow(), window.Mode()), std::tuple(2, 0, ""));
}

TEST_F(MainWindowTest, AnOutlookRowDoubleClickedIsChosenAsTheListChoosesAndOpensItsGraph) {
  InstallSample(PELVARO_SAMPLE_DIR, files, "BIRCH_02");
  SiteHeader::CreateBlank(files, "EMPTY_05").WriteRecord(header::kDataDirectory, "TVMKDATA");
  Start();
  WindowOpener opener(window, prompter);
  window.SetWindowOpener([&opener](NextWindow next) { opener.Open(next); });
  std::vector<std::string> graphs;  // the subtitle of every graph opened

  WhenDialogOpens<OutlookWindow>([&](OutlookWindow& w) {
    QSignalSpy read(&w, &OutlookWindow::readingFinished);
    ASSERT_TRUE(!w.Reading() || read.wait(30000));
    auto* table = Child<QTableWidget>(w, "OutlookTable");
    // The second time the row is already current; the empty site says why instead.
    for (const std::string site : {"BIRCH_02", "BIRCH_02", "EMPTY_05"}) {
      SCOPED_TRACE(site);
      WriteSiteSelection(files, "ALDER_01", "TVMKDATA");  // another window chose meanwhile
      const std::size_t messages = prompter.shown.size();
      const std::size_t opened = graphs.size();
      const bool empty = site == "EMPTY_05";
      if (!empty) {
        WhenDialogOpens<GraphWindow>([&](GraphWindow& graph) {
          graphs.push_back(graph.Model().Subtitle());
          graph.reject();
        });
      }
      const auto found = table->findItems(QString::fromStdString(site), Qt::MatchExactly);
      ASSERT_EQ(found.size(), 1);
      DoubleClick(table->viewport(), table->visualItemRect(found.front()).center());
      EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat") + List()->currentItem()->text().toStdString(),
                site + "\r\nTVMKDATA\r\n 2\r\n" + site + ".key");
      ASSERT_EQ(std::tuple(graphs.size(), prompter.shown.size(), w.isVisible()),
                std::tuple(opened + !empty, messages + empty, true));
      EXPECT_EQ(
          empty ? prompter.shown.back().text : graphs.back().substr(graphs.back().find("File ")),
          empty ? "No data blocks exist for this site." : "File " + site);
    }
    // Enter opens nothing and chooses nothing; Esc closes.
    const std::string chosen = Chosen();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) PressKey(&w, key, table);
    EXPECT_EQ(std::tuple(w.isVisible(), graphs.size(), Chosen()), std::tuple(true, 2u, chosen));
    PressKey(&w, Qt::Key_Escape, w.focusWidget());
  });
  Click("OptionOutlook");
  EXPECT_EQ(std::tuple(QApplication::activeModalWidget() == nullptr, graphs.size(),
                       Find("OptionOutlook")->isChecked()),
            std::tuple(true, 2u, false));
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
  QTextEdit* Status() { return Find<QTextEdit>("Picture1"); }
  bool Stored() const { return fs::exists(files.Root() / "TVMKDATA" / "FARM_01_001.DAT"); }
  void ExpectWaitingForASite() { EXPECT_EQ(Shown(), "DOWNLOAD|Abort Download|Picture1"); }

  std::vector<std::string> seen;
};

// Esc, Abort and the title bar before a site is chosen end the download unstarted; a site whose
// name cannot be a file is refused and the download waits for another.
TEST_F(LoggerOnTheMainWindow, ADownloadWaitsForAUsableSiteAndRefusesToBeClosedWhileItRuns) {
  for (const std::string way : {"Esc File1", "Command2", "title bar"}) {
    SCOPED_TRACE(way);
    Click("Option3");
    ExpectWaitingForASite();
    PressKey(&window, Qt::Key_Return, List());  // Enter is no site click
    Act(window, way);
    EXPECT_EQ(window.isVisible(), way != "title bar");
    if (way != "title bar") ExpectIdle();
  }
  EXPECT_EQ(std::tuple(window.Mode(), logger.IsOpen()), std::tuple("", false));
  window.show();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  // Only a file made by hand can carry such a name.
  WriteBytes(files.HeaderFolder() / "BAD..SITE_02.key", std::string(222 * 64, ' '));
  window.RefreshSiteList();
  ASSERT_EQ(List()->item(0)->text(), "BAD..SITE_02.key");
  ClickRow(List(), 1);  // FARM_01, an ordinary click after the title bar
  Click("Option3");
  ExpectWaitingForASite();
  EXPECT_EQ(Status()->toPlainText(),
            "\n\n    Please select a site file from \n    the list opposite.");
  ClickRow(List(), 0);
  EXPECT_EQ(LastMessage(prompter),
            "Site File Error: The name \"BAD..SITE_02\" cannot be used as a file or folder name.");
  EXPECT_EQ(std::tuple(logger.Written(), Stored()), std::tuple("", false));
  ExpectWaitingForASite();

  std::optional<bool> closed;
  // The person closes the window as soon as the data starts to come in.
  QObject::connect(Status(), &QTextEdit::textChanged, [&] {
    if (!closed && Status()->toPlainText().contains("Loading Data")) closed = window.close();
  });
  prompter.answers = {Answer::No};  // no restart: the graph follows
  ClickRow(List(), 1);              // the highlighted site, clicked again
  EXPECT_EQ(std::tuple(closed, window.isVisible()), std::tuple(std::optional(false), true));
  auto* notice = Find<QMessageBox>("DownloadRunningNotice");
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  EXPECT_EQ(notice->text(),
            "The data is being downloaded from the logger and stored.\n"
            "Close the program when the download has ended.");
  EXPECT_EQ(std::tuple(Stored(), SiteHeader::Open(files, "FARM_01").ReadRecord(114),
                       prompter.shown.back().title, window.GraphAfterDownload()),
            std::tuple(true, "1", "RE-START DATA LOGGER?", true));
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  ExpectIdle();
  // A later click is an ordinary site click again.
  const std::size_t shown = prompter.shown.size();
  ClickRow(List(), 1);
  EXPECT_EQ(prompter.shown.size(), shown);
  notice->close();
  EXPECT_TRUE(window.close());
}

// The sensor count: digits choose it, a count cancelled is none, and only a deliberate OK (never
// a stray Enter) starts a trace; Esc ends a trace, and so does closing.
TEST_F(LoggerOnTheMainWindow, F12WritesTheSerialNumberAndTraceRowsKeepUpUntilEscOrClose) {
  for (const std::string way : {"CancelButton", "Esc ComboSensors"}) {
    SCOPED_TRACE(way);
    WhenDialogOpens<TraceSensorsDialog>([way](TraceSensorsDialog& d) {
      QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
      Act(d, way);
      EXPECT_EQ(d.result(), QDialog::Rejected);
      EXPECT_EQ(d.SensorCount(), 0);
    });
    Click("Option12");
    EXPECT_EQ(logger.Written(), "");
    EXPECT_FALSE(logger.IsOpen());
    ExpectIdle();
  }
  prompter.inputs = {std::string("58207"), std::string("1000")};
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(engine.SerialNumber(), 1000);
  EXPECT_EQ(prompter.shown.back().text, "Data logger serial number is updated successfully.");
  prompter.inputs = {std::string("4321")};
  PressKey(&window, Qt::Key_F12);  // the code is not asked twice
  EXPECT_EQ(engine.SerialNumber(), 4321);
  WhenDialogOpens<TraceSensorsDialog>([](TraceSensorsDialog& d) {
    EXPECT_EQ(d.windowTitle(), "Probe Trace Mode");
    EXPECT_EQ(Child<QLabel>(d, "LabelInfo")->text(),
              "Data logging will be terminated if the interfaced unit \nis recording data.");
    auto* list = Child<QComboBox>(d, "ComboSensors");
    // Five counts, the highest chosen.
    EXPECT_EQ(QString::number(list->count()) + list->itemText(0) + list->currentText(), "5 1 5");
    for (const Qt::Key key : {Qt::Key_A, Qt::Key_9, Qt::Key_Home}) QTest::keyClick(list, key);
    EXPECT_EQ(list->currentText(), " 5");
    QTest::keyClick(list, Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentText(), " 2");
    auto* ok = Child<QPushButton>(d, "OKButton");
    for (QWidget* focus : {static_cast<QWidget*>(list), static_cast<QWidget*>(ok)}) {
      for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) QTest::keyClick(focus, key);
    }
    EXPECT_TRUE(d.isVisible());
    QTest::keyClick(ok, Qt::Key_Space);
  });
  Click("Option12");
  ASSERT_NE(window.Trace(), nullptr);
  EXPECT_TRUE(window.Trace()->Active());
  EXPECT_EQ(logger.Written().substr(logger.Written().size() - 3), std::string("\0T\x02", 3));
  EXPECT_EQ(Shown().substr(Shown().find('|')), "|Exit Trace Mode|Picture1");
  // Three scans wait when the one notification comes: all three become rows.
  clock.Advance(3.05);
  logger.Pump();
  for (const char* row :
       {" Scan   Sensor 1     Sensor 2     \n", "\n  01 ", "\n  02 ", "\n  03 "}) {
    EXPECT_TRUE(Status()->toPlainText().contains(row)) << row;
  }
  // F12 while the trace owns the port asks for nothing.
  const std::size_t asked = prompter.shown.size();
  PressKey(&window, Qt::Key_F12);
  EXPECT_EQ(prompter.shown.size(), asked);

  PressKey(&window, Qt::Key_Escape);
  EXPECT_EQ(std::tuple(logger.Written().back(), seen.back(), logger.IsOpen()),
            std::tuple('\0', "    Trace mode terminated.", false));
  ExpectIdle();
  // Closing the window during a trace stops the logger first.
  WhenDialogOpens<TraceSensorsDialog>([](TraceSensorsDialog& d) {
    QTest::keyClick(Child<QComboBox>(d, "ComboSensors"), Qt::Key_2);
    Act(d, "OKButton");
  });
  Click("Option12");
  for (int i = 0; i < 5; ++i) {
    clock.Advance(0.5);
    logger.Pump();
  }
  engine.TakeLog();
  // Braced, so the window closes before the log is read.
  EXPECT_EQ((std::tuple{window.close(), engine.TakeLog(), logger.IsOpen(), window.isVisible()}),
            std::tuple(true, std::vector<std::string>{"trace stopped by host"}, false, false));
}

}  // namespace
}  // namespace pelvaro::testing
