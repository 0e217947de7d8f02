#pragma once

#include <string>

#include "core/link/LinkDialogs.h"

namespace pelvaro {

// The four operations that wake the logger, each with its own timing.
enum class WakeVariant { Download, Start, Trace, SerialNumber };

enum class WakeOutcome {
  CommandSent,    // the command went out after the greeting (or, starting, after any reply)
  NotResponding,  // silent: the port is closed and the notice was shown
  GaveUp,         // wrong replies: the port is closed
  NotConnected,   // serial number: silent after eleven wake bytes (message shown, port closed)
};

struct WakeResult {
  WakeOutcome outcome = WakeOutcome::NotResponding;
  bool greeted = false;  // the reply held the greeting
  std::string reply;     // the reply as read
};

// Wakes the logger on an open port and sends the command. Every wait runs on
// the context's clock.
WakeResult WakeLogger(WakeVariant variant, LinkContext& link, std::string_view command);

// Leaves trace mode: sends the stop byte and waits up to 18 s for the "H" of
// the logger's greeting. Closes the port. True when the logger answered.
bool StopTraceMode(LinkContext& link);

// The not-responding handling: port closed, notice shown, help on request.
// Returns whether help was asked for.
bool TellNotResponding(LinkContext& link);

}  // namespace pelvaro
