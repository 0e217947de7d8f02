#include "core/operations/StartLogger.h"

#include <algorithm>

#include "core/link/PortSelection.h"
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
    : files_(files), prompter_(prompter) {
  hint_ = "Hint: Select a site file from the list to start the logger";
}

void StartWindowModel::Load(const DateTime& now) {
  SiteSelection selection;
  try {
    selection = ReadSiteSelection(files_);
  } catch (const UnsafeNameError& e) {
    prompter_.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
  }
  sites_ = ListSites(files_);
  selected_ = FindSiteEntry(sites_, selection.identification);
  if (selected_) identification_ = IdentificationOf(sites_[*selected_]);
  settings_.start = now;
  if (ReadRestartRequest(files_) == "YES") {
    // A restart after a download: once only.
    WriteRestartRequest(files_, "NO");
    if (selected_) LoadSiteSettings(identification_, now);
  }
}

void StartWindowModel::ClickSite(int index, const DateTime& now) {
  if (index < 0 || index >= static_cast<int>(sites_.size())) return;
  selected_ = index;
  identification_ = IdentificationOf(sites_[index]);
  if (!IsSafeName(identification_)) return;
  std::string kept;
  try {
    kept = ReadSiteSelection(files_).dataDirectory;
  } catch (const UnsafeNameError&) {
    // The second line is replaced by the site's own below.
  }
  WriteSiteSelection(files_, identification_, kept);
  LoadSiteSettings(identification_, now);
  hint_ = "Hint: Click Start button to start the logger";
}

void StartWindowModel::LoadSiteSettings(const std::string& id, const DateTime& now) {
  try {
    SiteHeader h(files_.HeaderPath(id), RecordFile::Mode::ReadOnly);
    dataDirectory_ = h.ReadRecord(header::kDataDirectory);
    // Numbers from a file are kept in range before they become integers.
    settings_.sensorsOn = static_cast<int>(std::clamp(h.ReadNumber(header::kSensorsOn), -1.0, 5.0));
    settings_.siteNumber =
        static_cast<int>(std::clamp(h.ReadNumber(header::kSiteNumber), -1.0, 65535.0));
    const std::string mode = h.ReadRecord(header::kStartMode);
    if (!mode.empty() && (mode[0] == 'S' || mode[0] == '0')) mode_ = StartMode::Immediate;
    if (!mode.empty() && mode[0] == 'T') mode_ = StartMode::Timed;
    settings_.mode = mode_.value_or(StartMode::Immediate);
    std::string time = h.ReadRecord(header::kStartTime);
    if (time.size() < 8) time += ":00";
    if (mode_ == StartMode::Timed) {
      const std::string date = h.ReadRecord(header::kStartDate);
      settings_.start = {Digits(date, 6, 4), Digits(date, 3, 2), Digits(date, 0, 2),
                         Digits(time, 0, 2), Digits(time, 3, 2), Digits(time, 6, 2)};
      if (settings_.start.year == 0) settings_.start = now;
    } else {
      settings_.start = now;
    }
    const std::string scan = h.ReadRecord(header::kScanInterval);
    TimeOfDay t{Digits(scan, 0, 2), Digits(scan, 3, 2), Digits(scan, 6, 2)};
    if (scan.size() < 8 || t.Seconds() == 0) t = {0, 15, 0};
    settings_.scan = t;
    int blocks = 0;
    for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot && h.ReadNumber(r) != 0;
         ++r) {
      ++blocks;
    }
    header_ = {{"Site name", h.ReadRecord(header::kSiteName)},
               {"Data directory", dataDirectory_},
               {"Velmora serial number", h.ReadRecord(header::kSerialNumber)},
               {"Site number", h.ReadRecord(header::kSiteNumber)},
               {"Number of sensors", Spaced(settings_.sensorsOn)},
               {"Number of data blocks", Spaced(blocks)}};
    loaded_ = true;
    if (settings_.sensorsOn == 0)
      prompter_.Message("This site file does not have any sensors selected.");
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while accessing the site file.\r\nThe error is  ") +
        e.what());
  }
}

GridRows StartWindowModel::SiteHeaderRows() const {
  if (!loaded_) {
    return {{"Site name", ""},   {"Data directory", ""},    {"Velmora serial number", ""},
            {"Site number", ""}, {"Number of sensors", ""}, {"Number of data blocks", ""}};
  }
  return header_;
}

GridRows StartWindowModel::StartSettingsRows() const {
  std::string mode;
  if (mode_) mode = *mode_ == StartMode::Timed ? "TIMED START" : "START IMMEDIATE";
  return {{"Start mode", mode},
          {"Start date DD-MM-YYYY", DateText(settings_.start)},
          {"Start time HH:MM:SS",
           TimeText(settings_.start.hour, settings_.start.minute, settings_.start.second)},
          {"Scan time HH:MM:SS", TimeText(settings_.scan)}};
}

void StartWindowModel::ChooseMode(StartMode mode, const DateTime& now) {
  mode_ = mode;
  settings_.mode = mode;
  settings_.start = now;
  if (mode == StartMode::Timed) {
    const TimeOfDay t = TimedStartDefault(now);
    settings_.start.hour = t.hour;
    settings_.start.minute = t.minute;
    settings_.start.second = 0;
  }
}

void StartWindowModel::Tick(const DateTime& now) {
  if (mode_ != StartMode::Timed) settings_.start = now;
}

int StartWindowModel::LastBlockNumber() {
  std::string id;
  try {
    id = ReadSiteSelection(files_, 8).identification;
  } catch (const UnsafeNameError&) {
  }
  if (id.empty()) id = identification_;
  if (!IsSafeName(id) || Files::FileLength(files_.HeaderPath(id)) < 128) {
    prompter_.Message("The site  " + id +
                          ".KEY  file does not exist.\r\n\r\nYou MUST set up the site file "
                          "FIRST.\r\n\r\nThen re-LOAD data from VELMORA.\r\n\r\nThe default "
                          "directories will now be set up in the HEADER file",
                      "Site File Does Not Exist", Buttons::Ok, Icon::Critical);
    return 0;
  }
  return LastBlockNumberOf(files_, id);
}

bool StartWindowModel::Start(LinkContext& link, const std::function<void()>& bell) {
  attempted_ = false;
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
  if (!selected_ || identification_.empty()) {
    prompter_.Message("Site has not been selected, select a site before starting.",
                      "SITE NOT SELECTED");
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
  if (!lock) return false;
  attempted_ = true;
  const bool started = StartLogger(link, bell);
  if (link.port.IsOpen()) link.port.Close();
  return started;
}

bool StartWindowModel::StartLogger(LinkContext& link, const std::function<void()>& bell) {
  const int port = fixedPort_ ? *fixedPort_ : ReadPortNumber(files_).value_or(0);
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
  settings_.mode = mode_.value_or(StartMode::Immediate);
  const DateTime now = link.clock.WallClock();
  const StartBlockResult built = BuildStartBlock(settings_, now);
  // An immediate start is recorded with the moment its block was made.
  if (settings_.mode == StartMode::Immediate) settings_.start = now;
  if (!built.block) {
    prompter_.Message(built.error);
    link.port.Close();
    return false;
  }
  const WakeResult wake = WakeLogger(WakeVariant::Start, link, "S\r");
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
  SaveStartSettings();
  if (bell) {
    bell();
    bell();
  }
  prompter_.Message(
      "Logger started successfully.\r\n\r\nRemove the interface cable from logger.\r\n",
      "Logger Started ", Buttons::Ok, Icon::Information);
  return true;
}

void StartWindowModel::SaveStartSettings() {
  std::string id;
  try {
    id = ReadSiteSelection(files_, 8).identification;
  } catch (const UnsafeNameError&) {
  }
  if (id.empty()) id = identification_;
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock) return;
  try {
    HeaderTransaction t(files_.HeaderPath(id), files_.HeaderPath(id));
    SiteHeader& h = t.Header();
    h.WriteRecord(header::kStartMode,
                  settings_.mode == StartMode::Timed ? "TIMED START" : "START IMMEDIATE");
    h.WriteRecord(header::kStartDate, DateText(settings_.start));
    h.WriteRecord(header::kStartTime,
                  TimeText(settings_.start.hour, settings_.start.minute, settings_.start.second));
    h.WriteRecord(header::kScanInterval, TimeText(settings_.scan));
    t.Commit();
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while accessing the site file.\r\nThe error is  ") +
        e.what());
  }
}

}  // namespace pelvaro
