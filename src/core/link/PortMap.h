#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pelvaro {

inline constexpr int kHighestPort = 20;

// Where port n (COM1..COM20) is on this system. The environment variable
// PELVARO_COM<n> names the device when set (so a port can be pointed at a
// simulator's pseudo-terminal or a virtual port); otherwise on Windows it is
// "COM<n>", and elsewhere COM1..COM4 are /dev/ttyS0../dev/ttyS3 and
// COM5..COM20 are /dev/ttyUSB0../dev/ttyUSB15.
std::string DevicePathForPort(int port);
// The port number of a device path under the same rule; nothing when the
// device has no port number.
std::optional<int> PortForDevicePath(const std::string& path);
// The number of a port name such as "COM12" (all its digits).
std::optional<int> PortNumberFromName(std::string_view name);

// A serial device as the system lists it.
struct SerialDevice {
  std::string path;
  int vendorId = 0;
  int productId = 0;
  bool usb = false;
};

// Finds the logger's USB-serial cable, in the order the program has always
// looked: the FTDI cable itself first, then the serial device map.
class PortFinder {
 public:
  virtual ~PortFinder() = default;
  virtual std::optional<int> UsbCablePort() = 0;
  // A USB-serial device that is not the FTDI cable.
  virtual std::optional<int> OtherUsbSerialPort() = 0;
};

// The finder for systems without a registry: the FTDI cable (vendor 0403,
// product 6001) first, then any other USB-serial device, each numbered by
// the port map.
class DevicePortFinder : public PortFinder {
 public:
  explicit DevicePortFinder(std::function<std::vector<SerialDevice>()> list)
      : list_(std::move(list)) {}
  std::optional<int> UsbCablePort() override;
  std::optional<int> OtherUsbSerialPort() override;

 private:
  std::function<std::vector<SerialDevice>()> list_;
};

}  // namespace pelvaro
