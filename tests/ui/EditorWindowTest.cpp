#include "ui/editor/EditorWindow.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDateEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QProcess>

#include "core/editor/BlockExport.h"
#include "core/operations/Conversion.h"
#include "core/outlook/SiteScans.h"
#include "core/storage/StateFiles.h"
#include "support/ChangedFiles.h"
#include "support/Environment.h"
#include "support/SiteBuilder.h"
#include "ui/PersonDriver.h"
#include "ui/platform/QtPrompter.h"
#include "ui/site/DataDirDialog.h"
#include "ui/site/SiteWindow.h"

namespace pelvaro::testing {
namespace {

// Reading cells sit from grid column 2 on; scan r (0-based) is grid row r.
constexpr int kSensor1 = 2;
constexpr int kSensor2 = 3;

class EditorWindowTest : public WindowTest {
 protected:
  EditorWindowTest() {
    SiteBuilder site(files, "ED_01");
    site.Header({{1, 3000, 120, 100, 60}, {2, 3000, 120, 100, 60}}, 2);
    SiteHeader::Open(files, "ED_01").WriteRecord(header::kSiteName, "EDGE FIELD");
    site.Block(1, {11300, 36000, 900, 2, {1811, 1822, 1833, 1844, 1855, 1866}});
    site.Block(2, {11310, 36000, 900, 2, {1711, 1722}});
    WriteSiteSelection(files, "ED_01", "TVMKDATA");
  }
  void Open(Prompter& with) {
    window = std::make_unique<EditorWindow>(files, with);
    window->show();
  }
  void OpenBlock(int number, Prompter* with = nullptr) {
    if (!window) Open(with != nullptr ? *with : prompter);
    ClickCell(Grid(), number - 1, 0);
  }
  QTableWidget* Grid() { return window->findChild<QTableWidget*>("Fg1"); }
  QPushButton* Button(const char* name) { return window->findChild<QPushButton*>(name); }
  void TypeAt(int row, int column, const QString& keys) {
    ClickCell(Grid(), row, column);
    QTest::keyClicks(Grid(), keys);
  }
  QString Cell(int row, int column) {
    const QTableWidgetItem* item = Grid()->item(row, column);
    return item ? item->text() : QString();
  }
  fs::path Block(int number, const char* ext = ".DAT") const {
    return root.Path() / "TVMKDATA" / (BlockStem("ED_01", number) + ext);
  }

  std::unique_ptr<EditorWindow> window;
};

// 6 readings / 2 sensors + 7 rows; beside them the block's date, time, number and sensors.
TEST_F(EditorWindowTest, AnOpenedBlockShowsItsReadingsAndWhatItIs) {
  OpenBlock(1);
  auto* info = window->findChild<QTableWidget*>("Fg2");
  EXPECT_EQ(window->windowTitle(), "Edit Site Data");
  EXPECT_EQ(Grid()->horizontalHeaderItem(0)->text(), "BLOCK");
  EXPECT_EQ(Grid()->rowCount(), 10);
  EXPECT_EQ(Cell(1, kSensor2), " 1844");
  EXPECT_EQ(info->item(0, 1)->text(), "08/12/2026") << "date";
  EXPECT_EQ(info->item(1, 1)->text(), "10:00:00") << "time";
  EXPECT_EQ(info->item(9, 1)->text(), " 1") << "block number";
  EXPECT_EQ(info->item(12, 1)->text(), " 3") << "sensors";
}

// The run ends with its download (1 June 2023, 12:00), whose date reads as the start's does.
TEST_F(EditorWindowTest, TheRunsStartAndEndDatesReadAlike) {
  OpenBlock(1);
  auto* info = window->findChild<QTableWidget*>("Fg2");
  const auto row = [info](int r) {
    return info->item(r, 0)->text() + " " + info->item(r, 1)->text();
  };
  EXPECT_EQ(
      QStringList({row(0), row(1), row(10), row(11)}).join(" | "),
      "Start Date 08/12/2026 | Start Time 10:00:00 | End Date 01/06/2023 | End Time 12:00:00");
}

TEST_F(EditorWindowTest, AnEditedReadingGoesBackIntoItsOwnRecordOnly) {
  OpenBlock(1);
  const std::string before = ReadBytes(Block(1));
  EXPECT_TRUE(Button("cmdDelete")->isEnabled());
  EXPECT_FALSE(Button("cmdSaveData")->isEnabled());
  TypeAt(1, kSensor2, "9x9");  // the first digit empties the cell; letters do nothing
  EXPECT_EQ(Cell(1, kSensor2), "99");
  // Selected and current, the edited reading is still seen red.
  ASSERT_TRUE(Grid()->item(1, kSensor2)->isSelected());
  const QRect cell = Grid()->visualItemRect(Grid()->item(1, kSensor2));
  EXPECT_GT(PixelsNear(Grid()->viewport()->grab(cell).toImage(), Qt::red, 150), 5);
  QTest::keyClick(Grid(), Qt::Key_Backspace);
  QTest::keyClicks(Grid(), "0009");  // 90009 would not fit in two bytes: the last 9 is refused
  EXPECT_EQ(Cell(1, kSensor2), "9000");
  EXPECT_TRUE(Button("cmdSaveData")->isEnabled());
  prompter.answers = {Answer::Yes};
  Click(Button("cmdSaveData"));
  EXPECT_EQ(LastMessage(prompter),
            "Update Data Values: Would you like to proceed with updating data values?\n\n");
  EXPECT_EQ(ReadBytes(Block(1)), std::string(before).replace(6, 2, "\x28\x23"));  // 9000
  EXPECT_FALSE(Button("cmdSaveData")->isEnabled());
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKDATA" / "ED_01.BGF"));  // recalculated
}

// Nothing is left to update.
TEST_F(EditorWindowTest, ADeletionTakesUnsavedEditsWithTheBlock) {
  OpenBlock(2);
  TypeAt(0, kSensor1, "5");
  prompter.answers = {Answer::Yes};
  Click(Button("cmdDelete"));
  EXPECT_EQ(prompter.shown.back().title, "Confirm Delete");
  EXPECT_EQ(prompter.shown.back().buttons, Buttons::YesNoDefaultNo);
  EXPECT_FALSE(fs::exists(Block(2)));
  EXPECT_FALSE(Button("cmdSaveData")->isEnabled());
  EXPECT_FALSE(Button("cmdDelete")->isEnabled());
  EXPECT_EQ(Grid()->rowCount(), 1);
  EXPECT_EQ(window->findChild<QTableWidget*>("Fg2")->rowCount(), 0);  // nothing of the block stays
}

// The graph, the outlook and the export read the calibrated files: a deleted block leaves them.
TEST_F(EditorWindowTest, ClosingAfterADeletionLeavesTheGraphWithoutTheBlock) {
  ASSERT_TRUE(ConvertSite(files, prompter, "ED_01", "TVMKDATA"));
  ASSERT_EQ(SiteScans::Open(files, "ED_01").GraphScans(), 4u);
  OpenBlock(2);
  prompter.answers = {Answer::Yes};
  Click(Button("cmdDelete"));
  Click(Button("cmdExit"));
  EXPECT_EQ(SiteScans::Open(files, "ED_01").GraphScans(), 3u);
}

// Without a printer the print dialog still comes, set to a PDF file in the documents folder.
TEST_F(EditorWindowTest, WithoutAPrinterPrintingMakesAPdfFile) {
  if (!QPrinterInfo::availablePrinters().isEmpty()) GTEST_SKIP() << "a printer is installed";
  const ScopedEnvironment home("HOME", root.Path());
  const fs::path pdf = root.Path() / "Documents" / "Edit_Site_Data.pdf";
  fs::create_directories(pdf.parent_path());
  OpenBlock(1);
  QString offered;
  WhenDialogOpens<QPrintDialog>([&](QPrintDialog& dialog) {
    offered = dialog.printer()->outputFileName();
    dialog.accept();
  });
  Click(Button("ButtonPrint"));
  EXPECT_EQ(offered.toStdString(), pdf.string());
  EXPECT_EQ(ReadBytes(pdf).substr(0, 5), "%PDF-");
  EXPECT_TRUE(prompter.shown.empty()) << LastMessage(prompter);
}

// The deletion question answers No to Enter.
TEST_F(EditorWindowTest, EnterOnTheDeletionQuestionKeepsTheBlock) {
  QtPrompter real;
  OpenBlock(1, &real);
  QString asked;
  WhenDialogOpens<QMessageBox>([&](QMessageBox& box) {
    asked = box.windowTitle();
    QTest::keyClick(&box, Qt::Key_Return);
  });
  Click(Button("cmdDelete"));
  EXPECT_EQ(asked, "Confirm Delete");
  EXPECT_TRUE(fs::exists(Block(1)));
  EXPECT_EQ(Cell(1, 0), "2");
}

// Esc and the title bar's close end the window exactly as "Close" does; saved readings (2000)
// are recalculated before the window goes.
TEST_F(EditorWindowTest, EveryWayOutOffersUnsavedEdits) {
  const std::string original = ReadBytes(Block(1));
  for (const std::string way : {"cmdExit", "Esc Fg1", "title bar"}) {
    for (const Answer answer : {Answer::No, Answer::Yes}) {
      const bool saved = answer == Answer::Yes;
      SCOPED_TRACE(way + (saved ? " Yes" : " No"));
      window.reset();
      WriteBytes(Block(1), original);
      fs::remove(root.Path() / "TVMKDATA" / "ED_01.BGF");
      OpenBlock(1);
      TypeAt(0, kSensor2, "2000");
      prompter.shown.clear();
      prompter.answers = {answer};
      Act(*window, way);
      EXPECT_EQ(Titles(prompter), "Data Changes|");
      EXPECT_FALSE(window->isVisible());
      EXPECT_EQ(ReadBytes(Block(1)).substr(2, 2),
                saved ? std::string("\xD0\x07", 2) : original.substr(2, 2));
      EXPECT_EQ(fs::exists(root.Path() / "TVMKDATA" / "ED_01.BGF"), saved) << "recalculated";
    }
  }
}

// Another program rewrote the block while its reading was being typed over.
TEST_F(EditorWindowTest, ASaveOverAChangedBlockIsRefusedAndNoLeavesTheTypedValue) {
  const std::string rewritten = WordBytes({1, 2, 3, 4, 5, 6});
  for (const char* button : {"cmdSaveData", "cmdExit"}) {
    SCOPED_TRACE(button);
    window.reset();
    OpenBlock(1);
    TypeAt(1, kSensor2, "77");
    Files::WriteWholeFile(Block(1), rewritten);
    WrittenLater(Block(1));
    prompter.answers = {Answer::Yes, Answer::No};
    Click(Button(button));
    EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion("ED_01_001.DAT"));
    EXPECT_EQ(Cell(1, kSensor2), "77");
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(ReadBytes(Block(1)), rewritten);
  }
}

// Another copy of the program downloads into the site while the window shows it.
TEST_F(EditorWindowTest, ABlockAnotherProgramStoresJoinsTheBlockList) {
  Open(prompter);
  DataWatcher watcher(files);
  window->Follow(watcher);
  SiteBuilder(files, "ED_01").Stored(3, {11320, 36000, 900, 2, {1611, 1622}});
  ASSERT_TRUE(ChangesLetIn(watcher));
  EXPECT_EQ(Cell(2, 0), "3");
}

TEST_F(EditorWindowTest, EditsUnderABlockAnotherProgramRewritesStayAndTheWindowSaysSo) {
  OpenBlock(1);
  DataWatcher watcher(files);
  window->Follow(watcher);
  TypeAt(1, kSensor2, "77");
  Files::WriteWholeFile(Block(1), WordBytes({1, 2, 3, 4, 5, 6}));
  WrittenLater(Block(1));
  ASSERT_TRUE(ChangesLetIn(watcher));
  EXPECT_TRUE(Child<QLabel>(*window, "lblChangedNotice")->isVisible());
  EXPECT_EQ(Cell(1, kSensor2), "77");
}

// Enter moves down the grid, and the next cell is entered afresh.
TEST_F(EditorWindowTest, EnterInTheGridMovesToTheNextReading) {
  OpenBlock(1);
  TypeAt(0, kSensor1, "1900");
  QTest::keyClick(Grid(), Qt::Key_Return);
  EXPECT_EQ(Grid()->currentRow(), 1);
  QTest::keyClicks(Grid(), "7");
  QTest::keyClick(Grid(), Qt::Key_Enter);
  QTest::keyClick(Grid(), Qt::Key_Return);
  EXPECT_EQ(Cell(0, kSensor1), "1900");
  EXPECT_EQ(Cell(1, kSensor1), "7");
  EXPECT_EQ(Grid()->currentRow(), 3);
}

// So never deletes; the reading stays 1811 until the edit is saved.
TEST_F(EditorWindowTest, EnterInAGridPressesNoButton) {
  OpenBlock(1);
  TypeAt(0, kSensor1, "1900");
  for (const std::string focused : {"Fg1", "Fg2"}) {
    Act(*window, "Enter " + focused);
    EXPECT_TRUE(window->isVisible()) << focused;
  }
  EXPECT_EQ(Titles(prompter), "");
  EXPECT_TRUE(fs::exists(Block(1, ".KEY")));
  EXPECT_EQ(ReadBytes(Block(1)).substr(0, 2), std::string("\x13\x07", 2));
}

// Three scans of both sensors, as a spreadsheet copies them.
TEST_F(EditorWindowTest, CtrlVPastesARectangleOfReadingsMarkedAsEdited) {
  OpenBlock(1);
  QGuiApplication::clipboard()->setText("1900\t1901\r\n1910\t1911\r\n1920\t1921\r\n");
  ClickCell(Grid(), 0, kSensor1);
  QTest::keyClick(Grid(), Qt::Key_V, Qt::ControlModifier);
  QStringList shown;
  QStringList red;
  for (int r = 0; r < 3; ++r) {
    for (const int c : {kSensor1, kSensor2}) {
      shown << Cell(r, c);
      if (Grid()->item(r, c)->foreground().color() == Qt::red) red << Cell(r, c);
    }
  }
  EXPECT_EQ(shown.join(" "), "1900 1901 1910 1911 1920 1921");
  EXPECT_EQ(red, shown);
  EXPECT_TRUE(Button("cmdSaveData")->isEnabled());
  EXPECT_EQ(Titles(prompter), "");
}

// Two bytes hold no more than 65535.
TEST_F(EditorWindowTest, APastedReadingTheCellCannotTakeLeavesItAndIsTold) {
  OpenBlock(1);
  QGuiApplication::clipboard()->setText("1900\t70000");
  ClickCell(Grid(), 0, kSensor1);
  QTest::keyClick(Grid(), Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Cell(0, kSensor1) + "|" + Cell(0, kSensor2), "1900| 1822");
  EXPECT_NE(Grid()->item(0, kSensor2)->foreground().color(), Qt::red);
  EXPECT_EQ(LastMessage(prompter),
            "Paste: 1 pasted value was not entered: a cell takes only what could be typed into "
            "it, and keeps its value otherwise.");
}

// The keyboard puts the current cell on the block number, then the mouse clicks it.
TEST_F(EditorWindowTest, TheCurrentBlockCellClickedActsAsAnyClick) {
  OpenBlock(1);
  TypeAt(0, kSensor1, "3");
  EXPECT_EQ(Cell(0, kSensor1), "3");
  auto* info = window->findChild<QTableWidget*>("Fg2");
  for (const int block : {1, 2}) {
    SCOPED_TRACE(block);
    QTest::keyClick(Grid(), Qt::Key_Home);
    if (block == 2) QTest::keyClick(Grid(), Qt::Key_Down);
    ASSERT_EQ(Grid()->currentColumn(), 0);
    ASSERT_EQ(Grid()->currentRow(), block - 1);
    prompter.shown.clear();
    prompter.answers = {Answer::No};
    ClickCell(Grid(), block - 1, 0);
    EXPECT_EQ(Titles(prompter), "Data Changes|");
    EXPECT_EQ(info->item(9, 1)->text().toInt(), block) << "block opened";
    EXPECT_EQ(Cell(0, kSensor1), block == 1 ? " 1811" : " 1711");
    EXPECT_FALSE(Button("cmdSaveData")->isEnabled());
    TypeAt(0, kSensor1, "12");  // unsaved again for the next block
  }
}

// Without a mouse: the arrows go to a block's number and Space opens it; Enter moves on.
TEST_F(EditorWindowTest, SpaceOnABlockNumberOpensIt) {
  Open(prompter);
  PressKey(window.get(), Qt::Key_Down, Grid());
  PressKey(window.get(), Qt::Key_Space);
  EXPECT_EQ(Cell(0, kSensor1), " 1711");
}

// The date dialog takes its date on Enter and leaves it on Esc; a new date is recalculated.
TEST_F(EditorWindowTest, ANewBlockDateIsTakenOnEnterOnlyAndRecalculated) {
  OpenBlock(1);
  auto* info = window->findChild<QTableWidget*>("Fg2");
  const QString shown = info->item(0, 1)->text();
  for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
    WhenDialogOpens<CalDialog>([key](CalDialog& dialog) {
      auto* picker = Child<QDateEdit>(dialog, "DTStartdate");
      picker->setDate(QDate(2004, 3, 15));
      QTest::keyClick(picker, key);
    });
    DoubleClickCell(info, 0, 1);
    EXPECT_EQ(info->item(0, 1)->text(), key == Qt::Key_Return ? "15/03/2004" : shown);
  }
  prompter.answers = {Answer::No};
  QTest::keyClick(Grid(), Qt::Key_Escape);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKDATA" / "ED_01.BGF"));
}

TEST_F(EditorWindowTest, SpaceOnTheDateOpensTheDateDialog) {
  OpenBlock(1);
  auto* info = window->findChild<QTableWidget*>("Fg2");
  WhenDialogOpens<CalDialog>([](CalDialog& dialog) {
    Child<QDateEdit>(dialog, "DTStartdate")->setDate(QDate(2004, 3, 15));
    dialog.accept();
  });
  info->setCurrentCell(0, 1);
  PressKey(window.get(), Qt::Key_Space, info);
  EXPECT_EQ(info->item(0, 1)->text(), "15/03/2004");
}

TEST_F(EditorWindowTest, PrintAndCsvNeedAnOpenedBlock) {
  Open(prompter);
  window->SetPrinterChooser([](QPrinter&) {
    ADD_FAILURE() << "a printer chosen";
    return false;
  });
  Click(Button("ButtonPrint"));
  EXPECT_EQ(prompter.shown.back().text, "Select a data block to print");
  Click(Button("cmdCreatePRNFile"));
  EXPECT_EQ(prompter.shown.back().text, "Select a data block to save as CSV file");
}

TEST_F(EditorWindowTest, CsvFilesGetTheirExtension) {
  const struct {
    const char* guards;
    const char* typed;
    const char* written;
  } rows[] = {
      {"none typed", "season", "season.csv"},
      {"csv typed", "season.csv", "season.csv"},
      {"another typed is kept", "notes.txt", "notes.txt"},
  };
  OpenBlock(1);
  const std::string expected = BlockCsv(files, "ED_01", window->Model().OpenedStem()).text;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.guards);
    const fs::path folder = root.Path() / "csv" / row.typed;
    fs::create_directories(folder);
    window->SetCsvPathAsker([&] { return QString::fromStdString((folder / row.typed).string()); });
    Click(Button("cmdCreatePRNFile"));
    EXPECT_EQ(ReadBytes(folder / row.written), expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  }
}

// A cancelled printer dialog prints nothing; unsaved edits are printed as shown.
TEST_F(EditorWindowTest, ThePrintoutShowsTheBlockAsItIsShown) {
  int chosen = 0;
  const fs::path pdf = root.Path() / "block.pdf";
  const auto toPdf = [&](QPrinter& printer) {
    ++chosen;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    return true;
  };
  OpenBlock(1);
  TypeAt(1, kSensor1, "1899");
  window->SetPrinterChooser([](QPrinter&) { return false; });
  Click(Button("ButtonPrint"));
  EXPECT_FALSE(fs::exists(pdf));
  window->SetPrinterChooser(toPdf);
  Click(Button("ButtonPrint"));
  ASSERT_EQ(chosen, 1);
  QProcess text;
  text.start("pdftotext", {"-layout", QString::fromStdString(pdf.string()), "-"});
  ASSERT_TRUE(text.waitForFinished(20000));
  // The page holds the printout's lines (their text is the core's), the edit among them.
  const QString printed = QString::fromUtf8(text.readAllStandardOutput());
  EXPECT_TRUE(printed.contains("Site Data Printout For SiteEDGE FIELD") &&
              printed.contains(QRegularExpression("1822\\n2 +1899 +1844")))
      << printed.toStdString();
}

// Block 2 of 200 scans runs over several pages; no line falls off a page's foot.
TEST_F(EditorWindowTest, ALongPrintoutKeepsEveryLineOnItsPages) {
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 400; ++i) words.push_back(static_cast<std::uint16_t>(1000 + i));
  SiteBuilder(files, "ED_01").Block(2, {11310, 36000, 900, 2, words});
  const fs::path pdf = root.Path() / "long.pdf";
  OpenBlock(2);
  window->SetPrinterChooser([&pdf](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    return true;
  });
  Click(Button("ButtonPrint"));
  QProcess text;
  text.start("pdftotext", {"-raw", QString::fromStdString(pdf.string()), "-"});
  ASSERT_TRUE(text.waitForFinished(20000));
  const QString printed = QString::fromUtf8(text.readAllStandardOutput()).simplified();
  BlockEditor editor(files, prompter);
  editor.Load();
  ASSERT_TRUE(editor.OpenBlock(2));
  const std::vector<std::string> lines = PrintoutLines(files, editor);
  ASSERT_GT(lines.size(), 200u);
  qsizetype from = 0;
  for (const std::string& line : lines) {
    const QString shown = QString::fromStdString(line).simplified();
    if (shown.isEmpty()) continue;
    const qsizetype at = printed.indexOf(shown, from);
    ASSERT_GE(at, 0) << line;
    from = at + shown.size();
  }
}

// A printer that cannot be used, here a PDF file in a missing folder.
TEST_F(EditorWindowTest, APrinterThatCannotPrintGivesTheWindowsOwnMessage) {
  OpenBlock(1);
  const QString unwritable = QString::fromStdString((root.Path() / "missing" / "x.pdf").string());
  window->SetPrinterChooser([&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(unwritable);
    return true;
  });
  Click(Button("ButtonPrint"));
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().title, "Printer Not Connected");
  EXPECT_TRUE(window->isVisible());
}

// The editor's site, with its blocks, serves every window of the site and the editor.
TEST_F(EditorWindowTest, EveryWindowShowsItsControlsWholeAtEverySize) {
  WriteSiteSelection(files, "ED_01", "TVMKDATA", 2);
  const struct {
    const char* name;
    std::function<std::unique_ptr<QWidget>()> make;
  } windows[] = {{"editor",
                  [&]() -> std::unique_ptr<QWidget> {
                    OpenBlock(1);
                    TypeAt(1, kSensor2, "12345");
                    return std::move(window);
                  }},
                 {"date", [] { return std::make_unique<CalDialog>("15/03/2004"); }},
                 {"site", [&] { return std::make_unique<SiteWindow>(files, prompter, false); }},
                 {"directories", [&] {
                    return std::make_unique<DataDirDialog>(
                        files, prompter,
                        std::vector<std::string>{"TVMKDATA", "SEASON2", "SEASON3", "SEASON4",
                                                 "SEASON5", "SEASON6", "SEASON7", "NORTHWESTA"},
                        "SEASON2");
                  }}};
  for (const auto& w : windows) {
    SCOPED_TRACE(w.name);
    std::unique_ptr<QWidget> shown = w.make();
    shown->show();
    AtEverySize(*shown);
  }
}

}  // namespace
}  // namespace pelvaro::testing
