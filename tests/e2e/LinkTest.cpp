// The real serial port's own errors. Its exchanges with the logger are those
// of the command line's download, start and trace and of the windows over the
// real line.
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
}

}  // namespace
}  // namespace pelvaro::testing
