#include "core/link/PortMap.h"

#include <cstdlib>

namespace pelvaro {

namespace {

constexpr int kVendorFtdi = 0x0403;
constexpr int kProductFtdiCable = 0x6001;
constexpr int kBuiltInPorts = 4;

std::optional<std::string> Override(int port) {
  const std::string name = "PELVARO_COM" + std::to_string(port);
  const char* value = std::getenv(name.c_str());
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

// The number after the prefix, when it is one no larger than `most`.
std::optional<int> TrailingNumber(std::string_view text, std::string_view prefix, int most) {
  if (text.substr(0, prefix.size()) != prefix || text.size() == prefix.size()) return std::nullopt;
  int n = 0;
  for (char c : text.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
    if (n > most) return std::nullopt;
  }
  return n;
}

}  // namespace

std::string DevicePathForPort(int port) {
  if (auto path = Override(port)) return *path;
#ifdef _WIN32
  return "COM" + std::to_string(port);
#else
  if (port >= 1 && port <= kBuiltInPorts) return "/dev/ttyS" + std::to_string(port - 1);
  return "/dev/ttyUSB" + std::to_string(port - kBuiltInPorts - 1);
#endif
}

std::optional<int> PortForDevicePath(const std::string& path) {
  for (int port = 1; port <= kHighestPort; ++port) {
    if (Override(port) == path) return port;
  }
#ifdef _WIN32
  if (auto n = PortNumberFromName(path); n && !Override(*n)) return n;
  return std::nullopt;
#else
  if (auto n = TrailingNumber(path, "/dev/ttyS", kBuiltInPorts - 1); n && !Override(*n + 1)) {
    return *n + 1;
  }
  if (auto n = TrailingNumber(path, "/dev/ttyUSB", kHighestPort - kBuiltInPorts - 1);
      n && !Override(*n + kBuiltInPorts + 1)) {
    return *n + kBuiltInPorts + 1;
  }
  return std::nullopt;
#endif
}

std::optional<int> PortNumberFromName(std::string_view name) {
  // Leading and trailing blanks and the terminating zero of a registry value.
  while (!name.empty() && (name.front() == ' ')) name.remove_prefix(1);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.remove_suffix(1);
  const auto n = TrailingNumber(name, "COM", kHighestPort);
  if (!n || *n < 1) return std::nullopt;
  return n;
}

std::optional<int> DevicePortFinder::UsbCablePort() {
  for (const SerialDevice& d : list_()) {
    if (d.vendorId != kVendorFtdi || d.productId != kProductFtdiCable) continue;
    if (auto port = PortForDevicePath(d.path)) return port;
  }
  return std::nullopt;
}

std::optional<int> DevicePortFinder::OtherUsbSerialPort() {
  for (const SerialDevice& d : list_()) {
    if (!d.usb || (d.vendorId == kVendorFtdi && d.productId == kProductFtdiCable)) continue;
    if (auto port = PortForDevicePath(d.path)) return port;
  }
  return std::nullopt;
}

}  // namespace pelvaro
