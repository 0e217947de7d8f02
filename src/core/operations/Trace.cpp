#include "core/operations/Trace.h"

#include <exception>

#include "core/link/Protocol.h"
#include "core/link/WakeUp.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

namespace {

// The logger sends 64 scans and then its "Hi"; the host gives up at 100 in
// case the logger's own stop never comes.
constexpr int kLoggerScans = protocol::kLoggerTraceScans;
constexpr int kHostScans = 100;
constexpr int kLinesPerPage = 20;
constexpr double kReadingWait = 0.1;  // two bytes take 4 ms on the line
constexpr double kPageWait = 1.0;     // lets the user read the full page

std::string Blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

}  // namespace

TraceSession::TraceSession(LinkContext& link, std::function<void()> clearDisplay)
    : link_(link), clearDisplay_(std::move(clearDisplay)) {}

TraceSession::~TraceSession() {
  // The port must not call back into a session that is gone.
  if (active_) link_.port.SetReceiveNotify(false);
  link_.port.SetReceiveHandler(nullptr);
}

std::string TraceSession::HeaderLine(int sensors) {
  std::string line = " Scan   ";
  for (int i = 1; i <= sensors; ++i) line += "Sensor" + Spaced(i) + Blanks(5);
  return line;
}

std::string TraceSession::Row(int scan, const std::vector<int>& readings) {
  std::string counter = std::to_string(scan);
  if (counter.size() < 2) counter.insert(0, 1, '0');
  std::string row = "  " + counter;
  // Four-digit readings get two more blanks so that the digits line up under
  // the five-digit ones.
  for (int v : readings) {
    const std::string text = Spaced(v);
    row += Blanks(text.size() == 5 ? 9 : 7) + text;
  }
  return row;
}

bool TraceSession::Start(int sensors) {
  sensors_ = sensors;
  active_ = false;
  ended_.reset();
  clearDisplay_();
  link_.print("");
  if (WakeLogger(WakeVariant::Trace, link_, protocol::TraceCommand(sensors)).outcome !=
      WakeOutcome::CommandSent) {
    ended_ = TraceEnd::NotStarted;
    return false;
  }
  header_ = HeaderLine(sensors);
  ShowHeader();
  lines_ = 0;
  scans_ = 0;
  link_.port.SetReceiveHandler([this] { OnReceive(); });
  link_.port.SetReceiveNotify(true);
  active_ = true;
  return true;
}

void TraceSession::ShowHeader() {
  clearDisplay_();
  link_.print("");
  link_.print(header_);
  link_.print("");
}

void TraceSession::OnReceive() {
  if (downloadInProgress || !active_) return;
  // One notification may stand for several scans: those that arrived while
  // earlier ones were being shown (the page pause) raise none of their own.
  do {
    TakeScan();
  } while (active_ && link_.port.BytesWaiting() > 0);
}

void TraceSession::TakeScan() {
  std::vector<int> readings;
  bool loggerEnded = false;
  try {
    for (int i = 0; i < sensors_; ++i) {
      link_.clock.Wait(kReadingWait);
      const std::string pair = link_.port.Read(2);
      if (pair.size() < 2) {
        Fail(
            "An error occurred while accessing the logger data.\r\n"
            "Probe trace mode will be terminated.",
            " Data Error");
        return;
      }
      // Before the logger's last scan "Hi" is just a reading of 26952.
      if (scans_ >= kLoggerScans && pair == "Hi") {
        loggerEnded = true;
        break;
      }
      readings.push_back(static_cast<unsigned char>(pair[0]) +
                         256 * static_cast<unsigned char>(pair[1]));
    }
  } catch (const std::exception& e) {
    Fail(std::string("An error occurred while accessing the communication port data.\r\n"
                     "The error is ") +
             e.what(),
         " Data Read Error");
    return;
  }

  if (++lines_ == kLinesPerPage) {
    link_.clock.Wait(kPageWait);
    lines_ = 0;
    ShowHeader();
  }
  ++scans_;
  if (scans_ > kLoggerScans && loggerEnded) {
    // The last page stays readable behind the message, with the same closing
    // line as a stop from the host.
    link_.print(kTraceTerminated);
    link_.prompter.Message("Trace mode has been terminated after 64 scans to save battery life.");
    const int waiting = link_.port.BytesWaiting();
    if (waiting > 0) link_.port.Read(waiting);
    link_.port.SetReceiveNotify(false);
    link_.port.Close();
    clearDisplay_();
    End(TraceEnd::LoggerEnded);
    return;
  }
  link_.print(Row(scans_, readings));
  if (scans_ >= kHostScans) {
    link_.port.SetReceiveNotify(false);
    clearDisplay_();
    StopTraceMode(link_);
    End(TraceEnd::HostStopped);
  }
}

void TraceSession::Stop() {
  if (!active_) return;
  link_.port.SetReceiveNotify(false);
  clearDisplay_();
  StopTraceMode(link_);
  End(TraceEnd::UserStopped);
}

void TraceSession::Fail(const std::string& text, const std::string& title) {
  link_.prompter.Message(text, title);
  link_.port.SetReceiveNotify(false);
  // The logger stops by itself after 64 scans; closing keeps its remaining
  // scans from raising further notifications meanwhile.
  link_.port.Close();
  End(TraceEnd::DataError);
}

void TraceSession::End(TraceEnd why) {
  active_ = false;
  ended_ = why;
}

}  // namespace pelvaro
