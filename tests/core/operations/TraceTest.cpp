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

TEST_F(TraceTest, HeaderAndRowsKeepTheirColumns) {
  EXPECT_EQ(TraceSession::HeaderLine(2), " Scan   Sensor 1     Sensor 2     ");
  EXPECT_EQ(TraceSession::Row(7, {1234, 12345, 0}),
            "  07" + Blanks(9) + " 1234" + Blanks(7) + " 12345" + Blanks(7) + " 0");
  EXPECT_EQ(TraceSession::Row(100, {65535}), "  100" + Blanks(7) + " 65535");
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

TEST_F(TraceTest, HiIsAReadingUntilTheLoggersLastScanAndThenEndsTheTrace) {
  Greet();
  ASSERT_TRUE(trace.Start(1));
  for (int i = 1; i <= 63; ++i) Scan(Word(500));
  Scan("Hi");  // the 64th scan: 0x48 0x69 is the reading 26952
  EXPECT_EQ(display.shown.back(), "  64" + Blanks(7) + " 26952");
  EXPECT_TRUE(trace.Active());
  EXPECT_TRUE(prompter.shown.empty());

  Scan("Hi");
  EXPECT_FALSE(trace.Active());
  EXPECT_EQ(trace.Ended(), TraceEnd::LoggerEnded);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, kBattery);
  EXPECT_EQ(prompter.shown[0].title, "");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.notify);
  EXPECT_EQ(display.shown.end()[-2], kTraceTerminated);
  EXPECT_EQ(display.shown.back(), kClear);
  EXPECT_EQ(display.Rows().size(), 64u);
}

TEST_F(TraceTest, LoggerThatNeverEndsIsStoppedByTheHostAfter100Scans) {
  Greet();
  ASSERT_TRUE(trace.Start(1));
  for (int i = 1; i <= 100; ++i) Scan(Word(2000 + i));
  EXPECT_FALSE(trace.Active());
  EXPECT_EQ(trace.Ended(), TraceEnd::HostStopped);
  EXPECT_EQ(trace.Scans(), 100);
  EXPECT_EQ(port.Sent(), Bytes({0x00, 0x54, 0x01, 0x00}));
  const std::vector<std::string> tail(display.shown.end() - 3, display.shown.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"  100" + Blanks(9) + " 2100", kClear,
                                            "    Trace mode terminated."}));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.notify);
}

TEST_F(TraceTest, ScanThatCannotBeTakenApartEndsTheTrace) {
  Greet();
  ASSERT_TRUE(trace.Start(2));
  Scan(Bytes({0xD2, 0x04, 0x39}));  // the second reading is one byte short
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "An error occurred while accessing the logger data.\r\n"
            "Probe trace mode will be terminated.");
  EXPECT_EQ(prompter.shown[0].title, " Data Error");
  EXPECT_EQ(trace.Ended(), TraceEnd::DataError);
  EXPECT_FALSE(trace.Active());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.notify);
  EXPECT_TRUE(display.Rows().empty());
  trace.OnReceive();  // a late notification changes nothing
  EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(TraceTest, PortFailureWhileReadingEndsTheTrace) {
  ScriptedPort vanishing(clock);
  vanishing.Open(1);
  vanishing.onWrite = [&](const std::string& bytes, double now) {
    if (bytes == std::string(1, '\0')) vanishing.Arrive("Hi!\r", now + 0.02);
  };
  LinkContext other{vanishing, clock, prompter, dialogs, [](const std::string&) {}};
  TraceSession session(other, [] {});
  ASSERT_TRUE(session.Start(2));
  vanishing.gone = true;
  session.OnReceive();
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "An error occurred while accessing the communication port data.\r\n"
            "The error is The device is no longer available");
  EXPECT_EQ(prompter.shown[0].title, " Data Read Error");
  EXPECT_EQ(session.Ended(), TraceEnd::DataError);
  EXPECT_FALSE(vanishing.IsOpen());
}

TEST_F(TraceTest, SilentLoggerAtStartGetsTheNotRespondingDialog) {
  EXPECT_FALSE(trace.Start(2));
  EXPECT_EQ(dialogs.notResponding, 1);
  EXPECT_EQ(port.Sent(), std::string(1, '\0'));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.notify);
  EXPECT_FALSE(trace.Active());
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
  EXPECT_EQ(display.shown.back(), "    Trace mode terminated.");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(prompter.shown.empty());
}

}  // namespace
}  // namespace pelvaro::testing
