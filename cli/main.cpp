// pelvaro-cli: the program's operations without a window, for scripts and
// headless stations.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "cli/CliPrompter.h"
#include "cli/ReportCommand.h"
#include "core/editor/BlockExport.h"
#include "core/events/EventReport.h"
#include "core/events/SiteEvents.h"
#include "core/export/SeasonExport.h"
#include "core/link/PortMap.h"
#include "core/link/PortSelection.h"
#include "core/operations/Conversion.h"
#include "core/operations/Download.h"
#include "core/operations/SerialNumber.h"
#include "core/operations/StartLogger.h"
#include "core/operations/Trace.h"
#include "core/outlook/OutlookReport.h"
#include "core/platform/WriterLock.h"
#include "core/shell/MainMenu.h"
#include "core/shell/SiteCatalogue.h"
#include "core/shell/Startup.h"
#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/TextRoutines.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"

namespace {

using namespace pelvaro;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] =
    "Usage: pelvaro-cli [--root DIR] COMMAND [ARGS]\n"
    "       pelvaro-cli --help | --version\n"
    "\n"
    "  --root DIR   the working root itself (the folder holding TVMKHEADER);\n"
    "               default: \"Pelvaro Data\" in $USERPROFILE, else in $HOME\n"
    "\n"
    "Commands:\n"
    "  sites\n"
    "      Prints the identification of every site, one per line.\n"
    "  convert SITE [--dir NAME] [--sensors N]\n"
    "      Rebuilds SITE.BGF and SITE.Pct from the site's data blocks.\n"
    "      --dir NAME    data directory (default: the site header's record 2)\n"
    "      --sensors N   answers the sensor-count question for a block whose\n"
    "                    count is 0; without it such a block is an error\n"
    "  export-csv SITE BLOCK OUT.csv\n"
    "      Writes data block BLOCK of the site as a CSV file (data directory\n"
    "      from the site header).\n"
    "  export SITE OUT [--events] [--from DATE] [--to DATE] [--format csv|json]\n"
    "      Writes every scan of the site's graph file from DATE to DATE (both\n"
    "      included, YYYY-MM-DD; default: all) to OUT, one row per scan: time (ISO\n"
    "      8601 local time), the value of each enabled sensor under its depth\n"
    "      (10cm, 20cm, ...) and root_zone_total, all with two decimals; an\n"
    "      out-of-range reading is empty (CSV) or null (JSON). CSV (the default)\n"
    "      has CR LF line ends and a sidecar OUT.meta.json with site, unit and\n"
    "      sensors (depth_cm, field_capacity, refill); JSON holds those keys and\n"
    "      scans. An existing OUT is replaced only when the export succeeds.\n"
    "      --events      writes the wetting events that start from DATE to DATE\n"
    "                    instead, one row (CSV) or object (JSON) per event with\n"
    "                    the keys of events --json, the depths as reached_10cm,\n"
    "                    lag_hours_10cm and rise_10cm columns in CSV; no sidecar\n"
    "  download SITE (--port N | --device PATH) [--yes]\n"
    "      Reads the logger's run and stores it as the site's next data block,\n"
    "      then converts the site. Status lines go to stdout.\n"
    "      --port N      the port number 1..20 (see the port map in README.md)\n"
    "      --device PATH the serial device itself, e.g. a simulator's pty\n"
    "      --yes         accept a run whose site number or serial number\n"
    "                    differs from the site's (default: refuse it)\n"
    "      Exit status 0 only when a block was stored.\n"
    "  start SITE (--port N | --device PATH) [--timed \"DD-MM-YYYY HH:MM:SS\"]\n"
    "        [--interval HH:MM:SS]\n"
    "      Starts the logger for the site, at once or at the given date and time,\n"
    "      scanning at the interval (default: the site's last, else 00:15:00;\n"
    "      kept between 00:00:30 and 12:00:00). Exit status 0 only when the logger\n"
    "      echoed the start block exactly.\n"
    "  trace (--port N | --device PATH) --sensors N [--scans K]\n"
    "      Shows live readings of N sensors (1..5), scan by scan, until the logger\n"
    "      ends after 64 scans, the host stops after 100, or after K scans.\n"
    "      Exit status 0 when the trace ended cleanly.\n"
    "  set-serial NUMBER (--port N | --device PATH)\n"
    "      Writes a serial number (100..65535) into the logger. Exit status 0\n"
    "      when the logger greeted and the number was sent.\n"
    "  status [SITE ...] [--json]\n"
    "      The irrigation outlook of each site (every site when none is named):\n"
    "      root-zone total, daily use over the current drydown, the refill\n"
    "      forecast and sensor faults. Writes nothing. Exit status 0 when every\n"
    "      site was read.\n"
    "      --json        one JSON array, one object per site, with the keys\n"
    "                    site, last_scan (ISO 8601 local time), root_zone_depths_cm,\n"
    "                    unit, total, field_capacity, refill, daily_use, dry_days,\n"
    "                    outlook (\"no data\" | \"below refill\" | \"no forecast\" |\n"
    "                    \"refill\"), reason (\"wetting\" | \"not enough dry mornings\"\n"
    "                    | \"no use\"), days_to_refill, refill_date (ISO 8601),\n"
    "                    below_since (ISO 8601), faults (a list of {depth_cm,\n"
    "                    out_of_range, flat_hours}), last_event ({start, kind,\n"
    "                    deepest_cm, effective_gain} of the last wetting event)\n"
    "                    and error (why the site could not be read); a key that\n"
    "                    does not apply holds null\n"
    "      Text and JSON show the same figures: total, field capacity, refill\n"
    "      and daily use with three decimals, days to refill with two.\n"
    "  events SITE [--from DATE] [--to DATE] [--json]\n"
    "      The site's wetting events (each rise of the root-zone total), one line\n"
    "      each: start, kind, peak, end, totals, gain, deepest sensor reached and\n"
    "      the lag of each depth; then the labels whose event the data no longer\n"
    "      holds. Only events starting from DATE to DATE (YYYY-MM-DD, both\n"
    "      included) are shown; they are found over the whole season.\n"
    "      --json        one JSON array, one object per event, with the keys\n"
    "                    start, peak, end, total_start, total_peak, gain,\n"
    "                    effective_gain, excess, unit, deepest_cm,\n"
    "                    below_root_zone, depths (a list of {depth_cm, reached,\n"
    "                    lag_hours, rise}), kind and note\n"
    "  events SITE --label START rain|irrigation|unknown [--note TEXT]\n"
    "      Says what the event starting at START (as printed, such as\n"
    "      2026-09-07T10:00:00) was; kept in SITE.EVT in the data directory.\n"
    "      The note (UTF-8) stays as it was unless --note is given; --note \"\"\n"
    "      removes it, and unknown without a note removes the label.\n"
    "  report OUT.pdf [SITE ...] [--days N] [--from DATE --to DATE]\n"
    "        [--paper a4|letter]\n"
    "      The grower's report as a PDF (every site when none is named): with\n"
    "      more than one site a first page lists them most urgent first, then\n"
    "      each site has a page of its period (default: the last 14 days up to\n"
    "      its last scan; --days N the last N days; --from and --to, YYYY-MM-DD,\n"
    "      both included) with its charts, outlook, wetting events and faults.\n"
    "      Paper as the locale names it (else A4) unless --paper says. Needs no\n"
    "      display. OUT is replaced only when the report is whole. Exit status 0\n"
    "      when every site was read.\n"
    "\n"
    "Messages the window would show go to stderr. Site names print in UTF-8; a\n"
    "SITE typed in UTF-8 names the site stored under its Windows-1252 name, and\n"
    "text that is not UTF-8 is taken as typed. Exit status: 0 success,\n"
    "1 a reported failure, 2 a usage error.\n";

int Usage(const std::string& why) {
  std::cerr << "pelvaro-cli: " << Printable(why) << "\n\n" << kHelp;
  return kUsage;
}

// Stored names, and the core's messages, which hold them, as the terminal shows
// them. Paths stay as the system gives them.
std::string Shown(const std::string& cp1252) { return Cp1252ToTerminal(cp1252); }

std::string NoHeaderText(const std::string& site, const Files& files) {
  return "The site " + Shown(Printable(site)) + " has no header file in " +
         PathText(files.HeaderFolder());
}

// A SITE argument: typed in UTF-8, it names the site stored in the code page.
std::string SiteArgument(const std::string& typed) { return TypedName(typed); }

struct Arguments {
  std::optional<std::string> root;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // --name value
  bool help = false;
  bool version = false;
  bool yes = false;
  bool json = false;
  bool events = false;
};

// Options that take a value; every other "--" word is an error.
const std::vector<std::string> kValueOptions = {
    "--root", "--dir", "--sensors", "--port",  "--device", "--timed", "--interval", "--scans",
    "--from", "--to",  "--format",  "--label", "--note",   "--days",  "--paper"};

std::optional<Arguments> Parse(int argc, char** argv, std::string& error) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      args.help = true;
    } else if (word == "--version") {
      args.version = true;
    } else if (word == "--yes") {
      args.yes = true;
    } else if (word == "--json") {
      args.json = true;
    } else if (word == "--events") {
      args.events = true;
    } else if (word.rfind("--", 0) == 0) {
      bool known = false;
      for (const std::string& o : kValueOptions) known = known || o == word;
      if (!known) {
        error = "unknown option " + word;
        return std::nullopt;
      }
      if (i + 1 >= argc) {
        error = word + " needs a value";
        return std::nullopt;
      }
      if (word == "--root") {
        args.root = argv[++i];
      } else {
        args.options[word] = argv[++i];
      }
    } else {
      args.positional.push_back(word);
    }
  }
  return args;
}

fs::path DefaultRoot() {
  return WorkingRootFor(StartupEnvironment::FromProcess(fs::path(), fs::path()));
}

int Sites(const Files& files) {
  for (const std::string& entry : ListSites(files)) {
    const std::string id = IdentificationOf(entry);
    if (IsSiteIdentification(id)) std::cout << Shown(id) << "\n";
  }
  return kOk;
}

int Convert(const Files& files, const Arguments& args) {
  if (args.positional.size() != 2) return Usage("convert takes one SITE");
  const std::string site = SiteArgument(args.positional[1]);
  if (!IsSafeName(site)) return Usage("\"" + args.positional[1] + "\" cannot name a site");
  CliPrompter prompter;
  if (auto it = args.options.find("--sensors"); it != args.options.end())
    prompter.answer = it->second;
  std::string dir;
  if (auto it = args.options.find("--dir"); it != args.options.end()) {
    dir = it->second;
  } else {
    if (!Files::FileExists(files.HeaderPath(site))) {
      std::cerr << NoHeaderText(site, files) << "\n";
      return kFailed;
    }
    SiteHeader header(files.HeaderPath(site), RecordFile::Mode::ReadOnly);
    dir = Trim(header.ReadRecord(header::kDataDirectory));
  }
  return ConvertSite(files, prompter, site, dir, ConversionCaller::Download) ? kOk : kFailed;
}

// The link's windows, as lines on stderr.
class CliLinkDialogs : public LinkDialogs {
 public:
  bool NotResponding() override {
    std::cerr << "Logger is not responding. Use Help to troubleshoot.\n";
    told = true;
    return false;
  }
  bool told = false;
  void Help() override {}
  std::optional<int> ChoosePort() override { return std::nullopt; }
};

int ExportCsv(const Files& files, const Arguments& args) {
  if (args.positional.size() != 4) return Usage("export-csv takes SITE BLOCK OUT.csv");
  const std::string site = SiteArgument(args.positional[1]);
  if (!IsSafeName(site)) return Usage("\"" + args.positional[1] + "\" cannot name a site");
  const std::string& blockText = args.positional[2];
  if (blockText.empty() || blockText.size() > 3 ||
      blockText.find_first_not_of("0123456789") != std::string::npos || std::stoi(blockText) < 1 ||
      std::stoi(blockText) > header::kMaxBlocks) {
    return Usage("BLOCK is a block number from 1 to 100");
  }
  const int block = std::stoi(blockText);
  if (!Files::FileExists(files.HeaderPath(site))) {
    std::cerr << NoHeaderText(site, files) << "\n";
    return kFailed;
  }
  SiteHeader header(files.HeaderPath(site), RecordFile::Mode::ReadOnly);
  const std::string dir = Trim(header.ReadRecord(header::kDataDirectory));
  if (!IsDataDirectoryName(dir)) {
    std::cerr << Shown(DataDirectoryError(dir).what()) << "\n";
    return kFailed;
  }
  const fs::path stem = BlockStemPath(files, dir, BlockStem(site, block));
  if (!Files::FileExists(MakeBlockPaths(stem).data)) {
    std::cerr << "There is no block " << block << " of " << Shown(Printable(site)) << "\n";
    return kFailed;
  }
  CliPrompter prompter;
  return SaveBlockCsv(files, prompter, site, stem, NamePath(args.positional[3])) ? kOk : kFailed;
}

int Fail(const std::string& why) {
  std::cerr << "pelvaro-cli: " << why << "\n";
  return kFailed;
}

// The days of --from and --to; either end may be open.
struct Days {
  std::optional<std::int64_t> from;
  std::optional<std::int64_t> to;
};

// Nothing after saying why the dates cannot be used.
std::optional<Days> ParseDays(const Arguments& args) {
  Days days;
  for (const auto& [name, day] : {std::pair{"--from", &days.from}, std::pair{"--to", &days.to}}) {
    const auto it = args.options.find(name);
    if (it == args.options.end()) continue;
    *day = ParseIsoDate(it->second);
    if (!*day) {
      Fail(std::string(name) + " takes a date as YYYY-MM-DD, not \"" + Printable(it->second) +
           "\"");
      return std::nullopt;
    }
  }
  if (days.from && days.to && *days.from > *days.to) {
    Fail("--from " + args.options.at("--from") + " is later than --to " + args.options.at("--to"));
    return std::nullopt;
  }
  return days;
}

std::optional<ExportFormat> ParseFormat(const Arguments& args) {
  const auto it = args.options.find("--format");
  if (it == args.options.end() || it->second == "csv") return ExportFormat::Csv;
  if (it->second == "json") return ExportFormat::Json;
  Fail("--format takes csv or json, not \"" + Printable(it->second) + "\"");
  return std::nullopt;
}

// A site's events and labels, or nothing after saying why they cannot be read.
std::optional<SiteEvents> ReadEvents(const Files& files, const std::string& site) {
  // The outlook's own figures are not shown beside the events.
  SiteEvents read = ReadSiteEvents(files, site, {}, nullptr, OutlookFigures::Skipped);
  if (read.Error().empty()) return read;
  Fail(Shown(read.Error()));
  return std::nullopt;
}

int ExportEvents(const Files& files, const std::string& site, const Days& days, ExportFormat format,
                 const fs::path& target) {
  // Refused before a season is read for it.
  CheckExportTarget(target);
  const auto read = ReadEvents(files, site);
  if (!read) return kFailed;
  const EventList list = EventsBetween(read->list, days.from, days.to);
  WriteExport(target, format == ExportFormat::Json ? EventsJson(list) : EventsCsv(list));
  return kOk;
}

int Export(const Files& files, const Arguments& args) {
  if (args.positional.size() != 3) return Usage("export takes SITE OUT");
  const std::string site = SiteArgument(args.positional[1]);
  const auto days = ParseDays(args);
  if (!days) return kFailed;
  const auto format = ParseFormat(args);
  if (!format) return kFailed;
  const fs::path target = NamePath(args.positional[2]);
  if (args.events) return ExportEvents(files, site, *days, *format, target);
  SeasonExportRequest request;
  request.identification = site;
  request.range = DayRange(days->from, days->to);
  request.format = *format;
  ExportSeason(files, request, target);
  return kOk;
}

int ListEvents(const Files& files, const Arguments& args, const std::string& site) {
  const auto days = ParseDays(args);
  if (!days) return kFailed;
  const auto read = ReadEvents(files, site);
  if (!read) return kFailed;
  const EventList list = EventsBetween(read->list, days->from, days->to);
  // UTF-8 already, as the notes are.
  std::cout << (args.json ? EventsJson(list) : EventsText(list));
  return kOk;
}

int LabelEvent(const Files& files, const Arguments& args, const std::string& site) {
  const std::string& start = args.options.at("--label");
  if (!IsEventStart(start)) {
    return Fail("--label takes an event's start as printed, such as 2026-09-07T10:00:00, not \"" +
                Printable(start) + "\"");
  }
  const auto kind = ParseEventKind(args.positional[2]);
  if (!kind) {
    return Fail("an event is rain, irrigation or unknown, not \"" + Printable(args.positional[2]) +
                "\"");
  }
  // Taken before the labels are read, so that no program of ours changes
  // them between this read and the save.
  CliPrompter prompter;
  const auto lock = LockForWriting(files, prompter);
  if (!lock) return kFailed;
  auto read = ReadEvents(files, site);
  if (!read) return kFailed;
  if (read->labels.Path().empty()) {
    return Fail("The site " + Shown(Printable(site)) +
                " names no data directory, where its labels are kept: choose one in the site "
                "window first.");
  }
  const auto event = std::find_if(read->list.events.begin(), read->list.events.end(),
                                  [&start](const LabelledEvent& e) { return e.start == start; });
  if (event == read->list.events.end()) {
    return Fail("No wetting event of " + Shown(Printable(site)) + " starts at " + start +
                "; pelvaro-cli events lists their starts.");
  }
  LabelledEvent labelled = *event;
  labelled.kind = *kind;
  if (const auto note = args.options.find("--note"); note != args.options.end())
    labelled.note = CleanNote(note->second);
  read->labels.Set({start, labelled.kind, labelled.note});
  if (!read->labels.Save()) {
    return Fail("The labels in " + PathText(read->labels.Path()) +
                " were changed by another program since they were read here. Nothing was "
                "saved: look at them with pelvaro-cli events, then label again.");
  }
  std::cout << EventLine(labelled) << "\n";
  return kOk;
}

int Events(const Files& files, const Arguments& args) {
  const bool labelling = args.options.count("--label") > 0;
  if (labelling && args.positional.size() != 3)
    return Usage("events SITE --label START takes one kind: rain, irrigation or unknown");
  if (!labelling && args.positional.size() != 2) return Usage("events takes one SITE");
  if (!labelling && args.options.count("--note") > 0) return Usage("--note goes with --label");
  const std::string site = SiteArgument(args.positional[1]);
  if (!IsSafeName(site)) return Usage("\"" + args.positional[1] + "\" cannot name a site");
  return labelling ? LabelEvent(files, args, site) : ListEvents(files, args, site);
}

// The port of a logger command: --port N, or --device PATH on the port object.
std::optional<int> ChosenPort(const Arguments& args, QtSerialPort& serial, int& status) {
  const auto port = args.options.find("--port");
  const auto device = args.options.find("--device");
  if ((port == args.options.end()) == (device == args.options.end())) {
    status = Usage("a logger command needs --port N or --device PATH");
    return std::nullopt;
  }
  if (device != args.options.end()) {
    serial.SetDeviceOverride(device->second);
    return 1;
  }
  const double n = ParseLeadingNumber(port->second);
  if (n < 1 || n > kHighestPort) {
    status = Usage("--port takes a number from 1 to 20");
    return std::nullopt;
  }
  return static_cast<int>(n);
}

// Opens the port, or says why it could not be opened.
bool OpenPort(SerialPort& serial, int port, Prompter& prompter) {
  const PortOpenResult opened = serial.Open(port);
  if (opened.Ok()) return true;
  const PortMessage m = PortOpenMessage(port, opened);
  prompter.Message(m.text, m.title);
  return false;
}

// What a logger command works with: the port it chose, with the console as
// its status area and its windows.
struct Console {
  explicit Console(const Arguments& args) { port = ChosenPort(args, serial, status); }
  QtSerialPort serial;
  CliPrompter prompter;
  QtClock clock;
  CliLinkDialogs dialogs;
  std::function<void(const std::string&)> print = [](const std::string& line) {
    std::cout << Shown(line) << std::endl;
  };
  LinkContext link{serial, clock, prompter, dialogs,
                   [this](const std::string& line) { print(line); }};
  std::optional<int> port;
  int status = kOk;

  // A logger command that failed: its reason, or, when nothing was said, where to look. The
  // lines it printed show how far the exchange went.
  int Failed(const char* command, const std::string& reason = {}) const {
    if (!reason.empty()) {
      std::cerr << "pelvaro-cli: " << command << " failed: " << Shown(reason) << "\n";
    } else if (prompter.messages == 0 && !dialogs.told) {
      std::cerr << "pelvaro-cli: " << command
                << " failed: the logger did not give the answer expected; the lines above show "
                   "how far it went.\n";
    }
    return kFailed;
  }
};

int DownloadRun(const Files& files, const Arguments& args) {
  if (args.positional.size() != 2) return Usage("download takes one SITE");
  const std::string site = SiteArgument(args.positional[1]);
  if (!IsSafeName(site)) return Usage("\"" + args.positional[1] + "\" cannot name a site");
  Console console(args);
  if (!console.port) return console.status;
  console.prompter.yes = args.yes;
  DownloadRequest request;
  request.fixedPort = console.port;
  // As a click on the site in the list: the selection names it.
  const auto clicked = ClickSite(files, console.prompter, site + ".key");
  if (!clicked) return kFailed;
  request.site = *clicked;
  const DownloadResult result = Download(files, console.link, request);
  return result.outcome == DownloadOutcome::Stored ? kOk
                                                   : console.Failed("download", result.reason);
}

// "HH:MM:SS" or "DD-MM-YYYY HH:MM:SS" read by position, as the pickers show them.
std::optional<TimeOfDay> ParseTime(const std::string& text) {
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  return TimeOfDay{std::stoi(text.substr(0, 2)), std::stoi(text.substr(3, 2)),
                   std::stoi(text.substr(6, 2))};
}

int StartRun(const Files& files, const Arguments& args) {
  if (args.positional.size() != 2) return Usage("start takes one SITE");
  const std::string site = SiteArgument(args.positional[1]);
  Console console(args);
  if (!console.port) return console.status;
  QtClock& clock = console.clock;
  StartWindowModel model(files, console.prompter);
  model.UseFixedPort(*console.port);
  model.Load(clock.WallClock());
  const auto entry = FindSiteEntry(model.Sites(), site);
  if (!entry) {
    std::cerr << NoHeaderText(site, files) << "\n";
    return kFailed;
  }
  model.ClickSite(*entry, clock.WallClock());
  model.ChooseMode(StartMode::Immediate, clock.WallClock());
  if (const auto timed = args.options.find("--timed"); timed != args.options.end()) {
    const std::string& text = timed->second;
    const auto time = text.size() == 19 ? ParseTime(text.substr(11)) : std::nullopt;
    if (!time || text[2] != '-' || text[5] != '-') {
      return Usage("--timed takes \"DD-MM-YYYY HH:MM:SS\"");
    }
    model.ChooseMode(StartMode::Timed, clock.WallClock());
    model.Settings().start = {std::stoi(text.substr(6, 4)),
                              std::stoi(text.substr(3, 2)),
                              std::stoi(text.substr(0, 2)),
                              time->hour,
                              time->minute,
                              time->second};
  }
  if (const auto interval = args.options.find("--interval"); interval != args.options.end()) {
    const auto scan = ParseTime(interval->second);
    if (!scan) return Usage("--interval takes HH:MM:SS");
    model.SetScanTime(*scan);
  }
  return model.Start(console.link, {}) ? kOk : console.Failed("start");
}

int TraceRun(const Arguments& args) {
  if (args.positional.size() != 1) return Usage("trace takes no argument");
  const auto sensors = args.options.find("--sensors");
  const double n = sensors == args.options.end() ? 0 : ParseLeadingNumber(sensors->second);
  if (n < 1 || n > 5) return Usage("trace needs --sensors from 1 to 5");
  const auto scans = args.options.find("--scans");
  const double limit = scans == args.options.end() ? 0 : ParseLeadingNumber(scans->second);
  Console console(args);
  if (!console.port) return console.status;
  bool stopped = false;
  console.print = [&stopped](const std::string& line) {
    if (line == "    Trace mode terminated.") stopped = true;
    std::cout << Shown(line) << std::endl;
  };
  if (!OpenPort(console.serial, *console.port, console.prompter)) return kFailed;
  TraceSession trace(console.link, [] {});
  if (!trace.Start(static_cast<int>(n))) return console.Failed("trace");
  while (trace.Active()) {
    if (limit > 0 && trace.Scans() >= limit) {
      trace.Stop();
      break;
    }
    if (console.serial.BytesWaiting() > 0) {
      trace.OnReceive();
    } else {
      console.clock.Wait(0.05);
    }
  }
  return trace.Ended() == TraceEnd::LoggerEnded || stopped ? kOk : console.Failed("trace");
}

int SetSerialRun(const Arguments& args) {
  if (args.positional.size() != 2) return Usage("set-serial takes one NUMBER");
  const double number = ParseLeadingNumber(args.positional[1]);
  if (number < 100 || number > 65535) {
    std::cerr << "Invalid logger serial number.\n";
    return kFailed;
  }
  Console console(args);
  if (!console.port) return console.status;
  if (!OpenPort(console.serial, *console.port, console.prompter)) return kFailed;
  return WriteSerialNumber(console.link, static_cast<int>(number)) ? kOk
                                                                   : console.Failed("set-serial");
}

int Status(const Files& files, const Arguments& args) {
  std::vector<std::string> sites;
  for (auto typed = args.positional.begin() + 1; typed != args.positional.end(); ++typed) {
    sites.push_back(SiteArgument(*typed));
    if (!IsSafeName(sites.back())) return Usage("\"" + *typed + "\" cannot name a site");
  }
  if (sites.empty()) {
    for (const std::string& entry : ListSites(files)) {
      const std::string id = IdentificationOf(entry);
      if (IsSiteIdentification(id)) sites.push_back(id);
    }
  }
  std::vector<SiteOutlook> outlooks;
  int status = kOk;
  for (const std::string& site : sites) {
    // The last event is found in the outlook's own pass over the files.
    outlooks.push_back(ReadSiteEvents(files, site).outlook);
    const SiteOutlook& read = outlooks.back();
    const std::string& error = read.error.empty() ? read.lastEventError : read.error;
    if (error.empty()) continue;
    status = kFailed;
    // The text shows it in the site's block; beside JSON it goes to stderr.
    if (args.json) std::cerr << Shown(error) << "\n";
  }
  if (args.json) {
    std::cout << StatusJson(outlooks);
  } else {
    for (std::size_t i = 0; i < outlooks.size(); ++i) {
      std::cout << (i == 0 ? "" : "\n") << Shown(StatusText(outlooks[i]));
    }
  }
  return status;
}

int Run(const Files& files, const Arguments& args, const std::string& command) {
  if (command == "sites")
    return args.positional.size() == 1 ? Sites(files) : Usage("sites takes no argument");
  if (command == "convert") return Convert(files, args);
  if (command == "export-csv") return ExportCsv(files, args);
  if (command == "export") return Export(files, args);
  if (command == "download") return DownloadRun(files, args);
  if (command == "start") return StartRun(files, args);
  if (command == "trace") return TraceRun(args);
  if (command == "set-serial") return SetSerialRun(args);
  if (command == "status") return Status(files, args);
  if (command == "events") return Events(files, args);
  if (command == "report") return ReportCommand(files, args.positional, args.options, Usage);
  return Usage("unknown command " + command);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto args = Parse(argc, argv, error);
  const auto app = CommandApplication(
      argc, argv, args && !args->positional.empty() && args->positional[0] == "report");
  if (!args) return Usage(error);
  if (args->help) {
    std::cout << kHelp;
    return kOk;
  }
  if (args->version) {
    std::cout << "pelvaro-cli " << kVersion << "\n";
    return kOk;
  }
  if (args->positional.empty()) return Usage("no command given");
  // Paths are taken as the stored names' bytes, as they always were; a SITE
  // typed in UTF-8 is converted to the code page (SiteArgument).
  const Files files(args->root ? NamePath(*args->root) : DefaultRoot());
  try {
    return Run(files, *args, args->positional[0]);
  } catch (const std::exception& e) {
    // A file that could not be read or written on the way: the file and the cause.
    std::cerr << Shown(Printable(e.what())) << "\n";
    return kFailed;
  }
}
