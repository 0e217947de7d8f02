#include <gtest/gtest.h>

#include "core/operations/SerialNumber.h"
#include "core/operations/StartBlock.h"
#include "core/operations/StartLogger.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/ChangedFiles.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

std::vector<int> Bytes(const StartBlockBytes& b, int first, int last) {
  return std::vector<int>(b.begin() + first - 1, b.begin() + last);
}

StartSettings Timed(const DateTime& start, TimeOfDay scan = {0, 15, 0}) {
  StartSettings s;
  s.mode = StartMode::Timed;
  s.start = start;
  s.scan = scan;
  s.siteNumber = 7;
  s.sensorsOn = 4;
  return s;
}

TEST(StartBlock, ImmediateStartIsByteExact) {
  StartSettings s;
  s.siteNumber = 7;
  s.sensorsOn = 4;
  const StartBlockResult r = BuildStartBlock(s, {2026, 12, 6, 9, 7, 3});
  ASSERT_TRUE(r.block.has_value()) << r.error;
  // Day 11298 = 0x2C22; 09:07:03 is 32823 s, 16411 two-second units.
  const std::vector<int> expected = {
      0x22, 0x2C, 0x1B, 0x40, 0x84, 0x03, 0,    7,    0,    0,    1, 4,    1,    0xA0,
      0,    0x80, 0,    0x03, 0x07, 0x09, 0x06, 0x12, 0,    0,    0, 0x03, 0x07, 0x09,
      0x06, 0x12, 0,    0xA0, 0x08, 0x90, 0,    0x59, 0x14, 0x00, 0, 0,    0};
  EXPECT_EQ(Bytes(*r.block, 1, 41), expected);
  // The last second of a scan of two hours, 01:59:59, in BCD.
  s.scan = {2, 0, 0};
  EXPECT_EQ(Bytes(*BuildStartBlock(s, {2026, 12, 6, 9, 7, 3}).block, 36, 38),
            (std::vector<int>{0x59, 0x59, 0x01}));
}

TEST(StartBlock, TimedStartCarriesItsOwnDateAndTime) {
  const StartBlockResult r =
      BuildStartBlock(Timed({2004, 3, 15, 10, 0, 0}), {2004, 3, 14, 12, 0, 0});
  ASSERT_TRUE(r.block.has_value()) << r.error;
  EXPECT_EQ(Bytes(*r.block, 1, 4), (std::vector<int>{0xB5, 0x0B, 0x50, 0x46}));
  EXPECT_EQ((*r.block)[12], 2);
  EXPECT_EQ((*r.block)[23], 0xB0);
  EXPECT_EQ(Bytes(*r.block, 26, 30), (std::vector<int>{0x00, 0x00, 0x10, 0x15, 0x03}));
  EXPECT_EQ(Bytes(*r.block, 18, 22), (std::vector<int>{0x00, 0x00, 0x12, 0x14, 0x03}));

  // January of next year, set in December: the month byte flags the new year.
  const StartBlockResult next =
      BuildStartBlock(Timed({2027, 1, 5, 6, 0, 0}), {2026, 12, 20, 8, 0, 0});
  ASSERT_TRUE(next.block.has_value());
  EXPECT_EQ((*next.block)[28], 0x05);
  EXPECT_EQ((*next.block)[29], 0x40);
  // An odd second rounds to the even two-second unit.
  const StartBlockResult odd =
      BuildStartBlock(Timed({2026, 12, 7, 0, 1, 5}), {2026, 12, 6, 8, 0, 0});
  EXPECT_EQ(Bytes(*odd.block, 3, 4), (std::vector<int>{32, 0}));  // 32.5 → 32
}

TEST(StartBlock, TimedStartMustLieAheadAndWithinTheLoggersDays) {
  const DateTime start{2026, 12, 6, 10, 0, 0};
  EXPECT_TRUE(BuildStartBlock(Timed(start), {2026, 12, 6, 9, 58, 0}).block.has_value());
  EXPECT_TRUE(BuildStartBlock(Timed(start), {2026, 12, 6, 9, 59, 0}).block.has_value());  // 60 s
  EXPECT_EQ(BuildStartBlock(Timed(start), {2026, 12, 6, 9, 59, 30}).error,
            "Timed start error. Start time has past, or is to close to current time!");
  EXPECT_EQ(BuildStartBlock(Timed(start), {2026, 12, 7, 9, 0, 0}).error,
            "Timed start error. START day earlier than current day!");
  // On a later day any time of day will do.
  EXPECT_TRUE(BuildStartBlock(Timed({2026, 12, 7, 0, 0, 10}), {2026, 12, 6, 23, 59, 59}).block);
  // Day 32767, 16 September 2085, is the last the logger counts.
  EXPECT_TRUE(BuildStartBlock(Timed({2085, 9, 16, 0, 0, 0}), {2026, 12, 6, 9, 0, 0}).block);
  EXPECT_EQ(BuildStartBlock(Timed({2085, 9, 17, 0, 0, 0}), {2026, 12, 6, 9, 0, 0}).error,
            "Timed start error. START day is later than the logger can count.");
  StartSettings big = Timed({2026, 12, 8, 0, 0, 0});
  big.siteNumber = 255;
  EXPECT_TRUE(BuildStartBlock(big, {2026, 12, 6, 9, 0, 0}).block.has_value());
  big.siteNumber = 256;
  EXPECT_EQ(BuildStartBlock(big, {2026, 12, 6, 9, 0, 0}).error,
            "An error occurred while formatting the start data.The error is \r\nOverflow");
}

TEST(StartBlock, ScanTimeAndTimedDefaultStayWithinTheirLimits) {
  EXPECT_EQ(CorrectScanTime({13, 20, 0}), (TimeOfDay{0, 0, 30}));
  EXPECT_EQ(CorrectScanTime({0, 0, 10}), (TimeOfDay{0, 0, 30}));
  EXPECT_EQ(CorrectScanTime({12, 30, 0}), (TimeOfDay{12, 0, 0}));
  EXPECT_EQ(CorrectScanTime({12, 0, 0}), (TimeOfDay{12, 0, 0}));
  EXPECT_EQ(CorrectScanTime({0, 15, 0}), (TimeOfDay{0, 15, 0}));
  EXPECT_EQ(TimedStartDefault({2026, 1, 1, 9, 58, 40}), (DateTime{2026, 1, 1, 10, 0, 0}));
  EXPECT_EQ(TimedStartDefault({2026, 1, 1, 9, 59, 40}), (DateTime{2026, 1, 1, 10, 1, 0}));
  EXPECT_EQ(TimedStartDefault({2026, 1, 1, 9, 10, 40}), (DateTime{2026, 1, 1, 9, 12, 0}));
  // Late in the evening the offer is tomorrow, which a timed start accepts.
  const DateTime late{2026, 12, 31, 23, 58, 30};
  EXPECT_EQ(TimedStartDefault(late), (DateTime{2027, 1, 1, 0, 0, 0}));
  EXPECT_TRUE(BuildStartBlock(Timed(TimedStartDefault(late)), late).block.has_value());
}

class StartWindowTest : public ::testing::Test {
 protected:
  StartWindowTest() : files(root.Path()) {
    SiteBuilder site(files, "FARM_07");
    site.Header(LoggerSensors(2), 0);
    site.Logger(3001, 2);
    site.Set({{header::kSiteNumber, "07"},
              {header::kStartMode, "START IMMEDIATE"},
              {header::kScanInterval, "15"}});
    WritePortNumber(files, 1);
    WriteSiteSelection(files, "FARM_07", "TVMKDATA");
  }
  void SetRecord(int r, const std::string& text) {
    SiteHeader::Open(files, "FARM_07").WriteRecord(r, text);
  }
  // The start from a chosen site, against a logger with the given faults.
  bool StartWith(sim::Faults faults = {}, std::optional<StartMode> choose = StartMode::Immediate) {
    sim::LoggerEngine engine(sim::GenerateRun(3001, 1, 2, 100, 0, 900, 5), faults);
    sim::SimSerialPort port(engine, clock);
    return StartOn(port, choose);
  }
  bool StartOn(SerialPort& port, std::optional<StartMode> choose = StartMode::Immediate) {
    LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
    StartWindowModel model(files, prompter);
    model.Load(clock.WallClock());
    model.ClickSite(0, clock.WallClock());
    if (choose) model.ChooseMode(*choose, clock.WallClock());
    return model.Start(link, [this] { ++bells; });
  }

  TempRoot root;
  Files files;
  VirtualClock clock{{2026, 12, 6, 9, 7, 3}};
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  int bells = 0;
};

// A logger echoes the block only once it has all of it: later than the first pause.
TEST_F(StartWindowTest, ASlowEchoIsWaitedFor) {
  ScriptedPort port(clock);
  port.onWrite = [&](const std::string& bytes, double now) {
    if (bytes == "\x01") port.Arrive("Hi!\r", now + 0.02);
    if (bytes.size() == kStartBlockSize) port.Arrive(bytes, now + 0.4);
  };
  EXPECT_TRUE(StartOn(port));
  EXPECT_EQ(prompter.shown.back().title, "Logger Started ");
}

TEST_F(StartWindowTest, AWrongEchoIsOneFailureAndChangesNothing) {
  const std::string before = ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key");
  EXPECT_FALSE(StartWith(sim::Faults{.badEcho = true}));
  EXPECT_EQ(bells, 0);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text, "START ERROR!!  Check cable connections, then try again.");
  EXPECT_EQ(prompter.shown[0].title, "Start Data Recorder Error");
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key"), before);
  // No port stored: none is tried.
  fs::remove(root.Path() / "DEF.INS");
  EXPECT_FALSE(StartWith());
  EXPECT_EQ(prompter.shown.back().text, kPortNotAvailable);
  EXPECT_EQ(ReadBytes(root.Path() / "TVMKHEADER" / "FARM_07.key"), before);
}

TEST_F(StartWindowTest, ChecksBeforeTheStartInTheirOrder) {
  for (int k = 1; k <= 99; ++k) SetRecord(113 + k, std::to_string(k));
  ASSERT_TRUE(StartWith());
  EXPECT_EQ(bells, 2);
  EXPECT_EQ(prompter.shown.front().text,
            "This site is about to exceed the maximum limit of datablocks.");
  SetRecord(213, "100");
  prompter.shown.clear();
  EXPECT_FALSE(StartWith());
  EXPECT_EQ(prompter.shown.back().title, "EXCEEDS DATABLOCK LEVEL");

  for (int k = 1; k <= 100; ++k) SetRecord(113 + k, "0");
  ScriptedPort port(clock);
  LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
  WriteSiteSelection(files, "", "");
  StartWindowModel none(files, prompter);
  none.Load(clock.WallClock());
  EXPECT_FALSE(none.Start(link, {}));
  EXPECT_EQ(prompter.shown.back().title, "SITE NOT SELECTED");

  SetRecord(header::kStartMode, "");
  StartWindowModel model(files, prompter);
  model.Load(clock.WallClock());
  model.ClickSite(0, clock.WallClock());
  EXPECT_EQ(model.Hint(), "Hint: Click Start button to start the logger");
  EXPECT_FALSE(model.Start(link, {}));
  EXPECT_EQ(prompter.shown.back().text, "Select the logging mode.");
  SetRecord(header::kSensorsOn, " 0");
  model.ChooseMode(StartMode::Immediate, clock.WallClock());
  model.ClickSite(0, clock.WallClock());
  EXPECT_EQ(prompter.shown.back().text, "This site file does not have any sensors selected.");
  EXPECT_FALSE(model.Start(link, {}));
  EXPECT_EQ(prompter.shown.back().title, "No Sensors Selected");
  EXPECT_TRUE(port.opened.empty());
  // A timed start the pickers put in the past is refused with the reason.
  SetRecord(header::kSensorsOn, " 2");
  model.ClickSite(0, clock.WallClock());
  model.ChooseMode(StartMode::Timed, clock.WallClock());
  model.Settings().start = {2020, 1, 1, 10, 0, 0};
  sim::LoggerEngine engine(sim::GenerateRun(3001, 1, 2, 100, 0, 900, 5));
  sim::SimSerialPort logger(engine, clock);
  LinkContext line{logger, clock, prompter, dialogs, [](const std::string&) {}};
  EXPECT_FALSE(model.Start(line, {}));
  EXPECT_EQ(prompter.shown.back().text, "Timed start error. START day earlier than current day!");
  EXPECT_FALSE(logger.IsOpen());
}

// The selection would send the graph and the editor to that folder.
TEST_F(StartWindowTest, AClickedSiteNamingAnUnsafeDataDirectoryIsToldAndNotSelected) {
  SetRecord(header::kDataDirectory, "../OUT");
  const std::string before = ReadBytes(files.InRoot(kSiteSelectionName));
  StartWindowModel model(files, prompter);
  model.Load(clock.WallClock());
  prompter.shown.clear();
  model.ClickSite(0, clock.WallClock());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].title, "Site File Error");
  EXPECT_EQ(ReadBytes(files.InRoot(kSiteSelectionName)), before);
}

// The grids show the site's last start; its mode is chosen again until another is.
TEST_F(StartWindowTest, TheLastStartIsWhatAClickedSiteOffers) {
  struct Case {
    const char* mode;
    const char* scan;
    std::optional<StartMode> offered;
    const char* shown;  // the scan time the grid shows
    TimeOfDay picked;   // and the one the picker offers
  };
  const Case cases[] = {
      Case("START IMMEDIATE", "00:30:00", StartMode::Immediate, "00:30:00", {0, 30, 0}),
      Case("0", "00:00:00", StartMode::Immediate, "00:15:00", {0, 15, 0}),  // none: the default
      Case("TIMED START", "13:00:00", StartMode::Timed, "13:00:00", {0, 0, 30}),  // beyond 12 h
      Case("X", "15", std::nullopt, "00:15:00", {0, 15, 0}),  // "15" is too short to be a time
      Case("", "12:00:01", std::nullopt, "12:00:01", {12, 0, 0}),
  };
  for (const Case& c : cases) {
    SetRecord(header::kStartMode, c.mode);
    SetRecord(header::kScanInterval, c.scan);
    StartWindowModel model(files, prompter);
    model.Load(clock.WallClock());
    model.ClickSite(0, clock.WallClock());
    EXPECT_EQ(model.Mode(), c.offered) << c.mode;
    EXPECT_EQ(model.StartSettingsRows()[3].second, c.shown) << c.scan;
    EXPECT_EQ(model.Settings().scan, c.picked) << c.scan;
    // The clock moves an immediate start with it, and leaves a timed one.
    const DateTime later{2030, 1, 2, 3, 4, 5};
    model.Tick(later);
    EXPECT_EQ(model.Settings().start == later, model.Mode() != StartMode::Timed) << c.mode;
  }
  // A clicked site becomes the selected one, with its data directory.
  WriteSiteSelection(files, "", "");
  StartWindowModel chosen(files, prompter);
  chosen.Load(clock.WallClock());
  chosen.ClickSite(0, clock.WallClock());
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "FARM_07\r\nTVMKDATA\r\n");
  // Started as the header said, the start is recorded as it was made.
  SetRecord(header::kStartMode, "START IMMEDIATE");
  ASSERT_TRUE(StartWith({}, std::nullopt));
  EXPECT_EQ(HeaderRecords(files, "FARM_07", {header::kStartMode}), "START IMMEDIATE");
}

// A start from a header last written elsewhere (one sensor on) or by the window's own start.
TEST_F(StartWindowTest, AStartIsMadeOnlyFromTheHeaderTheWindowRead) {
  struct Case {
    const char* name;
    bool elsewhere;
    Answer answer;  // to the question about the changed file
    bool started;
    const char* sensors;  // as the grid shows them afterwards
  };
  const Case cases[] = {
      {"changed elsewhere, No: the site as shown", true, Answer::No, false, " 2"},
      {"changed elsewhere, Yes: the header as it now is", true, Answer::Yes, false, " 1"},
      {"started by the window itself: started again", false, Answer::Yes, true, " 2"}};
  sim::LoggerEngine engine(sim::GenerateRun(3001, 1, 2, 100, 0, 900, 5));
  sim::SimSerialPort port(engine, clock);
  LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetRecord(header::kSensorsOn, " 2");
    SetRecord(header::kStartMode, "");
    StartWindowModel model(files, prompter);
    model.Load(clock.WallClock());
    model.ClickSite(0, clock.WallClock());
    model.ChooseMode(StartMode::Timed, clock.WallClock());
    Files other(root.Path());
    if (c.elsewhere) {
      SiteHeader::Open(other, "FARM_07").WriteRecord(header::kSensorsOn, " 1");
    } else {
      ASSERT_TRUE(model.Start(link, {}));
    }
    const auto before = RootFiles(root.Path());
    model.ChooseMode(StartMode::Immediate, clock.WallClock());
    prompter.answers = {c.answer};
    EXPECT_EQ(model.Start(link, {}), c.started);
    if (c.elsewhere) {
      EXPECT_EQ(LastQuestion(prompter), FileChangedQuestion("FARM_07.key"));
      EXPECT_EQ(RootFiles(root.Path()), before);
    }
    EXPECT_EQ(model.Attempted(), c.started);
    EXPECT_EQ(HeaderRecords(files, "FARM_07", {header::kStartMode}),
              c.started ? "START IMMEDIATE" : "");
    EXPECT_EQ(model.SiteHeaderRows()[4].second, c.sensors) << "sensors on";
  }
}

TEST_F(StartWindowTest, ARestartRequestIsAnsweredOnce) {
  WriteRestartRequest(files, "YES");
  StartWindowModel model(files, prompter);
  model.Load(clock.WallClock());
  EXPECT_EQ(ReadBytes(root.Path() / "START.DAT"), "NO\r\n");
  EXPECT_TRUE(model.SiteLoaded());
  EXPECT_EQ(model.SiteHeaderRows()[4].second, " 2");
}

TEST_F(StartWindowTest, SerialNumberServiceAsksTheCodeUntilItWasRight) {
  sim::LoggerEngine engine(sim::GenerateRun(3001, 1, 2, 100, 0, 900, 5));
  sim::SimSerialPort port(engine, clock);
  LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
  FixedFinder finder;
  PortSelection ports(files, prompter, port, finder, dialogs);
  SerialNumberService service;
  prompter.inputs = {std::nullopt};  // a cancelled code is not a wrong one
  service.Run(ports, link);
  EXPECT_EQ(prompter.shown.size(), 1u);
  prompter.inputs = {std::string("12345")};
  service.Run(ports, link);
  EXPECT_EQ(prompter.shown.back().text, "Security code is invalid.");
  EXPECT_FALSE(service.AccessGranted());
  prompter.inputs = {std::string("58207"), std::string("1000")};
  service.Run(ports, link);
  EXPECT_EQ(prompter.shown.back().text, "Data logger serial number is updated successfully.");
  const std::string sent = port.Written();
  EXPECT_EQ(sent.substr(sent.size() - 4), std::string("N\r\xE8\x03"));
  EXPECT_EQ(engine.SerialNumber(), 1000);
  EXPECT_EQ(port.OpenedPort(), 1);  // the stored port
  // Granted once: the next run asks for the number straight away.
  EXPECT_FALSE(port.IsOpen());
  for (const char* refused : {"99", "65536"}) {
    prompter.inputs = {std::string(refused)};
    service.Run(ports, link);
    EXPECT_EQ(prompter.shown.back().text, "Invalid logger serial number.");
  }
  for (const int serial : {100, 65535}) {
    WritePortNumber(files, serial == 100 ? 2 : 1);
    prompter.inputs = {std::to_string(serial)};
    service.Run(ports, link);
    EXPECT_EQ(engine.SerialNumber(), serial);
    EXPECT_EQ(port.OpenedPort(), serial == 100 ? 2 : 1);
    EXPECT_FALSE(port.IsOpen());
  }
  const std::size_t shown = prompter.shown.size();
  prompter.inputs = {std::nullopt};  // cancelled: nothing more happens
  service.Run(ports, link);
  EXPECT_EQ(prompter.shown.size(), shown + 1);  // only the input box itself
}

}  // namespace
}  // namespace pelvaro::testing
