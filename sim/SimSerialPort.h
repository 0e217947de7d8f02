#pragma once

#include <string>

#include "core/platform/Clock.h"
#include "core/platform/SerialPort.h"
#include "sim/LoggerEngine.h"

namespace pelvaro::sim {

// The logger engine behind the serial port seam, timed by a Clock: with a
// VirtualClock the host's waits move time and the logger's answers fall due
// exactly when they would on the line.
class SimSerialPort : public SerialPort {
 public:
  static constexpr std::size_t kReceiveBuffer = 32000;

  SimSerialPort(LoggerEngine& engine, Clock& clock);

  // The next Open fails with this error (InUse, DoesNotExist or Other).
  void FailNextOpenWith(PortError error);
  // Runs the receive handler once when notification is on and bytes wait;
  // true when it ran.
  bool Pump();
  // Every byte the host wrote while the port was open.
  const std::string& Written() const { return written_; }
  // The port number last opened, 0 before any.
  int OpenedPort() const { return openedPort_; }

  PortOpenResult Open(int portNumber) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override;
  std::string Read(int n) override;
  void Write(std::string_view bytes) override;
  void ClearInput() override;
  void SetReceiveNotify(bool on) override { notify_ = on; }

 private:
  // Moves the bytes due by now off the line: into the receive buffer while the
  // port is open and there is room, otherwise they are lost.
  void Collect();

  LoggerEngine& engine_;
  Clock& clock_;
  PortError nextOpenError_ = PortError::None;
  bool open_ = false;
  bool notify_ = false;
  int openedPort_ = 0;
  std::string received_;
  std::string written_;
};

}  // namespace pelvaro::sim
