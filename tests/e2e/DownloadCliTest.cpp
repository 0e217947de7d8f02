// pelvaro-cli download over a pseudo-terminal from pelvaro-sim.
#include <gtest/gtest.h>

#include <QProcess>

#include "core/storage/BlockStore.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// pelvaro-sim on a pseudo-terminal, stopped when the test ends.
class SimLogger {
 public:
  explicit SimLogger(const QStringList& args) {
    process_.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-sim"), args);
    if (process_.waitForStarted(10000) && process_.waitForReadyRead(10000)) {
      pty_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
  }
  ~SimLogger() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  const QString& Pty() const { return pty_; }

 private:
  QProcess process_;
  QString pty_;
};

QStringList CliArgs(const TempRoot& root, const QStringList& args) {
  return QStringList{"--root", QString::fromStdString(root.Path().string())} + args;
}

void StartCli(QProcess& cli, const TempRoot& root, const QStringList& args) {
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"), CliArgs(root, args));
}

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
  const Files sourceFiles(source.Path());
  SiteBuilder logger(sourceFiles, "LOGGER_01");
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 1200; ++i) words.push_back(static_cast<std::uint16_t>(2900 + (i * 37) % 500));
  logger.Block(1, {11300, 36000, 900, 4, words});
  const fs::path stem = source.Path() / "TVMKDATA" / "LOGGER_01_001";

  SimLogger sim({"--fast", "--memory", QString::fromStdString(stem.string())});
  ASSERT_FALSE(sim.Pty().isEmpty());
  TempRoot root;
  FarmSite(root);
  QProcess cli;
  StartCli(cli, root, {"download", "FARM_01", "--device", sim.Pty()});
  ASSERT_TRUE(cli.waitForFinished(60000));
  const std::string out = cli.readAllStandardOutput().toStdString();
  EXPECT_EQ(cli.exitCode(), 0) << out << cli.readAllStandardError().toStdString();
  EXPECT_NE(out.find("       Number of Bytes:  2400\n"), std::string::npos) << out;

  const fs::path stored = root.Path() / "TVMKDATA" / "FARM_01_001";
  EXPECT_TRUE(ReadBytes(fs::path(stored) += ".DAT") == ReadBytes(fs::path(stem) += ".DAT"));
  EXPECT_EQ(ReadBlockHeader(fs::path(stored) += ".KEY").run.b,
            ReadBlockHeader(fs::path(stem) += ".KEY").run.b);
  EXPECT_GE(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01.BGF"), 500u);

  // The stored block, exported headless.
  QProcess csv;
  const fs::path exported = root.Path() / "block1.csv";
  StartCli(csv, root, {"export-csv", "FARM_01", "1", QString::fromStdString(exported.string())});
  ASSERT_TRUE(csv.waitForFinished(20000));
  EXPECT_EQ(csv.exitCode(), 0) << csv.readAllStandardError().toStdString();
  EXPECT_EQ(ReadBytes(exported).substr(0, 13), "Site Name:   ");
}

TEST(DownloadCli, NoPortOrNoLoggerIsAFailure) {
  TempRoot root;
  const QString r = QString::fromStdString(root.Path().string());
  QProcess cli;
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"), {"--root", r, "download", "X_01"});
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.exitCode(), 2);
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"),
            {"--root", r, "download", "X_01", "--device", "/nonexistent/tty"});
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_NE(cli.readAllStandardError().indexOf("Selected port does not exist"), -1);
}

TEST(DownloadCli, TwoDownloadsIntoOneRootStoreEachRunOnce) {
  // Two loggers on two ports, one working root: the window and a scheduled
  // download, or two command lines.
  TempRoot root;
  FarmSite(root);
  SimLogger slow({"--start", "06-12-2026 08:00:00", "--scans", "40"});  // at 4800 baud
  SimLogger fast({"--fast", "--start", "07-12-2026 08:00:00", "--scans", "30"});
  ASSERT_FALSE(slow.Pty().isEmpty());
  ASSERT_FALSE(fast.Pty().isEmpty());

  QProcess first;
  StartCli(first, root, {"download", "FARM_01", "--device", slow.Pty()});
  // The first holds the working root from before it wakes its logger.
  QByteArray said;
  while (!said.contains("Logger On Line") && first.waitForReadyRead(20000)) {
    said += first.readAllStandardOutput();
  }
  ASSERT_TRUE(said.contains("Logger On Line")) << said.toStdString();
  QProcess second;
  StartCli(second, root, {"download", "FARM_01", "--device", fast.Pty()});
  ASSERT_TRUE(second.waitForFinished(20000));
  EXPECT_EQ(second.exitCode(), 1);
  EXPECT_NE(second.readAllStandardError().indexOf("in use by another Pelvaro program"), -1);
  ASSERT_TRUE(first.waitForFinished(60000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();

  // The second logger still holds its run: read again, it is stored after the first.
  StartCli(second, root, {"download", "FARM_01", "--device", fast.Pty()});
  ASSERT_TRUE(second.waitForFinished(60000));
  EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
  const int december6 = 11298;
  EXPECT_EQ(StoredStartDays(root), (std::vector<int>{december6, december6 + 1}));
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_001.DAT"), 40u * 4 * 2);
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_002.DAT"), 30u * 4 * 2);
}

TEST(DownloadCli, EveryFailureSaysWhyAndNamesAreShownSafely) {
  TempRoot root;
  FarmSite(root);
  SimLogger cut({"--fast", "--fault", "silent-after=101"});
  QProcess cli;
  StartCli(cli, root, {"download", "FARM_01", "--device", cut.Pty()});
  ASSERT_TRUE(cli.waitForFinished(60000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_NE(cli.readAllStandardError().indexOf(
                "The logger stopped sending before the whole run was read."),
            -1);
  EXPECT_TRUE(StoredStartDays(root).empty());

  StartCli(cli, root, {"download", "A\x1b[2JB_01", "--device", cut.Pty()});
  ASSERT_TRUE(cli.waitForFinished(20000));
  EXPECT_EQ(cli.exitCode(), 2);
  const QByteArray err = cli.readAllStandardError();
  EXPECT_NE(err.indexOf("A\\x1B[2JB_01"), -1) << err.toStdString();
  EXPECT_EQ(err.indexOf('\x1b'), -1);
}

TEST(DownloadCli, SitesListsOnlyWhatCanIdentifyASite) {
  TempRoot root;
  for (const char* name :
       {"GOOD_01.key", "3001_07.key", "..key", ".key", "A\nB_01.key", "noNumber.key", "X_0Z.key"}) {
    WriteBytes(root.Path() / "TVMKHEADER" / name, std::string(14208, ' '));
  }
  QProcess cli;
  StartCli(cli, root, {"sites"});
  ASSERT_TRUE(cli.waitForFinished(20000));
  EXPECT_EQ(cli.exitCode(), 0);
  EXPECT_EQ(cli.readAllStandardOutput().toStdString(), "3001_07\nGOOD_01\n");
}

}  // namespace
}  // namespace pelvaro::testing
