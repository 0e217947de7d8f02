#include "core/link/WakeUp.h"

#include "core/link/Protocol.h"

namespace pelvaro {

namespace {

constexpr double kPoll = 0.05;  // how often a wait for bytes looks again

// How one operation wakes the logger.
struct Settings {
  char wakeByte;
  const char* firstLine;  // shown before the first wake byte (none when empty)
  double settle;          // wait before the first wake byte
  bool drainAfterSettle;
  const char* onlineLine;
  double afterCommand;  // wait after the command
};

Settings SettingsFor(WakeVariant variant) {
  switch (variant) {
    case WakeVariant::Download:
      return {
          protocol::kWakeByte, "Wait Contacting Logger......", 0.3, true, "Logger On Line", 0.2};
    case WakeVariant::Start:
      return {protocol::kStartWakeByte, "CONTACTING RECORDER", 0.3, false, "RECORDER TALKING", 1.0};
    case WakeVariant::Trace:
      return {protocol::kWakeByte, "    CONTACTING LOGGER", 0.3, true, "    LOGGER TALKING", 0.2};
    case WakeVariant::SerialNumber:
      break;
  }
  return {protocol::kWakeByte, "", 0.0, false, "", 0.2};
}

void Drain(SerialPort& port) {
  const int waiting = port.BytesWaiting();
  if (waiting > 0) port.Read(waiting);
}

bool IsGreeting(const std::string& reply) {
  return reply.rfind(protocol::kGreeting.substr(0, 3), 0) == 0;  // without its carriage return
}

// Waits until at least one byte waits or the time is up.
bool WaitForByte(LinkContext& link, double seconds) {
  const double until = link.clock.Now() + seconds;
  while (link.port.BytesWaiting() < 1) {
    if (link.clock.Now() >= until) return false;
    link.clock.Wait(kPoll);
  }
  return true;
}

WakeOutcome NotResponding(LinkContext& link) {
  TellNotResponding(link);
  return WakeOutcome::NotResponding;
}

// Download: wake bytes every 0.6 s within a 12 s window; three wrong replies
// and it gives up.
bool WakeForDownload(LinkContext& link, const Settings& s, WakeResult& result) {
  for (int attempt = 1; attempt <= 3; ++attempt) {
    const double deadline = link.clock.Now() + 12.0;
    Drain(link.port);
    while (link.port.BytesWaiting() < static_cast<int>(protocol::kWakeReplyBytes)) {
      link.port.Write(std::string(1, s.wakeByte));
      Drain(link.port);
      link.clock.Wait(0.6);
      if (link.port.BytesWaiting() >= 2) break;
      if (link.clock.Now() > deadline) {
        result.outcome = NotResponding(link);
        return false;
      }
    }
    result.reply = link.port.Read(static_cast<int>(protocol::kWakeReplyBytes));
    // Only the second and third characters are looked at here.
    if (result.reply.size() >= 3 && result.reply.compare(1, 2, protocol::kGreetingMark) == 0) {
      result.greeted = true;
      link.print(s.onlineLine);
      return true;
    }
    link.print("ERROR, WILL TRY AGAIN");
    if (attempt == 3) {
      link.clock.Wait(2.0);
      link.port.Close();
      result.outcome = WakeOutcome::GaveUp;
      return false;
    }
    link.clock.Wait(1.0);
  }
  return false;
}

// Start and serial number: up to eleven wake bytes, 0.6 s apart.
bool WakeRepeatedly(WakeVariant variant, LinkContext& link, const Settings& s, WakeResult& result) {
  for (int failed = 0;;) {
    link.port.Write(std::string(1, s.wakeByte));
    Drain(link.port);
    link.clock.Wait(0.6);
    if (link.port.BytesWaiting() >= 1) break;
    if (++failed > 10) {
      if (variant == WakeVariant::Start) {
        result.outcome = NotResponding(link);
      } else {
        link.prompter.Message("Recorder is not connected, check the interface cable connection");
        link.port.Close();
        result.outcome = WakeOutcome::NotConnected;
      }
      return false;
    }
  }
  result.reply =
      link.port.Read(variant == WakeVariant::Start ? link.port.BytesWaiting()
                                                   : static_cast<int>(protocol::kWakeReplyBytes));
  result.greeted = IsGreeting(result.reply);
  if (result.greeted && *s.onlineLine != '\0') link.print(s.onlineLine);
  if (!result.greeted && variant == WakeVariant::SerialNumber) {
    link.port.Close();
    result.outcome = WakeOutcome::GaveUp;
    return false;
  }
  // A start goes on whatever the reply: the echo of the start block decides.
  return true;
}

// Trace: one wake byte, then up to 3 s for an answer.
bool WakeOnce(LinkContext& link, const Settings& s, WakeResult& result) {
  link.port.Write(std::string(1, s.wakeByte));
  link.clock.Wait(0.1);
  if (!WaitForByte(link, 3.0)) {
    result.outcome = NotResponding(link);
    return false;
  }
  result.reply = link.port.Read(static_cast<int>(protocol::kWakeReplyBytes));
  result.greeted = IsGreeting(result.reply);
  if (result.greeted) {
    link.print(s.onlineLine);
    return true;
  }
  link.print("    ERROR");
  link.clock.Wait(2.0);
  link.port.Close();
  result.outcome = WakeOutcome::GaveUp;
  return false;
}

}  // namespace

bool TellNotResponding(LinkContext& link) {
  link.port.Close();
  const bool help = link.dialogs.NotResponding();
  if (help) link.dialogs.Help();
  return help;
}

WakeResult WakeLogger(WakeVariant variant, LinkContext& link, std::string_view command) {
  const Settings s = SettingsFor(variant);
  if (*s.firstLine != '\0') link.print(s.firstLine);
  if (s.settle > 0) link.clock.Wait(s.settle);
  if (s.drainAfterSettle) Drain(link.port);

  WakeResult result;
  const bool proceed = variant == WakeVariant::Download ? WakeForDownload(link, s, result)
                       : variant == WakeVariant::Trace  ? WakeOnce(link, s, result)
                                                        : WakeRepeatedly(variant, link, s, result);
  if (!proceed) return result;
  link.clock.Wait(0.2);
  link.port.Write(command);
  link.clock.Wait(s.afterCommand);
  result.outcome = WakeOutcome::CommandSent;
  return result;
}

bool StopTraceMode(LinkContext& link) {
  link.port.Write(std::string(1, protocol::kTraceStop));
  const double deadline = link.clock.Now() + 18.0;
  bool answered = false;
  while (!answered && link.clock.Now() < deadline) {
    if (link.port.BytesWaiting() < 1) {
      link.clock.Wait(kPoll);
      continue;
    }
    answered = link.port.Read(1) == protocol::kGreeting.substr(0, 1);
  }
  if (answered) {
    link.print("    Trace mode terminated.");
  } else {
    link.prompter.Message("Recorder is not responding.");
  }
  link.port.ClearInput();  // the rest of the greeting
  link.clock.Wait(3.0);
  link.port.Close();
  link.clock.Wait(3.0);
  return answered;
}

}  // namespace pelvaro
