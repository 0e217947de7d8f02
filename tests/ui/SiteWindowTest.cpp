#include "ui/site/SiteWindow.h"

#include <gtest/gtest.h>

#include <QTest>

#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"
#include "ui/site/DataDirDialog.h"

namespace pelvaro {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompter;
using testing::TempRoot;

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
  const std::string written = ReadBytes(root.Path() / "TVMKHEADER" / "NORTH_07.key");
  ASSERT_EQ(written.size(), 14208u);

  // The same site through the model alone, in another working root.
  TempRoot other;
  Files otherFiles(other.Path());
  fs::create_directories(other.Path() / "TVMKHEADER");
  WriteSiteSelection(otherFiles, "", "", 1);
  SiteForm form(otherFiles, prompter, true);
  form.Load();
  for (const auto& [row, text] : std::vector<std::pair<int, std::string>>{
           {kSiteNameRow, "north"}, {kSiteNumberRow, "7"}, {kSerialNumberRow, "3001"}}) {
    form.EnterCell();
    for (char c : text) form.TypeDetail(row, c);
  }
  form.SetOption(IdentificationOption::SiteName);
  form.SetMeasurementType("Percentage");
  form.Calibration().ChooseDepth(0, 30);
  for (const auto& [column, text] : std::vector<std::pair<int, std::string>>{
           {kOffsetColumn, "1000"}, {kSoilTypeColumn, "loam"}}) {
    form.EnterCell();
    for (char c : text) form.TypeCalibration(0, column, c);
  }
  ASSERT_EQ(form.Ok(), SiteForm::OkResult::Close);
  EXPECT_TRUE(ReadBytes(other.Path() / "TVMKHEADER" / "NORTH_07.key") == written);
}

TEST_F(SiteWindowTest, DirectoryGridDoubleClickMakesCurrentAndRemoveCloses) {
  SiteWindow window(files, prompter, true);
  window.show();
  window.Form().Directories().SetEntries({"TVMKDATA", "OLD", "OTHER"});
  auto* list = Find<QTableWidget>(window, "FgDirList");
  emit list->cellDoubleClicked(1, 0);
  EXPECT_EQ(Find<QTableWidget>(window, "FgDetails")->item(kDataDirectoryRow, 1)->text(), "OLD");
  emit list->cellClicked(0, 0);
  QTest::mouseClick(Find<QPushButton>(window, "cmdRemoveDir"), Qt::LeftButton);
  EXPECT_EQ(list->item(0, 0)->text(), "OLD");
  EXPECT_EQ(list->item(1, 0)->text(), "OTHER");
}

TEST_F(SiteWindowTest, DataDirectoryDialogShowsAndReportsTheChoice) {
  DataDirDialog dialog(files, prompter, {"TVMKDATA", "OLD"}, "OLD");
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Site Data Directories");
  auto* second = Find<QRadioButton>(dialog, "optDir2");
  EXPECT_EQ(second->text(), "  2     OLD");
  EXPECT_TRUE(second->isChecked());
  EXPECT_EQ(second->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xFF));
  QTest::mouseClick(Find<QRadioButton>(dialog, "optDir1"), Qt::LeftButton, {}, QPoint(8, 8));
  EXPECT_EQ(second->palette().color(QPalette::Window), QColor(Qt::white));
  QTest::mouseClick(Find<QPushButton>(dialog, "OKButton"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.CurrentDirectory(), "TVMKDATA");
  EXPECT_TRUE(dialog.DirectoryChosen());
}

}  // namespace
}  // namespace pelvaro
