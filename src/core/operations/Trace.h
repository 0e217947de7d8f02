#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/link/LinkDialogs.h"

namespace pelvaro {

// The status line that closes a trace, whoever ended it.
inline constexpr char kTraceTerminated[] = "    Trace mode terminated.";

// Why a trace is over.
enum class TraceEnd {
  LoggerEnded,  // the logger's "Hi" after its 64th scan, to save its battery
  HostStopped,  // the host's stop after 100 scans
  UserStopped,  // "Exit Trace Mode"
  DataError,    // a scan could not be taken apart, or the port failed
  NotStarted,   // the logger did not answer the wake-up
};

// Live sensor readings: after the "T" command the logger sends one scan of n
// readings a second, and each scan becomes one row in the status area. The
// port stays open, with receive notification on, for as long as the trace
// runs.
class TraceSession {
 public:
  // clearDisplay empties the status area; lines go through link.print.
  TraceSession(LinkContext& link, std::function<void()> clearDisplay);
  ~TraceSession();
  TraceSession(const TraceSession&) = delete;
  TraceSession& operator=(const TraceSession&) = delete;

  // Wakes the logger on the already open port and asks for n = sensors
  // readings a scan. False when the logger did not answer properly: the
  // wake-up has then closed the port and told the user.
  bool Start(int sensors);
  // The receive notification: takes apart every scan that waits and shows
  // their rows.
  void OnReceive();
  // "Exit Trace Mode".
  void Stop();

  bool Active() const { return active_; }
  std::optional<TraceEnd> Ended() const { return ended_; }
  int Scans() const { return scans_; }

  bool downloadInProgress = false;  // while set, notifications are ignored

  static std::string HeaderLine(int sensors);
  static std::string Row(int scan, const std::vector<int>& readings);

 private:
  void TakeScan();
  void ShowHeader();
  void Fail(const std::string& text, const std::string& title);
  void End(TraceEnd why);

  LinkContext& link_;
  std::function<void()> clearDisplay_;
  int sensors_ = 0;
  int scans_ = 0;
  int lines_ = 0;  // rows since the header was last shown
  bool active_ = false;
  std::optional<TraceEnd> ended_;
  std::string header_;
};

}  // namespace pelvaro
