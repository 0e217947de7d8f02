#include "core/link/WakeUp.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"

namespace pelvaro::testing {
namespace {

// A host and a scripted logger on one line, on the virtual clock.
struct Line {
  Line()
      : port(clock), link{port, clock, prompter, dialogs, [this](const std::string& line) {
                            lines.push_back(line);
                          }} {
    port.Open(1);
  }

  double TimeOfWrite(const std::string& bytes) const {
    for (const auto& w : port.writes) {
      if (w.second == bytes) return w.first;
    }
    return -1;
  }

  VirtualClock clock;
  ScriptedPort port;
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  std::vector<std::string> lines;
  LinkContext link;
};

class WakeUpTest : public ::testing::Test, public Line {};

// What the logger answers to the n-th wake byte (0x00 or 0x01) sent at `now`.
using Logger = std::function<std::string(int n, double now)>;
Logger OnWake(int k, std::string reply) {
  return [k, reply](int n, double) { return n == k ? reply : std::string(); };
}
const Logger kSilent = [](int, double) { return std::string(); };

struct Case {
  const char* guards;
  WakeVariant variant;
  Logger logger;
  std::string early;  // bytes that reach the host at `earlyAt` whatever it sends
  double earlyAt;
  WakeOutcome outcome;
  bool greeted;
  std::string lines;  // shown, joined by '|'
  int wakeBytes;
  double commandAt;  // -1: no command sent
  double endsAt;
  std::string message = "";  // the last message, if any
};

TEST_F(WakeUpTest, EachOperationWakesTheLoggerItsOwnWay) {
  using V = WakeVariant;
  using O = WakeOutcome;
  const std::string hi = "Hi!\r";
  const Case cases[] = {
      // 0.3 s settle, three 0.6 s pauses, then 0.2 s before the command.
      Case("the start takes the greeting on the third wake byte", V::Start, OnWake(3, hi), "", 0,
           O::CommandSent, true, "CONTACTING RECORDER|RECORDER TALKING", 3, 2.3, 3.3),
      Case("so does the serial number, without a settle or lines", V::SerialNumber, OnWake(3, hi),
           "", 0, O::CommandSent, true, "", 3, 2.0, 2.2),
      Case("and the download", V::Download, OnWake(3, hi), "", 0, O::CommandSent, true,
           "Wait Contacting Logger......|Logger On Line", 3, 2.3, 2.5),
      Case("the download looks at the second and third characters only", V::Download,
           OnWake(1, "xi!\r"), "", 0, O::CommandSent, true,
           "Wait Contacting Logger......|Logger On Line", 1, 1.1, 1.3),
      Case("the start goes on without a greeting: the echo decides", V::Start, OnWake(1, "xi!\r"),
           "", 0, O::CommandSent, false, "CONTACTING RECORDER", 1, 1.1, 2.1),
      Case("the trace gives up on a wrong greeting", V::Trace, OnWake(1, "xi!\r"), "", 0, O::GaveUp,
           false, "    CONTACTING LOGGER|    ERROR", 1, -1, 2.4),
      Case("so does the serial number, silently", V::SerialNumber, OnWake(1, "xi!\r"), "", 0,
           O::GaveUp, false, "", 1, -1, 0.6),
      Case("stale bytes are no answer for the download", V::Download, kSilent, "stale", 0,
           O::NotResponding, false, "Wait Contacting Logger......", 21, -1, 12.9),
      Case("nor for the serial number", V::SerialNumber, kSilent, "stale", 0, O::NotConnected,
           false, "", 11, -1, 6.6,
           "Recorder is not connected, check the interface cable connection"),
      Case("a byte in the first pause is the start's reply", V::Start, kSilent, "?", 0.5,
           O::CommandSent, false, "CONTACTING RECORDER", 1, 1.1, 2.1),
      Case("but not enough for the download, which wakes again", V::Download, OnWake(2, hi), "?",
           0.5, O::CommandSent, true, "Wait Contacting Logger......|Logger On Line", 2, 1.7, 1.9),
      Case("the trace sends one wake byte and waits three seconds more", V::Trace, kSilent, "", 0,
           O::NotResponding, false, "    CONTACTING LOGGER", 1, -1, 3.4),
      Case("and then sends its command", V::Trace, OnWake(1, hi), "", 0, O::CommandSent, true,
           "    CONTACTING LOGGER|    LOGGER TALKING", 1, 0.6, 0.8),
      // 0.3 settle, 3 x 0.6, two 1 s pauses, 2 s at the end; no message.
      Case(
          "three wrong replies end the download", V::Download,
          [](int, double) { return std::string("Hm?\r"); }, "", 0, O::GaveUp, false,
          "Wait Contacting Logger......|ERROR, WILL TRY AGAIN|ERROR, WILL TRY AGAIN|ERROR, WILL "
          "TRY AGAIN",
          3, -1, 6.1),
      Case("two bytes are an answer to the download, here a wrong one", V::Download,
           OnWake(1, "Hi"), "", 0, O::NotResponding, false,
           "Wait Contacting Logger......|ERROR, WILL TRY AGAIN", 22, -1, 14.5),
      // Read four bytes at a time: the rest is drained before the next attempt.
      Case(
          "the rest of a long wrong reply is no second reply", V::Download,
          [](int n, double) { return std::string(n == 1 ? "Hm?\rHm?\r" : "Hi!\r"); }, "", 0,
          O::CommandSent, true, "Wait Contacting Logger......|ERROR, WILL TRY AGAIN|Logger On Line",
          2, 2.7, 2.9),
      // A window counted from the first wake byte would have closed at 12.3 s.
      Case(
          "a wrong reply gives the download a fresh twelve seconds", V::Download,
          [](int n, double now) {
            return std::string(n == 1 ? "Hm?\r" : now > 12.5 ? "Hi!\r" : "");
          },
          "", 0, O::CommandSent, true,
          "Wait Contacting Logger......|ERROR, WILL TRY AGAIN|Logger On Line", 20, 13.5, 13.7),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    Line line;
    line.dialogs.answerHelp = true;
    int n = 0;
    line.port.onWrite = [&](const std::string& bytes, double now) {
      if (bytes == std::string(1, '\0') || bytes == "\x01") {
        const std::string reply = c.logger(++n, now);
        if (!reply.empty()) line.port.Arrive(reply, now + 0.02);
      }
    };
    if (!c.early.empty()) line.port.Arrive(c.early, c.earlyAt);
    const std::string command = c.variant == V::Trace ? "T\x02" : "D\r";
    const WakeResult r = WakeLogger(c.variant, line.link, command);
    EXPECT_EQ(r.outcome, c.outcome);
    EXPECT_EQ(r.greeted, c.greeted);
    std::string shown;
    for (const std::string& l : line.lines) shown += (shown.empty() ? "" : "|") + l;
    EXPECT_EQ(shown, c.lines);
    EXPECT_EQ(n, c.wakeBytes);
    EXPECT_NEAR(line.TimeOfWrite(command), c.commandAt, 1e-9);
    EXPECT_NEAR(line.clock.Now(), c.endsAt, 0.051);
    EXPECT_EQ(line.port.IsOpen(), c.outcome == O::CommandSent);
    EXPECT_EQ(line.dialogs.notResponding, c.outcome == O::NotResponding ? 1 : 0);
    EXPECT_EQ(line.dialogs.help, line.dialogs.notResponding);
    EXPECT_EQ(line.prompter.shown.empty() ? "" : line.prompter.shown.back().text, c.message);
  }
}

TEST_F(WakeUpTest, StoppingTraceWaitsForTheGreetingUpToEighteenSeconds) {
  port.onWrite = [this](const std::string& bytes, double now) {
    if (bytes == std::string(1, '\0')) port.Arrive(std::string("\x39\x30Hi!\r"), now + 0.3);
  };
  EXPECT_TRUE(StopTraceMode(link));
  EXPECT_EQ(lines, std::vector<std::string>{"    Trace mode terminated."});
  EXPECT_EQ(port.BytesWaiting(), 0);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_NEAR(clock.Now(), 0.3 + 6.0, 0.051);

  // An answer of one byte is read as it stands.
  Line oneByte;
  oneByte.port.onWrite = [&](const std::string&, double now) { oneByte.port.Arrive("H", now); };
  EXPECT_TRUE(StopTraceMode(oneByte.link));

  Line silent;
  EXPECT_FALSE(StopTraceMode(silent.link));
  EXPECT_EQ(silent.prompter.shown.back().text, "Recorder is not responding.");
  EXPECT_NEAR(silent.clock.Now(), 18.0 + 6.0, 0.051);
}

}  // namespace
}  // namespace pelvaro::testing
