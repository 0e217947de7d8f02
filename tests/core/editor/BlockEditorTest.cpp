#include "core/editor/BlockEditor.h"

#include <gtest/gtest.h>

#include <functional>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "core/editor/BlockExport.h"
#include "core/storage/StateFiles.h"
#include "support/ChangedFiles.h"
#include "support/FaultPlans.h"
#include "support/RowNames.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class BlockEditorTest : public ::testing::Test {
 protected:
  // Blocks 1 to 4 of two sensors, block b reading 100b, 100b + 1, ...
  BlockEditorTest() : files(root.Path()), site(files, "ED_01") { Build(); }
  void Build() {
    site.Header({{1, 1000, 100, 40, 20}, {2, 1000, 100, 40, 20}}, 4);
    for (int b = 1; b <= 4; ++b) Block(b, 2, 4);
    site.Set({{header::kLastRunDay, " 204"}, {header::kLastRunTime, " 18000"}});
    WriteSiteSelection(files, "ED_01", "TVMKDATA");
  }
  void Block(int b, int sensors, int words) {
    std::vector<std::uint16_t> w;
    for (int i = 0; i < words; ++i) w.push_back(static_cast<std::uint16_t>(100 * b + i));
    site.Block(b, {200 + b, 36000, 900, sensors, w});
  }
  // Types into a reading cell as a person does: entering it, then the keys.
  static void TypeIn(BlockEditor& editor, int row, int column, const std::string& keys) {
    editor.EnterCell();
    for (char c : keys) EXPECT_TRUE(editor.Type(row, column, c)) << c;
  }
  fs::path Data(int block, const char* ext = ".DAT") const {
    return root.Path() / "TVMKDATA" / (BlockStem("ED_01", block) + ext);
  }
  // Another Pelvaro program on the same working root deletes a block as a person would.
  bool DeletedElsewhere(int block) const {
    Files own(root.Path());
    ScriptedPrompter yes;  // answers Yes to the deletion question
    BlockEditor other(own, yes);
    other.Load();
    const std::size_t blocks = other.Blocks().size();
    return other.OpenBlock(block) && other.DeleteSelected() && other.Blocks().size() == blocks - 1;
  }
  // The editor open on block 2 with its first reading typed over.
  void OpenOnBlock2(BlockEditor& editor) {
    editor.Load();
    ASSERT_TRUE(editor.OpenBlock(2));
    TypeIn(editor, 0, 0, "5");
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
  SiteBuilder site;
};

TEST_F(BlockEditorTest, DeletingABlockRenumbersTheLaterOnes) {
  const std::string third = ReadBytes(Data(3));
  const std::string fourth = ReadBytes(Data(4, ".KEY"));
  BlockEditor editor(files, prompter);
  editor.Load();
  editor.OpenBlock(2);
  TypeIn(editor, 0, 0, "5");  // an edit goes with its block
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.DeleteSelected());
  EXPECT_EQ(prompter.shown.back().title, "Confirm Delete");
  EXPECT_EQ(prompter.shown.back().text,
            "Are you sure you want to delete the selected data block?\r\n\r\nBlock 2, started "
            "20/07/1996 10:00:00, 2 scans.");
  EXPECT_FALSE(editor.IsEdited(0, 0) || editor.UpdateEnabled());
  EXPECT_EQ(ReadBytes(Data(2)), third);
  EXPECT_EQ(ReadBytes(Data(3, ".KEY")), fourth);
  EXPECT_FALSE(fs::exists(Data(4)));
  EXPECT_EQ(HeaderRecords(files, "ED_01", {114, 116, 117, 220}), "1|3|| 204");
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3}));
  // The last block: the marker goes, so the run can be downloaded again.
  editor.OpenBlock(3);
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.DeleteSelected());
  EXPECT_EQ(HeaderRecords(files, "ED_01", {220, 221}), "|");
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2}));
}

TEST_F(BlockEditorTest, AnIndexThatDisagreesWithTheFilesIsPutRight) {
  // As a deletion cut short: block 2's files gone, 3 and 4 not yet moved.
  const std::string fourth = ReadBytes(Data(4));
  fs::remove(Data(2));
  fs::remove(Data(2, ".KEY"));
  BlockEditor editor(files, prompter);
  editor.Load();
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(ReadBytes(Data(3)), fourth);
  EXPECT_FALSE(fs::exists(Data(4)));
}

// However many readings a scan has, or says it has, the grid shows whole scans.
TEST_F(BlockEditorTest, TheGridHasAColumnForEachSensorOfTheBlock) {
  struct Case {
    const char* guards;
    int blockSensors;
    const char* sensorsOn;  // the site's record, for a block that gives no count
    int words;
    std::string shown;  // sensors, scans and the readings, row by row
  };
  const Case cases[] = {
      Case("five sensors", 5, "", 11, "5x2: 100 101 102 103 104| 105 106 107 108 109| 110|"),
      Case("more than five shows five", 7, "", 5, "5x1: 100 101 102 103 104|"),
      Case("no count: the site's sensors", 0, " 3", 4, "3x1: 100 101 102| 103|"),
      Case("no count, and none on the site either", 0, " 0", 2, "1x2: 100| 101|"),
      Case("no count, and too many on the site", 0, " 9", 5, "5x1: 100 101 102 103 104|"),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    Block(1, c.blockSensors, c.words);
    site.Set({{header::kSensorsOn, c.sensorsOn}});
    BlockEditor editor(files, prompter);
    editor.Load();
    ASSERT_TRUE(editor.OpenBlock(1));
    std::string shown = Trim(editor.Info()[4].second) + "x" + Trim(editor.Info()[12].second) + ":";
    for (const auto& row : editor.Readings()) {
      for (const std::string& reading : row) shown += reading;
      shown += "|";
    }
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(editor.SensorsPerScan(), shown[0] - '0');
    EXPECT_EQ(editor.GridRows(),
              static_cast<int>(std::lround(1.0 * c.words / editor.SensorsPerScan() + 7)));
  }
}

TEST_F(BlockEditorTest, SavedReadingsGoIntoTheirOwnTwoBytes) {
  BlockEditor editor(files, prompter);
  editor.Load();
  ASSERT_TRUE(editor.OpenBlock(2));
  TypeIn(editor, 0, 1, "256");
  TypeIn(editor, 1, 1, "65535");
  TypeIn(editor, 1, 0, "9\b7");
  EXPECT_FALSE(editor.Type(1, 1, '0'));  // 655350 would not fit in two bytes
  EXPECT_FALSE(editor.Type(0, -1, '5') || editor.Type(-1, 0, '5'));  // no cell: nothing typed
  EXPECT_TRUE(editor.IsEdited(1, 0) && editor.IsEdited(0, 1) && !editor.IsEdited(0, 0));
  prompter.answers = {Answer::Yes};
  editor.UpdateData();
  EXPECT_EQ(ReadBytes(Data(2)), std::string("\xC8\x00\x00\x01\x07\x00\xFF\xFF", 8));
  EXPECT_FALSE(editor.UpdateEnabled());
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKDATA" / "ED_01.BGF"));  // recalculated
}

TEST_F(BlockEditorTest, AnEmptyBlockLeavesNoneOpenAndAStartDateOnlyItsDay) {
  WriteBytes(Data(3), "\x01\x02");
  BlockEditor editor(files, prompter);
  editor.Load();
  ASSERT_TRUE(editor.OpenBlock(1));
  EXPECT_FALSE(editor.OpenBlock(3));
  EXPECT_EQ(prompter.shown.back().text, "SITE " +
                                            (root.Path() / "TVMKDATA" / "ED_01_003").string() +
                                            " IS EMPTY, LOAD DATA FROM VELMORA");
  EXPECT_FALSE(editor.OpenedBlock());
  EXPECT_TRUE(editor.Readings().empty());
  EXPECT_FALSE(editor.Type(0, 0, '5'));
  EXPECT_FALSE(editor.DeleteSelected());
  EXPECT_TRUE(PrintoutLines(files, editor).empty());
  // A new start date changes the run header's day and nothing else.
  ASSERT_TRUE(editor.OpenBlock(1));
  const std::string before = ReadBlockHeader(Data(1, ".KEY")).record2;
  EXPECT_TRUE(editor.ChangeStartDate(15, 3, 2004));
  const std::string after = ReadBlockHeader(Data(1, ".KEY")).record2;
  EXPECT_EQ(after.substr(0, 2), std::string("\xB5\x0B", 2));
  EXPECT_EQ(after.substr(2), before.substr(2));
  EXPECT_EQ(editor.Info()[0].second, "15/03/2004");
}

TEST_F(BlockEditorTest, DeletingEveryBlockDownToTheOnlyOneLeftEmptiesTheIndex) {
  for (int b = 4; b >= 1; --b) {
    BlockEditor editor(files, prompter);
    editor.Load();
    ASSERT_TRUE(editor.OpenBlock(b));
    prompter.answers = {Answer::Yes};
    ASSERT_TRUE(editor.DeleteSelected());
  }
  const SiteHeader::BlockIndex index =
      SiteHeader::Open(files, "ED_01", RecordFile::Mode::ReadOnly).ReadBlockIndex();
  EXPECT_TRUE(index.numbers.empty());
  EXPECT_FALSE(index.damaged);
  EXPECT_FALSE(fs::exists(Data(1)));
}

TEST_F(BlockEditorTest, AStartDateTheDayCountCannotHoldIsRefusedAndChangesNothing) {
  BlockEditor editor(files, prompter);
  editor.Load();
  ASSERT_TRUE(editor.OpenBlock(1));
  const std::string before = ReadBlockHeader(Data(1, ".KEY")).record2;
  EXPECT_FALSE(editor.ChangeStartDate(1, 1, 2086));
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().text, "Date format error, should be DD/MM/YYYY");
  EXPECT_EQ(ReadBlockHeader(Data(1, ".KEY")).record2, before);
}

TEST_F(BlockEditorTest, ABlockFileThatCannotBeRemovedStaysAndIsSaid) {
  BlockEditor editor(files, prompter);
  editor.Load();
  editor.OpenBlock(2);
  FaultAt fail(FaultAt::Mode::Fail, "remove ED_01_002.DAT");
  {
    InstalledPlan plan(fail);
    prompter.answers = {Answer::Yes};
    EXPECT_TRUE(editor.DeleteSelected());
  }
  EXPECT_EQ(prompter.shown.back().text.rfind("An error occurred while deleting the data block.", 0),
            0u);
  EXPECT_EQ(ReadBytes(Data(2)), WordBytes({200, 201, 202, 203}));
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3, 4}));  // the index follows the files
}

TEST_F(BlockEditorTest, ThePrintoutShowsTheOpenedBlock) {
  site.Set({{header::kSiteName, "EDGE"}, {header::kDepthSlotCount, "12"}});
  Block(1, 2, 5);
  BlockEditor editor(files, prompter);
  editor.Load();
  editor.OpenBlock(1);
  std::string printed;
  for (const std::string& line : PrintoutLines(files, editor)) printed += line + "\n";
  EXPECT_EQ(printed,
            "\n       Velmora Pelvaro Soil Moisture\n"
            "             Site Data Printout For SiteEDGE\n\n"
            "      Total Profile Points  12   Number of sensors  2\n"
            "      VELMORA Serial Number  3001   Site number  1\n"
            "      Block Start Date 19/07/1996  Start Time 10:00:00\n"
            "      This block number  1   Sensor scan time in minutes  15\n\n"
            "     Scan   Sens. 1  Sens. 2\n"
            "   1           100      101\n"
            "   2           102      103\n"
            "   3           104         \n");
  // A scan number of four digits or more fills its column alone.
  Block(2, 1, 1000);
  editor.OpenBlock(2);
  EXPECT_EQ(PrintoutLines(files, editor).back(), "1000          1199");
}

TEST_F(BlockEditorTest, NoSaveWritesOverABlockChangedSinceItWasOpenedAndNoKeepsTheEdits) {
  struct Change {
    const char* name;
    std::function<void()> make;
    const char* file;  // the one named
  };
  const Change changes[] = {
      {"block 1 deleted: block 3 becomes 2", [&] { ASSERT_TRUE(DeletedElsewhere(1)); },
       "ED_01_002.DAT"},
      {"its readings rewritten",
       [&] {
         Files::WriteWholeFile(Data(2), WordBytes({7, 7, 7, 7}));
         WrittenLater(Data(2));
       },
       "ED_01_002.DAT"},
      {"its start date changed",
       [&] { WriteBlockHeaderRecord(Data(2, ".KEY"), 2, std::string(13, '\1')); }, "ED_01_002.KEY"},
  };
  struct Save {
    const char* name;
    std::deque<Answer> answers;  // the last answers the question about the changed file
    std::function<void(BlockEditor&)> act;
  };
  const Save saves[] = {
      {"Update Data", {Answer::Yes, Answer::No}, [](BlockEditor& e) { e.UpdateData(); }},
      {"Close", {Answer::Yes, Answer::No}, [](BlockEditor& e) { EXPECT_FALSE(e.Close()); }},
      {"start date", {Answer::No}, [](BlockEditor& e) { e.ChangeStartDate(1, 2, 2003); }},
      {"Delete Selected", {Answer::Yes, Answer::No}, [](BlockEditor& e) { e.DeleteSelected(); }},
  };
  for (const Change& change : changes) {
    for (const Save& save : saves) {
      SCOPED_TRACE(std::string(change.name) + ", then " + save.name);
      Build();
      Block(3, 2, 6);  // longer than block 2, so a move shows in the data file's size
      BlockEditor editor(files, prompter);
      OpenOnBlock2(editor);
      change.make();
      const auto after = RootFiles(root.Path());
      prompter.answers = save.answers;
      save.act(editor);
      EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion(change.file));
      EXPECT_EQ(RootFiles(root.Path()), after);
      EXPECT_EQ(editor.OpenedBlock(), std::optional(2));
      EXPECT_EQ(editor.Readings()[0][0], "5");
      EXPECT_TRUE(editor.IsEdited(0, 0));
      EXPECT_EQ(editor.Blocks().size(), 4u);
    }
  }
}

TEST_F(BlockEditorTest, YesAfterARefusedSaveShowsTheBlocksAsTheyNowAre) {
  BlockEditor editor(files, prompter);
  OpenOnBlock2(editor);
  ASSERT_TRUE(DeletedElsewhere(1));
  prompter.answers = {Answer::Yes, Answer::Yes};
  editor.UpdateData();
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(editor.OpenedBlock(), std::optional(2));
  EXPECT_EQ(editor.Readings()[0][0], " 300");
  EXPECT_FALSE(editor.IsEdited(0, 0));
  EXPECT_FALSE(editor.UpdateEnabled());
}

// The last block moved down: its number is gone, and nothing is opened.
TEST_F(BlockEditorTest, YesAfterARefusedSaveOfTheLastBlockOpensNothing) {
  BlockEditor last(files, prompter);
  last.Load();
  ASSERT_TRUE(last.OpenBlock(4));
  TypeIn(last, 0, 0, "5");
  ASSERT_TRUE(DeletedElsewhere(1));
  prompter.answers = {Answer::Yes, Answer::Yes};
  last.UpdateData();
  EXPECT_EQ(last.Blocks(), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(last.OpenedBlock(), std::nullopt);
}

TEST_F(BlockEditorTest, TheEditorsOwnSavesFollowOneAnother) {
  BlockEditor editor(files, prompter);
  OpenOnBlock2(editor);
  prompter.answers = {Answer::Yes};
  editor.UpdateData();
  EXPECT_TRUE(editor.ChangeStartDate(1, 2, 2003));
  TypeIn(editor, 0, 1, "6");
  prompter.answers = {Answer::Yes};
  editor.UpdateData();
  EXPECT_EQ(ReadBytes(Data(2)), WordBytes({5, 6, 202, 203}));
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.DeleteSelected());
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3}));
  for (const auto& shown : prompter.shown) EXPECT_NE(shown.title, "File Changed") << shown.text;
}

TEST_F(BlockEditorTest, ABlockThatCannotBeReadBackAtASaveIsNotWritten) {
  BlockEditor editor(files, prompter);
  OpenOnBlock2(editor);
  const auto before = RootFiles(root.Path());
  FaultAt fail(FaultAt::Mode::Fail, "open ED_01_002.KEY", FaultAt::Kinds::Reads);
  {
    InstalledPlan plan(fail);
    prompter.answers = {Answer::Yes};
    editor.UpdateData();
  }
  EXPECT_EQ(prompter.shown.back().text,
            "An error occurred while saving the data values.\r\nThe error is Input/output error "
            "(injected): ED_01_002.KEY");
  EXPECT_EQ(RootFiles(root.Path()), before);
  EXPECT_EQ(editor.Readings()[0][0], "5");
}

#ifndef _WIN32
// As found: the editor open on block 2 while another program deletes block 1.
TEST_F(BlockEditorTest, ABlockDeletedByAnotherProcessIsNotWrittenOver) {
  Block(3, 2, 6);  // longer than block 2, so the move shows in the data file's size
  BlockEditor editor(files, prompter);
  OpenOnBlock2(editor);
  const pid_t child = fork();
  if (child == 0) _exit(DeletedElsewhere(1) ? 0 : 1);
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_EQ(status, 0) << "the other process did not delete block 1";
  const auto deleted = RootFiles(root.Path());
  prompter.answers = {Answer::Yes, Answer::No};
  editor.UpdateData();
  EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion("ED_01_002.DAT"));
  EXPECT_EQ(RootFiles(root.Path()), deleted);
}
#endif

TEST(BlockCsv, SmallBlockIsByteExact) {
  TempRoot root;
  Files files(root.Path());
  SiteBuilder site(files, "SMALL_01");
  site.Header({{1, 3000, 120, 100, 60}, {3, 2000, 100, 40, 20}}, 1);
  site.Identity("SMALL", "01", "3001");
  // 23:59:30 with a 60 s interval: the second scan falls on the next day; the
  // last is one reading short.
  site.Block(1, {100, 86370, 60, 2, {1800, 1500, 1790, 1490, 1780}});
  const fs::path stem = root.Path() / "TVMKDATA" / "SMALL_01_001";
  const CsvText csv = BlockCsv(files, "SMALL_01", stem);
  ASSERT_EQ(csv.error, "");
  EXPECT_EQ(csv.text,
            "Site Name:   ,    SMALL\r\n"
            "Site Number:   ,     1\r\n"
            "Logger Type:   ,    Velmora Pelvaro Soil Moisture\r\n"
            "Serial Number:   ,     3001\r\n"
            "\r\n\r\n\r\n"
            "Scan Number   ,Date And Time(UTC + 12:00)   ,Sensor  1   ,         ,Sensor  2   ,"
            "         ,\r\n"
            "        ,        ,Raw Value   ,Water %   ,Raw Value   ,Water %   ,\r\n"
            " 1   ,35164.999652,    1800,    100.00,    1500,    50.00\r\n"
            " 2   ,35165.000347,    1790,    100.83,    1490,    51.00\r\n"
            " 3   ,35165.001041,    1780,    101.67,    0,    200.00\r\n");
  for (const char* type : {"Volumetric", ""}) {
    site.Set({{header::kMeasurementType, type}});
    EXPECT_NE(BlockCsv(files, "SMALL_01", stem).text.find("Water mm   ,"), std::string::npos);
  }
  // Depths beyond the site's depth count are left out: one sensor, five scans.
  site.Set({{header::kDepthSlotCount, "2"}});
  const std::string one = BlockCsv(files, "SMALL_01", stem).text;
  EXPECT_EQ(one.find("Sensor  2"), std::string::npos);
  EXPECT_EQ(std::count(one.begin(), one.end(), '\n'), 9 + 5);
  // A name typed without an extension is saved as a spreadsheet's file.
  ScriptedPrompter prompter;
  ASSERT_TRUE(SaveBlockCsv(files, prompter, "SMALL_01", stem, root.Path() / "typed"));
  EXPECT_EQ(ReadBytes(root.Path() / "typed.csv"), one);
  // A zero slope stops the export with a message, and no file is written.
  site.Set({{header::kDepthSlotCount, "0"}, {header::CalibrationBase(3) + 1, " 0"}});
  EXPECT_FALSE(SaveBlockCsv(files, prompter, "SMALL_01", stem, root.Path() / "out.csv"));
  EXPECT_FALSE(fs::exists(root.Path() / "out.csv"));
  EXPECT_EQ(prompter.shown.back().text, "Invalid slope value for the sensor at profile depth 30.");
}

TEST_F(BlockEditorTest, OpeningAnotherBlockSavesTheEditsAndOpensIt) {
  BlockEditor editor(files, prompter);
  OpenOnBlock2(editor);
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.OpenBlock(3));
  EXPECT_EQ(editor.OpenedBlock(), 3);
  EXPECT_EQ(ReadBytes(Data(2)).substr(0, 2), std::string("\x05\x00", 2));
}

// What another program's change of the site shows in an editor open on it.
enum class Outside { Nothing, DeletesBlock4, RewritesBlock2 };
struct Following {
  const char* guards;
  bool open;    // block 2 open
  bool edited;  // its first reading typed over, not saved
  Outside outside;
  BlockEditor::OutsideChange expected;
  std::vector<int> listed;
  std::optional<std::string> thirdReading;  // of the opened block, as shown after
};

class FollowingOutsideChange : public BlockEditorTest,
                               public ::testing::WithParamInterface<Following> {};

TEST_P(FollowingOutsideChange, ShowsWhatChangedAndKeepsUnsavedEdits) {
  const Following& c = GetParam();
  BlockEditor editor(files, prompter);
  editor.Load();
  if (c.open) {
    ASSERT_TRUE(editor.OpenBlock(2));
  }
  if (c.edited) TypeIn(editor, 0, 0, "5");
  if (c.outside == Outside::DeletesBlock4) {
    ASSERT_TRUE(DeletedElsewhere(4));
  }
  if (c.outside == Outside::RewritesBlock2) Block(2, 2, 6);
  EXPECT_EQ(editor.FollowOutsideChange(), c.expected);
  EXPECT_EQ(editor.Blocks(), c.listed);
  EXPECT_EQ(editor.Changed(), c.edited);
  EXPECT_EQ(editor.IsEdited(0, 0), c.edited);
  if (c.thirdReading) {
    EXPECT_EQ(editor.Readings().at(2).at(0), *c.thirdReading);
  }
}

using Change = BlockEditor::OutsideChange;
// clang-format off
const Following kFollowing[] = {
    {"nothing changed and no block open",
     false, false, Outside::Nothing, Change::None, {1, 2, 3, 4}, std::nullopt},
    {"nothing changed under an open block",
     true, false, Outside::Nothing, Change::None, {1, 2, 3, 4}, std::nullopt},
    {"nothing changed under unsaved edits",
     true, true, Outside::Nothing, Change::None, {1, 2, 3, 4}, std::nullopt},
    {"a later block deleted elsewhere under unsaved edits",
     true, true, Outside::DeletesBlock4, Change::Shown, {1, 2, 3}, std::nullopt},
    {"the opened block rewritten elsewhere",
     true, false, Outside::RewritesBlock2, Change::Shown, {1, 2, 3, 4}, " 204"},
    {"the opened block rewritten elsewhere under unsaved edits",
     true, true, Outside::RewritesBlock2, Change::EditsRefused, {1, 2, 3, 4}, std::nullopt},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Editor, FollowingOutsideChange, ::testing::ValuesIn(kFollowing),
                         ByGuards());

}  // namespace
}  // namespace pelvaro::testing
