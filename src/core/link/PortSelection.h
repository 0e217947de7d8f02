#pragma once

#include <functional>
#include <optional>

#include "core/link/LinkDialogs.h"
#include "core/link/PortMap.h"
#include "core/platform/Files.h"

namespace pelvaro {

enum class PortOption { None, Com1, Com2, Usb };

// The choice of the logger's port: COM1, COM2 or the USB cable, tested by
// opening it and remembered in DEF.INS for the next run.
class PortSelection {
 public:
  PortSelection(const Files& files, Prompter& prompter, SerialPort& port, PortFinder& finder,
                LinkDialogs& dialogs);

  // A click on COM1 or COM2 in the port frame: the port is tested and, when
  // it opens, remembered.
  void ChooseComPort(int port);  // 1 or 2
  // A click on USB: the cable's port is found (or picked from the list),
  // tested and, when it opens, remembered.
  void ChooseUsbCable();
  // Test-opens the port and closes it again; on failure tells the user why.
  bool TryOpenPort(int port);
  // Writes the port number into DEF.INS; a failure is told and the choice stands.
  void RememberPort();
  // The port number DEF.INS holds.
  int ReadRememberedPort();
  // Makes sure a usable port is chosen before a logger operation.
  bool EnsurePortChosen();
  void TellNoPortAvailable();
  // The FTDI cable's port, else another USB-serial device's, else the one
  // picked from the port list.
  std::optional<int> FindUsbCablePort();

  int PortNumber() const { return portNumber_; }
  bool PortSelected() const { return portSelected_; }
  PortOption Selected() const { return selected_; }
  // The port frame follows the selection through this.
  std::function<void(PortOption)> onSelectionChanged;

 private:
  void Select(PortOption option);

  const Files& files_;
  Prompter& prompter_;
  SerialPort& port_;
  PortFinder& finder_;
  LinkDialogs& dialogs_;
  int portNumber_ = 0;
  bool portSelected_ = false;
  PortOption selected_ = PortOption::None;
};

inline constexpr char kPortNotAvailable[] =
    "No Communication port is available.Please select an available communication port.";

// The message for a port that could not be opened, and its title.
struct PortMessage {
  std::string text;
  std::string title;
};
PortMessage PortOpenMessage(int port, const PortOpenResult& result);

}  // namespace pelvaro
