#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace pelvaro {

// Why a port could not be opened: the two cases the user is told apart, and
// everything else with its description.
enum class PortError { None, InUse, DoesNotExist, Other };

struct PortOpenResult {
  PortError error = PortError::None;
  std::string description;
  // The device the port number stands for on this computer, where known.
  std::string device;
  bool Ok() const { return error == PortError::None; }
};

// The serial line to the logger, always 4800 baud, 8 data bits, no parity,
// 1 stop bit, no flow control, with a 32000-byte receive buffer. Bytes are
// kept in std::string, one char per byte, 0..255 alike.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Port numbers 1..20 (COM1..COM20).
  virtual PortOpenResult Open(int portNumber) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Received bytes not yet read.
  virtual int BytesWaiting() = 0;
  // Takes up to n waiting bytes.
  virtual std::string Read(int n) = 0;
  virtual void Write(std::string_view bytes) = 0;
  virtual void ClearInput() = 0;
  // While on, the handler runs whenever bytes arrive (trace mode only).
  virtual void SetReceiveNotify(bool on) = 0;
  void SetReceiveHandler(std::function<void()> handler) { receiveHandler_ = std::move(handler); }

 protected:
  std::function<void()> receiveHandler_;
};

}  // namespace pelvaro
