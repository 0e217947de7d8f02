// Downloads from the in-process logger on the virtual clock.
#include "core/operations/Download.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/operations/Conversion.h"
#include "core/storage/SiteRepair.h"
#include "core/storage/StateFiles.h"
#include "support/ChangedFiles.h"
#include "support/DownloadRig.h"
#include "support/FaultPlans.h"

namespace pelvaro::testing {
namespace {

constexpr int kDay = DownloadRig::kDay;
constexpr int kSeconds = DownloadRig::kSeconds;

class DownloadTest : public ::testing::Test, protected DownloadRig {};
using Stored = DownloadRig::Stored;

TEST_F(DownloadTest, FirstRunIsStoredRecordedAndConverted) {
  SetHeaderRecord(115, "7");  // stale index values are cleared by the first block
  SetHeaderRecord(214, "7");
  const sim::Run memory = Memory(625);  // 2500 words: a byte count of 0x13 0x88
  const DownloadResult r = RunDownload(memory);
  ASSERT_EQ(r.outcome, DownloadOutcome::Stored);
  EXPECT_EQ(r.blockNumber, 1);
  EXPECT_EQ(ReadBytes(Data("FARM_01_001.DAT")), WordBytes(memory.words));
  const BlockHeader h = ReadBlockHeader(Data("FARM_01_001.KEY"));
  EXPECT_EQ(h.run.b, MakeRunHeader(kDay, kSeconds, 900, 1, 3001, 4).b);
  EXPECT_EQ(h.words, 2500);
  EXPECT_EQ(h.dateText, "06-12-2026");
  for (int r2 = 114; r2 <= 214; ++r2) ASSERT_EQ(HeaderRecord(r2), r2 == 114 ? "1" : "0") << r2;
  EXPECT_EQ(HeaderRecords(files, "FARM_01", {220, 221}), Spaced(kDay) + "|" + Spaced(kSeconds / 2));
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "FARM_01\r\nTVMKDATA\r\n");
  EXPECT_GE(fs::file_size(Data("FARM_01.BGF")), 500u);
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  EXPECT_EQ(written.back(), '\0');
  EXPECT_EQ(received, 5000);
  EXPECT_EQ(total, 5000);
  const std::string pad(7, ' ');
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                pad + "Wait Contacting Logger......", pad + "Logger On Line", pad + "Loading Data",
                "", pad + "Number of Bytes:  5000", pad + "Logger Serial No:  3001",
                pad + "Site Number:  1", pad + "Data file loaded", "",
                pad + "Wait data being converted......", "", pad + "Data file loaded"}));
  EXPECT_TRUE(prompter.shown.empty());

  // The next run is appended as block 2; the same run again is refused after
  // all of its data was read.
  ASSERT_EQ(RunDownload(Memory(10, kDay + 30)).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(HeaderRecord(115), " 2");
  EXPECT_NE(std::find(lines.begin(), lines.end(), pad + "Appending data"), lines.end());
  EXPECT_EQ(RunDownload(Memory(10, kDay + 30)).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().text,
            "This block has already been downloaded. Download will be aborted.");
  EXPECT_EQ(written.back(), '\0');
  EXPECT_FALSE(fs::exists(Data("FARM_01_003.DAT")));
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
}

// One run read from a fresh logger: stored, or refused with what the user is told.
TEST(DownloadOutcome, TheLoggerAndTheRunDecide) {
  using O = DownloadOutcome;
  struct Case {
    const char* guards;
    sim::Run memory;
    sim::Faults faults;
    std::deque<Answer> answers;
    O outcome;
    std::string shown;  // the last message's title and text, "" for none
  };
  const std::string serials =
      "Serial Numbers Are Different: The serial number of this recorder is  4321\r\nand the "
      "serial number specified in the site file is  3001\r\n\r\nAre you sure you want to add "
      "this data to the selected site file?";
  const Case cases[] = {
      Case("a greeting on the third wake byte", DownloadRig::Memory(5), {.greetOnWake = 3}, {},
           O::Stored, ""),
      Case("a wrong greeting, three times: given up silently", DownloadRig::Memory(5),
           {.wrongGreeting = true}, {}, O::NotStored, ""),
      Case("a silent logger: the not-responding window", DownloadRig::Memory(5), {.silent = true},
           {}, O::NotStored, ""),
      Case("another number of sensors", DownloadRig::Memory(5, kDay, 1, 3001, 3), {}, {},
           O::NotStored, "Measuring Depths are Different: "),
      Case("another site number, declined", DownloadRig::Memory(5, kDay, 2), {}, {Answer::No},
           O::NotStored, "Select the Right Site File: "),
      Case("another site number, accepted", DownloadRig::Memory(5, kDay, 2), {}, {Answer::Yes},
           O::Stored, "Select the Right Site File: "),
      Case("another serial number, declined", DownloadRig::Memory(5, kDay, 1, 4321), {},
           {Answer::No}, O::NotStored, serials),
      Case("another serial number, accepted", DownloadRig::Memory(5, kDay, 1, 4321), {},
           {Answer::Yes}, O::Stored, serials),
      Case("an empty memory", DownloadRig::Memory(5), {.emptyMemory = true}, {}, O::NotStored,
           "EMPTY DATA BLOCK: "),
      Case("a line that goes silent with half a word on it", DownloadRig::Memory(50),
           {.silentAfter = 101}, {}, O::NotStored, ""),
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.guards);
    DownloadRig rig;
    rig.prompter.answers = c.answers;
    const DownloadResult r = rig.RunDownload(c.memory, c.faults);
    EXPECT_EQ(r.outcome, c.outcome);
    // Where nothing is shown, the reason is there for the command line.
    EXPECT_EQ(r.reason,
              c.faults.wrongGreeting ? "The logger gave a wrong reply to the wake-up three times."
              : c.faults.silentAfter ? "The logger stopped answering after 101 of 400 bytes. "
                                       "Nothing was stored; download the run again."
                                     : "");
    const auto& shown = rig.prompter.shown;
    EXPECT_EQ(shown.empty()
                  ? ""
                  : (shown.back().title + ": " + shown.back().text).substr(0, c.shown.size()),
              c.shown);
    EXPECT_EQ(shown.empty(), c.shown.empty());
    EXPECT_EQ(rig.Blocks().size(), c.outcome == O::Stored ? 1u : 0u);
    EXPECT_EQ(rig.HeaderRecord(114), c.outcome == O::Stored ? "1" : "0");
    if (c.faults.emptyMemory) {
      EXPECT_EQ(rig.written.back(), '\0');  // the logger is told the transfer is over
    }
    EXPECT_FALSE(rig.TempFilesLeft());
    EXPECT_EQ(std::count(rig.lines.begin(), rig.lines.end(), "       ERROR, WILL TRY AGAIN"),
              c.faults.wrongGreeting ? 3 : 0);
    EXPECT_EQ(rig.dialogs.notResponding, c.faults.silent ? 1 : 0);
  }
}

// Stopped once any number of bytes is in, the byte count's two included: the logger hears
// the closing byte and sends no more, and nothing is kept.
TEST(DownloadStop, AtEveryByteEndsTheTransferWithTheClosingByteAndKeepsNothing) {
  for (long k = 1; k <= 120; ++k) {
    SCOPED_TRACE("stopped after " + std::to_string(k) + " bytes");
    DownloadRig rig;
    rig.stopAt = k;
    const DownloadResult r = rig.RunDownload(DownloadRig::Memory(50));
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.outcome, DownloadOutcome::NotStored);
    EXPECT_EQ(rig.received, (k + 1) / 2 * 2);  // the bytes come in pairs
    EXPECT_EQ(rig.written.back(), '\0');
    EXPECT_FALSE(rig.loggerSending);
    EXPECT_TRUE(rig.Blocks().empty());
    EXPECT_FALSE(rig.TempFilesLeft());
    EXPECT_FALSE(rig.leftOpen);
    EXPECT_EQ(rig.HeaderRecord(header::kFirstBlockSlot), "0");
    EXPECT_TRUE(rig.prompter.shown.empty()) << rig.Shown();
    if (::testing::Test::HasFailure()) return;
  }
}

// Where the data stops before the count is reached, the reason says how far it came.
bool FellSilent(const std::string& reason) {
  return reason.starts_with("The logger stopped answering after ") &&
         reason.ends_with(" bytes. Nothing was stored; download the run again.");
}

std::string Damaged(const std::string& what) {
  return "The data from the logger was damaged on the line (" + what +
         "). Nothing was stored; download the run again.";
}

// A run refused for what came over the line: read to its end, the logger
// told it is over where the data did not add up (not where it stopped
// coming), and nothing kept.
void ExpectRefused(const DownloadRig& rig, const DownloadResult& r, const std::string& damage) {
  EXPECT_EQ(r.outcome, DownloadOutcome::NotStored);
  if (damage.empty()) {
    EXPECT_TRUE(FellSilent(r.reason)) << r.reason;
  } else {
    EXPECT_EQ(r.reason, Damaged(damage));
  }
  EXPECT_EQ(rig.written.back(), damage.empty() ? '\r' : '\0');
  EXPECT_FALSE(rig.loggerSending);
  EXPECT_TRUE(rig.Blocks().empty());
  EXPECT_FALSE(rig.TempFilesLeft());
  EXPECT_FALSE(rig.leftOpen);
  EXPECT_TRUE(rig.prompter.shown.empty()) << rig.Shown();
}

// 50 scans of 4 sensors as they cross the line: the count 0x01 0x90 (400) at
// offsets 0 and 1, the run header b1..b13 at 2..14 (b1 = 0x24, b11 = 0,
// b12 = 4 at 13, b13 = 0), the data at 15..414.
TEST(DownloadOverABadLine, NothingDamagedIsStored) {
  struct Case {
    const char* change;
    LineEdit edit;
    std::string damage;  // "" where the data stops before the count is reached
  };
  const std::string notWhole = " bytes are not a whole number of scans of 4 sensors";
  const std::string one = "1 byte more than the 400 announced";
  const Case cases[] = {
      {"count bit 0: 401", FlipCountBit(0), "401" + notWhole},
      {"count bit 1: 402", FlipCountBit(1), "402" + notWhole},
      {"count bit 2: 404", FlipCountBit(2), "404" + notWhole},
      {"count bit 3: 408", FlipCountBit(3), ""},
      {"count bit 4: 384", FlipCountBit(4), "16 bytes more than the 384 announced"},
      {"count bit 5: 432", FlipCountBit(5), ""},
      {"count bit 6: 464", FlipCountBit(6), ""},
      {"count bit 7: 272", FlipCountBit(7), "128 bytes more than the 272 announced"},
      {"count bit 8: 144", FlipCountBit(8), "256 bytes more than the 144 announced"},
      {"count bit 9: 912", FlipCountBit(9), ""},
      {"count bit 10: 1424", FlipCountBit(10), ""},
      {"count bit 11: 2448", FlipCountBit(11), ""},
      {"count bit 12: 4496", FlipCountBit(12), ""},
      {"count bit 13: 8592", FlipCountBit(13), ""},
      {"count bit 14: 16784", FlipCountBit(14), ""},
      {"count bit 15: 33168", FlipCountBit(15), ""},
      // b11 (0) read as the sensor count: nothing to check until the end.
      {"inserted before b1", InsertBefore(2, 0x55), one},
      {"inserted before the sensor count", InsertBefore(13, 0x55),
       "400 bytes are not a whole number of scans of 85 sensors"},
      {"inserted before the data", InsertBefore(15, 0x55), one},
      {"inserted mid-data", InsertBefore(215, 0x55), one},
      {"inserted before the last byte", InsertBefore(414, 0x55), one},
      // b1 becomes the count's low byte: 0x0124 = 292, the header one byte on.
      {"the count's low byte dropped", DropAt(1), "107 bytes more than the 292 announced"},
      {"b1 dropped", DropAt(2), ""},
      {"the sensor count dropped", DropAt(13), ""},
      {"the first data byte dropped", DropAt(15), ""},
      {"a mid-data byte dropped", DropAt(215), ""},
      {"the last byte dropped", DropAt(414), ""},
      {"one byte appended", AppendAfter(414, "\x55"), one},
      {"five bytes appended", AppendAfter(414, std::string("Hi!\r\0", 5)),
       "5 bytes more than the 400 announced"},
  };
  const sim::Run memory = DownloadRig::Memory(50);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change);
    DownloadRig rig;
    rig.lineEdit = c.edit;
    const DownloadResult r = rig.RunDownload(memory);
    ExpectRefused(rig, r, c.damage);
  }
}

// A count that ends inside a scan is refused unless the logger's memory had
// no room for one more scan (32,767 words); then even an odd count is taken,
// its last byte (a half word) left out.
TEST(DownloadByteCount, OnlyAFullMemoryEndsInsideAScan) {
  struct Case {
    const char* memory;
    int scans;
    int moreWords;
    LineEdit edit;
    std::string damage;  // "" when stored
    double headerWords;  // of a stored block
  };
  // The count's low bit set, and the byte it announces sent after the data.
  const auto oddByte = [](std::string extra) {
    return [extra](std::size_t offset, char byte) {
      if (offset == 1) return std::string(1, static_cast<char>(byte | 1));
      return offset == 2 + 13 + 65531 ? byte + extra : std::string(1, byte);
    };
  };
  const Case cases[] = {
      {"41 words of 4 sensors",
       10,
       1,
       {},
       "82 bytes are not a whole number of scans of 4 sensors",
       0},
      {"32,763 words: room for one scan exactly",
       8190,
       3,
       {},
       "65526 bytes are not a whole number of scans of 4 sensors",
       0},
      {"32,765 words: no room for a scan", 8191, 1, {}, "", 32765},
      {"32,766 words and the odd byte of 65,533", 8191, 2, oddByte("\x55"), "", 32766.5},
      {"65,533 bytes and one more", 8191, 2, oddByte("\x55\x55"),
       "1 byte more than the 65533 announced", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.memory);
    DownloadRig rig;
    rig.lineEdit = c.edit;
    sim::Run memory = DownloadRig::Memory(c.scans);
    memory.words.insert(memory.words.end(), c.moreWords, 2999);
    const DownloadResult r = rig.RunDownload(memory);
    if (!c.damage.empty()) {
      ExpectRefused(rig, r, c.damage);
      continue;
    }
    EXPECT_EQ(r.outcome, DownloadOutcome::Stored);
    EXPECT_EQ(rig.Blocks(), std::vector<Stored>{DownloadRig::AsStored(memory)});
    EXPECT_EQ(ReadBlockHeader(rig.Data("FARM_01_001.KEY")).words, c.headerWords);
  }
}

// The host has read the whole count at once; the extra byte comes during its pause.
// A logger on a scripted line: it greets every wake byte and answers "D" with one scan of four
// sensors, then does `after` at the time of the command.
void ScriptedLogger(ScriptedPort& port, std::function<void(double now)> after) {
  port.onWrite = [&port, after](const std::string& bytes, double now) {
    if (bytes == std::string(1, '\0')) port.Arrive("Hi!\r", now + 0.02);
    if (bytes != "D\r") return;
    const RunHeader run = MakeRunHeader(kDay, kSeconds, 900, 1, 3001, 4);
    port.Arrive(std::string("\x00\x08", 2) + std::string(run.b.begin(), run.b.end()) +
                    WordBytes({3001, 3002, 3003, 3004}),
                now + 0.05);
    after(now);
  };
}

TEST_F(DownloadTest, AByteAMomentAfterTheDataRefusesTheRun) {
  ScriptedPort port(clock);
  // The host reads the data at now + 0.2.
  ScriptedLogger(port, [&port](double now) { port.Arrive("\x55", now + 0.6); });
  LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
  const DownloadRequest request{*ClickSite(files, prompter, "FARM_01.key"), 1, 1, {}, {}};
  const DownloadResult r = Download(files, link, request);
  EXPECT_EQ(r.reason, Damaged("1 byte more than the 8 announced"));
  EXPECT_TRUE(Blocks().empty());
}

// The command line's port is used as given, a port that fails mid-way is closed, and a
// stored port that cannot be opened is replaced by the one typed.
TEST_F(DownloadTest, AFixedPortIsUsedAsGivenAndAFailingOneIsClosed) {
  ScriptedPort port(clock);
  ScriptedLogger(port, [&port](double) { port.gone = port.opened.size() > 1; });
  LinkContext link{port, clock, prompter, dialogs, [](const std::string&) {}};
  DownloadRequest request{*ClickSite(files, prompter, "FARM_01.key"), 0, 6, {}, {}};
  EXPECT_EQ(Download(files, link, request).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(port.opened, std::vector<int>{6});
  EXPECT_EQ(ReadBytes(Data("FARM_01_001.DAT")), WordBytes({3001, 3002, 3003, 3004}));

  EXPECT_EQ(Download(files, link, request).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().text,
            "An error occurred while loading data from the logger.\r\nThe error is The device is "
            "no longer available");
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(fs::exists(Data("FARM_01_002.DAT")));

  // Without a fixed port, a stored port that fails asks for one and keeps the answer.
  request.fixedPort.reset();
  port.openResults = {{PortError::InUse, "busy", {}}};
  prompter.inputs = {"7"};
  EXPECT_EQ(Download(files, link, request).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().title, "COMS PORT SET UP");
  EXPECT_EQ(ReadPortNumber(files), 7);
}

TEST_F(DownloadTest, BlockOneHundredIsTheLast) {
  SiteBuilder(files, "FARM_01").Block(1, {kDay - 300, kSeconds, 900, 4, {1, 2, 3, 4}});
  for (int k = 1; k <= 99; ++k) {
    for (const char* ext : {".DAT", ".KEY"}) {
      if (k > 1)
        fs::copy_file(Data("FARM_01_001" + std::string(ext)), Data(BlockStem("FARM_01", k) + ext));
    }
    SetHeaderRecord(113 + k, std::to_string(k));
  }
  EXPECT_EQ(RunDownload(Memory(5)).outcome, DownloadOutcome::Stored);
  EXPECT_TRUE(fs::exists(Data("FARM_01_100.DAT")));
  EXPECT_EQ(HeaderRecord(213), " 100");
  // Full: refused before the port is even opened.
  EXPECT_EQ(RunDownload(Memory(5, kDay + 1)).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(opened, 0);
  EXPECT_EQ(prompter.shown.back().title, "Exceeds Maximum Data Block Level");
}

TEST_F(DownloadTest, MissingHeaderGetsTheDefaultHeaderAndNoData) {
  // A site without a header has no sensors on: only a run of no sensors gets
  // past the depth check to the header's creation.
  WriteBytes(root.Path() / "TVMKHEADER" / "NEW_07.key", std::string(128, ' '));
  EXPECT_EQ(RunDownload(Memory(5, kDay, 7, 3001, 4), {}, "NEW_07.key").outcome,
            DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().title, "Measuring Depths are Different");
  sim::Run none = Memory(5, kDay, 7);
  none.sensors = 0;
  const DownloadResult r = RunDownload(none, {}, "NEW_07.key");
  EXPECT_EQ(r.outcome, DownloadOutcome::MissingHeader);
  EXPECT_EQ(r.blockNumber, 0);
  ASSERT_GE(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown.back().title, "SITE FILE DOES NOT EXIST");
  EXPECT_EQ(prompter.shown.back().text,
            "The site  NEW_07.KEY  file does not exist.\r\n\r\nYou must set up the site file "
            "FIRST.\r\n\r\nThen re-load data from logger.\r\n\r\nThe default directories will "
            "now be set up in the HEADER file");
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKHEADER" / "NEW_07.key"), 221u * 64);
  EXPECT_EQ(HeaderRecords(files, "NEW_07", {1, 2, 3, 4, 6, 7, 114, 214, 221}),
            root.Path().filename().string().substr(0, 64) + "|TVMKDATA|3001|7||500|0|0|0");
  EXPECT_FALSE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  EXPECT_EQ(ReadBytes(root.Path() / "Sitesel.dat"), "NEW_07\r\nTVMKDATA\r\n");
}

TEST_F(DownloadTest, FailedStoreRecordsNothingAndKeepsTheData) {
  SetHeaderRecord(header::kDataDirectory, "GONE");
  const sim::Run memory = Memory(5);
  EXPECT_EQ(RunDownload(memory).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().title, "Download Not Stored");
  EXPECT_EQ(HeaderRecords(files, "FARM_01", {114, 220}), "0|");
  EXPECT_EQ(ReadBytes(root.Path() / "TEMPBUDY.DAT"), WordBytes(memory.words));
  // The next download sets the kept data aside before it empties the temporary files.
  SetHeaderRecord(header::kDataDirectory, "TVMKDATA");
  EXPECT_EQ(RunDownload(Memory(5, kDay + 2)).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(ReadBytes(root.Path() / "UNSTORED_1.DAT"), WordBytes(memory.words));
  EXPECT_EQ(ReadBlockHeader(root.Path() / "UNSTORED_1.KEY").run.StartDay(), kDay);
  ASSERT_GE(prompter.shown.size(), 2u);
  EXPECT_EQ(prompter.shown[1].text,
            "A download that was not stored is kept as UNSTORED_1.DAT and UNSTORED_1.KEY in the "
            "working folder.");
}

// Its readings lie in a data folder too, but beside a header cut short: no proof it is stored.
TEST_F(DownloadTest, ALeftoverBesideACopyWhoseHeaderIsCutShortIsKept) {
  SetHeaderRecord(header::kDataDirectory, "GONE");
  const sim::Run memory = Memory(5);
  EXPECT_EQ(RunDownload(memory).outcome, DownloadOutcome::NotStored);
  const fs::path copy = root.Path() / "TVMKDATA" / "OTHER_01_001";
  fs::copy_file(TempDataPath(files), copy.string() + ".DAT");
  WriteBytes(copy.string() + ".KEY", ReadBytes(TempHeaderPath(files)).substr(0, 100));
  SetHeaderRecord(header::kDataDirectory, "TVMKDATA");
  EXPECT_EQ(RunDownload(Memory(5, kDay + 2)).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(ReadBytes(root.Path() / "UNSTORED_1.DAT"), WordBytes(memory.words));
}

TEST_F(DownloadTest, StoreCutShortBeforeTheHeaderIsFoundByTheNextDownload) {
  const fs::path headerFile = root.Path() / "TVMKHEADER" / "FARM_01.key";
  const std::string before = ReadBytes(headerFile);
  const sim::Run first = Memory(5);
  ASSERT_EQ(RunDownload(first).outcome, DownloadOutcome::Stored);
  WriteBytes(headerFile, before);  // as if the program stopped after placing the files
  // Downloading the same run again: recognised, not stored twice.
  EXPECT_EQ(RunDownload(first).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(HeaderRecord(114), "1");
  // The next run goes after it; the earlier block is kept.
  EXPECT_EQ(RunDownload(Memory(5, kDay + 5)).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(HeaderRecord(115), " 2");
  EXPECT_EQ(ReadBytes(Data("FARM_01_001.DAT")), WordBytes(first.words));
}

// The graph file's reading count: one record per scan and per sensor line.
std::string ReadingCount(const DownloadRig& rig, int scans) {
  EXPECT_EQ(RecordsOf(rig.Data("FARM_01.BGF"), 56)[4], Spaced(scans * (1 + 4)));
  return {};
}

TEST(DownloadIndex, ValuesThatAreNoBlockNumbersAreRebuiltFromTheFiles) {
  // Each once reached arithmetic: a cast beyond int ("-2147483647.DAT"), a
  // block "_0-4", a fraction that had blocks recorded and graphed twice.
  for (const char* bad : {"99999999999999999999", "2147483648", "-5", "1.5", "1e9"}) {
    SCOPED_TRACE(bad);
    DownloadRig rig;
    const sim::Run a = DownloadRig::Memory(5), b = DownloadRig::Memory(6, kDay + 1),
                   c = DownloadRig::Memory(7, kDay + 2);
    ASSERT_EQ(rig.RunDownload(a).outcome, DownloadOutcome::Stored);
    ASSERT_EQ(rig.RunDownload(b).outcome, DownloadOutcome::Stored);
    rig.SetHeaderRecord(header::kFirstBlockSlot + 1, bad);
    const DownloadResult r = rig.RunDownload(c);
    EXPECT_EQ(r.outcome, DownloadOutcome::Stored);
    EXPECT_EQ(r.blockNumber, 3);
    EXPECT_NE(rig.Shown().find(IndexRebuiltText("FARM_01")), std::string::npos) << rig.Shown();
    EXPECT_EQ(rig.Blocks(),
              (std::vector<DownloadRig::Stored>{DownloadRig::AsStored(a), DownloadRig::AsStored(b),
                                                DownloadRig::AsStored(c)}));
    EXPECT_EQ(
        SiteHeader::Open(rig.files, "FARM_01", RecordFile::Mode::ReadOnly).ReadBlockIndex().numbers,
        (std::vector<int>{1, 2, 3}));
    ReadingCount(rig, 5 + 6 + 7);
  }
}

TEST_F(DownloadTest, AHeaderThatCannotBeUpdatedAfterTheStoreIsNoFailure) {
  const sim::Run a = Memory(5), b = Memory(6, kDay + 1);
  ASSERT_EQ(RunDownload(a).outcome, DownloadOutcome::Stored);
  FaultAt fail(FaultAt::Mode::Fail, "rename FARM_01.key");
  {
    InstalledPlan installed(fail);
    EXPECT_EQ(RunDownload(b).outcome, DownloadOutcome::Stored);
  }
  EXPECT_EQ(prompter.shown.back().title, "Site File Not Updated");
  EXPECT_EQ(prompter.shown.back().text.rfind("The data was stored as FARM_01_002.DAT and "
                                             "FARM_01_002.KEY, but the site file could not be "
                                             "updated.",
                                             0),
            0u);
  EXPECT_EQ(Shown().find("not stored"), std::string::npos);
  // The same run again is known, and the graph catches up with it.
  EXPECT_EQ(RunDownload(b).outcome, DownloadOutcome::NotStored);
  EXPECT_EQ(prompter.shown.back().text,
            "This block has already been downloaded. Download will be aborted.");
  EXPECT_EQ(Blocks(), (std::vector<Stored>{AsStored(a), AsStored(b)}));
  ReadingCount(*this, 5 + 6);
}

TEST_F(DownloadTest, AKillJustAfterTheStoreLeavesNoFalseUnstoredCopy) {
  const sim::Run a = Memory(5), b = Memory(6, kDay + 1);
  FaultAt die(FaultAt::Mode::Die, "remove TEMPBUDY.DAT");
  {
    InstalledPlan installed(die);
    RunDownload(a);
  }
  ASSERT_TRUE(die.dead);
  ASSERT_TRUE(fs::exists(root.Path() / "TEMPBUDY.DAT"));
  prompter.shown.clear();
  EXPECT_EQ(RunDownload(b).outcome, DownloadOutcome::Stored);
  EXPECT_EQ(Shown().find("UNSTORED"), std::string::npos) << Shown();
  EXPECT_FALSE(fs::exists(root.Path() / "UNSTORED_1.DAT"));
  EXPECT_EQ(Blocks(), (std::vector<Stored>{AsStored(a), AsStored(b)}));
}

TEST_F(DownloadTest, AKillDuringTheConversionKeepsTheOldPairAndTheRepeatReconverts) {
  const sim::Run a = Memory(5), b = Memory(6, kDay + 1);
  ASSERT_EQ(RunDownload(a).outcome, DownloadOutcome::Stored);
  const std::string graph = ReadBytes(Data("FARM_01.BGF"));
  FaultAt die(FaultAt::Mode::Die, "rename FARM_01.Pct");  // the graph file already renamed
  {
    InstalledPlan installed(die);
    RunDownload(b);
  }
  ASSERT_TRUE(die.dead);
  // The next run starts by finishing the pair; the first one is whole too.
  FaultAt early(FaultAt::Mode::Die, "write FARM_01.BGF.part");
  DownloadRig other;
  ASSERT_EQ(other.RunDownload(a).outcome, DownloadOutcome::Stored);
  const std::string otherGraph = ReadBytes(other.Data("FARM_01.BGF"));
  {
    InstalledPlan installed(early);
    other.RunDownload(b);
  }
  EXPECT_EQ(ReadBytes(other.Data("FARM_01.BGF")), otherGraph);
  EXPECT_EQ(RunDownload(b).outcome, DownloadOutcome::NotStored);
  EXPECT_NE(ReadBytes(Data("FARM_01.BGF")), graph);
  ReadingCount(*this, 5 + 6);
  EXPECT_EQ(other.RunDownload(b).outcome, DownloadOutcome::NotStored);
  ReadingCount(other, 5 + 6);
}

TEST_F(DownloadTest, TheHeaderFolderIsNoDataDirectory) {
  for (const char* name : {"TVMKHEADER", "tvmkheader", "TvmkHeader"}) {
    SetHeaderRecord(header::kDataDirectory, name);
    EXPECT_FALSE(ClickSite(files, prompter, "FARM_01.key").has_value());
    EXPECT_EQ(prompter.shown.back().text, std::string("The folder ") + name +
                                              " holds the site files and cannot be used as a "
                                              "data directory.");
    EXPECT_FALSE(ConvertSite(files, prompter, "FARM_01", name));
  }
  EXPECT_EQ(Files::List(root.Path() / "TVMKHEADER", "*"),
            (std::vector<std::string>{"FARM_01.key"}));
}

// Made by hand where names keep their case: a download into farm_01 took FARM_01's blocks
// through the case-blind lookup and converted into FARM_01's graph file.
TEST_F(DownloadTest, TwoHeadersDifferingOnlyInCaseAreRefusedAsAmbiguous) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows keeps one file for names that differ only in case";
#endif
  ASSERT_EQ(RunDownload(Memory(6)).outcome, DownloadOutcome::Stored);
  fs::copy_file(root.Path() / "TVMKHEADER" / "FARM_01.key",
                root.Path() / "TVMKHEADER" / "farm_01.key");
  const auto before = RootFiles(root.Path(), "Sitesel.dat");
  const std::string both =
      "The site files FARM_01.key and farm_01.key differ only in case, so neither can be told "
      "from the other. Rename or remove one of them.";
  prompter.shown.clear();
  EXPECT_NE(RunDownload(Memory(7, kDay + 10), {}, "farm_01.key").outcome, DownloadOutcome::Stored);
  ASSERT_FALSE(prompter.shown.empty());
  EXPECT_EQ(prompter.shown.back().text, both);
  EXPECT_FALSE(ConvertSite(files, prompter, "FARM_01", "TVMKDATA"));
  EXPECT_EQ(prompter.shown.back().text, both);
  EXPECT_EQ(RootFiles(root.Path(), "Sitesel.dat"), before);
  EXPECT_EQ(BlockNumbersOnDisk(files, "TVMKDATA", "FARM_01"), std::vector<int>{1});
}

TEST_F(DownloadTest, RestartAnswerGoesToTheRestartFile) {
  prompter.answers = {Answer::Yes, Answer::No};
  EXPECT_TRUE(AskRestart(files, prompter));
  EXPECT_EQ(ReadBytes(root.Path() / "START.DAT"), "YES\r\n");
  EXPECT_EQ(prompter.shown.back().title, "RE-START DATA LOGGER?");
  EXPECT_FALSE(AskRestart(files, prompter));
  EXPECT_EQ(ReadBytes(root.Path() / "START.DAT"), "NO\r\n");
}

}  // namespace
}  // namespace pelvaro::testing
