#include "core/link/WakeUp.h"

#include <gtest/gtest.h>

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

  // The logger answers the k-th wake byte (0x00 or 0x01) with a reply.
  void AnswerWake(int k, const std::string& reply) {
    port.onWrite = [this, k, reply, count = 0](const std::string& bytes, double now) mutable {
      if ((bytes == std::string(1, '\0') || bytes == "\x01") && ++count == k) {
        port.Arrive(reply, now + 0.02);
      }
    };
  }
  int WakeBytesSent(char wake) const {
    int n = 0;
    for (const auto& w : port.writes) n += w.second == std::string(1, wake);
    return n;
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

TEST_F(WakeUpTest, GreetingOnTheThirdWakeByteIsAcceptedAfterAboutTwoSeconds) {
  AnswerWake(3, "Hi!\r");
  WakeResult r = WakeLogger(WakeVariant::Start, link, "S\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_TRUE(r.greeted);
  EXPECT_EQ(WakeBytesSent('\x01'), 3);
  // 0.3 s settle, three 0.6 s pauses, then 0.2 s before the command.
  EXPECT_NEAR(TimeOfWrite("S\r"), 2.3, 1e-9);
  EXPECT_NEAR(clock.Now(), 3.3, 1e-9);
  EXPECT_EQ(lines, (std::vector<std::string>{"CONTACTING RECORDER", "RECORDER TALKING"}));

  Line serial;
  serial.AnswerWake(3, "Hi!\r");
  r = WakeLogger(WakeVariant::SerialNumber, serial.link, "N\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_NEAR(serial.TimeOfWrite("N\r"), 2.0, 1e-9);
  EXPECT_TRUE(serial.lines.empty());

  Line download;
  download.AnswerWake(3, "Hi!\r");
  r = WakeLogger(WakeVariant::Download, download.link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(download.lines,
            (std::vector<std::string>{"Wait Contacting Logger......", "Logger On Line"}));
}

TEST_F(WakeUpTest, OnlyTheDownloadAcceptsAGreetingThatStartsWrong) {
  AnswerWake(1, "xi!\r");
  WakeResult r = WakeLogger(WakeVariant::Download, link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_TRUE(r.greeted);
  EXPECT_EQ(port.Sent().substr(port.Sent().size() - 2), "D\r");

  Line start;
  start.AnswerWake(1, "xi!\r");
  r = WakeLogger(WakeVariant::Start, start.link, "S\r");
  EXPECT_FALSE(r.greeted);
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);  // the echo decides later
  EXPECT_EQ(start.lines, std::vector<std::string>{"CONTACTING RECORDER"});

  Line trace;
  trace.AnswerWake(1, "xi!\r");
  const double before = trace.clock.Now();
  r = WakeLogger(WakeVariant::Trace, trace.link, "T\x03");
  EXPECT_EQ(r.outcome, WakeOutcome::GaveUp);
  EXPECT_EQ(trace.lines.back(), "    ERROR");
  EXPECT_GE(trace.clock.Now() - before, 2.0 + 0.4);
  EXPECT_FALSE(trace.port.IsOpen());
  EXPECT_EQ(trace.TimeOfWrite("T\x03"), -1);

  Line serial;
  serial.AnswerWake(1, "xi!\r");
  r = WakeLogger(WakeVariant::SerialNumber, serial.link, "N\r");
  EXPECT_EQ(r.outcome, WakeOutcome::GaveUp);
  EXPECT_FALSE(serial.port.IsOpen());
  EXPECT_TRUE(serial.prompter.shown.empty());
}

TEST_F(WakeUpTest, StaleBytesAreDrainedButALateByteCountsForTheStart) {
  // Bytes from before the wake-up, and nothing else: every variant gives up.
  port.Arrive("stale", 0.0);
  WakeResult r = WakeLogger(WakeVariant::Download, link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::NotResponding);
  EXPECT_EQ(dialogs.notResponding, 1);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_GT(clock.Now(), 12.0);

  Line serial;
  serial.port.Arrive("stale", 0.0);
  r = WakeLogger(WakeVariant::SerialNumber, serial.link, "N\r");
  EXPECT_EQ(r.outcome, WakeOutcome::NotConnected);
  EXPECT_EQ(serial.WakeBytesSent('\0'), 11);
  EXPECT_EQ(serial.prompter.shown.back().text,
            "Recorder is not connected, check the interface cable connection");

  // A single byte arriving during the first pause: a reply for the start,
  // not enough for the download, which goes on waking.
  Line start;
  start.port.Arrive("?", 0.5);
  r = WakeLogger(WakeVariant::Start, start.link, "S\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(r.reply, "?");
  EXPECT_EQ(start.WakeBytesSent('\x01'), 1);

  Line download;
  download.port.Arrive("?", 0.5);
  download.AnswerWake(2, "Hi!\r");
  r = WakeLogger(WakeVariant::Download, download.link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(download.WakeBytesSent('\0'), 2);
}

TEST_F(WakeUpTest, TraceSendsOneWakeByteAndWaitsThreeSecondsMore) {
  dialogs.answerHelp = true;
  const WakeResult r = WakeLogger(WakeVariant::Trace, link, "T\x02");
  EXPECT_EQ(r.outcome, WakeOutcome::NotResponding);
  EXPECT_EQ(WakeBytesSent('\0'), 1);
  EXPECT_EQ(port.writes.size(), 1u);
  EXPECT_NEAR(clock.Now(), 0.3 + 0.1 + 3.0, 0.051);
  EXPECT_EQ(dialogs.notResponding, 1);
  EXPECT_EQ(dialogs.help, 1);
  EXPECT_FALSE(port.IsOpen());

  Line answered;
  answered.AnswerWake(1, "Hi!\r");
  EXPECT_EQ(WakeLogger(WakeVariant::Trace, answered.link, "T\x02").outcome,
            WakeOutcome::CommandSent);
  EXPECT_EQ(answered.port.Sent(), std::string("\0T\x02", 3));
  EXPECT_EQ(answered.lines,
            (std::vector<std::string>{"    CONTACTING LOGGER", "    LOGGER TALKING"}));
}

TEST_F(WakeUpTest, ThreeWrongRepliesEndTheDownloadWithoutAMessage) {
  port.onWrite = [this](const std::string& bytes, double now) {
    if (bytes == std::string(1, '\0')) port.Arrive("Hm?\r", now + 0.02);
  };
  const WakeResult r = WakeLogger(WakeVariant::Download, link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::GaveUp);
  EXPECT_EQ(lines,
            (std::vector<std::string>{"Wait Contacting Logger......", "ERROR, WILL TRY AGAIN",
                                      "ERROR, WILL TRY AGAIN", "ERROR, WILL TRY AGAIN"}));
  EXPECT_EQ(WakeBytesSent('\0'), 3);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(prompter.shown.empty());
  EXPECT_EQ(dialogs.notResponding, 0);
  // 0.3 settle, 3 x 0.6, two 1 s pauses, 2 s at the end.
  EXPECT_NEAR(clock.Now(), 0.3 + 1.8 + 2.0 + 2.0, 1e-9);
}

// A long wrong reply is read four bytes at a time: what is left of it is
// drained before the next attempt wakes the logger again.
TEST_F(WakeUpTest, TheRestOfAWrongReplyIsNoSecondReply) {
  port.onWrite = [this, count = 0](const std::string& bytes, double now) mutable {
    if (bytes == std::string(1, '\0'))
      port.Arrive(++count == 1 ? "Hm?\rHm?\r" : "Hi!\r", now + 0.02);
  };
  EXPECT_EQ(WakeLogger(WakeVariant::Download, link, "D\r").outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ERROR, WILL TRY AGAIN"), 1);
  EXPECT_EQ(WakeBytesSent('\0'), 2);
}

TEST_F(WakeUpTest, AWrongReplyGivesTheDownloadAFreshTwelveSeconds) {
  // A wrong reply at first, then silence until 12.5 s: a window counted from
  // the first wake byte would have closed at 12.3 s.
  port.onWrite = [this, count = 0](const std::string& bytes, double now) mutable {
    if (bytes != std::string(1, '\0')) return;
    if (++count == 1) port.Arrive("Hm?\r", now + 0.02);
    if (now > 12.5) port.Arrive("Hi!\r", now + 0.02);
  };
  const WakeResult r = WakeLogger(WakeVariant::Download, link, "D\r");
  EXPECT_EQ(r.outcome, WakeOutcome::CommandSent);
  EXPECT_EQ(dialogs.notResponding, 0);
  EXPECT_GT(TimeOfWrite("D\r"), 12.5);
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

  Line silent;
  EXPECT_FALSE(StopTraceMode(silent.link));
  EXPECT_EQ(silent.prompter.shown.back().text, "Recorder is not responding.");
  EXPECT_NEAR(silent.clock.Now(), 18.0 + 6.0, 0.051);
}

}  // namespace
}  // namespace pelvaro::testing
