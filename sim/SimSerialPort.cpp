#include "sim/SimSerialPort.h"

#include <algorithm>
#include <utility>

namespace pelvaro::sim {

SimSerialPort::SimSerialPort(LoggerEngine& engine, Clock& clock) : engine_(engine), clock_(clock) {}

void SimSerialPort::FailNextOpenWith(PortError error) { nextOpenError_ = error; }

PortOpenResult SimSerialPort::Open(int portNumber) {
  if (nextOpenError_ != PortError::None) {
    const PortError error = std::exchange(nextOpenError_, PortError::None);
    switch (error) {
      case PortError::InUse:
        return {error, "Port already open", {}};
      case PortError::DoesNotExist:
        return {error, "Invalid port number", {}};
      default:
        return {error, "The port could not be opened", {}};
    }
  }
  Collect();  // whatever came while closed is gone
  open_ = true;
  openedPort_ = portNumber;
  return {};
}

void SimSerialPort::Close() {
  Collect();
  open_ = false;
  notify_ = false;
  received_.clear();
}

void SimSerialPort::Collect() {
  const double now = clock_.Now();
  std::string bytes = engine_.Take(engine_.Ready(now), now);
  if (!open_) return;
  const std::size_t room = kReceiveBuffer - std::min(kReceiveBuffer, received_.size());
  received_.append(bytes, 0, std::min(room, bytes.size()));
}

int SimSerialPort::BytesWaiting() {
  Collect();
  return static_cast<int>(received_.size());
}

std::string SimSerialPort::Read(int n) {
  Collect();
  const std::size_t count = std::min(received_.size(), static_cast<std::size_t>(std::max(n, 0)));
  std::string bytes = received_.substr(0, count);
  received_.erase(0, count);
  return bytes;
}

void SimSerialPort::Write(std::string_view bytes) {
  if (!open_) return;
  Collect();
  written_ += bytes;
  engine_.Receive(bytes, clock_.Now());
}

void SimSerialPort::ClearInput() {
  Collect();
  received_.clear();
}

bool SimSerialPort::Pump() {
  if (!open_ || !notify_ || !receiveHandler_ || BytesWaiting() == 0) return false;
  receiveHandler_();
  return true;
}

}  // namespace pelvaro::sim
