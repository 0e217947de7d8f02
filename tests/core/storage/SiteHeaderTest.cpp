#include "core/storage/SiteHeader.h"

#include <gtest/gtest.h>

#include "core/storage/NumberText.h"
#include "core/storage/SiteRepair.h"
#include "support/FaultPlans.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class SiteHeaderTest : public ::testing::Test {
 protected:
  SiteHeaderTest() : files(root.Path()) { fs::create_directories(root.Path() / "TVMKHEADER"); }
  std::string Record(const std::string& bytes, int n) { return bytes.substr((n - 1) * 64, 64); }
  static std::string Padded(const std::string& text) {
    return text + std::string(64 - text.size(), ' ');
  }

  TempRoot root;
  Files files;
};

TEST_F(SiteHeaderTest, NewSiteLayoutIsByteExact) {
  {
    auto h = SiteHeader::CreateBlank(files, "FARM_07");
    h.WriteCalibration(3, {1000, 120, 100, 60, "ON"});
    h.WriteRecord(header::SoilType(3), "LOAM");
    h.WriteRecord(header::kSensorsOn, Spaced(1));
    h.Close();
  }
  const std::string bytes = ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key");
  ASSERT_EQ(bytes.size(), 14208u);
  EXPECT_EQ(bytes.substr(43 * 64, 5 * 64),
            Padded(" 1000") + Padded(" 120") + Padded(" 100") + Padded(" 60") + Padded("ON"));
  EXPECT_EQ(Record(bytes, 12), Padded("LOAM"));
  EXPECT_EQ(Record(bytes, 215), Padded(" 1"));
  EXPECT_EQ(Record(bytes, 222), std::string(64, ' '));
}

TEST_F(SiteHeaderTest, RecordsNeverSpillAndBlankBeyondTheEnd) {
  auto h = SiteHeader::Open(files, "S_01");
  EXPECT_TRUE(h.IsEmpty());
  h.WriteRecord(3, "3001");
  EXPECT_EQ(h.HeaderLength(), 192u);
  EXPECT_EQ(h.ReadRecord(1), "");
  h.WriteRecord(5, std::string(100, 'x'));
  h.WriteRecord(6, "12");
  EXPECT_EQ(h.ReadRecord(5), std::string(64, 'x'));
  EXPECT_EQ(h.ReadRecord(6), "12");
  EXPECT_EQ(h.ReadRecord(200), "");
  EXPECT_EQ(h.ReadNumber(3), 3001);
  EXPECT_EQ(h.ReadNumber(200), 0);
  h.Close();
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "S_01.key").substr(0, 128),
            std::string(128, ' '));
  // A record file given another file first writes out what it held.
  RecordFile file(root.Path() / "a.dat", 4, RecordFile::Mode::ReadWrite);
  file.Write(2, "abcd");
  file = RecordFile(root.Path() / "b.dat", 4, RecordFile::Mode::ReadWrite);
  EXPECT_EQ(ReadBytes(root.Path() / "a.dat"), "    abcd");
}

TEST_F(SiteHeaderTest, ReadOnlyOpenOfAMissingHeaderCreatesNothing) {
  auto h = SiteHeader::Open(files, "NONE_01", RecordFile::Mode::ReadOnly);
  EXPECT_TRUE(h.IsEmpty());
  EXPECT_EQ(h.ReadRecord(2), "");
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKHEADER" / "NONE_01.key"));
}

TEST_F(SiteHeaderTest, BlockIndexCountsUpToTheFirstFreeSlot) {
  auto h = SiteHeader::CreateBlank(files, "S_01");
  EXPECT_EQ(h.BlockCount(), 0);
  EXPECT_EQ(h.LastBlockNumber(), 0);
  int slot = 114;
  for (const char* number : {"1", " 2", "0", "4", "5"}) h.WriteRecord(slot++, number);
  EXPECT_EQ(h.BlockCount(), 2);
  EXPECT_EQ(h.ReadBlockIndex().numbers, (std::vector<int>{1, 2}));
  EXPECT_EQ(h.LastBlockNumber(), 2);
  h.WriteRecord(113, "KEEP");
  h.WriteBlockIndex(100);
  EXPECT_EQ(h.BlockCount(), 100);
  EXPECT_EQ(h.LastBlockNumber(), 100);
  EXPECT_EQ(h.ReadRecord(214), "0");
  EXPECT_EQ(h.ReadRecord(113), "KEEP");  // the record before the index is not the index's
}

TEST_F(SiteHeaderTest, IndexValuesThatAreNoBlockNumbersAreDamage) {
  // Each of these once reached arithmetic: a cast out of range, a block named
  // "-2147483647", a fraction taken for a block already stored.
  for (const char* bad :
       {"1.5", "1e9", "99999999999999999999", "2147483648", "-5", "+3", "101", "2x", "1.0.0"}) {
    auto h = SiteHeader::CreateBlank(files, "S_01");
    h.WriteRecord(114, "1");
    h.WriteRecord(115, bad);
    h.WriteRecord(116, "3");
    const SiteHeader::BlockIndex index = h.ReadBlockIndex();
    EXPECT_TRUE(index.damaged) << bad;
    EXPECT_EQ(index.used, 3) << bad;
    EXPECT_EQ(index.numbers, (std::vector<int>{1, 3})) << bad;
    EXPECT_EQ(h.LastBlockNumber(), 3) << bad;  // the count of used slots, never the value
  }
  auto h = SiteHeader::CreateBlank(files, "S_01");
  for (const char* good : {"1", " 2", "003", "4.0"}) h.WriteRecord(114 + h.BlockCount(), good);
  EXPECT_FALSE(h.ReadBlockIndex().damaged);
  EXPECT_EQ(h.ReadBlockIndex().numbers, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(SiteHeaderTest, RebuildNumbersTheSitesDataFilesOnly) {
  const fs::path data = root.Path() / "TVMKDATA";
  for (const char* name : {"S_01_001.DAT", "S_01_007.DAT", "s_01_002.dat", "S_01_0001.DAT",
                           "S_011_001.DAT", "S_01_003.KEY", "T_01_001.DAT"}) {
    WriteBytes(data / name, "ab");
  }
  auto h = SiteHeader::CreateBlank(files, "S_01");
  for (int r = 114; r <= 214; ++r) h.WriteRecord(r, "9");
  h.RebuildBlockIndex(files, "S_01", "TVMKDATA");
  for (int r = 114; r <= 214; ++r) {
    ASSERT_EQ(h.ReadRecord(r), r <= 116 ? std::to_string(r - 113) : "0") << r;
  }
  EXPECT_EQ(h.BlockCount(), 3);
}

// A header is replaced whole: written beside itself, synced, then renamed.
TEST_F(SiteHeaderTest, ATransactionReplacesTheHeaderWholeOrNotAtAll) {
  const fs::path path = files.HeaderPath("S_01");
  WriteBytes(path, std::string(64, 'o'));
  WriteBytes(fs::path(path) += ".new", std::string(300, 's'));  // a crash's leftover
  {
    HeaderTransaction abandoned(path, path);
    abandoned.Header().WriteRecord(2, "never");
  }
  EXPECT_EQ(ReadBytes(path), std::string(64, 'o'));
  EXPECT_FALSE(fs::exists(fs::path(path) += ".new"));
  WriteBytes(fs::path(path) += ".new", std::string(300, 's'));
  FaultAt counted;
  {
    InstalledPlan plan(counted);
    HeaderTransaction fresh(path, {});
    fresh.Header().WriteRecord(2, "new");
    fresh.Commit();
  }
  EXPECT_EQ(ReadBytes(path), std::string(64, ' ') + Padded("new"));
  std::vector<std::string> ops;  // how many writes it takes is the file's own business
  std::unique_copy(counted.ops.begin(), counted.ops.end(), std::back_inserter(ops));
  EXPECT_EQ(ops,
            (std::vector<std::string>{"remove S_01.key.new", "write S_01.key.new",
                                      "sync S_01.key.new", "rename S_01.key", "sync TVMKHEADER"}));
}

// The repair numbers the blocks 1..n and makes the index say so; a header of
// 128 bytes or less is a missing one, which only a download sets up.
TEST_F(SiteHeaderTest, RepairRebuildsADamagedOrShortIndexAndLeavesAMissingHeader) {
  struct Case {
    const char* guards;
    std::string header;  // the bytes of the header
    int blocks;          // block files on disk
    std::string index;   // records 114, 115 (the index), 220 and 221 (the last run) afterwards
  };
  const std::string damaged = std::string(113 * 64, ' ') + Padded("1.5");
  const Case cases[] = {
      Case("a missing header", std::string(128, ' '), 1, "|||"),
      Case("a header just long enough", std::string(129, ' '), 2, "1|2| 12| 18002"),
      Case("a damaged index without blocks", damaged, 0, "0|0||"),
      Case("a damaged index", damaged, 1, "1|0| 11| 18001"),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    TempRoot other;
    const Files there(other.Path());
    SiteBuilder site(there, "S_01");
    for (int b = 1; b <= c.blocks; ++b) site.Block(b, {10 + b, 36000 + 2 * b, 900, 1, {1, 2}});
    WriteBytes(there.HeaderPath("S_01"), c.header);
    // A block header whose data never arrived (a store cut short) goes.
    const fs::path orphan = other.Path() / "TVMKDATA" / "S_01_009.KEY";
    WriteBytes(orphan, "x");
    // And so does what a block header rewrite cut short left beside it.
    const fs::path leftover = other.Path() / "TVMKDATA" / "S_01_001.KEY.new";
    WriteBytes(leftover, "y");
    const SiteRepair repair = RepairSite(there, "S_01", "TVMKDATA");
    EXPECT_EQ(repair.blocks, c.blocks);
    EXPECT_FALSE(fs::exists(orphan) || fs::exists(leftover));
    EXPECT_EQ(HeaderRecords(there, "S_01", {114, 115, 220, 221}), c.index);
    if (c.header.size() <= 128) {
      EXPECT_EQ(ReadBytes(there.HeaderPath("S_01")), c.header);
    }
  }
}

}  // namespace
}  // namespace pelvaro::testing
