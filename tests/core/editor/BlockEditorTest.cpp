#include "core/editor/BlockEditor.h"

#include <gtest/gtest.h>

#include "core/editor/BlockExport.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class BlockEditorTest : public ::testing::Test {
 protected:
  BlockEditorTest() : files(root.Path()) {
    SiteBuilder site(files, "ED_01");
    site.Header({{1, 1000, 100, 40, 20}, {2, 1000, 100, 40, 20}}, 4);
    for (int b = 1; b <= 4; ++b) {
      const auto w = static_cast<std::uint16_t>(100 * b);
      site.Block(b, {200 + b,
                     36000,
                     900,
                     2,
                     {w, static_cast<std::uint16_t>(w + 1), static_cast<std::uint16_t>(w + 2),
                      static_cast<std::uint16_t>(w + 3)}});
    }
    SetRecord(header::kLastRunDay, " 204");
    SetRecord(header::kLastRunTime, " 18000");
    WriteSiteSelection(files, "ED_01", "TVMKDATA");
  }
  void SetRecord(int r, const std::string& text) {
    SiteHeader::Open(files, "ED_01").WriteRecord(r, text);
  }
  std::string Record(int r) {
    return SiteHeader::Open(files, "ED_01", RecordFile::Mode::ReadOnly).ReadRecord(r);
  }
  fs::path Data(int block, const char* ext = ".DAT") const {
    return root.Path() / "TVMKDATA" / (BlockStem("ED_01", block) + ext);
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
};

TEST_F(BlockEditorTest, DeletingABlockRenumbersTheLaterOnes) {
  const std::string third = ReadBytes(Data(3));
  const std::string fourth = ReadBytes(Data(4, ".KEY"));
  BlockEditor editor(files, prompter);
  editor.Load();
  editor.OpenBlock(2);
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.DeleteSelected());
  EXPECT_EQ(prompter.shown.back().title, "Confirm Delete");
  EXPECT_EQ(ReadBytes(Data(2)), third);
  EXPECT_EQ(ReadBytes(Data(3, ".KEY")), fourth);
  EXPECT_FALSE(fs::exists(Data(4)));
  EXPECT_EQ(Record(114), "1");
  EXPECT_EQ(Record(116), "3");
  EXPECT_EQ(Record(117), "");
  EXPECT_EQ(Record(220), " 204");
  EXPECT_EQ(editor.Blocks(), (std::vector<int>{1, 2, 3}));
  // The last block: the marker goes, so the run can be downloaded again.
  editor.OpenBlock(3);
  prompter.answers = {Answer::Yes};
  EXPECT_TRUE(editor.DeleteSelected());
  EXPECT_EQ(Record(220), "");
  EXPECT_EQ(Record(221), "");
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

TEST_F(BlockEditorTest, EmptyBlocksAndTheStartDate) {
  WriteBytes(Data(4), "\x01\x02");
  BlockEditor editor(files, prompter);
  editor.Load();
  EXPECT_FALSE(editor.OpenBlock(4));
  EXPECT_EQ(prompter.shown.back().text, "SITE " +
                                            (root.Path() / "TVMKDATA" / "ED_01_004").string() +
                                            " IS EMPTY, LOAD DATA FROM VELMORA");
  ASSERT_TRUE(editor.OpenBlock(1));
  const std::string before = ReadBlockHeader(Data(1, ".KEY")).record2;
  EXPECT_TRUE(editor.ChangeStartDate(15, 3, 2004));
  const std::string after = ReadBlockHeader(Data(1, ".KEY")).record2;
  EXPECT_EQ(after.substr(0, 2), std::string("\xB5\x0B", 2));
  EXPECT_EQ(after.substr(2), before.substr(2));
  EXPECT_EQ(editor.Info()[0].second, "15/03/2004");
}

TEST(BlockCsv, SmallBlockIsByteExact) {
  TempRoot root;
  Files files(root.Path());
  SiteBuilder site(files, "SMALL_01");
  site.Header({{1, 3000, 120, 100, 60}, {3, 2000, 100, 40, 20}}, 1);
  SiteHeader::Open(files, "SMALL_01").WriteRecord(header::kSiteName, "SMALL");
  SiteHeader::Open(files, "SMALL_01").WriteRecord(header::kMeasurementType, "Percentage");
  // 23:59:30 with a 60 s interval: the second scan falls on the next day.
  site.Block(1, {100, 86370, 60, 2, {1800, 1500, 1790, 1490}});
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
            " 2   ,35165.000347,    1790,    100.83,    1490,    51.00\r\n");
  for (const char* type : {"Volumetric", ""}) {
    SiteHeader::Open(files, "SMALL_01").WriteRecord(header::kMeasurementType, type);
    EXPECT_NE(BlockCsv(files, "SMALL_01", stem).text.find("Water mm   ,"), std::string::npos);
  }
  // A zero slope stops the export with a message, and no file is written.
  SiteHeader::Open(files, "SMALL_01").WriteRecord(header::CalibrationBase(3) + 1, " 0");
  ScriptedPrompter prompter;
  EXPECT_FALSE(SaveBlockCsv(files, prompter, "SMALL_01", stem, root.Path() / "out.csv"));
  EXPECT_FALSE(fs::exists(root.Path() / "out.csv"));
  EXPECT_EQ(prompter.shown.back().text, "Invalid slope value for the sensor at profile depth 30.");
}

}  // namespace
}  // namespace pelvaro::testing
