#include "ui/site/SiteWindow.h"

#include <gtest/gtest.h>

#include <QClipboard>

#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "ui/SiteWindowDriver.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro::testing {
namespace {

class SiteWindowTest : public WindowTest {
 protected:
  SiteWindowTest() {
    fs::create_directories(root.Path() / "TVMKHEADER");
    WriteSiteSelection(files, "", "", 1);
  }
  // A new site's window, shown, filled as FillNewSite does unless told.
  std::unique_ptr<SiteWindow> NewSite(bool filled = true) {
    auto window = std::make_unique<SiteWindow>(files, prompter, true);
    window->show();
    if (filled) FillNewSite(*window);
    return window;
  }
  // Ctrl+V on the first row's offset with this text copied; then the first two rows' values.
  static QString PasteAtFirstOffset(QDialog& window, const QString& copied) {
    QGuiApplication::clipboard()->setText(copied);
    auto* calibration = Child<QTableWidget>(window, "FgCalibration");
    ClickCell(calibration, 0, kOffsetColumn);
    QTest::keyClick(calibration, Qt::Key_V, Qt::ControlModifier);
    QStringList shown;
    for (int r = 0; r < 2; ++r) {
      for (int c = kOffsetColumn; c <= kRefillColumn; ++c) shown << calibration->item(r, c)->text();
    }
    return shown.join("|");
  }
};

TEST_F(SiteWindowTest, AnOffRowTakesNoKeysAndLooksLikeTheHeadings) {
  const auto window = NewSite();
  auto* calibration = Child<QTableWidget>(*window, "FgCalibration");
  TypeInto(calibration, 1, kOffsetColumn, "999");
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->text(), "");
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->background().color(), QColor(0xD4, 0xD0, 0xC8));
}

// 30 cm chosen in the first list: the second offers 40 to 120, and the row takes the defaults.
TEST_F(SiteWindowTest, ChoosingADepthOffersTheDeeperOnesBelowAndFillsTheRow) {
  const auto window = NewSite();
  EXPECT_EQ(Child<QComboBox>(*window, "ComboProfile2")->count(), 9);
  EXPECT_EQ(Child<QTableWidget>(*window, "FgCalibration")->item(0, kSlopeColumn)->text(), "120");
}

TEST_F(SiteWindowTest, EnterInAGridMovesToTheCellBelow) {
  const auto window = NewSite();
  for (const auto& [name, column] : {std::pair{"FgDetails", 1}, {"FgCalibration", 1}}) {
    auto* grid = Child<QTableWidget>(*window, name);
    TypeInto(grid, 0, column, "11");
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(std::pair(grid->currentRow(), grid->currentColumn()), std::pair(1, column)) << name;
  }
}

TEST_F(SiteWindowTest, EnterOnAControlThatIsNoButtonPressesNone) {
  const auto window = NewSite(false);
  window->Form().Directories().SetEntries({"TVMKDATA", "OLD"});
  auto* list = Child<QTableWidget>(*window, "FgDirList");
  ClickCell(list, 1, 0);
  ASSERT_TRUE(Child<QPushButton>(*window, "cmdRemoveDir")->isEnabled());
  for (const std::string focused : {"FgDirList", "optSiteName", "cmbMeasurementType",
                                    "ComboProfile1", "FgDetails", "FgCalibration"}) {
    Act(*window, "Enter " + focused);
    EXPECT_TRUE(window->isVisible()) << focused;
    EXPECT_EQ(list->item(1, 0)->text(), "OLD") << focused;
  }
  EXPECT_EQ(Titles(prompter), "");
}

TEST_F(SiteWindowTest, AClickOnTheCurrentCellEntersItAfresh) {
  const struct {
    const char* grid;
    int row;
    int column;
    const char* keys;
    const char* shown;
  } cells[] = {
      {"FgDetails", kSiteNameRow, 1, "south", "SOUTH"},
      {"FgCalibration", 0, kOffsetColumn, "2", "2"},
      {"FgCalibration", 0, kSoilTypeColumn, "loam", "LOAM"},
  };
  const auto window = NewSite();
  for (const auto& c : cells) {
    auto* grid = Child<QTableWidget>(*window, c.grid);
    ClickCell(grid, c.row, c.column);
    QTest::keyClicks(grid, "x1");
    ClickCell(grid, c.row, c.column);
    QTest::keyClicks(grid, c.keys);
    EXPECT_EQ(grid->item(c.row, c.column)->text(), c.shown) << c.grid << " " << c.column;
  }
}

TEST_F(SiteWindowTest, EachClickOnTheOnOffCellOfTheCurrentRowTogglesIt) {
  const auto window = NewSite();
  auto* calibration = Child<QTableWidget>(*window, "FgCalibration");
  for (const char* state : {"OFF", "ON", "OFF"}) {
    ClickCell(calibration, 0, kOnOffColumn);
    EXPECT_EQ(calibration->item(0, kOnOffColumn)->text(), state);
  }
}

TEST_F(SiteWindowTest, TheSelectedDirectoryClickedAgainCanBeRemovedAgain) {
  const auto window = NewSite(false);
  window->Form().Directories().SetEntries({"A", "B", "C", "D"});
  auto* list = Child<QTableWidget>(*window, "FgDirList");
  auto* remove = Child<QPushButton>(*window, "cmdRemoveDir");
  for (const char* next : {"C", "D", ""}) {
    ClickCell(list, 1, 0);
    ASSERT_TRUE(remove->isEnabled());
    Click(remove);
    EXPECT_EQ(list->item(1, 0)->text(), next);
  }
  EXPECT_FALSE(remove->isEnabled());
  EXPECT_EQ(list->item(0, 0)->text(), "A");
}

TEST_F(SiteWindowTest, SpaceOnADirectorySelectsItForRemoval) {
  const auto window = NewSite(false);
  window->Form().Directories().SetEntries({"A", "B", "C"});
  auto* list = Child<QTableWidget>(*window, "FgDirList");
  list->setCurrentCell(1, 0);
  PressKey(window.get(), Qt::Key_Space, list);
  ASSERT_TRUE(Child<QPushButton>(*window, "cmdRemoveDir")->isEnabled());
  PressKey(window.get(), Qt::Key_R, nullptr, Qt::AltModifier);
  EXPECT_EQ(list->item(1, 0)->text(), "C");
}

TEST_F(SiteWindowTest, ADoubleClickOnADirectoryMakesItTheCurrentOne) {
  const auto window = NewSite(false);
  window->Form().Directories().SetEntries({"TVMKDATA", "OLD", "OTHER"});
  auto* list = Child<QTableWidget>(*window, "FgDirList");
  DoubleClickCell(list, 1, 0);
  EXPECT_EQ(Child<QTableWidget>(*window, "FgDetails")->item(kDataDirectoryRow, 1)->text(), "OLD");
}

// The header the model writes for the keys typed (its own tests hold every record).
TEST_F(SiteWindowTest, OkWritesTheHeaderOfWhatWasTyped) {
  const auto window = NewSite();
  TypeInto(Child<QTableWidget>(*window, "FgCalibration"), 0, kSoilTypeColumn, "loam");
  Click(Child<QPushButton>(*window, "cmdOK"));
  EXPECT_EQ(window->result(), QDialog::Accepted);
  EXPECT_EQ(Titles(prompter), "");
  auto header = SiteHeader::Open(files, "NORTH_07", RecordFile::Mode::ReadOnly);
  std::string records;
  for (int r : {4, 5, 12, 26, 44, 45, 48, 215, 216}) records += header.ReadRecord(r) + "|";
  EXPECT_EQ(records, "07|NORTH|LOAM|TVMKDATA| 1000| 120|ON| 1|START IMMEDIATE|");
}

// Each grid is a single stop, entered on a value rather than on a label; the two options are
// one stop, between which the arrows move.
TEST_F(SiteWindowTest, TabVisitsEveryControlInTurn) {
  const QStringList forward = {"FgDetails",          "optSiteName",   "FgDirList",
                               "cmbMeasurementType", "ComboProfile1", "ComboProfile2",
                               "ComboProfile3",      "ComboProfile4", "ComboProfile5",
                               "FgCalibration",      "cmdOK",         "cmdCancel"};
  const QStringList backward = {"cmdCancel",     "cmdOK",           "FgCalibration",
                                "ComboProfile5", "ComboProfile4",   "ComboProfile3",
                                "ComboProfile2", "ComboProfile1",   "cmbMeasurementType",
                                "FgDirList",     "optSerialNumber", "FgDetails"};
  const struct {
    const char* keys;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const QStringList& stops;
  } ways[] = {
      {"Tab", Qt::Key_Tab, Qt::NoModifier, forward},
      {"Ctrl+Tab", Qt::Key_Tab, Qt::ControlModifier, forward},
      {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier, backward},
      {"Ctrl+Shift+Tab", Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, backward},
  };
  for (const auto& way : ways) {
    SiteWindow window(files, prompter, true);
    window.show();
    QApplication::setActiveWindow(&window);
    Child<QWidget>(window, way.stops.front().toLatin1())->setFocus();
    QStringList visited;
    while (visited.size() < way.stops.size()) {
      QWidget* focus = QApplication::focusWidget();
      auto* grid = qobject_cast<QTableWidget*>(focus);
      const bool onLabel = focus->objectName() == "FgDetails" && grid->currentColumn() == 0;
      visited << focus->objectName() + (onLabel ? " on a label" : "");
      QTest::keyClick(focus, way.key, way.modifiers);
    }
    EXPECT_EQ(visited, way.stops) << way.keys;
  }
}

// The first control has the focus, on the name's value.
TEST_F(SiteWindowTest, TheWindowOpensOnTheSiteName) {
  const auto window = NewSite(false);
  QApplication::setActiveWindow(window.get());
  auto* details = Child<QTableWidget>(*window, "FgDetails");
  EXPECT_EQ(QApplication::focusWidget(), details);
  EXPECT_EQ(details->currentRow(), kSiteNameRow);
  EXPECT_EQ(details->currentColumn(), 1);
}

// As a spreadsheet copies two rows of three cells: a line each, a tab between the cells.
TEST_F(SiteWindowTest, CtrlVPastesARectangleOfValuesFromTheCurrentCell) {
  const auto window = NewSite();
  Choose(Child<QComboBox>(*window, "ComboProfile2"), "40");
  EXPECT_EQ(PasteAtFirstOffset(*window, "1200\t110\t95\r\n1300\t115\t90\r\n"),
            "1200|110|95|60|1300|115|90|60");
  EXPECT_EQ(Titles(prompter), "");
}

// A point would type as a deletion, and an off row takes nothing.
TEST_F(SiteWindowTest, PastedValuesACellCannotTakeLeaveItAsItWasAndAreToldOnce) {
  const auto window = NewSite();
  EXPECT_EQ(PasteAtFirstOffset(*window, "2000\t1.5\t95\n7"), "2000|120|95|60||||");
  EXPECT_EQ(Titles(prompter), "Paste|");
  EXPECT_EQ(LastMessage(prompter),
            "Paste: 2 pasted values were not entered: a cell takes only what could be typed into "
            "it, and keeps its value otherwise.");
}

TEST_F(SiteWindowTest, EscAndTheTitleBarLeaveAsCancelDoesAndWriteNothing) {
  for (const std::string way : {"cmdCancel", "Esc FgDetails", "Esc ComboProfile1", "title bar"}) {
    SCOPED_TRACE(way);
    SiteWindow leaving(files, prompter, true);
    leaving.show();
    FillNewSite(leaving);
    Act(leaving, way);
    EXPECT_FALSE(leaving.isVisible());
    EXPECT_EQ(leaving.result(), QDialog::Rejected);
  }
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKHEADER" / "NORTH_07.key"));
}

// What Cancel reads whenever a message box shows, and whenever it is painted.
class CancelWatcher : public ScriptedPrompter, public QObject {
 public:
  void Watch(QPushButton* cancel) {
    cancel_ = cancel;
    cancel->installEventFilter(this);
  }
  Answer Message(const std::string& text, const std::string& title, Buttons buttons,
                 Icon icon) override {
    atMessages.push_back(Caption(cancel_));
    return ScriptedPrompter::Message(text, title, buttons, icon);
  }
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted.push_back(cancel_->text());
    return false;
  }
  QStringList atMessages;
  QStringList painted;

 private:
  QPushButton* cancel_ = nullptr;
};

TEST_F(SiteWindowTest, CancelReadsWaitOnlyWhileTheHeaderIsWritten) {
  CancelWatcher watcher;
  for (const bool creating : {true, false}) {
    SCOPED_TRACE(creating ? "create" : "edit");
    if (!creating) WriteSiteSelection(files, "NORTH_07", "TVMKDATA", 2);
    SiteWindow window(files, watcher, creating);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    watcher.Watch(Child<QPushButton>(window, "cmdCancel"));
    if (creating) {
      Click(Child<QPushButton>(window, "cmdOK"));  // nothing typed
      EXPECT_EQ(watcher.shown.back().text, "Site name is required.");
      FillNewSite(window);
    } else {
      TypeInto(Child<QTableWidget>(window, "FgDetails"), kRootZoneRow, 1, "600");
    }
    watcher.painted.clear();
    Click(Child<QPushButton>(window, "cmdOK"));
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(watcher.shown.back().title, creating ? "Site Name" : "DATA FILE UPDATE");
    EXPECT_TRUE(watcher.painted.contains("WAIT"));
    EXPECT_EQ(Caption(Child<QPushButton>(window, "cmdCancel")), "Cancel");
  }
  EXPECT_EQ(watcher.atMessages, QStringList({"Cancel", "Cancel"}));
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKHEADER" / "NORTH_07.key"));
}

// The colour a person sees behind an option's caption.
QColor Behind(QRadioButton* option) {
  return option->grab().toImage().pixelColor(option->width() - 3, option->height() / 2);
}

TEST_F(SiteWindowTest, DataDirectoryDialogPaintsTheChoiceAndTakesItOnEnter) {
  const QColor lightBlue(0xC0, 0xC0, 0xFF);
  const QColor white(Qt::white);
  // Enter takes the option; Esc and the title bar leave the choice as it was.
  for (const std::string way : {"Enter optDir1", "OKButton", "Esc optDir1", "title bar"}) {
    SCOPED_TRACE(way);
    DataDirDialog dialog(files, prompter, {"TVMKDATA", "OLD"}, "OLD");
    dialog.show();
    auto* first = Child<QRadioButton>(dialog, "optDir1");
    auto* second = Child<QRadioButton>(dialog, "optDir2");
    EXPECT_EQ(dialog.windowTitle(), "Site Data Directories");
    EXPECT_EQ(second->text(), "  2     OLD");
    EXPECT_TRUE(second->isChecked());
    const auto expectBehind = [&](const QColor& firstColour, const QColor& secondColour) {
      EXPECT_EQ(Behind(first), firstColour) << "behind the first";
      EXPECT_EQ(Behind(second), secondColour) << "behind the second";
    };
    expectBehind(white, lightBlue);
    // The option already chosen, clicked again, stays the choice.
    Click(second, QPoint(8, 8));
    expectBehind(white, lightBlue);
    Click(first, QPoint(8, 8));
    expectBehind(lightBlue, white);
    Act(dialog, way);
    const bool taken = way == "Enter optDir1" || way == "OKButton";
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), taken ? QDialog::Accepted : QDialog::Rejected);
    EXPECT_EQ(dialog.CurrentDirectory(), taken ? "TVMKDATA" : "OLD");
    EXPECT_EQ(dialog.DirectoryChosen(), taken);
  }
}

// Accented letters typed into the name take their capitals; a sixteenth is refused and said.
TEST_F(SiteWindowTest, ANameBeyondAsciiIsCapitalisedAndItsLimitIsShown) {
  const auto window = NewSite(false);
  auto* details = Child<QTableWidget>(*window, "FgDetails");
  details->setCurrentCell(kSiteNameRow, 1);
  // As a keyboard with these letters sends them: the key, and the text it types.
  for (const QChar c : QString::fromUtf8("müller süd œšÿ")) {
    const auto key = c.unicode() < 0x100 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, details, key, QString(c), Qt::NoModifier);
  }
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), QString::fromUtf8("MÜLLER SÜD ŒŠŸ"));
  auto* status = Child<QStatusBar>(*window, "StatusBar1");
  EXPECT_NE(status->currentMessage(), QString(kSiteNameFull));
  QTest::keyClicks(details, "xy");
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), QString::fromUtf8("MÜLLER SÜD ŒŠŸX"));
  EXPECT_EQ(status->currentMessage(), QString(kSiteNameFull));
}

}  // namespace
}  // namespace pelvaro::testing
