// pelvaro-cli's logger commands against pelvaro-sim on a pseudo-terminal, and port errors.
#include <gtest/gtest.h>

#include <QDate>
#include <cstdlib>

#include "core/storage/BlockStore.h"
#include "core/storage/DayNumbers.h"
#include "e2e/Simulator.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/platform/QtSerialPort.h"

namespace pelvaro::testing {
namespace {

class LoggerCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Start();
    pty = sim.Pty();
    SiteBuilder site(files, "FARM_07");
    site.Header(LoggerSensors(2), 0);
    site.Logger(3001, 2);
    SiteHeader::Open(files, "FARM_07").WriteRecord(header::kSiteNumber, "07");
  }
  CliResult Cli(const QStringList& args) { return RunCli(root.Path(), args); }

  Simulator sim;
  QString pty;
  TempRoot root;
  Files files{root.Path()};
};

TEST_F(LoggerCommands, StartThenDownloadCarriesTheNewRunAndTheSerialNumber) {
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
}

TEST_F(LoggerCommands, TraceShowsLiveRows) {
  const CliResult trace = Cli({"trace", "--device", pty, "--sensors", "2", "--scans", "2"});
  EXPECT_EQ(trace.exitCode, 0) << trace.out << trace.err;
  EXPECT_NE(trace.out.find(" Scan   Sensor 1     Sensor 2     "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("\n  02 "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("    Trace mode terminated."), std::string::npos);
}

TEST_F(LoggerCommands, APortInUseAndAMissingDeviceAreReportedAsSuch) {
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
