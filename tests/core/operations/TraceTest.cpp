// Probe trace mode against a scripted line and the in-process logger, on the
// virtual clock.
#include "core/operations/Trace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "sim/SimSerialPort.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"

namespace pelvaro::testing {
namespace {

constexpr char kClear[] = "<clear>";
const std::string kBattery = "Trace mode has been terminated after 64 scans to save battery life.";

std::string Word(int v) { return {static_cast<char>(v & 255), static_cast<char>(v >> 8)}; }
std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  return s;
}
std::string Blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// The status area as a list of lines and clears, each with its time.
struct Display {
  void Add(const std::string& text, double at) {
    shown.push_back(text);
    times.push_back(at);
  }
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (const auto& s : shown) {
      if (s.size() > 2 && s.compare(0, 2, "  ") == 0 &&
          std::isdigit(static_cast<unsigned char>(s[2])))
        rows.push_back(s);
    }
    return rows;
  }
  std::vector<std::string> shown;
  std::vector<double> times;
};

class TraceTest : public ::testing::Test {
 protected:
  TraceTest() { port.Open(1); }

  // The logger greets every 0x00: the wake byte and the stop byte alike.
  void Greet() {
    port.onWrite = [this](const std::string& bytes, double now) {
      if (bytes == std::string(1, '\0')) port.Arrive("Hi!\r", now + 0.02);
    };
  }
  // One scan, a second after the last, and its notification.
  void Scan(const std::string& bytes) {
    clock.Advance(1.0);
    port.Arrive(bytes, clock.Now());
    trace.OnReceive();
  }

  VirtualClock clock;
  ScriptedPort port{clock};
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  Display display;
  LinkContext link{port, clock, prompter, dialogs,
                   [this](const std::string& line) { display.Add(line, clock.Now()); }};
  TraceSession trace{link, [this] { display.Add(kClear, clock.Now()); }};
};

// The rows' columns are held by the traces below, which show them.
TEST_F(TraceTest, TheHeaderNamesEachSensorsColumn) {
  EXPECT_EQ(TraceSession::HeaderLine(2), " Scan   Sensor 1     Sensor 2     ");
}

TEST_F(TraceTest, StartSendsTheCountAfterTheGreetingAndScansBecomeRows) {
  Greet();
  ASSERT_TRUE(trace.Start(3));
  EXPECT_EQ(port.Sent(), Bytes({0x00, 0x54, 0x03}));
  EXPECT_EQ(display.shown,
            (std::vector<std::string>{kClear, "", "    CONTACTING LOGGER", "    LOGGER TALKING",
                                      kClear, "", TraceSession::HeaderLine(3), ""}));
  EXPECT_TRUE(port.notify);
  EXPECT_TRUE(trace.Active());

  // A download owns the port: its notifications leave the bytes alone.
  port.Arrive(Bytes({0xD2, 0x04, 0x39, 0x30}) + Word(7), clock.Now() + 1);
  clock.Advance(1.0);
  trace.downloadInProgress = true;
  trace.OnReceive();
  EXPECT_EQ(port.BytesWaiting(), 6);
  trace.downloadInProgress = false;
  trace.OnReceive();
  EXPECT_EQ(display.shown.back(),
            "  01" + Blanks(9) + " 1234" + Blanks(7) + " 12345" + Blanks(7) + " 7");
  EXPECT_EQ(trace.Scans(), 1);
}

TEST_F(TraceTest, TwentiethScanStartsAFreshPageAfterAPause) {
  Greet();
  ASSERT_TRUE(trace.Start(1));
  const std::size_t afterStart = display.shown.size();
  for (int i = 1; i <= 19; ++i) Scan(Word(1000 + i));
  EXPECT_EQ(std::count(display.shown.begin() + afterStart, display.shown.end(), kClear), 0);
  const double notified = clock.Now() + 1.0;  // when Scan raises the 20th notification
  Scan(Word(1020));
  const std::vector<std::string> tail(display.shown.end() - 6, display.shown.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"  19" + Blanks(9) + " 1019", kClear, "",
                                            TraceSession::HeaderLine(1), "",
                                            "  20" + Blanks(9) + " 1020"}));
  const double clearedAt = display.times[display.shown.size() - 5];
  EXPECT_NEAR(clearedAt - notified, 0.1 + 1.0, 1e-9);
}

// Every way a trace ends leaves the port closed and its notifications off.
TEST_F(TraceTest, EachEndOfATraceIsSaidAndClosesThePort) {
  struct Case {
    const char* guards;
    int sensors;
    std::vector<std::string> scans;  // one a second; "gone" unplugs the device
    TraceEnd end;
    std::string message;  // title and text
    std::size_t rows;
    std::vector<std::string> tail;  // the last lines shown
  };
  std::vector<std::string> logger(63, Word(500)), host;
  logger.insert(logger.end(), {"Hi", "Hi"});  // "Hi" is the 64th scan's reading 26952
  for (int i = 1; i <= 100; ++i) host.push_back(Word(2000 + i));
  const Case cases[] = {
      Case("the logger ends after its 64th scan", 1, logger, TraceEnd::LoggerEnded, ": " + kBattery,
           64, {"  64" + Blanks(7) + " 26952", kTraceTerminated, kClear}),
      Case("a logger that never ends is stopped by the host after 100 scans", 1, host,
           TraceEnd::HostStopped, "", 100,
           {"  100" + Blanks(9) + " 2100", kClear, "    Trace mode terminated."}),
      Case("a scan that cannot be taken apart", 2, {Bytes({0xD2, 0x04, 0x39})}, TraceEnd::DataError,
           " Data Error: An error occurred while accessing the logger data.\r\nProbe trace mode "
           "will be terminated.",
           0, {}),
      Case("a device that is gone", 2, {"gone"}, TraceEnd::DataError,
           " Data Read Error: An error occurred while accessing the communication port "
           "data.\r\nThe error is The device is no longer available",
           0, {}),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    ScriptedPort line(clock);
    line.Open(1);
    line.onWrite = [&line](const std::string& bytes, double now) {
      if (bytes == std::string(1, '\0')) line.Arrive("Hi!\r", now + 0.02);
    };
    ScriptedPrompter told;
    Display shown;
    LinkContext context{line, clock, told, dialogs, [&](const std::string& l) { shown.Add(l, 0); }};
    TraceSession session(context, [&] { shown.Add(kClear, 0); });
    ASSERT_TRUE(session.Start(c.sensors));
    for (const std::string& scan : c.scans) {
      EXPECT_TRUE(session.Active());
      clock.Advance(1.0);
      line.gone = scan == "gone";
      line.Arrive(scan, clock.Now());
      session.OnReceive();
    }
    session.OnReceive();  // a late notification changes nothing
    EXPECT_FALSE(session.Active());
    EXPECT_EQ(session.Ended(), c.end);
    EXPECT_EQ(told.shown.empty() ? "" : told.shown[0].title + ": " + told.shown[0].text, c.message);
    EXPECT_LE(told.shown.size(), 1u);
    EXPECT_FALSE(line.IsOpen() || line.notify);
    EXPECT_EQ(shown.Rows().size(), c.rows);
    EXPECT_EQ(line.Sent().back(),
              c.end == TraceEnd::HostStopped ? '\0' : static_cast<char>(c.sensors));
    if (!c.tail.empty()) {
      EXPECT_EQ(std::vector<std::string>(shown.shown.end() - 3, shown.shown.end()), c.tail);
    }
  }
  // A logger that is silent at the start gets the not-responding window.
  EXPECT_FALSE(trace.Start(2));
  EXPECT_EQ(dialogs.notResponding, 1);
  EXPECT_EQ(port.Sent(), std::string(1, '\0'));
  EXPECT_FALSE(port.IsOpen() || port.notify || trace.Active());
  EXPECT_EQ(trace.Ended(), TraceEnd::NotStarted);
}

// The in-process logger behind the port; time moves in small steps and the
// port raises its notification whenever bytes wait.
class TraceSimTest : public ::testing::Test {
 protected:
  TraceSimTest() { port.Open(1); }
  void RunFor(double seconds) {
    const double until = clock.Now() + seconds;
    while (trace.Active() && clock.Now() < until) {
      clock.Advance(0.05);
      port.Pump();
    }
  }

  VirtualClock clock;
  sim::LoggerEngine engine{sim::GenerateRun(3001, 1, 2, 11300, 36000, 900, 10)};
  sim::SimSerialPort port{engine, clock};
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  Display display;
  LinkContext link{port, clock, prompter, dialogs,
                   [this](const std::string& line) { display.Add(line, clock.Now()); }};
  TraceSession trace{link, [this] { display.Add(kClear, clock.Now()); }};
};

TEST_F(TraceSimTest, ExitTraceModeStopsTheLogger) {
  ASSERT_TRUE(trace.Start(2));
  RunFor(5.5);
  EXPECT_EQ(display.Rows().size(), 5u);
  engine.TakeLog();
  trace.Stop();
  EXPECT_EQ(trace.Ended(), TraceEnd::UserStopped);
  EXPECT_FALSE(trace.Active());
  EXPECT_EQ(port.Written(), Bytes({0x00, 0x54, 0x02, 0x00}));
  EXPECT_EQ(engine.TakeLog(), std::vector<std::string>{"trace stopped by host"});
  EXPECT_EQ(display.shown.end()[-2] + display.shown.back(),
            std::string(kClear) + "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace pelvaro::testing
