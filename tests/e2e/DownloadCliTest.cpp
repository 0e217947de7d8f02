// pelvaro-cli's logger commands over a pseudo-terminal from pelvaro-sim, and port errors.
#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <cstdlib>

#include "core/storage/BlockStore.h"
#include "core/storage/DayNumbers.h"
#include "e2e/Simulator.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/platform/QtSerialPort.h"

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

TEST(DownloadCli, EveryFailureSaysWhyAndNamesAreShownSafelyOrLeftOut) {
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

  // The site list holds only what can identify a site.
  for (const char* name :
       {"GOOD_01.key", "3001_07.key", "..key", ".key", "A\nB_01.key", "noNumber.key", "X_0Z.key"}) {
    WriteBytes(root.Path() / "TVMKHEADER" / name, std::string(14208, ' '));
  }
  const CliResult sites = RunCli(root.Path(), {"sites"});
  EXPECT_EQ(sites.exitCode, 0);
  EXPECT_EQ(sites.out, "3001_07\nFARM_01\nGOOD_01\n");
}

TEST(LoggerCommands, StartDownloadSerialTraceAndPortErrors) {
  Simulator sim;
  sim.Start();
  const QString pty = sim.Pty();
  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "FARM_07");
  site.Header(LoggerSensors(2), 0);
  site.Logger(3001, 2);
  SiteHeader::Open(files, "FARM_07").WriteRecord(header::kSiteNumber, "07");
  const auto Cli = [&](const QStringList& args) { return RunCli(root.Path(), args); };

  // A start, then a download carries the new run and the serial number.
  const CliResult start = Cli({"start", "FARM_07", "--device", pty, "--interval", "00:00:30"});
  ASSERT_EQ(start.exitCode, 0) << start.out << start.err;
  EXPECT_NE(start.out.find("RECORDER TALKING"), std::string::npos);
  const CliResult download = Cli({"download", "FARM_07", "--device", pty});
  ASSERT_EQ(download.exitCode, 0) << download.out << download.err;
  const BlockHeader h = ReadBlockHeader(root.Path() / "TVMKDATA" / "FARM_07_001.KEY");
  EXPECT_EQ(h.run.SiteNumber(), 7);
  EXPECT_EQ(h.run.SensorCount(), 2);
  EXPECT_EQ(h.run.ScanInterval(), 30);
  const QDate today = QDate::currentDate();
  EXPECT_NEAR(h.run.StartDay(), DateToDayNumber(today.day(), today.month(), today.year()), 1);
  EXPECT_EQ(SiteHeader::Open(files, "FARM_07", RecordFile::Mode::ReadOnly).ReadRecord(219),
            "00:00:30");
  ASSERT_EQ(Cli({"set-serial", "4321", "--device", pty}).exitCode, 0);
  // The next download reports the new number, and without --yes refuses the run.
  const CliResult again = Cli({"download", "FARM_07", "--device", pty});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("The serial number of this recorder is  4321"), std::string::npos)
      << again.err;
  EXPECT_EQ(Cli({"set-serial", "99", "--device", pty}).exitCode, 1);

  // The trace shows live rows.
  const CliResult trace = Cli({"trace", "--device", pty, "--sensors", "2", "--scans", "2"});
  EXPECT_EQ(trace.exitCode, 0) << trace.out << trace.err;
  EXPECT_NE(trace.out.find(" Scan   Sensor 1     Sensor 2     "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("\n  02 "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("    Trace mode terminated."), std::string::npos);

  // A port in use and a missing device are reported as such.
  setenv("PELVARO_COM3", pty.toUtf8().constData(), 1);
  setenv("PELVARO_COM4", "/nonexistent/pelvaro-port", 1);
  QtSerialPort first;
  QtSerialPort second;
  EXPECT_TRUE(first.Open(3).Ok());
  EXPECT_EQ(second.Open(3).error, PortError::InUse);
  EXPECT_EQ(second.Open(4).error, PortError::DoesNotExist);
  unsetenv("PELVARO_COM3");
  unsetenv("PELVARO_COM4");
  // Stopped as a service is stopped, the simulator ends cleanly.
  sim.Process().terminate();
  ASSERT_TRUE(sim.Process().waitForFinished(5000));
  EXPECT_EQ(sim.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.Process().exitCode(), 0);
}

}  // namespace
}  // namespace pelvaro::testing
