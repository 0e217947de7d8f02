#pragma once

#include <string>
#include <vector>

#include "core/operations/Download.h"
#include "core/shell/MainMenu.h"
#include "core/storage/BlockStore.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "sim/SimSerialPort.h"
#include "support/LineEdits.h"
#include "support/ScriptedPort.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {

// FARM_01 (four sensors, logger 3001, no block), downloading from the in-process logger.
class DownloadRig {
 public:
  static constexpr int kDay = 11300;
  static constexpr int kSeconds = 36000;

  DownloadRig() : files(root.Path()) {
    SiteBuilder site(files, "FARM_01");
    site.Header(LoggerSensors(4), 0);
    site.Logger(3001, 4);
    WritePortNumber(files, 1);
  }

  void SetHeaderRecord(int record, const std::string& text, const std::string& id = "FARM_01") {
    auto h = SiteHeader::Open(files, id);
    h.WriteRecord(record, text);
  }
  std::string HeaderRecord(int record, const std::string& id = "FARM_01") {
    return SiteHeader::Open(files, id, RecordFile::Mode::ReadOnly).ReadRecord(record);
  }
  fs::path Data(const std::string& name) const { return root.Path() / "TVMKDATA" / name; }

  // One download of a run from a fresh logger, the site clicked first.
  DownloadResult RunDownload(const sim::Run& memory, sim::Faults faults = {},
                             const std::string& entry = "FARM_01.key") {
    sim::LoggerEngine engine(memory, faults);
    sim::SimSerialPort line(engine, clock);
    EditedPort port(line, lineEdit);
    std::optional<CurrentSite> site;
    try {
      site = ClickSite(files, prompter, entry);
    } catch (const IoError& e) {
      // As the main window: the click is reported and nothing is downloaded.
      static_cast<Prompter&>(prompter).Message(e.what());
      return {};
    }
    if (!site) return {};  // the click told why; nothing is downloaded
    lines.clear();
    LinkContext link{port, clock, prompter, dialogs,
                     [this](const std::string& printed) { lines.push_back(printed); }};
    DownloadRequest request;
    request.site = *site;
    request.portNumber = 1;
    request.progress = [this](long got, long of) {
      received = got;
      total = of;
    };
    request.stopAsked = [this] { return stopAt > 0 && received >= stopAt; };
    const DownloadResult r = Download(files, link, request);
    written = line.Written();
    opened = line.OpenedPort();
    leftOpen = line.IsOpen();
    loggerSending = engine.NextDue().has_value();
    return r;
  }
  static sim::Run Memory(int scans, int startDay = kDay, int site = 1, int serial = 3001,
                         int sensors = 4) {
    return sim::GenerateRun(serial, site, sensors, startDay, kSeconds, 900, scans);
  }

  // The stored blocks in order, as the runs they hold: the readings, and the
  // start day that identifies the run.
  struct Stored {
    std::string data;
    int startDay;
    bool operator==(const Stored&) const = default;
  };
  std::vector<Stored> Blocks() const {
    std::vector<Stored> blocks;
    for (int n : BlockNumbersOnDisk(files, "TVMKDATA", "FARM_01")) {
      const BlockPaths paths = MakeBlockPaths(Data(BlockStem("FARM_01", n)));
      blocks.push_back({ReadBytes(paths.data), ReadBlockHeader(paths.header).run.StartDay()});
    }
    return blocks;
  }
  static Stored AsStored(const sim::Run& memory) {
    return {WordBytes(memory.words), memory.startDay};
  }
  bool TempFilesLeft() const {
    return fs::exists(root.Path() / kTempHeaderName) || fs::exists(root.Path() / kTempDataName);
  }
  // The messages shown so far, joined.
  std::string Shown() const {
    std::string all;
    for (const auto& s : prompter.shown) all += s.title + ": " + s.text + "\n";
    return all;
  }

  TempRoot root;
  Files files;
  VirtualClock clock{{2026, 12, 6, 9, 7, 3}};
  LineEdit lineEdit;  // none: the line is good
  ScriptedPrompter prompter;
  ScriptedDialogs dialogs;
  std::vector<std::string> lines;
  std::string written;
  int opened = 0;
  bool leftOpen = false;
  bool loggerSending = false;  // the logger had more to send when the download ended
  long received = 0;
  long total = 0;
  long stopAt = 0;  // the person stops the transfer once this many bytes are in; 0: never
};

}  // namespace pelvaro::testing
