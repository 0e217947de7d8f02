#include "ui/editor/EditorWindow.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QTest>

#include "core/editor/BlockExport.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro {
namespace {

using testing::ReadBytes;
using testing::ScriptedPrompter;
using testing::SiteBuilder;
using testing::TempRoot;

class EditorWindowTest : public ::testing::Test {
 protected:
  EditorWindowTest() : files(root.Path()) {
    SiteBuilder site(files, "ED_01");
    site.Header({{1, 3000, 120, 100, 60}, {2, 3000, 120, 100, 60}}, 1);
    SiteHeader::Open(files, "ED_01").WriteRecord(header::kSiteName, "EDGE FIELD");
    site.Block(1, {11300, 36000, 900, 2, {1811, 1822, 1833, 1844, 1855, 1866}});
    WriteSiteSelection(files, "ED_01", "TVMKDATA");
  }
  QTableWidget* Grid() { return window->findChild<QTableWidget*>("Fg1"); }
  void OpenFirstBlock() {
    window = std::make_unique<EditorWindow>(files, prompter);
    window->show();
    const QRect cell = Grid()->visualItemRect(Grid()->item(0, 0));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, cell.center());
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
  std::unique_ptr<EditorWindow> window;
};

TEST_F(EditorWindowTest, ReadingCellsFollowTheEditingRules) {
  OpenFirstBlock();
  EXPECT_EQ(window->windowTitle(), "Edit Site Data");
  EXPECT_EQ(Grid()->horizontalHeaderItem(0)->text(), "BLOCK");
  EXPECT_EQ(Grid()->item(1, 3)->text(), " 1844");
  EXPECT_TRUE(window->findChild<QPushButton*>("cmdDelete")->isEnabled());
  EXPECT_FALSE(window->findChild<QPushButton*>("cmdSaveData")->isEnabled());
  Grid()->setCurrentCell(1, 3);
  QTest::keyClicks(Grid(), "9x9");  // the first digit empties the cell; letters do nothing
  EXPECT_EQ(Grid()->item(1, 3)->text(), "99");
  EXPECT_EQ(Grid()->item(1, 3)->foreground().color(), QColor(Qt::red));
  QTest::keyClick(Grid(), Qt::Key_Backspace);
  QTest::keyClicks(Grid(), "0009");  // 90009 would not fit: the last 9 is refused
  EXPECT_EQ(Grid()->item(1, 3)->text(), "9000");
  EXPECT_TRUE(window->findChild<QPushButton*>("cmdSaveData")->isEnabled());
  prompter.answers = {Answer::Yes};
  QTest::mouseClick(window->findChild<QPushButton*>("cmdSaveData"), Qt::LeftButton);
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKDATA" / "ED_01_001.DAT").substr(6, 2),
            std::string("\x28\x23", 2));  // 9000
}

TEST_F(EditorWindowTest, CsvAndPrintoutOfTheOpenedBlock) {
  window = std::make_unique<EditorWindow>(files, prompter);
  const fs::path csv = root.Path() / "out.csv";
  window->SetCsvPathAsker([&] { return QString::fromStdString(csv.string()); });
  QTest::mouseClick(window->findChild<QPushButton*>("cmdCreatePRNFile"), Qt::LeftButton);
  EXPECT_EQ(prompter.shown.back().text, "Select a data block to save as CSV file");
  OpenFirstBlock();
  window->SetCsvPathAsker([&] { return QString::fromStdString(csv.string()); });
  QTest::mouseClick(window->findChild<QPushButton*>("cmdCreatePRNFile"), Qt::LeftButton);
  EXPECT_EQ(ReadBytes(csv), BlockCsv(files, "ED_01", window->Model().OpenedStem()).text);

  const fs::path pdf = root.Path() / "block.pdf";
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(pdf.string()));
  ASSERT_TRUE(window->PrintTo(printer));
  QProcess text;
  text.start("pdftotext", {"-layout", QString::fromStdString(pdf.string()), "-"});
  ASSERT_TRUE(text.waitForFinished(20000));
  const QString printed = QString::fromUtf8(text.readAllStandardOutput());
  for (const char* expected :
       {"Velmora Pelvaro Soil Moisture", "Site Data Printout For SiteEDGE FIELD",
        "VELMORA Serial Number 3001", "This block number 1"}) {
    EXPECT_TRUE(printed.contains(expected)) << expected << "\n" << printed.toStdString();
  }
  // The readings in order, scan after scan.
  const int first = printed.indexOf("1811");
  const int second = printed.indexOf("1844");
  const int third = printed.indexOf("1866");
  EXPECT_GE(first, 0);
  EXPECT_LT(first, second);
  EXPECT_LT(second, third);

  // No printer on this machine: a message, and the window goes on.
  QPrinter none;
  if (none.outputFormat() == QPrinter::NativeFormat) {
    EXPECT_FALSE(window->PrintTo(none));
    EXPECT_EQ(prompter.shown.back().title, "Printer Not Connected");
    EXPECT_TRUE(window->isVisible());
  }
}

}  // namespace
}  // namespace pelvaro
