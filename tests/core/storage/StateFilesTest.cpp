#include "core/storage/StateFiles.h"

#include <gtest/gtest.h>

#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

using Fields = std::vector<std::string>;

TEST(StateFiles, FieldReaderSplitsAtCommasAndLineEnds) {
  EXPECT_EQ(ReadFields("A,B\r\nC\r\n", 3), (Fields{"A", "B", "C"}));
  EXPECT_EQ(ReadFields("X,\"A,B\" ,C\r\n", 3), (Fields{"X", "A,B", "C"}));
  EXPECT_EQ(ReadFields("   X_01  \r\n\r\n 2\r\n", 3), (Fields{"X_01", "", "2"}));
  EXPECT_EQ(ReadFields("only\n", 3), (Fields{"only"}));
  EXPECT_EQ(ReadFields("A\r\nB\r\n", 3), (Fields{"A", "B"}));  // the last line end ends no field
  EXPECT_EQ(ReadFields("\"unclosed", 2), (Fields{"unclosed"}));
  EXPECT_EQ(ReadFields("", 2), Fields{});
}

class StateFilesTest : public ::testing::Test {
 protected:
  StateFilesTest() : files(root.Path()) {}
  TempRoot root;
  Files files;
};

TEST_F(StateFilesTest, SiteSelectionWritesThreeLinesAndReadsThemBack) {
  WriteSiteSelection(files, "SAMPLE SITE_01", "TVMKDATA", 2);
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "SAMPLE SITE_01\r\nTVMKDATA\r\n 2\r\n");
  const SiteSelection s = ReadSiteSelection(files);
  EXPECT_EQ(s.identification, "SAMPLE SITE_01");
  EXPECT_EQ(s.dataDirectory, "TVMKDATA");
  EXPECT_EQ(s.mode, std::optional<int>(2));
  WriteSiteSelection(files, "B_02", "DATA2");
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "B_02\r\nDATA2\r\n");
  EXPECT_FALSE(ReadSiteSelection(files).mode.has_value());
}

TEST_F(StateFilesTest, SiteSelectionIsFoundWhateverItsCase) {
  WriteBytes(root.Path() / "SITESEL.DAT", "A_01,TVMKDATA\r\n");
  EXPECT_EQ(ReadSiteSelection(files).identification, "A_01");
  WriteSiteSelection(files, "B_01", "TVMKDATA", 1);
  EXPECT_EQ(ReadBytes(root.Path() / "SITESEL.DAT"), "B_01\r\nTVMKDATA\r\n 1\r\n");
  EXPECT_EQ(Files::List(root.Path(), "*.dat"), std::vector<std::string>{"SITESEL.DAT"});
}

TEST_F(StateFilesTest, ShortSelectionReadsEmptyAndCommasSplit) {
  WriteBytes(root.Path() / "Sitesel.dat", "A_1\r\nD\r\n");  // 8 bytes
  EXPECT_EQ(ReadSiteSelection(files, 8).identification, "");
  EXPECT_EQ(ReadSiteSelection(files, 1).identification, "A_1");
  WriteBytes(root.Path() / "Sitesel.dat", "NORTH,FIELD_01\r\nTVMKDATA\r\n");
  const SiteSelection s = ReadSiteSelection(files);
  EXPECT_EQ(s.identification + "|" + s.dataDirectory, "NORTH|FIELD_01");
}

TEST_F(StateFilesTest, NamesThatWouldLeaveTheWorkingRootAreRefused) {
  for (const std::string bad :
       {"..\\..\\Windows_01", "../etc_01", "a/b_01", "C:X_01", "X\x01_01", "x..y_01"}) {
    WriteBytes(root.Path() / "Sitesel.dat", bad + "\r\nTVMKDATA\r\n");
    EXPECT_THROW(ReadSiteSelection(files), UnsafeNameError) << bad;
  }
  WriteBytes(root.Path() / "Sitesel.dat", "GOOD_01\r\n../../tmp\r\n");
  EXPECT_THROW(ReadSiteSelection(files), UnsafeNameError);
}

TEST_F(StateFilesTest, RestartAndPortFiles) {
  EXPECT_EQ(ReadRestartRequest(files), "");
  WriteRestartRequest(files, "NO");
  EXPECT_EQ(ReadBytes(root.Path() / "START.DAT"), "NO\r\n");
  WriteRestartRequest(files, "YES");
  EXPECT_EQ(ReadRestartRequest(files), "YES");

  EXPECT_FALSE(ReadPortNumber(files).has_value());
  WritePortNumber(files, 3);
  EXPECT_EQ(ReadBytes(root.Path() / "DEF.INS"), " 3\r\n");
  WriteBytes(root.Path() / "DEF.INS", " 12\r\n");
  EXPECT_EQ(ReadPortNumber(files), 12);
  WriteBytes(root.Path() / "DEF.INS", "");
  EXPECT_EQ(ReadPortNumber(files), 0);
  WriteBytes(root.Path() / "DEF.INS", " 99999\r\n");
  EXPECT_FALSE(ReadPortNumber(files).has_value());
}

}  // namespace
}  // namespace pelvaro::testing
