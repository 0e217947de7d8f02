#include "sim/LoggerEngine.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "core/operations/StartBlock.h"
#include "sim/SimSerialPort.h"
#include "support/TempRoot.h"

namespace pelvaro::sim {
namespace {

constexpr double kByte = 1.0 / 480;
const std::string kWake(1, '\0');
const std::string kGreeting = "Hi!\r";

// The block the host sends after "S" CR, built as the host builds it.
std::string StartBlock(StartMode mode, const DateTime& now, const DateTime& start = {},
                       TimeOfDay scan = {0, 15, 0}, int sensors = 3) {
  const StartBlockResult r = BuildStartBlock({mode, start, scan, 5, sensors}, now);
  EXPECT_TRUE(r.block) << r.error;
  return r.block ? std::string(r.block->begin(), r.block->end()) : std::string();
}
const DateTime kTen{2026, 12, 6, 10, 0, 0};  // day 11298

Run SmallRun() { return GenerateRun(3001, 7, 3, 11300, 28800, 900, 10); }

// A host at the far end of a SimSerialPort on a virtual clock.
struct Line {
  explicit Line(Run run = SmallRun(), Faults faults = {}, bool fast = false)
      : engine(std::move(run), faults, fast), port(engine, clock) {
    EXPECT_TRUE(port.Open(2).Ok());
  }
  void Send(std::string_view bytes) { port.Write(bytes); }
  // Everything that has arrived after waiting a while.
  std::string After(double seconds) {
    clock.Advance(seconds);
    return port.Read(port.BytesWaiting());
  }
  void WakeUp() {
    Send(kWake);
    ASSERT_EQ(After(0.1), kGreeting);
  }
  // Sends, waits and expects what arrived meanwhile, step by step.
  struct Step {
    std::string send;
    double wait;
    std::string expected;
  };
  void Play(std::initializer_list<Step> steps) {
    for (const Step& step : steps) {
      Send(step.send);
      EXPECT_EQ(After(step.wait), step.expected)
          << "after sending " << ::testing::PrintToString(step.send);
    }
  }

  VirtualClock clock;
  LoggerEngine engine;
  SimSerialPort port;
};

// After 5 ms the greeting's bytes follow at the baud rate.
TEST(LoggerGreeting, IsPacedAtTheBaudRate) {
  Line line;
  line.Send(kWake);
  const struct {
    double wait;
    int waiting;
  } paces[] = {{0.005, 0}, {kByte, 1}, {2.9 * kByte, 3}};
  for (const auto& pace : paces) {
    line.clock.Advance(pace.wait);
    EXPECT_EQ(line.port.BytesWaiting(), pace.waiting) << "after " << line.clock.Now();
  }
  EXPECT_EQ(line.After(0.1 * kByte), kGreeting);
  EXPECT_EQ(line.engine.NextDue(), std::nullopt);
}

TEST(LoggerGreeting, AFastLoggerSendsItWholeAfterFiveMilliseconds) {
  Line fast(SmallRun(), {}, true);
  fast.Send(kWake);
  EXPECT_EQ(fast.engine.NextDue(), 0.005);
  fast.clock.Advance(0.0049);
  EXPECT_EQ(fast.port.BytesWaiting(), 0);
  EXPECT_EQ(fast.After(0.0001), kGreeting);
}

// 0x01 wakes it as 0x00 does; commands and other bytes do not.
TEST(LoggerGreeting, OnlyAWakeByteWakesIt) {
  Line().Play({{"D\rS\rN\r\x02", 1, ""}, {"\x01", 0.1, kGreeting}});
}

// Awake, every wake byte greets again, and two close together queue up.
TEST(LoggerGreeting, TwoWakeBytesCloseTogetherGreetTwiceInTurn) {
  Line line;
  line.WakeUp();
  line.Send(std::string("\0\x01", 2));
  std::string both = line.After(0.005 + 7.5 * kByte);
  EXPECT_EQ(both.size(), 7u);
  both += line.After(kByte);
  EXPECT_EQ(both, kGreeting + kGreeting);
}

TEST(LoggerGreeting, TheWakeCountStartsAgainAfterACommand) {
  Line(SmallRun(), {.greetOnWake = 3})
      .Play({{kWake + kWake, 1, ""},
             {kWake, 0.1, kGreeting},
             {"N\r\xB9\x0B", 0, ""},
             {kWake + kWake, 1, ""},
             {kWake, 0.1, kGreeting}});
}

TEST(LoggerDownload, IsPacedAndHoldsUntilTheHostsClosingByteAnEmptyRunSendsAZeroCount) {
  Line line(GenerateRun(3001, 7, 4, 11300, 28800, 900, 625));
  line.WakeUp();
  line.Send("D\r");
  // 5015 bytes at 480 a second.
  EXPECT_EQ((std::vector{line.After(0.005 + 5014 * kByte).size(), line.After(kByte).size()}),
            (std::vector<std::size_t>{5014, 1}));
  EXPECT_EQ(line.engine.TakeLog(), std::vector<std::string>{"download 5000 bytes"});
  // Until the closing 0x00 the logger stays in the download, then sleeps.
  line.Play({{"D\r", 1, ""}, {kWake, 1, ""}, {"D\r", 1, ""}, {kWake, 0.1, kGreeting}});

  // An empty run sends a zero count only.
  Line empty(GenerateRun(3001, 7, 3, 11300, 0, 900, 0));
  // The host's closing byte ends the download; the next wakes the logger.
  empty.Play({{kWake, 0.1, kGreeting},
              {"D\r", 1, std::string(2, '\0')},
              {kWake, 1, ""},
              {kWake, 0.1, kGreeting}});
  EXPECT_EQ(empty.engine.TakeLog(), std::vector<std::string>{"download 0 bytes"});
}

// A host that gives up sends its closing byte early: nothing more comes, and the logger sleeps.
TEST(LoggerDownload, StopsSendingAtAnEarlyClosingByte) {
  Line line(GenerateRun(3001, 7, 4, 11300, 28800, 900, 625));
  line.WakeUp();
  line.Send("D\r");
  EXPECT_EQ(line.After(0.005 + 100 * kByte).size(), 100u);
  line.Send(std::string(1, '\0'));
  EXPECT_EQ(line.After(20).size(), 0u);
  EXPECT_EQ(line.engine.TakeLog(), (std::vector<std::string>{"download 5000 bytes",
                                                             "download stopped by host, "
                                                             "4915 bytes not sent"}));
  line.WakeUp();
}

TEST(LoggerStart, EchoesTheBlockThenLogsScansThatStayPutFromTheStartTimeAndFitTheMemory) {
  const std::string block = StartBlock(StartMode::Immediate, kTen);
  Line line;
  line.Play({{"\x01", 0.1, kGreeting}, {"S\r", 1.0, ""}});
  line.Send(block);
  const double startedAt = line.clock.Now();
  EXPECT_EQ(line.After(0.005 + 41 * kByte), block);
  const std::vector<std::uint16_t> firstScan = line.engine.Memory(startedAt).words;
  ASSERT_EQ(firstScan.size(), 3u);
  EXPECT_EQ(line.engine.Memory(startedAt + 1799).words.size(), 6u);

  // A download later carries the scans logged by then, the first unchanged.
  line.clock.Advance(1800);
  line.WakeUp();
  line.Send("D\r");
  const std::string got = line.After(1);
  ASSERT_EQ(got.size(), 2u + 13 + 18);
  EXPECT_EQ(got.substr(0, 2), std::string("\0\x12", 2));
  EXPECT_EQ(got.substr(15, 6), testing::WordBytes(firstScan));

  // Scans accrue from the start time and fit the memory: the words held these seconds after the
  // start, half a second before the first scan, at it, half a second before the second and at it.
  const auto held = [](const std::string& startBlock, const std::vector<double>& seconds) {
    Line fresh;
    fresh.WakeUp();
    fresh.Send("S\r" + startBlock);
    std::vector<std::size_t> words;
    for (const double at : seconds) {
      words.push_back(fresh.engine.Memory(fresh.clock.Now() + at).words.size());
    }
    return words;
  };
  EXPECT_EQ(held(StartBlock(StartMode::Timed, kTen, {2026, 12, 6, 10, 30, 0}),
                 {1799.5, 1800, 2699.5, 2700}),
            (std::vector<std::size_t>{0, 3, 3, 6}));
  EXPECT_EQ(held(StartBlock(StartMode::Timed, {2026, 12, 6, 23, 50, 0}, {2026, 12, 7, 0, 10, 0}),
                 {1199.5, 1200, 2099.5, 2100}),
            (std::vector<std::size_t>{0, 3, 3, 6}));
  // One scan a second, and long after, a full memory.
  EXPECT_EQ(held(StartBlock(StartMode::Immediate, kTen, {}, {0, 0, 1}, 5), {-0.5, 0, 0.5, 1, 1e6}),
            (std::vector<std::size_t>{0, 5, 5, 10, 32765}));
}

TEST(LoggerTrace, SendsAScanASecondEndsAfterSixtyFourOrAtTheHostsStop) {
  Line line;
  line.WakeUp();
  line.Send("T\x03");
  EXPECT_EQ((std::vector{line.After(0.999).size(), line.After(0.001 + 5.5 * kByte).size(),
                         line.After(kByte).size()}),
            (std::vector<std::size_t>{0, 5, 1}));
  std::string scans = line.After(62);
  EXPECT_EQ(scans.size(), 62u * 6);
  scans += line.After(1.1);
  ASSERT_EQ(scans.size(), 63u * 6 + 2);
  EXPECT_EQ(scans.substr(63 * 6), "Hi");
  for (std::size_t i = 0; i < 63 * 6; i += 2) {
    const int reading =
        static_cast<unsigned char>(scans[i]) + 256 * static_cast<unsigned char>(scans[i + 1]);
    EXPECT_TRUE(reading >= 2700 && reading <= 3500) << reading;
  }
  EXPECT_EQ(line.engine.TakeLog(),
            (std::vector<std::string>{"trace 3 sensors", "trace ended after 64 scans"}));
  EXPECT_EQ(line.After(10), "");
  line.WakeUp();

  // Awake again, a second trace: the host's stop ends it at once, and it sleeps.
  line.Send("T\x02");
  EXPECT_EQ(line.After(3.5).size(), 12u);
  line.Send(kWake);
  EXPECT_EQ(line.After(60), kGreeting);
  line.WakeUp();
}

TEST(SimSerialPortTest, AFailedOpenIsTheNextOpensOnly) {
  Line line;
  EXPECT_EQ(line.port.OpenedPort(), 2);
  line.port.FailNextOpenWith(PortError::InUse);
  line.port.Close();
  EXPECT_EQ(line.port.Open(3).error, PortError::InUse);
  EXPECT_FALSE(line.port.IsOpen());
  EXPECT_TRUE(line.port.Open(3).Ok());
  EXPECT_EQ(line.port.OpenedPort(), 3);
}

TEST(SimSerialPortTest, BytesArrivingWhileThePortIsClosedAreLost) {
  Line line;
  line.Send(kWake);
  line.port.Close();
  line.clock.Advance(1);
  ASSERT_TRUE(line.port.Open(3).Ok());
  EXPECT_EQ(line.port.BytesWaiting(), 0);
}

// Each pump raises one notification while bytes wait, and none until they are asked for.
TEST(SimSerialPortTest, PumpNotifiesOnlyWhenAskedToAndWhileBytesWait) {
  Line line;
  int calls = 0;
  line.port.SetReceiveHandler([&] {
    ++calls;
    line.port.Read(2);
  });
  line.Send(kWake);
  line.clock.Advance(1);
  EXPECT_FALSE(line.port.Pump());
  line.port.SetReceiveNotify(true);
  EXPECT_EQ((std::vector{line.port.Pump(), line.port.Pump(), line.port.Pump()}),
            (std::vector{true, true, false}));
  EXPECT_EQ(calls, 2);
}

TEST(SimSerialPortTest, WrittenHoldsEveryByteTheHostSentAcrossAReopening) {
  Line line;
  line.Send(kWake);
  line.port.Close();
  ASSERT_TRUE(line.port.Open(2).Ok());
  line.Send("D\r");
  EXPECT_EQ(line.port.Written(), kWake + "D\r");
}

// A longer run begins with the shorter one's words; another seed gives others.
TEST(GeneratedRun, IsRepeatable) {
  const sim::Run a = GenerateRun(3001, 1, 4, 11300, 0, 900, 96);
  const sim::Run longer = GenerateRun(3001, 1, 4, 11300, 0, 900, 200);
  EXPECT_TRUE(std::equal(a.words.begin(), a.words.end(), longer.words.begin()));
  EXPECT_NE(a.words, GenerateRun(3001, 1, 4, 11300, 0, 900, 96, 2).words);
}

// A day of scans swings with the sine around each sensor's own level.
TEST(GeneratedRun, ADaySwingsAroundEachSensorsOwnLevel) {
  const sim::Run a = GenerateRun(3001, 1, 4, 11300, 0, 900, 96);
  for (int sensor = 0; sensor < 4; ++sensor) {
    int low = 65535, high = 0;
    for (std::size_t i = static_cast<std::size_t>(sensor); i < a.words.size(); i += 4) {
      low = std::min<int>(low, a.words[i]);
      high = std::max<int>(high, a.words[i]);
    }
    EXPECT_TRUE(low >= 2800 - 63 && high <= 3400 + 63 && high - low >= 110 && high - low <= 126)
        << sensor << ": " << low << " to " << high;
  }
}

TEST(LoggerMemory, NoRunLargerThanItIsMadeOrHeld) {
  EXPECT_THROW(GenerateRun(3001, 1, 5, 0, 0, 900, 6554), std::invalid_argument);
  EXPECT_THROW(LoggerEngine(sim::Run{.words = std::vector<std::uint16_t>(32768)}),
               std::invalid_argument);
}

TEST(LoggerMemory, AMissingBlockCannotBeLoaded) {
  EXPECT_THROW(LoadRun("/nonexistent/SITE_01_001"), std::runtime_error);
}

}  // namespace
}  // namespace pelvaro::sim
