#include "ui/shell/MainWindow.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QSignalSpy>
#include <QThread>

#include "core/storage/StateFiles.h"
#include "support/SampleSites.h"
#include "support/ScriptedPort.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/graph/GraphWindow.h"
#include "ui/link/LinkWindows.h"
#include "ui/outlook/OutlookWindow.h"
#include "ui/shell/WindowOpener.h"

namespace pelvaro::testing {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : port(clock), window({prompter, port, clock, finder, dialogs}), files(Root()) {
    env.home = tmp.Path().string();
    env.currentFolder = tmp.Path() / "cwd";
    qRegisterMetaType<pelvaro::NextWindow>();
  }
  fs::path Root() const { return tmp.Path() / "Pelvaro Data"; }
  template <typename T = QPushButton>
  T* Find(const char* name) {
    return Child<T>(window, name);
  }
  QListWidget* List() { return Find<QListWidget>("File1"); }
  void Click(const char* name) { testing::Click(Find(name)); }
  // A window refused: its button says why.
  void ExpectRefused(const char* button, const char* text, const char* title) {
    Click(button);
    EXPECT_EQ(LastText(), text) << button;
    EXPECT_EQ(LastTitle(), title) << button;
  }
  void Start() {
    window.Load(env);
    window.show();
  }
  std::string LastText() const { return prompter.shown.empty() ? "" : prompter.shown.back().text; }
  std::string LastTitle() const {
    return prompter.shown.empty() ? "" : prompter.shown.back().title;
  }

  TempRoot tmp;
  StartupEnvironment env;
  ScriptedPrompter prompter;
  VirtualClock clock;
  ScriptedPort port;
  ScriptedDialogs dialogs;
  FixedFinder finder;
  MainWindow window;
  Files files;
};

TEST_F(MainWindowTest, LoadShowsCaptionsAndTheRememberedSiteAndThePortFrameWhatTheTestLeft) {
  for (const char* name : {"NORTH_01.key", "SOUTH_02.key", "WEST_03.key", "notes.txt"}) {
    WriteBytes(Root() / "TVMKHEADER" / name, "");
  }
  const std::string remembered = "south_02\r\nTVMKDATA\r\n 2\r\n";
  WriteBytes(Root() / "Sitesel.dat", remembered);
  window.Load(env);

  EXPECT_EQ(window.windowTitle(), "Velmora Pelvaro Soil Moisture V3.1 ");
  EXPECT_EQ(Find<QLabel>("LabelAppName")->text(), "Velmora Pelvaro Soil Moisture");
  EXPECT_EQ(Find<QLabel>("Label2")->text(), "V3.1 ");
  Find<QGroupBox>("FrameSite");
  Find<QGroupBox>("frmSelPort");
  EXPECT_EQ(Find<QGroupBox>("FrameLogger")->title(), "Logger Operations");
  EXPECT_EQ(Find("Option3")->text(), "DOWNLOAD DATA");
  ASSERT_EQ(List()->count(), 3);
  EXPECT_EQ(List()->item(0)->text(), "NORTH_01.key");
  EXPECT_EQ(List()->currentRow(), 1);
  EXPECT_FALSE(Find<QTextEdit>("Picture1")->isVisibleTo(&window));
  EXPECT_FALSE(Find("Command2")->isVisibleTo(&window));
  // Selecting the remembered site is not a click: the selection file stays as it was.
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), remembered);
  auto* com1 = Find<QRadioButton>("optCom1");
  auto* com2 = Find<QRadioButton>("optCom2");
  auto* usb = Find<QRadioButton>("optUSB");
  // A radio button takes clicks on its circle and caption.
  const auto click = [](QRadioButton* b) {
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
  };
  EXPECT_FALSE(com1->isChecked() || com2->isChecked() || usb->isChecked());
  click(com2);
  EXPECT_TRUE(com2->isChecked());
  EXPECT_EQ(port.opened, std::vector<int>{2});
  EXPECT_EQ(ReadBytes(Root() / "DEF.INS"), " 2\r\n");
  port.openResults = {{PortError::InUse, "busy"}};
  click(com1);
  EXPECT_FALSE(com1->isChecked() || com2->isChecked() || usb->isChecked());
  EXPECT_EQ(LastTitle(), "Communications Port Error");
  // No cable found and the list cancelled: nothing selected.
  click(usb);
  EXPECT_EQ(dialogs.portLists, 1);
  EXPECT_FALSE(usb->isChecked());
}

TEST_F(MainWindowTest, AClickOnAnyRowRemembersItsSiteTheHighlightedOneIncluded) {
  SiteBuilder a(files, "ALPHA_07", "FIELDS");
  a.Header({{3, 4000, 120, 100, 60}}, 0);
  {
    auto h = SiteHeader::Open(files, "ALPHA_07");
    h.WriteRecord(header::kSerialNumber, "3001");
    h.WriteRecord(header::kSensorsOn, " 1");
  }
  SiteBuilder b(files, "BETA_02");
  b.Header({}, 0);
  // The remembered site is gone: the last row is highlighted, the selection file left alone.
  WriteSiteSelection(files, "GONE_01", "TVMKDATA");
  Start();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  ASSERT_EQ(List()->currentRow(), 1);
  ClickRow(List(), 1);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "BETA_02\r\nTVMKDATA\r\n 2\r\n");

  ClickRow(List(), 0);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "ALPHA_07\r\nFIELDS\r\n 2\r\n");
  ASSERT_TRUE(window.Current().has_value());
  EXPECT_EQ(window.Current()->siteNumber, 7);
  EXPECT_EQ(window.Current()->serialNumber, 3001.0f);
  EXPECT_EQ(window.Current()->sensorsOn, 1);
  // Another window changed the selection; the current row clicked again is chosen for EDIT.
  WriteSiteSelection(files, "BETA_02", "TVMKDATA");
  ClickRow(List(), 0);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "ALPHA_07\r\nFIELDS\r\n 2\r\n");
  Click("Option7");
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::SiteWindow);
  EXPECT_EQ(ReadSiteSelection(files).identification, "ALPHA_07");

  // The program re-selecting the remembered site (after another window) is no click.
  WriteBytes(Root() / "Sitesel.dat", "BETA_02\r\nTVMKDATA\r\n");
  window.ReselectRememberedSite();
  EXPECT_EQ(List()->currentRow(), 1);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "BETA_02\r\nTVMKDATA\r\n");
  EXPECT_EQ(window.Current()->identification, "ALPHA_07");
  // Highlighting the saved site walks the list as clicks up to it, or to the last row.
  WriteSiteSelection(files, "ALPHA_07", "TVMKDATA");
  window.HighLightFile();
  EXPECT_EQ(List()->currentRow(), 0);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "ALPHA_07\r\nFIELDS\r\n 2\r\n");
  WriteSiteSelection(files, "GONE_01", "DX");
  window.HighLightFile();
  EXPECT_EQ(List()->currentRow(), 1);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "BETA_02\r\nTVMKDATA\r\n 2\r\n");
}

TEST_F(MainWindowTest, DeleteRemovesTheSiteFromEveryDirectoryButSparesLookAlikes) {
  SiteBuilder site(files, "FARM_01", "DIR_A");
  site.Header({{1, 1000, 100, 40, 20}}, 2);
  {
    auto h = SiteHeader::Open(files, "FARM_01");
    h.WriteRecord(26, "DIR_A");
    h.WriteRecord(27, "DIR_B");
  }
  for (const char* dir : {"DIR_A", "DIR_B"}) {
    for (const char* name :
         {"FARM_01_001.DAT", "FARM_01_001.KEY", "FARM_01_002.DAT", "FARM_01.BGF", "FARM_01.Pct",
          "FARM_011_001.DAT", "FARM_011.BGF", "FARM_01_notes.txt"}) {
      WriteBytes(Root() / dir / name, "x");
    }
  }
  SiteBuilder other(files, "FARM_011");
  other.Header({}, 0);
  Start();
  ClickRow(List(), 0);
  // Enter on the focused DELETE button deletes nothing and asks nothing.
  PressKey(&window, Qt::Key_Return, Find("OptionDelete"));
  EXPECT_TRUE(prompter.shown.empty());
  prompter.answers = {Answer::No};
  Click("OptionDelete");
  EXPECT_EQ(LastText(), "Are you sure you want to delete the selected site file?");
  EXPECT_EQ(LastTitle(), "Confirm Delete");
  EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoDefaultNo);
  EXPECT_TRUE(fs::exists(Root() / "TVMKHEADER" / "FARM_01.key"));

  prompter.answers = {Answer::Yes};
  Click("OptionDelete");
  EXPECT_FALSE(Find("OptionDelete")->isChecked());
  EXPECT_FALSE(fs::exists(Root() / "TVMKHEADER" / "FARM_01.key"));
  for (const char* dir : {"DIR_A", "DIR_B"}) {
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(Root() / dir)) left.push_back(e.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"FARM_011.BGF", "FARM_011_001.DAT", "FARM_01_notes.txt"}))
        << dir;
  }
  ASSERT_EQ(List()->count(), 1);
  EXPECT_EQ(List()->currentRow(), 0);
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "FARM_011\r\nTVMKDATA\r\n 2\r\n");
}

TEST_F(MainWindowTest, EditDataAndViewGraphCheckBeforeOpeningAndTheListIsReadAfter) {
  Start();
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  WriteBytes(Root() / "Sitesel.dat", "GONE_01\r\nTVMKDATA\r\n");
  ExpectRefused("Option7", "Select a site file to edit.", "Edit Site File");
  EXPECT_EQ(ReadBytes(Root() / "Sitesel.dat"), "GONE_01\r\nTVMKDATA\r\n 2\r\n");
  ExpectRefused("Option16", "Select a site file to edit data", "Site File Error");
  ExpectRefused("Option6", "Select a site file to graph data", "Site File Error");

  SiteBuilder site(files, "G_01");
  site.Header({{1, 1000, 100, 40, 20}}, 0);
  WriteBytes(Root() / "Sitesel.dat", "G_01\r\nTVMKDATA\r\n");
  ExpectRefused("Option16", "No data blocks exist for this site file.", "");
  ExpectRefused("Option6", "No data blocks exist for this site.", "No Data Blocks");
  WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(499, ' '));
  ExpectRefused("Option6", "Calibrated data does not exist for this site to graph.",
                "Empty Graph File");
  EXPECT_EQ(opened.count(), 0);

  WriteBytes(Root() / "TVMKDATA" / "G_01.BGF", std::string(500, ' '));
  site.Header({{1, 1000, 100, 40, 20}}, 1);
  const std::size_t shown = prompter.shown.size();
  Click("Option6");
  Click("Option16");
  EXPECT_EQ(prompter.shown.size(), shown);
  ASSERT_EQ(opened.count(), 2);
  EXPECT_EQ(opened[0][0].value<NextWindow>(), NextWindow::Graph);
  EXPECT_EQ(opened[1][0].value<NextWindow>(), NextWindow::Editor);
  EXPECT_FALSE(Find("Option6")->isChecked());
  EXPECT_EQ(window.Mode(), "Going");
  // The mouse moved over the window after the other one: the list is read again.
  SiteBuilder(files, "B_01").Header({}, 0);
  WriteSiteSelection(files, "B_01", "TVMKDATA");
  QMouseEvent move(QEvent::MouseMove, QPointF(6, 6), QPointF(6, 6), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&window, &move);
  ASSERT_EQ(List()->count(), 2);
  EXPECT_EQ(List()->currentRow(), 0);
  EXPECT_EQ(window.Mode(), "");
}

TEST_F(MainWindowTest, EnterAndEscStartNothingControlsStayWholeAndExitCloses) {
  SiteBuilder(files, "SAMPLE SITE_01").Header({}, 0);
  Start();
  ASSERT_EQ(List()->currentRow(), -1);  // nothing remembered, nothing chosen yet
  QSignalSpy opened(&window, &MainWindow::windowRequested);
  QList<QWidget*> focused{List()};
  for (const char* name : {"Option1", "Option7", "OptionDelete", "Option10", "Option3", "Option12",
                           "Option16", "Option6", "OptionOutlook", "Command1"}) {
    focused.append(Find(name));
  }
  for (QWidget* w : focused) {
    PressKey(&window, Qt::Key_Return, w);
    PressKey(&window, Qt::Key_Enter, w);
    PressKey(&window, Qt::Key_Escape, w);
    EXPECT_TRUE(window.isVisible()) << w->objectName().toStdString();
  }
  EXPECT_EQ(opened.count(), 0);
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(port.opened.empty());
  EXPECT_TRUE(fs::exists(Root() / "TVMKHEADER" / "SAMPLE SITE_01.key"));
  // Coming into focus the list shows a current row, but nobody clicked a site.
  EXPECT_FALSE(fs::exists(Root() / "Sitesel.dat"));
  EXPECT_TRUE(Find<QGroupBox>("FrameMain")->isVisible());
  EXPECT_GE(window.width(), window.minimumWidth());
  // OUTLOOK ends the Data Analysis group, under VIEW GRAPH.
  EXPECT_EQ(Find("OptionOutlook")->text(), "OUTLOOK");
  EXPECT_EQ(Find("OptionOutlook")->parentWidget(), Find<QGroupBox>("FrameData"));
  EXPECT_GT(Find("OptionOutlook")->y(), Find("Option6")->y());
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
  EXPECT_EQ(Find("Command1")->text(), "Exit");
  Click("Command1");
  EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, AnOutlookRowDoubleClickedIsChosenAsTheListChoosesAndOpensItsGraph) {
  InstallSample(PELVARO_SAMPLE_DIR, files, "BIRCH_02");
  SiteHeader::CreateBlank(files, "EMPTY_05").WriteRecord(header::kDataDirectory, "TVMKDATA");
  Start();
  WindowOpener opener(window, prompter);
  window.SetWindowOpener([&opener](NextWindow next) { opener.Open(next); });
  const fs::path selection = Root() / "Sitesel.dat";
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
      EXPECT_EQ(ReadBytes(selection), site + "\r\nTVMKDATA\r\n 2\r\n");
      EXPECT_EQ(List()->currentItem()->text().toStdString(), site + ".key");
      ASSERT_EQ(graphs.size(), opened + !empty);
      EXPECT_EQ(prompter.shown.size(), messages + empty);
      EXPECT_EQ(empty ? LastText() : graphs.back().substr(graphs.back().find("File ")),
                empty ? "No data blocks exist for this site." : "File " + site);
      EXPECT_TRUE(w.isVisible());
    }
    // Enter opens nothing and chooses nothing; Esc closes.
    const std::string chosen = ReadBytes(selection);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) PressKey(&w, key, table);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(graphs.size(), 2u);
    EXPECT_EQ(ReadBytes(selection), chosen);
    PressKey(&w, Qt::Key_Escape, w.focusWidget());
  });
  Click("OptionOutlook");
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(graphs.size(), 2u);
  EXPECT_FALSE(Find("OptionOutlook")->isChecked());
}

TEST(LinkWindows, PortListMovesWithArrowsOnlyAndEnterTakesTheChoice) {
  ScriptedPrompter prompter;
  SelDialog dialog(prompter);
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Velmora Port");
  auto* list = Child<QComboBox>(dialog, "cmbComPorts");
  EXPECT_EQ(list->count(), 20);
  EXPECT_EQ(list->itemText(19), "COM20");
  // Enter with nothing chosen yet asks for a choice and the list stays.
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "Select the port from the list box");
  EXPECT_TRUE(dialog.isVisible());
  // Letters and digits are ignored; Down moves through the list.
  QTest::keyClick(list, Qt::Key_7);
  EXPECT_EQ(list->currentIndex(), -1);
  list->setCurrentIndex(10);
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(list->currentText(), "COM12");
  QTest::keyClick(list, Qt::Key_Enter);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Chosen(), 12);

  SelDialog again(prompter);
  again.show();
  auto* second = Child<QComboBox>(again, "cmbComPorts");
  second->setCurrentIndex(3);
  QTest::keyClick(second, Qt::Key_Escape);
  EXPECT_EQ(again.result(), QDialog::Rejected);
  EXPECT_EQ(again.Chosen(), std::nullopt);
}

// The notice answers OK to Enter and Esc and Help to its button; help shows its whole text.
TEST(LinkWindows, NotRespondingAndHelpCloseWithEnterOrEscAndHelpShowsItsWholeText) {
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
    NotRespondingDialog notice;
    notice.show();
    EXPECT_EQ(notice.windowTitle(), "Velmora");
    QTest::keyClick(&notice, key);
    EXPECT_FALSE(notice.isVisible());
    EXPECT_FALSE(notice.HelpRequested());
    HelpWindow help;
    help.show();
    EXPECT_EQ(help.windowTitle(), "Velmora Help");
    auto* text = Child<QTextEdit>(help, "txtHelp");
    EXPECT_EQ(text->font().family(), "Times New Roman");
    EXPECT_TRUE(
        text->toPlainText().startsWith("This message is due to the following reasons:\n1. "));
    EXPECT_TRUE(text->toPlainText().endsWith("screw it back to the original position."));
    // At its smallest the box still shows all of the text.
    help.resize(help.minimumSize());
    QApplication::processEvents();
    EXPECT_FALSE(text->verticalScrollBar()->isVisible());
    auto* link = Child<QLabel>(help, "lblLink");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    emit link->linkActivated("#");
    EXPECT_FALSE(link->isVisible());
    EXPECT_TRUE(text->toPlainText().contains("assistance"));
    QTest::keyClick(text, key);
    EXPECT_FALSE(help.isVisible());
  }
  NotRespondingDialog notice;
  notice.show();
  EXPECT_EQ(Child<QPushButton>(notice, "CancelButton")->text(), "Help");
  Click(Child<QPushButton>(notice, "CancelButton"));
  EXPECT_TRUE(notice.HelpRequested());
}

const QColor kRed(255, 140, 140);
const QColor kAmber(255, 204, 102);

// The sample, copies below refill, due soon and due later with a faulty sensor, one empty site.
class OutlookWindowTest : public ::testing::Test {
 protected:
  OutlookWindowTest() : files(tmp.Path() / "Pelvaro Data") {
    InstallSample(PELVARO_SAMPLE_DIR, files);
    for (const auto& [site, refill] :
         {std::pair{"ALDER_01", 100.0}, {"BIRCH_02", 85.0}, {"DUNE_04", 70.0}}) {
      InstallSample(PELVARO_SAMPLE_DIR, files, site);
      SetRefill(files, site, refill);
    }
    BreakSensor(files, "DUNE_04", 2, 1);
    SiteHeader::CreateBlank(files, "EMPTY_05").WriteRecord(header::kDataDirectory, "TVMKDATA");
  }
  static QTableWidget* Table(OutlookWindow& w) { return Child<QTableWidget>(w, "OutlookTable"); }

  TempRoot tmp;
  Files files;
};

TEST_F(OutlookWindowTest, RowsComeMostUrgentFirstInTheirColoursAndWholeAtEverySize) {
  OutlookWindow w(files);
  w.show();
  QSignalSpy read(&w, &OutlookWindow::readingFinished);
  ASSERT_TRUE(!w.Reading() || read.wait(30000));
  EXPECT_EQ(w.windowTitle(), "Outlook");
  QTableWidget* table = Table(w);
  const std::vector<std::vector<std::string>> rows = {
      {"Site", "Last scan", "Total", "Refill", "Use per day", "Outlook", "Refill date", "Faults"},
      {"ALDER_01", "02-11-2026 12:45:00", "272.25 %", "300 %", "9.89 %/day over 3 dry days",
       "below refill since 18-10-2026 00:45:00", "", "none"},
      {"BIRCH_02", "02-11-2026 12:45:00", "272.25 %", "255 %", "9.89 %/day over 3 dry days",
       "refill in 1.7 days, about 04-11-2026", "04-11-2026", "none"},
      {"DUNE_04", "02-11-2026 12:45:00", "272.25 %", "210 %", "9.89 %/day over 3 dry days",
       "refill in 6.3 days, about 08-11-2026", "08-11-2026", "20 cm: 12 readings out of range"},
      {"SAMPLE SITE_01", "02-11-2026 12:45:00", "272.25 %", "180 %", "9.89 %/day over 3 dry days",
       "refill in 9.3 days, about 11-11-2026", "11-11-2026", "none"},
      {"EMPTY_05", "", "", "", "", "no data", "", "none"}};
  ASSERT_EQ(table->rowCount() + 1, static_cast<int>(rows.size()));
  for (int c = 0; c < table->columnCount(); ++c) {
    EXPECT_EQ(table->horizontalHeaderItem(c)->text().toStdString(), rows[0][c]);
    for (int r = 0; r < table->rowCount(); ++r) {
      EXPECT_EQ(table->item(r, c)->text().toStdString(), rows[r + 1][c]) << r << " " << c;
    }
  }
  EXPECT_EQ(Child<QProgressBar>(w, "OutlookProgress")->text(), "5 of 5 sites read");

  // What the screen shows: below refill red, due soon amber, the rest plain.
  const QImage shown = table->viewport()->grab().toImage();
  for (int r = 0; r < table->rowCount(); ++r) {
    const QRect row(0, table->rowViewportPosition(r), shown.width(), table->rowHeight(r) - 1);
    const int area = row.width() * row.height();
    EXPECT_EQ(PixelsNear(shown.copy(row), kRed) > area / 2, r == 0) << r;
    EXPECT_EQ(PixelsNear(shown.copy(row), kAmber) > area / 2, r == 1) << r;
  }

  AtEverySize(
      w,
      [&](Size size) {
        if (size == kDefault) {
          EXPECT_LE(table->horizontalHeader()->length(), table->viewport()->width());
        }
      },
      /*gridsScroll=*/true);
}

TEST_F(OutlookWindowTest, ClosingWhileItReadsStopsTheReadingAndNothingArrivesLater) {
  for (int i = 10; i < 50; ++i) {
    InstallSample(PELVARO_SAMPLE_DIR, files, "MANY_" + std::to_string(i), true);
  }
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Esc" : "destroyed");
    auto w = std::make_unique<OutlookWindow>(files);
    w->show();
    QSignalSpy rows(Table(*w)->model(), &QAbstractItemModel::rowsInserted);
    ASSERT_TRUE(rows.wait(30000));
    // The first row shows long before the last site is read.
    EXPECT_TRUE(w->Reading());
    EXPECT_LT(Table(*w)->rowCount(), 45);
    auto* reader = w->findChild<QThread*>();
    if (escape) {
      PressKey(w.get(), Qt::Key_Escape, Table(*w));
      EXPECT_FALSE(w->isVisible());
      EXPECT_TRUE(reader->isFinished());
      const int shown = Table(*w)->rowCount();
      QApplication::processEvents();
      EXPECT_EQ(Table(*w)->rowCount(), shown);
    }
    w.reset();
    QApplication::processEvents();
  }
}

}  // namespace
}  // namespace pelvaro::testing
