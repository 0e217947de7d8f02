#include "ui/site/SiteWindow.h"

#include <gtest/gtest.h>

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
};

// Enter moves down and presses no button; a click on the current cell acts as any click; Esc and
// the title bar's close leave as Cancel does.
TEST_F(SiteWindowTest, KeysAndClicksInTheGridsFollowTheRulesAndTheHeaderMatchesTheModel) {
  SiteWindow window(files, prompter, true);
  window.show();
  EXPECT_EQ(window.windowTitle(), "Create New Site File");
  auto* details = Child<QTableWidget>(window, "FgDetails");
  auto* calibration = Child<QTableWidget>(window, "FgCalibration");
  TypeInto(details, kSiteNameRow, 1, "north paddock west");
  TypeInto(details, kSiteNumberRow, 1, "7x");
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text() + "|" + details->item(kSiteNumberRow, 1)->text(),
            "NORTH PADDOCK W|7");
  FillNewSite(window);  // "north" into the name cell entered again: the first key replaces
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), "NORTH");
  TypeInto(calibration, 1, kOffsetColumn, "999");  // row 2 is off and disabled
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->text(), "");
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->background().color(), QColor(0xD4, 0xD0, 0xC8));
  EXPECT_EQ(Child<QComboBox>(window, "ComboProfile2")->count(), 9);
  EXPECT_EQ(calibration->item(0, kSlopeColumn)->text(), "120");

  TypeInto(details, kSiteNameRow, 1, "south");
  QTest::keyClick(details, Qt::Key_Return);
  EXPECT_EQ(details->currentRow(), kSiteNumberRow);
  QTest::keyClicks(details, "9");  // the next row's value is entered afresh
  EXPECT_EQ(details->item(kSiteNumberRow, 1)->text(), "9");
  TypeInto(calibration, 0, kSlopeColumn, "110");
  QTest::keyClick(calibration, Qt::Key_Return);
  EXPECT_EQ(calibration->currentRow(), 1);
  QTest::keyClick(calibration, Qt::Key_Up);
  QTest::keyClicks(calibration, "9");
  EXPECT_EQ(calibration->item(0, kSlopeColumn)->text(), "9");

  window.Form().Directories().SetEntries({"TVMKDATA", "OLD"});
  auto* list = Child<QTableWidget>(window, "FgDirList");
  ClickCell(list, 1, 0);
  ASSERT_TRUE(Child<QPushButton>(window, "cmdRemoveDir")->isEnabled());
  for (const std::string focused :
       {"FgDirList", "optSiteName", "cmbMeasurementType", "ComboProfile1", "cmdRemoveDir", "cmdOK",
        "FgDetails", "FgCalibration"}) {
    Act(window, "Enter " + focused);
    EXPECT_TRUE(window.isVisible()) << focused;
    EXPECT_EQ(list->item(1, 0)->text(), "OLD") << focused;
  }
  const auto retyped = [](QTableWidget* grid, int row, int column, const QString& keys) {
    ClickCell(grid, row, column);
    QTest::keyClicks(grid, "x1");
    ClickCell(grid, row, column);  // the current cell: the next key starts afresh
    QTest::keyClicks(grid, keys);
    return grid->item(row, column)->text();
  };
  EXPECT_EQ(retyped(details, kSiteNameRow, 1, "south"), "SOUTH");
  EXPECT_EQ(retyped(calibration, 0, kOffsetColumn, "2"), "2");
  EXPECT_EQ(retyped(calibration, 0, kSoilTypeColumn, "loam"), "LOAM");
  // The ON/OFF cell of the current row toggles on every click.
  for (const char* state : {"OFF", "ON"}) {
    ClickCell(calibration, 0, kOnOffColumn);
    EXPECT_EQ(calibration->item(0, kOnOffColumn)->text(), state);
  }
  // The selected directory, clicked again, can be removed again.
  window.Form().Directories().SetEntries({"A", "B", "C", "D"});
  auto* remove = Child<QPushButton>(window, "cmdRemoveDir");
  for (const char* next : {"C", "D", ""}) {
    ClickCell(list, 1, 0);
    ASSERT_TRUE(remove->isEnabled());
    Click(remove);
    EXPECT_EQ(list->item(1, 0)->text(), next);
  }
  EXPECT_FALSE(remove->isEnabled());
  EXPECT_EQ(list->item(0, 0)->text(), "A");
  // A double click on a directory makes it the site's current one.
  window.Form().Directories().SetEntries({"TVMKDATA", "OLD", "OTHER"});
  DoubleClick(list->viewport(), list->visualRect(list->model()->index(1, 0)).center());
  EXPECT_EQ(details->item(kDataDirectoryRow, 1)->text(), "OLD");
  EXPECT_EQ(Titles(prompter), "");
  EXPECT_TRUE(fs::is_empty(root.Path() / "TVMKHEADER"));
  Click(Child<QPushButton>(window, "cmdOK"));
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(Titles(prompter), "");
  // The header the model writes for the same keys (its own tests hold every record).
  auto header = SiteHeader::Open(files, "SOUTH_09", RecordFile::Mode::ReadOnly);
  std::string records;
  for (int r : {4, 5, 12, 26, 44, 45, 48, 215, 216}) records += header.ReadRecord(r) + "|";
  EXPECT_EQ(records, "09|SOUTH|LOAM|TVMKDATA| 2| 9|ON| 1|START IMMEDIATE|");
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
    atMessages.push_back(cancel_->text());
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
    EXPECT_EQ(Child<QPushButton>(window, "cmdCancel")->text(), "Cancel");
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
  SiteWindow window(files, prompter, true);
  window.show();
  auto* details = Child<QTableWidget>(window, "FgDetails");
  details->setCurrentCell(kSiteNameRow, 1);
  // As a keyboard with these letters sends them: the key, and the text it types.
  for (const QChar c : QString::fromUtf8("müller süd œšÿ")) {
    const auto key = c.unicode() < 0x100 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Click, details, key, QString(c), Qt::NoModifier);
  }
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), QString::fromUtf8("MÜLLER SÜD ŒŠŸ"));
  auto* status = Child<QStatusBar>(window, "StatusBar1");
  EXPECT_NE(status->currentMessage(), QString(kSiteNameFull));
  QTest::keyClicks(details, "xy");
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), QString::fromUtf8("MÜLLER SÜD ŒŠŸX"));
  EXPECT_EQ(status->currentMessage(), QString(kSiteNameFull));
}

}  // namespace
}  // namespace pelvaro::testing
