// The real serial stack against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/link/WakeUp.h"
#include "e2e/Simulator.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"

namespace pelvaro::testing {
namespace {

class SimulatorLink : public ::testing::Test {
 protected:
  void SetUp() override {
    sim.Start();
    // The port map sends COM3 to the simulator.
    setenv("PELVARO_COM3", sim.Pty().toUtf8().constData(), 1);
  }
  void TearDown() override { unsetenv("PELVARO_COM3"); }
  // Real time, polled on the event loop: the simulator answers within milliseconds.
  bool WaitForBytes(int n, double seconds) {
    const double until = clock.Now() + seconds;
    while (port.BytesWaiting() < n && clock.Now() < until) clock.Wait(0.02);
    return port.BytesWaiting() >= n;
  }

  Simulator sim;
  QtClock clock;
  QtSerialPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  std::vector<std::string> lines;
  LinkContext link{port, clock, prompter, dialogs,
                   [this](const std::string& line) { lines.push_back(line); }};
};

TEST_F(SimulatorLink, DownloadWakeUpAndTransferOverTheRealPort) {
  ASSERT_TRUE(port.Open(3).Ok());
  // A second opening of the same port is refused as "in use".
  QtSerialPort second;
  EXPECT_EQ(second.Open(3).error, PortError::InUse);
  const WakeResult r = WakeLogger(WakeVariant::Download, link, "D\r");
  ASSERT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(lines, (std::vector<std::string>{"Wait Contacting Logger......", "Logger On Line"}));
  ASSERT_TRUE(WaitForBytes(2, 5));
  const std::string count = port.Read(2);
  const int n = 256 * static_cast<unsigned char>(count[0]) + static_cast<unsigned char>(count[1]);
  EXPECT_GT(n, 0);
  ASSERT_TRUE(WaitForBytes(13 + n, 10));
  const std::string header = port.Read(13);
  EXPECT_EQ(static_cast<unsigned char>(header[8]) + 256 * static_cast<unsigned char>(header[9]),
            3001);
  EXPECT_EQ(static_cast<int>(port.Read(n).size()), n);
  port.Write(std::string(1, '\0'));
  port.Close();
}

TEST_F(SimulatorLink, TraceWakeUpScanAndStop) {
  ASSERT_TRUE(port.Open(3).Ok());
  const WakeResult r = WakeLogger(WakeVariant::Trace, link, std::string("T\x02", 2));
  ASSERT_EQ(r.outcome, WakeOutcome::CommandSent);
  ASSERT_TRUE(WaitForBytes(4, 5));  // one scan of two readings
  EXPECT_TRUE(StopTraceMode(link));
  EXPECT_EQ(lines.back(), "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
}

TEST(SerialPortErrors, MissingDeviceIsReportedAsSuch) {
  setenv("PELVARO_COM4", "/nonexistent/pelvaro-port", 1);
  QtSerialPort port;
  EXPECT_EQ(port.Open(4).error, PortError::DoesNotExist);
  unsetenv("PELVARO_COM4");
}

}  // namespace
}  // namespace pelvaro::testing
