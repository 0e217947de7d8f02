// pelvaro-cli downloads over a line that changes the logger's answer: a relay
// between the program and pelvaro-sim.
#include <gtest/gtest.h>

#include "core/storage/BlockStore.h"
#include "e2e/Relay.h"
#include "e2e/Simulator.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

struct BadLine {
  const char* name;
  LineEdit edit;
  const char* says;
};

void PrintTo(const BadLine& line, std::ostream* out) { *out << line.name; }

class DownloadOverABadLine : public ::testing::TestWithParam<BadLine> {};

// The logger holds 50 scans of four sensors: the count 0x01 0x90 (400 bytes)
// at offsets 0 and 1, the run header at 2..14, the data at 15..414.
TEST_P(DownloadOverABadLine, NothingIsStoredAndACleanDownloadThenIs) {
  TempRoot source;
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 200; ++i) words.push_back(static_cast<std::uint16_t>(2900 + (i * 37) % 500));
  SiteBuilder(Files(source.Path()), "LOGGER_01").Block(1, {11300, 36000, 900, 4, words});
  const fs::path stem = source.Path() / "TVMKDATA" / "LOGGER_01_001";
  Simulator sim;
  sim.Start({"--fast", "--memory", QString::fromStdString(stem.string())});
  Relay relay(sim.Pty().toStdString(), GetParam().edit);
  ASSERT_TRUE(relay.Running()) << "no relay terminal";

  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "FARM_01");
  site.Header(LoggerSensors(4), 0);
  site.Logger(3001, 4);
  const QStringList download = {"download", "FARM_01", "--device",
                                QString::fromStdString(relay.Device())};
  ExpectCliRefuses(root.Path(), download, 1, GetParam().says);
  EXPECT_EQ(Files::List(root.Path() / "TVMKDATA", "FARM_01_*"), std::vector<std::string>{});
  EXPECT_FALSE(fs::exists(root.Path() / kTempDataName) ||
               fs::exists(root.Path() / kTempHeaderName));

  RunCliOk(root.Path(), download);
  const fs::path stored = root.Path() / "TVMKDATA" / "FARM_01_001";
  EXPECT_TRUE(ReadBytes(fs::path(stored) += ".DAT") == ReadBytes(fs::path(stem) += ".DAT"));
  EXPECT_EQ(ReadBlockHeader(fs::path(stored) += ".KEY").run.b,
            ReadBlockHeader(fs::path(stem) += ".KEY").run.b);
}

constexpr char kOne[] =
    "The data from the logger was damaged on the line (1 byte more than the 400 announced). "
    "Nothing was stored; download the run again.";

INSTANTIATE_TEST_SUITE_P(
    Changes, DownloadOverABadLine,
    ::testing::Values(BadLine{"CountLowered", FlipCountBit(4),
                              "damaged on the line (16 bytes more than the 384 announced)"},
                      BadLine{"CountRaised", FlipCountBit(3),
                              "The logger stopped answering after 400 of 408 bytes."},
                      BadLine{"ByteInsertedAt60", InsertBefore(60, 0x55), kOne},
                      BadLine{"ByteDropped", DropAt(100),
                              "The logger stopped answering after 399 of 400 bytes."},
                      BadLine{"BytesAppended", AppendAfter(414, "\x55\x55\x55"),
                              "damaged on the line (3 bytes more than the 400 announced)"}),
    [](const ::testing::TestParamInfo<BadLine>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace pelvaro::testing
