#include "core/operations/StartLogger.h"

#include <algorithm>
#include <exception>

#include "core/link/PortSelection.h"
#include "core/link/Protocol.h"
#include "core/link/WakeUp.h"
#include "core/platform/WriterLock.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr double kEchoLimit = 15.0;
constexpr double kPoll = 0.05;
constexpr char kSelectHint[] = "Hint: Select a site file from the list to start the logger";
constexpr char kClickHint[] = "Hint: Click Start button to start the logger";

std::string DateText(const DateTime& d) {
  return TwoDigitText(d.day) + "-" + TwoDigitText(d.month) + "-" + std::to_string(d.year);
}
std::string TimeText(int h, int m, int s) {
  return TwoDigitText(h) + ":" + TwoDigitText(m) + ":" + TwoDigitText(s);
}
std::string TimeText(const TimeOfDay& t) { return TimeText(t.hour, t.minute, t.second); }

int Digits(const std::string& text, std::size_t at, std::size_t n) {
  return text.size() >= at + n ? static_cast<int>(ParseLeadingNumber(text.substr(at, n))) : 0;
}

}  // namespace

int LastBlockNumberOf(const Files& files, const std::string& identification) {
  SiteHeader header(files.HeaderPath(identification), RecordFile::Mode::ReadOnly);
  return header.LastBlockNumber();
}

StartWindowModel::StartWindowModel(const Files& files, Prompter& prompter)
    : files_(files), prompter_(prompter) {}

std::string StartWindowModel::Hint() const { return loaded_ ? kClickHint : kSelectHint; }

void StartWindowModel::Load(const DateTime& now) {
  const SiteSelection selection =
      ReadSiteSelectionOrTell(files_, prompter_).value_or(SiteSelection{});
  sites_ = ListSites(files_);
  selected_ = FindSiteEntry(sites_, selection.identification);
  settings_.start = now;
  // A restart request after a download is answered by this opening only.
  // One that cannot be read is answered all the same.
  bool requested = true;
  try {
    requested = ReadRestartRequest(files_) == "YES";
  } catch (const IoError&) {
  }
  if (requested) WriteRestartRequest(files_, "NO");
  // The highlighted site is loaded, so the grids show what a Start would
  // start; the selection file is left as it is until a click.
  if (selected_) {
    identification_ = IdentificationOf(sites_[*selected_]);
    LoadSiteSettings(identification_, now);
  }
}

void StartWindowModel::ClickSite(int index, const DateTime& now) {
  if (index < 0 || index >= static_cast<int>(sites_.size())) return;
  selected_ = index;
  identification_ = IdentificationOf(sites_[index]);
  LoadSiteSettings(identification_, now);
  if (!loaded_) return;
  // The site goes with its own data directory, or the graph and the editor
  // would look for its blocks in the previous site's folder.
  if (!dataDirectory_.empty() && !IsSafeName(dataDirectory_)) {
    prompter_.Message(UnsafeNameError(dataDirectory_).what(), "Site File Error", Buttons::Ok,
                      Icon::Critical);
    loaded_ = false;
    return;
  }
  try {
    WriteSiteSelection(files_, identification_, dataDirectory_);
  } catch (const IoError& e) {
    SiteFileError(e);
    loaded_ = false;
  }
}

void StartWindowModel::SiteFileError(const std::exception& e) {
  prompter_.Message(
      std::string("An error occurred while accessing the site file.\r\nThe error is  ") + e.what());
}

void StartWindowModel::LoadSiteSettings(const std::string& id, const DateTime& now) {
  // Nothing of a site read before may be started with this one.
  loaded_ = false;
  settings_.sensorsOn = 0;
  loadedHeader_ = {};
  if (!IsSafeName(id)) return;
  try {
    // Before the records are read: a change made meanwhile refuses the start.
    loadedHeader_ = OpenedFiles::Header(files_.HeaderPath(id));
    SiteHeader h(files_.HeaderPath(id), RecordFile::Mode::ReadOnly);
    dataDirectory_ = Trim(h.ReadRecord(header::kDataDirectory));
    // Numbers from a file are kept in range before they become integers.
    settings_.sensorsOn = static_cast<int>(std::clamp(h.ReadNumber(header::kSensorsOn), 0.0, 5.0));
    settings_.siteNumber =
        static_cast<int>(std::clamp(h.ReadNumber(header::kSiteNumber), -1.0, 65535.0));
    const std::string mode = h.ReadRecord(header::kStartMode);
    const bool immediate = !mode.empty() && (mode[0] == 'S' || mode[0] == '0');
    const bool timed = !mode.empty() && mode[0] == 'T';
    if (immediate) mode_ = StartMode::Immediate;
    if (timed) mode_ = StartMode::Timed;
    // Until its first start a site holds "0" for the start's date and time,
    // which are no date and no time of day: nothing is shown for them.
    const auto recorded = [&h](int record) {
      const std::string text = h.ReadRecord(record);
      return text == "0" ? std::string() : text;
    };
    std::string time = recorded(header::kStartTime);
    if (!time.empty() && time.size() < 8) time += ":00";
    const std::string scan = h.ReadRecord(header::kScanInterval);
    TimeOfDay t{Digits(scan, 0, 2), Digits(scan, 3, 2), Digits(scan, 6, 2)};
    if (scan.size() < 8 || t.Seconds() == 0) t = {0, 15, 0};
    settings_.scan = CorrectScanTime(t);
    header_ = {{"Site name", h.ReadRecord(header::kSiteName)},
               {"Data directory", dataDirectory_},
               {"Velmora serial number", h.ReadRecord(header::kSerialNumber)},
               {"Site number", h.ReadRecord(header::kSiteNumber)},
               {"Number of sensors", Spaced(settings_.sensorsOn)},
               {"Number of data blocks", Spaced(h.BlockCount())}};
    // The last start as recorded: shown, never sent again. A new start is
    // built from the pickers.
    lastStart_ = {
        {"Start mode", immediate ? "START IMMEDIATE"
                       : timed   ? "TIMED START"
                                 : ""},
        {"Start date DD-MM-YYYY", immediate ? DateText(now) : recorded(header::kStartDate)},
        {"Start time HH:MM:SS", time},
        {"Scan time HH:MM:SS", TimeText(t)}};
    if (immediate || timed) OfferStart(now);
    loaded_ = true;
    if (settings_.sensorsOn == 0)
      prompter_.Message("This site file does not have any sensors selected.");
  } catch (const std::exception& e) {
    SiteFileError(e);
  }
}

GridRows StartWindowModel::SiteHeaderRows() const {
  if (loaded_) return header_;
  return {{"Site name", ""},   {"Data directory", ""},    {"Velmora serial number", ""},
          {"Site number", ""}, {"Number of sensors", ""}, {"Number of data blocks", ""}};
}

GridRows StartWindowModel::StartSettingsRows() const {
  if (loaded_) return lastStart_;
  return {{"Start mode", ""},
          {"Start date DD-MM-YYYY", ""},
          {"Start time HH:MM:SS", ""},
          {"Scan time HH:MM:SS", ""}};
}

void StartWindowModel::ChooseMode(StartMode mode, const DateTime& now) {
  mode_ = mode;
  OfferStart(now);
}

void StartWindowModel::OfferStart(const DateTime& now) {
  settings_.mode = mode_.value_or(StartMode::Immediate);
  settings_.start = settings_.mode == StartMode::Timed ? TimedStartDefault(now) : now;
}

void StartWindowModel::Tick(const DateTime& now) {
  if (mode_ != StartMode::Timed) settings_.start = now;
}

int StartWindowModel::LastBlockNumber() {
  // The site the window shows: the selection file names it too once it was
  // clicked, and a site that failed to load is never the previous one's.
  if (Files::FileLength(files_.HeaderPath(identification_)) < 128) {
    prompter_.Message("The site  " + identification_ +
                          ".KEY  file does not exist.\r\n\r\nYou MUST set up the site file "
                          "FIRST.\r\n\r\nThen re-LOAD data from VELMORA.\r\n\r\nThe default "
                          "directories will now be set up in the HEADER file",
                      "Site File Does Not Exist", Buttons::Ok, Icon::Critical);
    return 0;
  }
  return LastBlockNumberOf(files_, identification_);
}

bool StartWindowModel::Start(LinkContext& link, const std::function<void()>& bell) {
  attempted_ = false;
  // Without a site there is no block index to look at.
  if (!selected_ || identification_.empty() || !IsSafeName(identification_)) {
    prompter_.Message("Site has not been selected, select a site before starting.",
                      "SITE NOT SELECTED");
    return false;
  }
  const int last = LastBlockNumber();
  if (last == header::kMaxBlocks - 1) {
    prompter_.Message("This site is about to exceed the maximum limit of datablocks.", "",
                      Buttons::Ok, Icon::Exclamation);
  }
  if (last >= header::kMaxBlocks) {
    prompter_.Message(
        "This site file exceeds maximum number of datablocks ,\r\nLOGGER CANNOT BE STARTED WITH "
        "THIS SITEHEADER \r\nCreate a New Site File and START logger",
        "EXCEEDS DATABLOCK LEVEL", Buttons::Ok, Icon::Critical);
    return false;
  }
  if (!mode_) {
    prompter_.Message("Select the logging mode.");
    return false;
  }
  if (settings_.sensorsOn == 0) {
    prompter_.Message(
        "This site file does not have any sensors.Logger cannot be started with this site file.",
        "No Sensors Selected");
    return false;
  }
  // Taken before the logger is woken, so a start is never left unrecorded.
  const auto lock = LockForWriting(files_, prompter_);
  // Checked before the logger is woken: the start is recorded in this
  // header, which the lock keeps as it is until then.
  if (!lock || !SiteStillAsLoaded(link.clock.WallClock())) return false;
  attempted_ = true;
  const bool started = StartLogger(link, bell);
  if (link.port.IsOpen()) link.port.Close();
  return started;
}

bool StartWindowModel::StartLogger(LinkContext& link, const std::function<void()>& bell) {
  const int port = fixedPort_ ? *fixedPort_ : StoredPortNumber(files_);
  if (link.port.IsOpen()) link.port.Close();
  if (port == 0 || !link.port.Open(port).Ok()) {
    prompter_.Message(kPortNotAvailable);
    if (fixedPort_) return false;
    try {
      WritePortNumber(files_, port);
    } catch (const IoError&) {
      // The start has failed already; the port file stays as it was.
    }
    return false;
  }
  StartSettings sent = settings_;
  sent.mode = *mode_;
  const DateTime now = link.clock.WallClock();
  const StartBlockResult built = BuildStartBlock(sent, now);
  // An immediate start is recorded with the moment its block was made.
  if (sent.mode == StartMode::Immediate) sent.start = now;
  if (!built.block) {
    prompter_.Message(built.error);
    link.port.Close();
    return false;
  }
  const WakeResult wake = WakeLogger(WakeVariant::Start, link, protocol::Command(protocol::kStart));
  if (wake.outcome != WakeOutcome::CommandSent) return false;
  const StartBlockBytes& block = *built.block;
  link.port.Write(std::string(block.begin(), block.end()));
  link.print("SENDING DATA");
  link.clock.Wait(0.1);
  const double until = link.clock.Now() + kEchoLimit;
  while (link.port.BytesWaiting() < static_cast<int>(kStartBlockSize) && link.clock.Now() < until) {
    link.clock.Wait(kPoll);
  }
  const std::string echo = link.port.BytesWaiting() >= static_cast<int>(kStartBlockSize)
                               ? link.port.Read(static_cast<int>(kStartBlockSize))
                               : std::string();
  if (echo != std::string(block.begin(), block.end())) {
    prompter_.Message("START ERROR!!  Check cable connections, then try again.",
                      "Start Data Recorder Error", Buttons::Ok, Icon::Critical);
    return false;
  }
  // Only a start the logger confirmed is recorded in the site.
  SaveStartSettings(sent);
  if (bell) {
    bell();
    bell();
  }
  prompter_.Message(
      "Logger started successfully.\r\n\r\nRemove the interface cable from logger.\r\n",
      "Logger Started ", Buttons::Ok, Icon::Information);
  return true;
}

bool StartWindowModel::SiteStillAsLoaded(const DateTime& now) {
  try {
    switch (CheckOpened(loadedHeader_, prompter_)) {
      case OpenedCheck::Unchanged:
        return true;
      case OpenedCheck::Reload:
        LoadSiteSettings(identification_, now);
        return false;
      case OpenedCheck::Keep:
        return false;
    }
  } catch (const IoError& e) {
    SiteFileError(e);
  }
  return false;
}

void StartWindowModel::SaveStartSettings(const StartSettings& sent) {
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock) return;
  try {
    HeaderTransaction t(files_.HeaderPath(identification_), files_.HeaderPath(identification_));
    SiteHeader& h = t.Header();
    h.WriteRecord(header::kStartMode,
                  sent.mode == StartMode::Timed ? "TIMED START" : "START IMMEDIATE");
    h.WriteRecord(header::kStartDate, DateText(sent.start));
    h.WriteRecord(header::kStartTime,
                  TimeText(sent.start.hour, sent.start.minute, sent.start.second));
    h.WriteRecord(header::kScanInterval, TimeText(sent.scan));
    t.Commit();
  } catch (const std::exception& e) {
    SiteFileError(e);
    return;
  }
  try {
    loadedHeader_ = OpenedFiles::Header(files_.HeaderPath(identification_));
  } catch (const IoError&) {
    // The old stamp stays: the next start is refused rather than made blind.
  }
}

}  // namespace pelvaro
