#include "core/operations/Download.h"

#include <cmath>
#include <optional>
#include <string_view>

#include "core/link/PortSelection.h"
#include "core/link/Protocol.h"
#include "core/link/WakeUp.h"
#include "core/operations/Conversion.h"
#include "core/platform/WriterLock.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/SiteRepair.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

namespace {

constexpr double kPoll = 0.5;
const std::string kIndent(7, ' ');
constexpr std::string_view kNothingStored = " Nothing was stored; download the run again.";
constexpr char kStopped[] = "The download was stopped. Nothing was stored.";

// A logger unplugged or gone flat mid-way: how far it got says which.
std::string FellSilentText(std::optional<long> received, long announced) {
  std::string text = received ? "The logger stopped answering after " + std::to_string(*received) +
                                    " of " + std::to_string(announced) + " bytes."
                              : std::string(
                                    "The logger stopped answering before it said how "
                                    "much data it holds.");
  return text + std::string(kNothingStored);
}
// The protocol has no checksum: a count or data changed on the line shows only
// as bytes that do not add up. <what> says how they did not.
constexpr std::string_view kLineDamaged =
    "The data from the logger was damaged on the line (<what>). Nothing was stored; download the "
    "run again.";

std::string LineDamagedText(const std::string& what) {
  constexpr std::string_view kMark = "<what>";
  std::string text(kLineDamaged);
  return text.replace(text.find(kMark), kMark.size(), what);
}

std::string Counted(long n, const std::string& thing) {
  return std::to_string(n) + " " + thing + (n == 1 ? "" : "s");
}

// The logger sends whole scans of its sensors; only a memory too full for one
// more scan ends inside one (or inside a word). Without a sensor count
// nothing says what a whole scan is.
std::optional<std::string> UnexplainedCount(long bytes, int sensors) {
  if (sensors == 0) return std::nullopt;
  const bool full = bytes / 2 + sensors > static_cast<long>(protocol::kMemoryWords);
  if (full || bytes % (2L * sensors) == 0) return std::nullopt;
  return Counted(bytes, "byte") + (bytes == 1 ? " is" : " are") +
         " not a whole number of scans of " + Counted(sensors, "sensor");
}

std::string MissingSiteText(const std::string& id) {
  return "The site  " + id +
         ".KEY  file does not exist.\r\n\r\nYou must set up the site file FIRST.\r\n\r\n"
         "Then re-load data from logger.\r\n\r\n"
         "The default directories will now be set up in the HEADER file";
}

void ShowMissingSite(Prompter& prompter, const std::string& id) {
  prompter.Message(MissingSiteText(id), "SITE FILE DOES NOT EXIST", Buttons::Ok, Icon::Critical);
}

void ShowCapacityExceeded(Prompter& prompter) {
  prompter.Message(
      "This site file exceeds maximum number of datablocks ,\r\nDownload will be aborted \r\n"
      "Create a New Site File and download data from logger",
      "Exceeds Maximum Data Block Level", Buttons::Ok, Icon::Critical);
}

class Transfer {
 public:
  Transfer(const Files& files, LinkContext& link, const DownloadRequest& request)
      : files_(files),
        link_(link),
        request_(request),
        status_{link.port, link.clock, link.prompter, link.dialogs,
                [this](const std::string& line) { Print(line); }} {}

  DownloadResult Run() {
    const auto lock = LockForWriting(files_, link_.prompter);
    if (!lock || !PrepareSite() || !OpenPort()) return {};
    const LeftoverDownload leftover = SetAsideLeftoverDownload(files_);
    if (leftover.kind == LeftoverDownload::Kind::Kept) {
      link_.prompter.Message("A download that was not stored is kept as " + leftover.stem +
                             ".DAT and " + leftover.stem + ".KEY in the working folder.");
    }
    TempBlock temp(files_);
    long n = 0;
    RunHeader run;
    if (auto ended = Contact(temp)) return *ended;
    if (auto ended = ReceiveCount(temp, n)) return *ended;
    if (auto ended = ReceiveRunHeader(temp, n, run)) return *ended;
    if (auto ended = ReceiveData(temp, n)) return *ended;
    return Finish(temp, n, run);
  }

 private:
  // Each step of the exchange: nothing while the download goes on, else how it ended.
  using Ended = std::optional<DownloadResult>;

  Ended Contact(TempBlock& temp) {
    const WakeResult wake =
        WakeLogger(WakeVariant::Download, status_, protocol::Command(protocol::kDownload));
    if (wake.outcome == WakeOutcome::CommandSent) {
      Print("Loading Data");
      Print("");
      return std::nullopt;
    }
    // Still empty: what an earlier download left was set aside above.
    temp.Close();
    DiscardTempBlock(files_);
    if (wake.outcome == WakeOutcome::GaveUp) {
      return Failed("The logger gave a wrong reply to the wake-up three times.");
    }
    return DownloadResult{};
  }

  Ended ReceiveCount(TempBlock& temp, long& n) {
    std::string count;
    if (!Receive(protocol::kByteCountBytes, count)) return Abandon(temp, std::nullopt, 0);
    if (StopAsked()) return Stop(temp);
    n = 256L * Byte(count, 0) + Byte(count, 1);
    Print("Number of Bytes: " + Spaced(n));
    if (n != 0) return std::nullopt;
    link_.port.Write(std::string(1, protocol::kEndOfTransfer));
    temp.Close();
    link_.prompter.Message(
        "There is no data in the logger memory\r\n\r\nThe download will be abandoned",
        "EMPTY DATA BLOCK", Buttons::Ok, Icon::Critical);
    DiscardTempBlock(files_);
    link_.port.Close();
    return DownloadResult{};
  }

  Ended ReceiveRunHeader(TempBlock& temp, long n, RunHeader& run) {
    std::string headerBytes;
    if (!Receive(protocol::kRunHeaderBytes, headerBytes)) return Abandon(temp, 0, n);
    for (std::size_t i = 0; i < run.b.size(); ++i) run.b[i] = Byte(headerBytes, i);
    Print("Logger Serial No: " + Spaced(run.SerialNumber()));
    Print("Site Number: " + Spaced(run.SiteNumber()));
    if (const auto unexplained = UnexplainedCount(n, run.SensorCount())) {
      Drain();
      return Refuse(temp, *unexplained);
    }
    return std::nullopt;
  }

  Ended ReceiveData(TempBlock& temp, long n) {
    const long words = n / 2;
    for (long i = 1; i <= words; ++i) {
      std::string word;
      if (StopAsked()) return Stop(temp);
      if (!Receive(kWordSize, word))
        return Abandon(temp, 2 * (i - 1) + link_.port.BytesWaiting(), n);
      temp.WriteWord(static_cast<std::uint64_t>(i), Byte(word, 0), Byte(word, 1));
      if (request_.progress) request_.progress(2 * i, n);
    }
    // A byte after the counted data means the count or the data changed on
    // the line. The odd byte of a full memory belongs to the count.
    link_.clock.Wait(kPoll);
    const long oddByte = n % 2;
    if (link_.port.BytesWaiting() > oddByte) {
      const long extra = Drain() - oddByte;
      return Refuse(temp,
                    Counted(extra, "byte") + " more than the " + std::to_string(n) + " announced");
    }
    return std::nullopt;
  }

  // The whole run is on disk before the logger hears that the transfer is over.
  DownloadResult Finish(TempBlock& temp, long n, const RunHeader& run) {
    temp.Flush();
    link_.port.Write(std::string(1, protocol::kEndOfTransfer));
    if (!RunBelongsToSite(run)) {
      temp.Close();
      DiscardTempBlock(files_);
      link_.port.Close();
      return {};
    }
    temp.WriteTempHeader(static_cast<double>(n) / 2, run, link_.clock.WallClock());
    Print("Data file loaded");
    link_.clock.Wait(1.0);
    temp.Flush();
    temp.Close();
    link_.port.Close();
    return Store(run);
  }

  static std::uint8_t Byte(const std::string& bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes[i]);
  }

  void Print(const std::string& line) { link_.print(line.empty() ? line : kIndent + line); }
  const std::string& Id() const { return request_.site.identification; }

  // Before the logger is woken: what an earlier download or deletion left
  // half done is put right, then the capacity is checked on a sound index.
  bool PrepareSite() {
    std::string id;
    try {
      id = ReadSiteSelection(files_, 8).identification;
    } catch (const UnsafeNameError& e) {
      link_.prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
      return false;
    }
    if (id.empty()) id = Id();
    const fs::path headerPath = files_.HeaderPath(id);
    if (Files::FileLength(headerPath) < header::kMissingUpTo) ShowMissingSite(link_.prompter, id);
    if (Files::FileLength(headerPath) > header::kMissingUpTo) {
      try {
        std::string dataDirectory;
        {
          SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
          dataDirectory = Trim(header.ReadRecord(header::kDataDirectory));
        }
        const SiteRepair repair = RepairSite(files_, id, CheckDataDirectoryName(dataDirectory));
        if (repair.indexDamaged) {
          link_.prompter.Message(IndexRebuiltText(id), "Site File Repaired", Buttons::Ok,
                                 Icon::Exclamation);
        }
      } catch (const UnsafeNameError& e) {
        link_.prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
        return false;
      } catch (const std::exception& e) {
        link_.prompter.Message(
            std::string("An error occurred while checking the stored data blocks.\r\n") +
            "The error is " + e.what());
        return false;
      }
    }
    SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
    if (header.LastBlockNumber() >= header::kMaxBlocks) {
      ShowCapacityExceeded(link_.prompter);
      return false;
    }
    return true;
  }

  bool OpenPort() {
    if (request_.fixedPort) {
      const PortOpenResult opened = link_.port.Open(*request_.fixedPort);
      if (!opened.Ok()) {
        const PortMessage m = PortOpenMessage(*request_.fixedPort, opened);
        link_.prompter.Message(m.text, m.title);
      }
      return opened.Ok();
    }
    int port = request_.portNumber;
    std::optional<int> stored;
    try {
      stored = ReadPortNumber(files_);
    } catch (const IoError&) {
      // A port file that cannot be read is rewritten with the program's port.
    }
    if (stored) {
      port = *stored;
    } else {
      try {
        WritePortNumber(files_, port);
      } catch (const IoError&) {
        // The download goes on with the program's port.
      }
    }
    if (link_.port.IsOpen()) link_.port.Close();
    if (link_.port.Open(port).Ok()) return true;
    const auto entry =
        link_.prompter.Input("ENTER COMS PORT NUMBER TO BE USED WITH RECORDER", "COMS PORT SET UP");
    if (entry) {
      if (const auto typed = ToInt16(ParseLeadingNumber(*entry))) {
        try {
          WritePortNumber(files_, *typed);
        } catch (const IoError& e) {
          link_.prompter.Message(
              std::string(
                  "An error occurred while saving serial port settings.Serial Port Error.") +
              "\r\nThe error is " + e.what());
        }
      }
    }
    return false;
  }

  // Waits, 0.5 s at a time, until count bytes wait; false when the line fell
  // silent (a pause in which nothing more arrived).
  bool Receive(std::size_t count, std::string& bytes) {
    int before = -1;
    for (;;) {
      const int waiting = link_.port.BytesWaiting();
      if (waiting >= static_cast<int>(count)) {
        bytes = link_.port.Read(static_cast<int>(count));
        return bytes.size() == count;
      }
      if (waiting == before) return false;
      before = waiting;
      link_.clock.Wait(kPoll);
      if (link_.port.BytesWaiting() == 0) return false;
    }
  }

  // Reads and drops what the logger still sends, until a poll pause brings
  // nothing more; returns how many bytes that was.
  long Drain() {
    long drained = 0;
    do {
      drained += static_cast<long>(link_.port.Read(link_.port.BytesWaiting()).size());
      link_.clock.Wait(kPoll);
    } while (link_.port.BytesWaiting() > 0);
    return drained;
  }

  // The logger hears that the transfer is over, as after a good one, so it
  // sleeps again; nothing of the damaged data is kept.
  DownloadResult Refuse(TempBlock& temp, const std::string& what) {
    link_.port.Write(std::string(1, protocol::kEndOfTransfer));
    temp.Close();
    DiscardTempBlock(files_);
    link_.port.Close();
    return Failed(LineDamagedText(what));
  }

  DownloadResult Abandon(TempBlock& temp, std::optional<long> received, long announced) {
    temp.Close();
    DiscardTempBlock(files_);
    link_.port.Close();
    return Failed(FellSilentText(received, announced));
  }

  bool StopAsked() const { return request_.stopAsked && request_.stopAsked(); }

  // Ended as a whole transfer ends, with the closing byte, so a logger that
  // heeds it sleeps at once; one that goes on sending is drained by the next
  // wake-up. Nothing read is kept.
  DownloadResult Stop(TempBlock& temp) {
    link_.port.Write(std::string(1, protocol::kEndOfTransfer));
    temp.Close();
    DiscardTempBlock(files_);
    link_.port.Close();
    DownloadResult r = Failed(kStopped);
    r.stopped = true;
    return r;
  }

  static DownloadResult Failed(std::string reason) {
    DownloadResult r;
    r.reason = std::move(reason);
    return r;
  }

  bool RunBelongsToSite(const RunHeader& run) {
    const CurrentSite& site = request_.site;
    Prompter& p = link_.prompter;
    if (site.sensorsOn != run.SensorCount()) {
      p.Message(
          "The number of measuring depths set up in this site file is different to \r\n"
          "the number of depths recorded by the recorder.\r\n\r\nDownload of data will be "
          "aborted.",
          "Measuring Depths are Different");
      return false;
    }
    if (site.siteNumber != run.SiteNumber() &&
        p.Message("Site file selected to download data is different to \r\n"
                  "the site file used to start this recorder.\r\n\r\n"
                  "Are you sure you want to add this data\r\nto the selected site file?",
                  "Select the Right Site File", Buttons::YesNo) != Answer::Yes) {
      return false;
    }
    if (site.serialNumber != static_cast<float>(run.SerialNumber()) &&
        p.Message("The serial number of this recorder is " + Spaced(run.SerialNumber()) +
                      "\r\nand the serial number specified in the site file is " +
                      SpacedSingle(site.serialNumber) +
                      "\r\n\r\nAre you sure you want to add this data to the selected site file?",
                  "Serial Numbers Are Different", Buttons::YesNo) != Answer::Yes) {
      return false;
    }
    return true;
  }

  // The block in the index, the next number and the last download marker:
  // one write of the header, so none of them is recorded without the others.
  static void RecordBlock(const fs::path& headerPath, int number, const RunHeader& run) {
    HeaderTransaction t(headerPath, headerPath);
    SiteHeader& header = t.Header();
    if (number == 1) {
      header.WriteRecord(header::kFirstBlockSlot, "1");
      for (int r = header::kFirstBlockSlot + 1; r <= header::kLastBlockSlot; ++r) {
        header.WriteRecord(r, "0");
      }
    } else {
      header.WriteRecord(header::kFirstBlockSlot + number - 1, Spaced(number));
    }
    header.WriteRecord(header::kLastRunDay, Spaced(run.StartDay()));
    header.WriteRecord(header::kLastRunTime, Spaced(run.StartTimeUnits()));
    t.Commit();
  }

  void Convert(const std::string& dataDirectory) {
    Print("");
    Print("Wait data being converted......");
    ConvertSite(files_, link_.prompter, Id(), dataDirectory, ConversionCaller::Download);
    Print("");
    Print("Data file loaded");
  }

  DownloadResult Store(const RunHeader& run) {
    const fs::path headerPath = files_.HeaderPath(Id());
    if (Files::FileLength(headerPath) <= header::kMissingUpTo) return MissingHeader(run);
    std::string dataDirectory;
    int number = 0;
    try {
      SiteHeader::BlockIndex index;
      {
        SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
        dataDirectory = CheckDataDirectoryName(Trim(header.ReadRecord(header::kDataDirectory)));
        if (header.ReadNumber(header::kLastRunDay) == run.StartDay() &&
            header.ReadNumber(header::kLastRunTime) == run.StartTimeUnits()) {
          link_.prompter.Message(
              "This block has already been downloaded. Download will be aborted.");
          DiscardTempBlock(files_);
          // A store cut short before its conversion left the graph behind.
          if (CalibratedFilesStale(files_, dataDirectory, Id())) Convert(dataDirectory);
          return {};
        }
        index = header.ReadBlockIndex();
      }
      const auto blocks = static_cast<int>(index.numbers.size());
      if (index.damaged) throw IoError("The block index of the site file is damaged.");
      if (blocks >= header::kMaxBlocks) {
        ShowCapacityExceeded(link_.prompter);
        return {};
      }
      number = blocks + 1;
      WriteSiteSelection(files_, Id(), dataDirectory);
      if (number > 1) Print("Appending data");
      CommitBlock(files_, BlockStemPath(files_, dataDirectory, BlockStem(Id(), number)));
    } catch (const UnsafeNameError& e) {
      link_.prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
      return {};
    } catch (const std::exception& e) {
      link_.prompter.Message(
          std::string("An error occurred while storing the downloaded data.\r\nThe error is ") +
              e.what() +
              "\r\n\r\nThe data was not stored. It is kept in the working folder and will be "
              "set aside by the next download.",
          "Download Not Stored", Buttons::Ok, Icon::Critical);
      return {};
    }
    // From here on the block is stored, whatever fails.
    try {
      RecordBlock(headerPath, number, run);
    } catch (const std::exception& e) {
      const std::string stem = BlockStem(Id(), number);
      link_.prompter.Message(
          "The data was stored as " + stem + ".DAT and " + stem +
              ".KEY, but the site file could not be updated.\r\nThe error is " + e.what() +
              "\r\n\r\nThe block will be recorded in the site file by the next download or "
              "when the data is edited.",
          "Site File Not Updated", Buttons::Ok, Icon::Exclamation);
      return {DownloadOutcome::Stored, number, {}};
    }
    Convert(dataDirectory);
    return {DownloadOutcome::Stored, number, {}};
  }

  DownloadResult MissingHeader(const RunHeader& run) {
    ShowMissingSite(link_.prompter, Id());
    try {
      const fs::path headerPath = files_.HeaderPath(Id());
      HeaderTransaction t(headerPath, headerPath);
      SiteHeader& header = t.Header();
      header.WriteRecord(header::kWorkingRootName, PathText(files_.Root().filename()));
      header.WriteRecord(header::kDataDirectory, "TVMKDATA");
      header.WriteRecord(header::kSerialNumber, std::to_string(run.SerialNumber()));
      header.WriteRecord(header::kSiteNumber, std::to_string(request_.site.siteNumber));
      header.WriteRecord(header::kSiteName, "");
      header.WriteRecord(header::kDepthSlotCount, "");
      header.WriteRecord(header::kRootZone, "500");
      for (int r = 8; r < header::kFirstBlockSlot; ++r) header.WriteRecord(r, "");
      for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
        header.WriteRecord(r, "0");
      }
      header.WriteRecord(header::kLastRunDay, "0");
      header.WriteRecord(header::kLastRunTime, "0");
      t.Commit();
      // The logger still holds the run: it is loaded again once the site is set up.
      DiscardTempBlock(files_);
      WriteSiteSelection(files_, Id(), "TVMKDATA");
    } catch (const std::exception& e) {
      link_.prompter.Message(std::string("An error occurred while writing the site file.\r\n") +
                             "The error is " + e.what());
      return {};
    }
    link_.clock.Wait(2.0);
    return {DownloadOutcome::MissingHeader, 0, {}};
  }

  const Files& files_;
  LinkContext& link_;
  const DownloadRequest& request_;
  LinkContext status_;
};

}  // namespace

DownloadResult Download(const Files& files, LinkContext& link, const DownloadRequest& request) {
  try {
    Transfer transfer(files, link, request);
    return transfer.Run();
  } catch (const std::exception& e) {
    // A temporary file that cannot be written, a port that fails mid-way.
    link.port.Close();
    link.prompter.Message(std::string("An error occurred while loading data from the logger.\r\n") +
                          "The error is " + e.what());
    return {};
  }
}

bool AskRestart(const Files& files, Prompter& prompter) {
  const bool yes =
      prompter.Message(
          "Data has been saved successfully.\r\n\r\nWould you like to restart the logger?",
          "RE-START DATA LOGGER?", Buttons::YesNo) == Answer::Yes;
  WriteRestartRequest(files, yes ? "YES" : "NO");
  return yes;
}

}  // namespace pelvaro
