#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/platform/Clock.h"
#include "core/platform/Prompter.h"
#include "core/platform/SerialPort.h"

namespace pelvaro {

// The three small windows of the link: the not-responding notice, the help
// window, and the port list shown when the USB cable cannot be found.
class LinkDialogs {
 public:
  virtual ~LinkDialogs() = default;
  // "Logger is not responding. Use Help to troubleshoot.": true for Help.
  virtual bool NotResponding() = 0;
  virtual void Help() = 0;
  // The port number picked in the list, nothing when cancelled.
  virtual std::optional<int> ChoosePort() = 0;
};

// The port number of the port list's text: "COM7" gives 7, "COM12" gives 12;
// other lengths change nothing.
std::optional<int> PortFromListText(const std::string& text);
inline constexpr char kPortListPrompt[] = "Select Port";

// Everything an exchange with the logger works with.
struct LinkContext {
  SerialPort& port;
  Clock& clock;
  Prompter& prompter;
  LinkDialogs& dialogs;
  // One status line into the operation's status area.
  std::function<void(const std::string&)> print;
};

}  // namespace pelvaro
