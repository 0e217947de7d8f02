#include "core/storage/BlockStore.h"

#include <gtest/gtest.h>

#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

class BlockStoreTest : public ::testing::Test {
 protected:
  BlockStoreTest() : files(root.Path()) { fs::create_directories(root.Path() / "TVMKDATA"); }

  static RunHeader SampleRun() {
    RunHeader run;
    run.b = {0x10, 0x27, 0x00, 0xFF, 0x84, 0x03, 0x00, 0x01, 0xB9, 0x0B, 0x00, 0x04, 0x00};
    return run;
  }
  void WriteTemp(int words) {
    TempBlock temp(files);
    for (int i = 1; i <= words; ++i) {
      temp.WriteWord(i, static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8));
    }
    temp.WriteTempHeader(words, SampleRun(), {2026, 3, 5, 9, 7, 3});
    temp.Flush();
    temp.Close();
  }

  TempRoot root;
  Files files;
};

TEST_F(BlockStoreTest, NamesFollowTheBlockNumber) {
  EXPECT_EQ(BlockSuffix(1), "_001");
  EXPECT_EQ(BlockSuffix(12), "_012");
  EXPECT_EQ(BlockSuffix(100), "_100");
  EXPECT_EQ(BlockSuffix(1000), "1000");
  EXPECT_EQ(BlockStem("SAMPLE SITE_01", 3), "SAMPLE SITE_01_003");
  const BlockPaths paths =
      MakeBlockPaths(BlockStemPath(files, "TVMKDATA", BlockStem("SAMPLE SITE_01", 1)));
  EXPECT_EQ(paths.data, root.Path() / "TVMKDATA" / "SAMPLE SITE_01_001.DAT");
  EXPECT_EQ(paths.header, root.Path() / "TVMKDATA" / "SAMPLE SITE_01_001.KEY");
  EXPECT_THROW(BlockStemPath(files, "../elsewhere", "X_01_001"), UnsafeNameError);
}

TEST_F(BlockStoreTest, HeaderRecordsAreByteExact) {
  const std::string tail = " 2500 SOIL MOISTURE TECHNOLOGY";
  EXPECT_EQ(BlockHeaderRecord1(2500), std::string(64 - tail.size(), ' ') + tail);
  EXPECT_EQ(BlockHeaderRecord1(2500.5).substr(64 - 32), " 2500.5 SOIL MOISTURE TECHNOLOGY");
  EXPECT_EQ(BlockHeaderRecord3(2500.5), " 2500.5");
  EXPECT_EQ(MakeRunHeader(11298, 36001, 900, 7, 3001, 4).b,
            (std::array<std::uint8_t, 13>{0x22, 0x2C, 0x50, 0x46, 0x84, 0x03, 0, 7, 0xB9, 0x0B, 0,
                                          4, 0}));
  // A record written into a file too short for it: the records before are blank.
  WriteBytes(root.Path() / "new.KEY", "");
  WriteBlockHeaderRecord(root.Path() / "new.KEY", 2, "x");
  EXPECT_EQ(ReadBytes(root.Path() / "new.KEY"), std::string(64, ' ') + "x" + std::string(63, ' '));

  WriteTemp(2500);
  const std::string bytes = ReadBytes(root.Path() / "TEMPHEAD.KEY");
  ASSERT_EQ(bytes.size(), 192u);
  const std::string record2 = bytes.substr(64, 64);
  const RunHeader run = SampleRun();
  EXPECT_EQ(record2.substr(0, 13), std::string(run.b.begin(), run.b.end()));
  EXPECT_EQ(record2.substr(13, 8), "09:07:03");
  EXPECT_EQ(record2.substr(21, 10), "05-03-2026");
  EXPECT_EQ(record2.substr(31), "00" + std::string(31, ' '));
  EXPECT_EQ(bytes.substr(128), " 2500" + std::string(59, ' '));
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPBUDY.DAT").size(), 5000u);
}

TEST_F(BlockStoreTest, TemporaryFilesStartEmpty) {
  WriteBytes(root.Path() / "TEMPBUDY.DAT", std::string(9000, 'x'));
  WriteBytes(root.Path() / "TEMPHEAD.KEY", std::string(1, 'x'));
  WriteTemp(3);
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPBUDY.DAT"), std::string("\1\0\2\0\3\0", 6));
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPHEAD.KEY").size(), 192u);
}

TEST_F(BlockStoreTest, CommitPutsBothFilesInPlaceAndReadsBack) {
  const fs::path stem = BlockStemPath(files, "TVMKDATA", "S_01_001");
  WriteBytes(root.Path() / "TVMKDATA" / "S_01_001.DAT", "stale content of an old block");
  WriteTemp(4);
  CommitBlock(files, stem);
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPHEAD.KEY"));
  const BlockPaths paths = MakeBlockPaths(stem);
  BlockData data(paths.data, RecordFile::Mode::ReadWrite);
  EXPECT_EQ(data.WordCount(), 4u);
  EXPECT_EQ(data.ReadWord(3), 3);
  EXPECT_EQ(data.ReadWord(5), 0);  // beyond the end
  data.WriteWordInPlace(2, 0xBEEF);
  data.Close();
  EXPECT_EQ(ReadBytes(paths.data), std::string("\1\0\xEF\xBE\3\0\4\0", 8));
  const BlockHeader h = ReadBlockHeader(paths.header);
  EXPECT_EQ(h.run.b, SampleRun().b);
  EXPECT_EQ(h.run.StartDay(), 10000);
  EXPECT_EQ(h.run.StartTimeUnits(), 0xFF00);
  EXPECT_EQ(h.run.ScanInterval(), 900);
  EXPECT_EQ(h.run.SerialNumber(), 3001);
  EXPECT_EQ(h.run.SensorCount(), 4);
  EXPECT_EQ(h.words, 4);
  EXPECT_EQ(h.timeText, "09:07:03");
  EXPECT_EQ(h.dateText, "05-03-2026");
  EXPECT_EQ(h.trailer, "00");
  for (const auto& entry : fs::directory_iterator(root.Path() / "TVMKDATA")) {
    EXPECT_EQ(entry.path().extension() == ".new", false) << entry.path();
  }
}

TEST_F(BlockStoreTest, FailedCommitLeavesNoHalfBlockAndKeepsTheDownload) {
  // Either half of the download missing: said so, and nothing is placed.
  for (const char* half : {"TEMPHEAD.KEY", "TEMPBUDY.DAT"}) {
    WriteTemp(4);
    fs::remove(root.Path() / half);
    try {
      CommitBlock(files, root.Path() / "TVMKDATA" / "S_01_001");
      ADD_FAILURE() << half;
    } catch (const IoError& e) {
      EXPECT_STREQ(e.what(), "The downloaded data is missing from the working folder.") << half;
    }
    EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "S_01_001.KEY")) << half;
  }
  WriteTemp(4);
  // No such data folder: nothing can be placed.
  EXPECT_THROW(CommitBlock(files, root.Path() / "MISSING" / "S_01_001"), IoError);
  EXPECT_TRUE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  // The header's target is taken by a folder: the data file already placed is withdrawn.
  fs::create_directories(root.Path() / "TVMKDATA" / "S_01_002.KEY" / "inside");
  EXPECT_THROW(CommitBlock(files, root.Path() / "TVMKDATA" / "S_01_002"), IoError);
  EXPECT_FALSE(fs::exists(root.Path() / "TVMKDATA" / "S_01_002.DAT"));
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPBUDY.DAT").size(), 8u);
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPHEAD.KEY").size(), 192u);
  DiscardTempBlock(files);
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPHEAD.KEY"));
}

TEST_F(BlockStoreTest, AllWordsLeaveOutATrailingOddByte) {
  WriteBytes(root.Path() / "TVMKDATA" / "odd.DAT", std::string("\x01\x02\x03\x04\x05", 5));
  BlockData data(root.Path() / "TVMKDATA" / "odd.DAT", RecordFile::Mode::ReadOnly);
  EXPECT_EQ(data.ReadAllWords(), (std::vector<std::uint16_t>{0x0201, 0x0403}));
  EXPECT_EQ(data.ReadWord(3), 0x0005);                 // the half word pads with zero
  EXPECT_THROW(data.WriteWordInPlace(1, 9), IoError);  // opened for reading: never written
  // The largest block a logger sends is read whole.
  WriteBytes(root.Path() / "TVMKDATA" / "full.DAT", std::string(kMaxBlockBytes, '\x01'));
  BlockData full(root.Path() / "TVMKDATA" / "full.DAT", RecordFile::Mode::ReadOnly);
  EXPECT_EQ(full.ReadAllWords().size(), kMaxBlockBytes / 2);
}

}  // namespace
}  // namespace pelvaro::testing
