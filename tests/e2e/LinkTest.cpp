// The real serial port's own errors, and the simulator's own end. Their
// exchanges are those of the command line's download, start and trace and of
// the windows over the real line.
#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/Simulator.h"
#include "ui/platform/QtSerialPort.h"

namespace pelvaro::testing {
namespace {

TEST(SerialPortErrors, APortInUseAndAMissingDeviceAreReportedAsSuch) {
  Simulator sim;
  sim.Start();
  setenv("PELVARO_COM3", sim.Pty().toUtf8().constData(), 1);
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
