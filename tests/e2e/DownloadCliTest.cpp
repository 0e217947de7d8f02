// pelvaro-cli download over a pseudo-terminal from pelvaro-sim.
#include <gtest/gtest.h>

#include <QProcess>

#include "core/storage/BlockStore.h"
#include "e2e/Simulator.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// The site the simulator's default run belongs to.
void FarmSite(const TempRoot& root) {
  const Files files(root.Path());
  SiteBuilder site(files, "FARM_01");
  site.Header(LoggerSensors(4), 0);
  site.Logger(3001, 4);
}

// The run headers' start days of the stored blocks, in order.
std::vector<int> StoredStartDays(const TempRoot& root) {
  std::vector<int> days;
  for (int n : BlockNumbersOnDisk(Files(root.Path()), "TVMKDATA", "FARM_01")) {
    days.push_back(ReadBlockHeader(root.Path() / "TVMKDATA" / (BlockStem("FARM_01", n) + ".KEY"))
                       .run.StartDay());
  }
  return days;
}

TEST(DownloadCli, StoredBlockEqualsTheLoggersMemory) {
  // The logger's memory: a block written elsewhere, loaded into the simulator.
  TempRoot source;
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 1200; ++i) words.push_back(static_cast<std::uint16_t>(2900 + (i * 37) % 500));
  SiteBuilder(Files(source.Path()), "LOGGER_01").Block(1, {11300, 36000, 900, 4, words});
  const fs::path stem = source.Path() / "TVMKDATA" / "LOGGER_01_001";

  Simulator sim;
  sim.Start({"--fast", "--memory", QString::fromStdString(stem.string())});
  TempRoot root;
  FarmSite(root);
  const CliResult run = RunCli(root.Path(), {"download", "FARM_01", "--device", sim.Pty()});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("       Number of Bytes:  2400\n"), std::string::npos) << run.out;

  const fs::path stored = root.Path() / "TVMKDATA" / "FARM_01_001";
  EXPECT_TRUE(ReadBytes(fs::path(stored) += ".DAT") == ReadBytes(fs::path(stem) += ".DAT"));
  EXPECT_EQ(ReadBlockHeader(fs::path(stored) += ".KEY").run.b,
            ReadBlockHeader(fs::path(stem) += ".KEY").run.b);
  EXPECT_GE(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01.BGF"), 500u);

  // The stored block, exported headless.
  const fs::path exported = root.Path() / "block1.csv";
  const CliResult csv = RunCli(
      root.Path(), {"export-csv", "FARM_01", "1", QString::fromStdString(exported.string())});
  EXPECT_EQ(csv.exitCode, 0) << csv.err;
  EXPECT_EQ(ReadBytes(exported).substr(0, 13), "Site Name:   ");
}

TEST(DownloadCli, TwoDownloadsIntoOneRootStoreEachRunOnce) {
  // Two loggers on two ports, one working root: a window and a scheduled download.
  TempRoot root;
  FarmSite(root);
  Simulator slow;  // at 4800 baud
  slow.Start({"--start", "06-12-2026 08:00:00", "--scans", "40"});
  Simulator fast;
  fast.Start({"--fast", "--start", "07-12-2026 08:00:00", "--scans", "30"});

  QProcess first;
  StartCli(first, root.Path(), {"download", "FARM_01", "--device", slow.Pty()});
  // The first holds the working root from before it wakes its logger.
  QByteArray said;
  while (!said.contains("Logger On Line") && first.waitForReadyRead(20000)) {
    said += first.readAllStandardOutput();
  }
  ASSERT_TRUE(said.contains("Logger On Line")) << said.toStdString();
  const CliResult second = RunCli(root.Path(), {"download", "FARM_01", "--device", fast.Pty()});
  EXPECT_EQ(second.exitCode, 1);
  EXPECT_NE(second.err.find("in use by another Pelvaro program"), std::string::npos);
  ASSERT_TRUE(first.waitForFinished(60000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();

  // The second logger still holds its run: read again, it is stored after the first.
  const CliResult again = RunCli(root.Path(), {"download", "FARM_01", "--device", fast.Pty()});
  EXPECT_EQ(again.exitCode, 0) << again.err;
  const int december6 = 11298;
  EXPECT_EQ(StoredStartDays(root), (std::vector<int>{december6, december6 + 1}));
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_001.DAT"), 40u * 4 * 2);
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_002.DAT"), 30u * 4 * 2);
}

TEST(DownloadCli, EveryFailureSaysWhyAndNamesAreShownSafely) {
  TempRoot root;
  FarmSite(root);
  Simulator cut;
  cut.Start({"--fast", "--fault", "silent-after=101"});
  struct Case {
    QStringList args;
    int exitCode;
    const char* why;  // on stderr
  };
  for (const Case& c :
       {Case{{"download", "X_01"}, 2, ""},
        Case{{"download", "X_01", "--device", "/nonexistent/tty"},
             1,
             "Selected port does not exist"},
        Case{{"download", "FARM_01", "--device", cut.Pty()},
             1,
             "The logger stopped sending before the whole run was read."},
        Case{{"download", "A\x1b[2JB_01", "--device", cut.Pty()}, 2, "A\\x1B[2JB_01"}}) {
    const CliResult run = RunCli(root.Path(), c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.why;
    EXPECT_NE(run.err.find(c.why), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
  }
  EXPECT_TRUE(StoredStartDays(root).empty());
}

TEST(DownloadCli, SitesListsOnlyWhatCanIdentifyASite) {
  TempRoot root;
  for (const char* name :
       {"GOOD_01.key", "3001_07.key", "..key", ".key", "A\nB_01.key", "noNumber.key", "X_0Z.key"}) {
    WriteBytes(root.Path() / "TVMKHEADER" / name, std::string(14208, ' '));
  }
  const CliResult sites = RunCli(root.Path(), {"sites"});
  EXPECT_EQ(sites.exitCode, 0);
  EXPECT_EQ(sites.out, "3001_07\nGOOD_01\n");
}

}  // namespace
}  // namespace pelvaro::testing
