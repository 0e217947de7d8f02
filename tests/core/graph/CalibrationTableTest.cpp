#include "core/graph/CalibrationTable.h"

#include <gtest/gtest.h>

#include "core/graph/GraphFixture.h"
#include "core/operations/Conversion.h"
#include "support/ChangedFiles.h"

namespace pelvaro::testing {
namespace {

using Table = CalibrationTable;
using Result = CalibrationTable::KeyResult;

class CalibrationTableTest : public GraphFixture {
 protected:
  // Two sensors at 10 and 30 cm; raw 4400 calibrates to 20 and 25.
  void RealSite() {
    site.Header({{1, 4600, 100, 30, 12}, {3, 4650, 100, 35, 15}}, 1);
    site.Block(1, {10014, 0, 900, 2, {4400, 4400, 4400, 4400}});
    ASSERT_TRUE(ConvertSite(files, prompter, "X_01", "TVMKDATA"));
    ASSERT_EQ(model.Load(), GraphModel::LoadResult::Drawn);
  }
  void Type(int row, int column, const std::string& keys) {
    model.Table().EnterCell();
    for (char c : keys) model.TypeInTable(row, column, static_cast<unsigned char>(c));
  }
  std::string Cell(int row, int column) const { return model.Table().Rows()[row].cells[column]; }
};

TEST_F(CalibrationTableTest, KeysFollowTheGridsRules) {
  RealSite();
  ASSERT_EQ(model.Table().Rows().size(), 2u);
  EXPECT_EQ(Cell(1, Table::kDepth), "30");
  EXPECT_EQ(Cell(1, Table::kOffset), "4650");
  Type(0, Table::kOffset, "7");  // the first digit after entering replaces
  EXPECT_EQ(Cell(0, Table::kOffset), "7");
  Type(0, Table::kOffset, "1234567");  // then digits append up to five
  EXPECT_EQ(Cell(0, Table::kOffset), "12345");
  model.Table().EnterCell();
  model.TypeInTable(0, Table::kOffset, '.');  // a point acts as Backspace
  EXPECT_EQ(Cell(0, Table::kOffset), "1234");
  model.TypeInTable(0, Table::kOffset, 8);
  model.TypeInTable(0, Table::kOffset, 'x');
  EXPECT_EQ(Cell(0, Table::kOffset), "123");
  Type(0, Table::kRefill, "12");  // a full cell drops the digit, even the first
  EXPECT_EQ(Cell(0, Table::kRefill), "12");
  EXPECT_EQ(model.Table().Key(0, Table::kRefill, '3'), Result::Dropped);
  EXPECT_EQ(model.Table().Key(0, Table::kDepth, '5'), Result::Dropped);
  // Each column holds what its calibration value needs.
  for (const auto& [column, shown] :
       {std::pair{Table::kSlope, "987"}, {Table::kFull, "987"}, {Table::kRefill, "98"}}) {
    Type(1, column, "\b\b\b98765");
    EXPECT_EQ(Cell(1, column), shown) << column;
  }
  model.ClickDepth(3, false);  // the row of a cleared depth takes no keys
  EXPECT_EQ(model.Table().Rows()[1].disabled, true);
  EXPECT_EQ(model.Table().Key(1, Table::kSlope, 8), Result::Dropped);
  model.ClickDepth(3, true);
  EXPECT_EQ(model.Table().Key(1, Table::kSlope, 8), Result::Typed);
}

TEST_F(CalibrationTableTest, FieldCapacityAbove100AZeroSlopeOrNoLockStopsTheSave) {
  RealSite();
  model.Table().EnterCell();
  for (char c : std::string("100")) model.TypeInTable(1, Table::kFull, c);
  Type(0, Table::kOffset, "4700");
  EXPECT_TRUE(model.TypeInTable(0, Table::kOffset, 13));  // 100 passes
  EXPECT_EQ(SiteHeader::Open(files, "X_01").ReadRecord(header::CalibrationBase(3) + 2), " 100");

  Type(1, Table::kFull, "\b\b\b101");  // typed in another row than the one saved from
  Type(0, Table::kRefill, "5");
  EXPECT_FALSE(model.TypeInTable(0, Table::kRefill, 13));
  EXPECT_EQ(prompter.shown.back().text,
            "Field capacity at depth 30 exceeds the maximum value 100.");
  EXPECT_EQ(prompter.shown.back().title, "Invalid Field Capacity");
  EXPECT_EQ(SiteHeader::Open(files, "X_01").ReadRecord(header::CalibrationBase(1) + 3), " 12");

  Type(1, Table::kFull, "\b\b\b40");
  Type(1, Table::kSlope, "\b\b\b0");
  // Refused, not declined: the window stays open for mending.
  EXPECT_EQ(model.SaveTable(), Table::SaveResult::Refused);
  EXPECT_EQ(prompter.shown.back().text, "Invalid slope value for the sensor at profile depth 30.");
  Type(1, Table::kSlope, "\b\b\b9");
  fs::remove(root.Path() / "PELVARO.LCK");
  fs::create_directories(root.Path() / "PELVARO.LCK");  // a lock that cannot be taken
  EXPECT_EQ(model.SaveTable(), Table::SaveResult::Refused);
  EXPECT_EQ(SiteHeader::Open(files, "X_01").ReadRecord(header::CalibrationBase(3) + 2), " 100");
}

// The offset, typed as 4700 over a header last written elsewhere (4800) or by the grid (4750).
TEST_F(CalibrationTableTest, TheGridWritesOnlyOverTheHeaderItRead) {
  struct Case {
    const char* name;
    bool elsewhere;
    Answer answer;  // to the question about the changed file
    Table::SaveResult result;
    const char* shown;
    const char* stored;
  };
  using R = Table::SaveResult;
  const Case cases[] = {
      {"changed elsewhere, No: what was typed stays", true, Answer::No, R::Refused, "4700", "4800"},
      {"changed elsewhere, Yes: the header as it now is", true, Answer::Yes, R::Reloaded, "4800",
       "4800"},
      {"saved by the grid itself: saved again", false, Answer::Yes, R::Saved, "4700", "4700"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RealSite();
    Files other(root.Path());
    if (c.elsewhere) {
      SiteHeader::Open(other, "X_01").WriteRecord(header::CalibrationBase(1), " 4800");
    } else {
      Type(0, Table::kOffset, "4750");
      ASSERT_TRUE(model.TypeInTable(0, Table::kOffset, 13));
    }
    const auto before = RootFiles(root.Path());
    Type(0, Table::kOffset, "4700");
    prompter.answers = {Answer::Yes, c.answer};
    EXPECT_EQ(model.SaveTable(), c.result);
    if (c.elsewhere) {
      EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion("X_01.key"));
      EXPECT_EQ(RootFiles(root.Path()), before);
    }
    EXPECT_EQ(
        Cell(0, Table::kOffset) + "|" + HeaderRecords(files, "X_01", {header::CalibrationBase(1)}),
        std::string(c.shown) + "| " + c.stored);
  }
}

TEST_F(CalibrationTableTest, AClearedDepthStaysClearedWhenTheGridIsReadAgain) {
  RealSite();
  model.ClickDepth(1, false);
  SiteHeader::Open(files, "X_01").WriteRecord(header::CalibrationBase(3), " 4800");
  Type(1, Table::kOffset, "4700");
  prompter.answers = {Answer::Yes, Answer::Yes};
  ASSERT_EQ(model.SaveTable(), Table::SaveResult::Reloaded);
  EXPECT_TRUE(model.Table().Rows()[0].disabled);
  EXPECT_FALSE(model.Table().Rows()[1].disabled);
}

TEST_F(CalibrationTableTest, SavedValuesReachTheHeaderAndTheGraphIsRedrawnFromTheNewFile) {
  RealSite();
  SiteHeader::Open(files, "X_01").WriteRecord(header::CalibrationBase(3) + 1, " 100.5");
  ASSERT_EQ(model.Load(), GraphModel::LoadResult::Drawn);
  model.SetLimitLines(true);
  EXPECT_EQ(Y(0).front(), 20);
  EXPECT_EQ(model.Series(kFieldCapacitySeries).level, 30);
  Type(0, Table::kOffset, "4700");
  Type(0, Table::kFull, "33");
  prompter.shown.clear();
  EXPECT_TRUE(model.TypeInTable(0, Table::kFull, 13));
  EXPECT_EQ(prompter.shown.size(), 1u);  // the question, and no message from the recalculation
  SiteHeader header = SiteHeader::Open(files, "X_01");
  EXPECT_EQ(header.ReadRecord(header::CalibrationBase(1)), " 4700");
  EXPECT_EQ(header.ReadRecord(header::CalibrationBase(1) + 2), " 33");
  EXPECT_EQ(header.ReadRecord(header::CalibrationBase(3) + 1), " 100.5");  // fractions kept
  EXPECT_EQ(header.ReadRecord(header::CalibrationBase(3) + 4), "ON");
  EXPECT_EQ(Y(0).front(), 30);
  EXPECT_EQ(model.Series(kFieldCapacitySeries).level, 33);
}

}  // namespace
}  // namespace pelvaro::testing
