#include "ui/site/SiteWindow.h"

#include <gtest/gtest.h>

#include <QTest>
#include <functional>

#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro::testing {
namespace {

class SiteWindowTest : public ::testing::Test {
 protected:
  SiteWindowTest() : files(root.Path()) {
    fs::create_directories(root.Path() / "TVMKHEADER");
    WriteSiteSelection(files, "", "", 1);
  }
  template <typename T>
  static T* Find(QWidget& w, const char* name) {
    T* child = w.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  static void TypeInto(QTableWidget* grid, int row, int column, const QString& keys) {
    grid->setCurrentCell(row, column == 0 ? 1 : 0);  // come into the cell from elsewhere
    grid->setCurrentCell(row, column);
    QTest::keyClicks(grid, keys);
  }
  static void Choose(QComboBox* list, const QString& item) {
    list->setCurrentIndex(list->findText(item));
    emit list->activated(list->currentIndex());
  }
  static void ClickCell(QTableWidget* grid, int row, int column) {
    const QRect cell = grid->visualRect(grid->model()->index(row, column));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }
  // A new site NORTH_07 with one sensor at 30 cm, typed as a person does.
  static void FillNewSite(QDialog& window) {
    auto* details = Find<QTableWidget>(window, "FgDetails");
    TypeInto(details, kSiteNameRow, 1, "north");
    TypeInto(details, kSiteNumberRow, 1, "7");
    TypeInto(details, kSerialNumberRow, 1, "3001");
    QTest::mouseClick(Find<QRadioButton>(window, "optSiteName"), Qt::LeftButton, {}, QPoint(8, 8));
    Choose(Find<QComboBox>(window, "cmbMeasurementType"), "Percentage");
    Choose(Find<QComboBox>(window, "ComboProfile1"), "30");
    TypeInto(Find<QTableWidget>(window, "FgCalibration"), 0, kOffsetColumn, "1000");
  }
  fs::path Header(const char* id = "NORTH_07") const {
    return root.Path() / "TVMKHEADER" / (std::string(id) + ".key");
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(SiteWindowTest, KeysInTheGridsFollowTheRulesAndTheHeaderMatchesTheModel) {
  SiteWindow window(files, prompter, true);
  window.show();
  EXPECT_EQ(window.windowTitle(), "Create New Site File");
  auto* details = Find<QTableWidget>(window, "FgDetails");
  auto* calibration = Find<QTableWidget>(window, "FgCalibration");
  TypeInto(details, kSiteNameRow, 1, "north paddock west");
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), "NORTH PADDOCK W");
  TypeInto(details, kSiteNameRow, 1, "north");  // entering the cell again: the first key replaces
  EXPECT_EQ(details->item(kSiteNameRow, 1)->text(), "NORTH");
  TypeInto(details, kSiteNumberRow, 1, "7x");
  EXPECT_EQ(details->item(kSiteNumberRow, 1)->text(), "7");
  TypeInto(details, kSerialNumberRow, 1, "3001");
  QTest::mouseClick(Find<QRadioButton>(window, "optSiteName"), Qt::LeftButton, {}, QPoint(8, 8));
  Choose(Find<QComboBox>(window, "cmbMeasurementType"), "Percentage");
  TypeInto(calibration, 1, kOffsetColumn, "999");  // row 2 is off and disabled
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->text(), "");
  EXPECT_EQ(calibration->item(1, kOffsetColumn)->background().color(), QColor(0xD4, 0xD0, 0xC8));
  Choose(Find<QComboBox>(window, "ComboProfile1"), "30");
  EXPECT_EQ(Find<QComboBox>(window, "ComboProfile2")->count(), 9);
  EXPECT_EQ(calibration->item(0, kSlopeColumn)->text(), "120");
  TypeInto(calibration, 0, kOffsetColumn, "1000");
  TypeInto(calibration, 0, kSoilTypeColumn, "loam");
  EXPECT_EQ(calibration->item(0, kSoilTypeColumn)->text(), "LOAM");
  QTest::mouseClick(Find<QPushButton>(window, "cmdOK"), Qt::LeftButton);
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_TRUE(prompter.shown.empty());
  // The header the model writes for the same keys (its own tests hold every record).
  auto header = SiteHeader::Open(files, "NORTH_07", RecordFile::Mode::ReadOnly);
  std::string records;
  for (int r : {4, 5, 12, 26, 44, 45, 48, 215, 216}) records += header.ReadRecord(r) + "|";
  EXPECT_EQ(records, "07|NORTH|LOAM|TVMKDATA| 1000| 120|ON| 1|START IMMEDIATE|");
}

// Enter moves down the grids and never presses a button: neither OK, which
// writes, nor "Remove this directory".
TEST_F(SiteWindowTest, EnterMovesDownTheGridsAndPressesNoButton) {
  SiteWindow window(files, prompter, true);
  window.show();
  FillNewSite(window);
  auto* details = Find<QTableWidget>(window, "FgDetails");
  TypeInto(details, kSiteNameRow, 1, "south");
  QTest::keyClick(details, Qt::Key_Return);
  EXPECT_EQ(details->currentRow(), kSiteNumberRow);
  QTest::keyClicks(details, "9");  // the next row's value is entered afresh
  EXPECT_EQ(details->item(kSiteNumberRow, 1)->text(), "9");
  auto* calibration = Find<QTableWidget>(window, "FgCalibration");
  TypeInto(calibration, 0, kSlopeColumn, "110");
  QTest::keyClick(calibration, Qt::Key_Return);
  EXPECT_EQ(calibration->currentRow(), 1);
  QTest::keyClick(calibration, Qt::Key_Up);
  QTest::keyClicks(calibration, "9");
  EXPECT_EQ(calibration->item(0, kSlopeColumn)->text(), "9");

  window.Form().Directories().SetEntries({"TVMKDATA", "OLD"});
  auto* list = Find<QTableWidget>(window, "FgDirList");
  ClickCell(list, 1, 0);
  ASSERT_TRUE(Find<QPushButton>(window, "cmdRemoveDir")->isEnabled());
  for (const char* focused : {"FgDirList", "optSiteName", "cmbMeasurementType", "ComboProfile1",
                              "cmdRemoveDir", "cmdOK", "FgDetails", "FgCalibration"}) {
    auto* widget = Find<QWidget>(window, focused);
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible()) << focused;
    EXPECT_EQ(list->item(1, 0)->text(), "OLD") << focused;
  }
  EXPECT_TRUE(prompter.shown.empty()) << prompter.shown.front().text;
  EXPECT_TRUE(fs::is_empty(root.Path() / "TVMKHEADER"));
}

// Esc and the title bar's close leave as Cancel does: nothing is written.
TEST_F(SiteWindowTest, EscAndTheTitleBarLeaveAsCancelDoes) {
  const std::vector<std::pair<const char*, std::function<void(SiteWindow&)>>> ways = {
      {"Cancel",
       [](SiteWindow& w) {
         QTest::mouseClick(w.findChild<QPushButton*>("cmdCancel"), Qt::LeftButton);
       }},
      {"Esc",
       [](SiteWindow& w) { QTest::keyClick(w.findChild<QWidget*>("FgDetails"), Qt::Key_Escape); }},
      {"Esc in a depth list",
       [](SiteWindow& w) {
         QTest::keyClick(w.findChild<QWidget*>("ComboProfile1"), Qt::Key_Escape);
       }},
      {"title bar", [](SiteWindow& w) { w.close(); }},
  };
  for (const auto& [way, leave] : ways) {
    SiteWindow window(files, prompter, true);
    window.show();
    FillNewSite(window);
    leave(window);
    EXPECT_FALSE(window.isVisible()) << way;
    EXPECT_EQ(window.result(), QDialog::Rejected) << way;
  }
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_TRUE(fs::is_empty(root.Path() / "TVMKHEADER"));
}

// What Cancel reads whenever a message box shows, and whenever it is painted.
class CancelWatcher : public ScriptedPrompter, public QObject {
 public:
  explicit CancelWatcher(QPushButton*& cancel) : cancel_(cancel) {}
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
  QPushButton*& cancel_;
};

TEST_F(SiteWindowTest, CancelReadsWaitOnlyWhileTheHeaderIsWritten) {
  QPushButton* cancel = nullptr;
  CancelWatcher watcher(cancel);
  for (const bool creating : {true, false}) {
    SCOPED_TRACE(creating ? "create" : "edit");
    if (!creating) WriteSiteSelection(files, "NORTH_07", "TVMKDATA", 2);
    SiteWindow window(files, watcher, creating);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    watcher.Watch(Find<QPushButton>(window, "cmdCancel"));
    if (creating) {
      QTest::mouseClick(Find<QPushButton>(window, "cmdOK"), Qt::LeftButton);  // nothing typed
      EXPECT_EQ(watcher.shown.back().text, "Site name is required.");
      FillNewSite(window);
    } else {
      TypeInto(Find<QTableWidget>(window, "FgDetails"), kRootZoneRow, 1, "600");
    }
    watcher.painted.clear();
    QTest::mouseClick(Find<QPushButton>(window, "cmdOK"), Qt::LeftButton);
    EXPECT_EQ(window.result(), QDialog::Accepted);
    EXPECT_EQ(watcher.shown.back().title, creating ? "Site Name" : "DATA FILE UPDATE");
    EXPECT_TRUE(watcher.painted.contains("WAIT"));
    EXPECT_EQ(Find<QPushButton>(window, "cmdCancel")->text(), "Cancel");
  }
  EXPECT_EQ(watcher.atMessages, QStringList({"Cancel", "Cancel"}));
  EXPECT_TRUE(fs::exists(Header()));
}

// A click on the current row or cell acts as a click on any other.
TEST_F(SiteWindowTest, ClickingTheCurrentRowActsAsAnyClick) {
  SiteWindow window(files, prompter, true);
  window.show();
  FillNewSite(window);
  auto* details = Find<QTableWidget>(window, "FgDetails");
  auto* calibration = Find<QTableWidget>(window, "FgCalibration");
  struct Case {
    const char* what;
    QTableWidget* grid;
    int row, column;
    QString keys;
    QString shown;
  };
  for (const Case& c :
       std::vector<Case>{{"site name", details, kSiteNameRow, 1, "south", "SOUTH"},
                         {"offset", calibration, 0, kOffsetColumn, "2", "2"},
                         {"soil type", calibration, 0, kSoilTypeColumn, "clay", "CLAY"}}) {
    ClickCell(c.grid, c.row, c.column);
    QTest::keyClicks(c.grid, "x1");
    ClickCell(c.grid, c.row, c.column);  // the current cell: the next key starts afresh
    QTest::keyClicks(c.grid, c.keys);
    EXPECT_EQ(c.grid->item(c.row, c.column)->text(), c.shown) << c.what;
  }
  // The ON/OFF cell of the current row toggles on every click.
  for (const char* state : {"OFF", "ON", "OFF"}) {
    ClickCell(calibration, 0, kOnOffColumn);
    EXPECT_EQ(calibration->item(0, kOnOffColumn)->text(), state);
  }
  // The selected directory, clicked again, can be removed again.
  window.Form().Directories().SetEntries({"A", "B", "C", "D"});
  auto* list = Find<QTableWidget>(window, "FgDirList");
  auto* remove = Find<QPushButton>(window, "cmdRemoveDir");
  for (const char* next : {"C", "D", ""}) {
    ClickCell(list, 1, 0);
    ASSERT_TRUE(remove->isEnabled());
    QTest::mouseClick(remove, Qt::LeftButton);
    EXPECT_EQ(list->item(1, 0)->text(), next);
  }
  EXPECT_FALSE(remove->isEnabled());
  EXPECT_EQ(list->item(0, 0)->text(), "A");
}

TEST_F(SiteWindowTest, DirectoryGridDoubleClickMakesCurrent) {
  SiteWindow window(files, prompter, true);
  window.show();
  window.Form().Directories().SetEntries({"TVMKDATA", "OLD", "OTHER"});
  auto* list = Find<QTableWidget>(window, "FgDirList");
  ClickCell(list, 1, 0);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {},
                     list->visualRect(list->model()->index(1, 0)).center());
  EXPECT_EQ(Find<QTableWidget>(window, "FgDetails")->item(kDataDirectoryRow, 1)->text(), "OLD");
}

// The colour a person sees behind an option's caption.
QColor Behind(QRadioButton* option) {
  return option->grab().toImage().pixelColor(option->width() - 3, option->height() / 2);
}

TEST_F(SiteWindowTest, DataDirectoryDialogPaintsTheChoiceAndTakesItOnEnter) {
  const QColor lightBlue(0xC0, 0xC0, 0xFF);
  const QColor white(Qt::white);
  struct Case {
    const char* way;
    std::function<void(DataDirDialog&)> leave;
    QDialog::DialogCode result;
  };
  for (const Case& c : std::vector<Case>{
           {"Enter",
            [](DataDirDialog& d) {
              QTest::keyClick(d.findChild<QWidget*>("optDir1"), Qt::Key_Return);
            },
            QDialog::Accepted},
           {"OK",
            [](DataDirDialog& d) {
              QTest::mouseClick(d.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
            },
            QDialog::Accepted},
           {"Esc",
            [](DataDirDialog& d) {
              QTest::keyClick(d.findChild<QWidget*>("optDir1"), Qt::Key_Escape);
            },
            QDialog::Rejected},
           {"title bar", [](DataDirDialog& d) { d.close(); }, QDialog::Rejected}}) {
    SCOPED_TRACE(c.way);
    DataDirDialog dialog(files, prompter, {"TVMKDATA", "OLD"}, "OLD");
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Site Data Directories");
    auto* first = Find<QRadioButton>(dialog, "optDir1");
    auto* second = Find<QRadioButton>(dialog, "optDir2");
    EXPECT_EQ(second->text(), "  2     OLD");
    EXPECT_TRUE(second->isChecked());
    EXPECT_EQ(Behind(second), lightBlue);
    EXPECT_EQ(Behind(first), white);
    // The option already chosen, clicked again, stays the choice.
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(Behind(second), lightBlue);
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(Behind(first), lightBlue);
    EXPECT_EQ(Behind(second), white);
    c.leave(dialog);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), c.result);
    const bool taken = c.result == QDialog::Accepted;
    EXPECT_EQ(dialog.CurrentDirectory(), taken ? "TVMKDATA" : "OLD");
    EXPECT_EQ(dialog.DirectoryChosen(), taken);
  }
}

}  // namespace
}  // namespace pelvaro::testing
