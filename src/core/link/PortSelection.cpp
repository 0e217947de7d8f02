#include "core/link/PortSelection.h"

#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

std::optional<int> PortFromListText(const std::string& text) {
  const std::string t = Trim(text);
  if (t.size() != 4 && t.size() != 5) return std::nullopt;
  return static_cast<int>(ParseLeadingNumber(t.substr(3)));
}

PortMessage PortOpenMessage(int port, const PortOpenResult& result) {
  switch (result.error) {
    case PortError::InUse:
      return {"An error occured while accessing the communications port,\r\nCOM" + Spaced(port) +
                  " is in use.\r\n\r\nSelect an available communications port.",
              "Communications Port Error"};
    case PortError::DoesNotExist:
      // The device named, so that a wrong cable or setting can be told apart.
      return {"Selected port does not exist with the system.\r\n" +
                  (result.device.empty() ? std::string()
                                         : "\r\nCOM" + std::to_string(port) + " is " +
                                               result.device + " on this computer.\r\n"),
              "Port Does Not Exist"};
    default:
      return {"An error occurred while accessing the communications port.\r\nThe error is  " +
                  result.description,
              ""};
  }
}

PortSelection::PortSelection(const Files& files, Prompter& prompter, SerialPort& port,
                             PortFinder& finder, LinkDialogs& dialogs)
    : files_(files), prompter_(prompter), port_(port), finder_(finder), dialogs_(dialogs) {}

void PortSelection::Select(PortOption option) {
  selected_ = option;
  if (onSelectionChanged) onSelectionChanged(option);
}

void PortSelection::ChooseComPort(int port) {
  portSelected_ = false;
  portNumber_ = port;
  const PortOption option = port == 1 ? PortOption::Com1 : PortOption::Com2;
  Select(option);
  if (TryOpenPort(portNumber_)) {
    portSelected_ = true;
    RememberPort();
  } else {
    Select(PortOption::None);
  }
}

void PortSelection::ChooseUsbCable() {
  portNumber_ = 0;
  portSelected_ = false;
  const std::optional<int> usb = FindUsbCablePort();
  if (!usb) return;  // not a number: nothing selected
  portNumber_ = *usb;
  Select(PortOption::Usb);
  if (portNumber_ == 0) {
    Select(PortOption::None);
    return;
  }
  if (TryOpenPort(portNumber_)) {
    portSelected_ = true;
    RememberPort();
  } else {
    Select(PortOption::None);
  }
}

bool PortSelection::TryOpenPort(int port) {
  portNumber_ = port;
  if (port_.IsOpen()) port_.Close();
  const PortOpenResult result = port_.Open(port);
  if (!result.Ok()) {
    const PortMessage m = PortOpenMessage(port, result);
    prompter_.Message(m.text, m.title);
    return false;
  }
  port_.Close();
  return true;
}

void PortSelection::RememberPort() {
  try {
    WritePortNumber(files_, portNumber_);
  } catch (const std::exception&) {
    prompter_.Message("An error occurred while saving serial port settings.Serial Port Error.");
  }
}

int PortSelection::ReadRememberedPort() {
  portNumber_ = StoredPortNumber(files_);
  return portNumber_;
}

bool PortSelection::EnsurePortChosen() {
  if (selected_ != PortOption::None) return true;
  ReadRememberedPort();
  Select(PortOption::None);
  if (portNumber_ == 0) {
    TellNoPortAvailable();
    return false;
  }
  if (portNumber_ == 1 || portNumber_ == 2) {
    ChooseComPort(portNumber_);
  } else {
    // Any other stored port is the USB cable's, found again.
    ChooseUsbCable();
  }
  return portSelected_;
}

void PortSelection::TellNoPortAvailable() { prompter_.Message(kPortNotAvailable); }

std::optional<int> PortSelection::FindUsbCablePort() {
  if (auto port = finder_.UsbCablePort()) return port;
  if (auto port = finder_.OtherUsbSerialPort()) return port;
  if (auto chosen = dialogs_.ChoosePort()) portNumber_ = *chosen;
  return portNumber_;
}

}  // namespace pelvaro
