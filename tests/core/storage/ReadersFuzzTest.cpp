// Random and truncated bytes fed to every reader: the readers must neither
// crash nor throw, whatever a damaged disk or an old program left behind.
#include <gtest/gtest.h>

#include <random>

#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/TempRoot.h"

namespace pelvaro {
namespace {

using testing::TempRoot;
using testing::WriteBytes;

std::string RandomBytes(std::mt19937& rng, std::size_t maxLength) {
  std::uniform_int_distribution<std::size_t> length(0, maxLength);
  std::uniform_int_distribution<int> byte(0, 255);
  // Digits, spaces, commas, quotes and line ends are common, so the parsers
  // see many near-valid inputs.
  const std::string common = "0123456789 .-,\"\r\nONOFF";
  std::uniform_int_distribution<std::size_t> pick(0, common.size() - 1);
  std::string bytes(length(rng), '\0');
  for (char& c : bytes) {
    c = byte(rng) < 128 ? common[pick(rng)] : static_cast<char>(byte(rng));
  }
  return bytes;
}

TEST(ReadersFuzz, DamagedFilesNeverCrashAReader) {
  TempRoot root;
  Files files(root.Path());
  std::mt19937 rng(2026);
  const fs::path headerPath = root.Path() / "TVMKHEADER" / "F_01.key";
  const fs::path blockKey = root.Path() / "TVMKDATA" / "F_01_001.KEY";
  const fs::path blockDat = root.Path() / "TVMKDATA" / "F_01_001.DAT";
  const fs::path graph = root.Path() / "TVMKDATA" / "F_01.BGF";
  for (int round = 0; round < 150; ++round) {
    const std::size_t limit = round % 3 == 0 ? 20000 : 300;
    WriteBytes(headerPath, RandomBytes(rng, limit));
    WriteBytes(blockKey, RandomBytes(rng, 250));
    WriteBytes(blockDat, RandomBytes(rng, 99));
    WriteBytes(graph, RandomBytes(rng, limit));
    WriteBytes(root.Path() / "Sitesel.dat", RandomBytes(rng, 60));
    WriteBytes(root.Path() / "START.DAT", RandomBytes(rng, 10));
    WriteBytes(root.Path() / "DEF.INS", RandomBytes(rng, 10));
    ASSERT_NO_THROW({
      auto h = SiteHeader::Open(files, "F_01", RecordFile::Mode::ReadOnly);
      for (int r = 1; r <= 230; ++r) {
        h.ReadRecord(r);
        h.ReadNumber(r);
      }
      h.BlockCount();
      h.ReadBlockIndex();
      const BlockHeader bh = ReadBlockHeader(blockKey);
      (void)bh.run.SensorCount();
      BlockData data(blockDat, RecordFile::Mode::ReadOnly);
      data.ReadAllWords();
      data.ReadWord(data.WordCount() + 1);
      CalibratedFile g(graph, kGraphRecordSize, RecordFile::Mode::ReadOnly);
      for (std::uint64_t r = 1; r <= g.RecordCount() + 1; ++r) SensorLineValue(g.ReadRecord(r));
      try {
        ReadSiteSelection(files);
      } catch (const UnsafeNameError&) {
        // A refused name is the expected answer to some garbage.
      }
      ReadRestartRequest(files);
      ReadPortNumber(files);
    }) << "round "
       << round;
  }
}

TEST(ReadersFuzz, TruncatedHeaderReadsWhatIsThere) {
  TempRoot root;
  Files files(root.Path());
  std::string full(14208, ' ');
  full.replace(64 * 113, 1, "7");
  for (std::size_t cut : {0u, 1u, 64u, 65u, 127u, 128u, 7233u, 7232u, 14207u}) {
    WriteBytes(root.Path() / "TVMKHEADER" / "T_01.key", full.substr(0, cut));
    auto h = SiteHeader::Open(files, "T_01", RecordFile::Mode::ReadOnly);
    EXPECT_EQ(h.HeaderLength(), cut);
    EXPECT_EQ(h.ReadNumber(114), cut > 64 * 113 ? 7 : 0) << cut;
  }
}

}  // namespace
}  // namespace pelvaro
