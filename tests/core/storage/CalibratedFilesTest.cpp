#include "core/storage/CalibratedFiles.h"

#include <gtest/gtest.h>

#include "core/storage/GraphFile.h"
#include "core/storage/NumberText.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

TEST(CalibratedFiles, GapsReadAsZeroBytesAndRecordsArePadded) {
  TempRoot root;
  const fs::path path = root.Path() / "X_01.BGF";
  WriteBytes(path, std::string(1000, 'z'));  // an earlier run's output
  {
    auto file = CalibratedFile::CreateEmpty(path, kGraphRecordSize);
    EXPECT_EQ(file.Length(), 0u);
    file.WriteRecord(3, Spaced(3650.25));
    file.WriteRecord(4, std::string(80, '7'));
    EXPECT_EQ(file.ReadRecord(1), std::string(56, '\0'));
    EXPECT_EQ(file.ReadRecord(9), std::string(56, '\0'));
    file.Close();
  }
  const std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 4u * 56);
  EXPECT_EQ(bytes.substr(0, 112), std::string(112, '\0'));
  EXPECT_EQ(bytes.substr(112, 56), " 3650.25" + std::string(48, ' '));
  EXPECT_EQ(bytes.substr(168), std::string(56, '7'));

  CalibratedFile summary(root.Path() / "X_01.Pct", kSummaryRecordSize, RecordFile::Mode::ReadWrite);
  summary.WriteRecord(20, Plain(0.5));
  EXPECT_EQ(summary.Length(), 400u);
  EXPECT_EQ(summary.ReadRecord(20), "0.5" + std::string(17, ' '));
}

// Pieces the writer need not keep are written while it makes the next ones.
TEST(CalibratedFiles, PiecesWrittenBehindLandInOrderBeforeAnythingElse) {
  TempRoot root;
  const fs::path path = root.Path() / "X_01.BGF";
  const std::size_t piece = (RecordFile::kWriteBehind / 56 + 1) * 56;
  std::string first(piece, 'a');
  std::string second(piece, 'b');
  auto file = CalibratedFile::CreateEmpty(path, kGraphRecordSize);
  file.WriteRecordsBehind(2, first);
  EXPECT_TRUE(first.empty());
  file.WriteRecordsBehind(2 + piece / 56, second);
  EXPECT_TRUE(second.empty());
  EXPECT_EQ(file.ReadRecord(2 + piece / 56), std::string(56, 'b'));
  file.WriteRecord(1, "head");
  file.Close();
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes,
            "head" + std::string(52, ' ') + std::string(piece, 'a') + std::string(piece, 'b'));
}

TEST(CalibratedFiles, SensorLinesKeepTheirFieldsAndSigns) {
  EXPECT_EQ(SensorField(7.5), " 07.50");
  EXPECT_EQ(SensorField(-3.2), "-03.20");
  EXPECT_EQ(SensorLine(27.5, 7.5, -3.2), " 27.50 07.50-03.20");
  // A wide value pushes the next fields right; the value still reads back.
  const std::string wide = SensorLine(1000, 940, -900);
  EXPECT_EQ(wide, "1000.00940.00-900.00");
  EXPECT_EQ(SensorLineValue(wide + std::string(36, ' ')), 1000.0);
  EXPECT_EQ(SensorLineValue(SensorLine(-150.25, 0, 0)), -150.2);
  EXPECT_EQ(SensorLineValue(SensorLine(12.345, 0, 0)), 12.35);
}

TEST(CalibratedFiles, AGraphValueAtAHalfHundredthIsRoundedWithoutMovingTheScansAfterIt) {
  TempRoot root;
  const fs::path path = root.Path() / "X_01.BGF";
  GraphFileWriter graph(path);
  graph.WriteHead(3001, 12, 2, {"2023", "01/06", "06:00:00", 10014, 21600});
  // 7.125 lies exactly on a half hundredth: the quick form declines it.
  graph.StartScan(" 600", 10014.25);
  graph.AddSensorLine(7.125, 0, 0);
  graph.AddSensorLine(20.5, 0, 0);
  graph.EndScan();
  graph.StartScan(" 600", 10014.5);
  graph.AddSensorLine(21, 0, 0);
  graph.AddSensorLine(22, 0, 0);
  graph.EndScan();
  graph.WriteTotals(6, 10014.5);
  graph.Close();
  const auto read = ReadGraphFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->dateTimes, (std::vector<double>{10014.25, 10014.5}));
  EXPECT_EQ(read->values, (std::vector<std::vector<double>>{{7.13, 21}, {20.5, 22}}));
}

TEST(CalibratedFiles, PathsStayInTheDataFolder) {
  TempRoot root;
  Files files(root.Path());
  EXPECT_EQ(CalibratedPath(files, "TVMKDATA", "SAMPLE SITE_01", kSummaryExtension),
            root.Path() / "TVMKDATA" / "SAMPLE SITE_01.Pct");
  EXPECT_THROW(CalibratedPath(files, "TVMKDATA", "..", kGraphExtension), UnsafeNameError);
  EXPECT_THROW(CalibratedPath(files, "C:", "S_01", kGraphExtension), UnsafeNameError);
}

}  // namespace
}  // namespace pelvaro::testing
