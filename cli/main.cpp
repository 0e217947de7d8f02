// pelvaro-cli: the program's operations without a window, for scripts and
// headless stations.
#include <cstdlib>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>

#include "cli/CliPrompter.h"
#include "core/link/PortMap.h"
#include "core/operations/Conversion.h"
#include "core/operations/Download.h"
#include "core/shell/MainMenu.h"
#include "core/shell/SiteCatalogue.h"
#include "core/shell/Startup.h"
#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"
#include "core/storage/SiteHeader.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtSerialPort.h"

namespace {

using namespace pelvaro;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char kHelp[] =
    "Usage: pelvaro-cli [--root DIR] COMMAND [ARGS]\n"
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
    "  download SITE (--port N | --device PATH) [--yes]\n"
    "      Reads the logger's run and stores it as the site's next data block,\n"
    "      then converts the site. Status lines go to stdout.\n"
    "      --port N      the port number 1..20 (see the port map in README.md)\n"
    "      --device PATH the serial device itself, e.g. a simulator's pty\n"
    "      --yes         accept a run whose site number or serial number\n"
    "                    differs from the site's (default: refuse it)\n"
    "      Exit status 0 only when a block was stored.\n"
    "\n"
    "Messages the window would show go to stderr. Exit status: 0 success,\n"
    "1 a reported failure, 2 a usage error.\n";

int Usage(const std::string& why) {
  std::cerr << "pelvaro-cli: " << why << "\n\n" << kHelp;
  return kUsage;
}

struct Arguments {
  std::optional<std::string> root;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // --name value
  bool help = false;
  bool yes = false;
};

// Options that take a value; every other "--" word is an error.
const std::vector<std::string> kValueOptions = {"--root", "--dir", "--sensors", "--port",
                                                "--device"};

std::optional<Arguments> Parse(int argc, char** argv, std::string& error) {
  Arguments args;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--help" || word == "-h") {
      args.help = true;
    } else if (word == "--yes") {
      args.yes = true;
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
  for (const std::string& entry : ListSites(files)) std::cout << IdentificationOf(entry) << "\n";
  return kOk;
}

int Convert(const Files& files, const Arguments& args) {
  if (args.positional.size() != 2) return Usage("convert takes one SITE");
  const std::string& site = args.positional[1];
  if (!IsSafeName(site)) return Usage("\"" + site + "\" cannot name a site");
  CliPrompter prompter;
  if (auto it = args.options.find("--sensors"); it != args.options.end())
    prompter.answer = it->second;
  std::string dir;
  if (auto it = args.options.find("--dir"); it != args.options.end()) {
    dir = it->second;
  } else {
    if (!Files::FileExists(files.HeaderPath(site))) {
      std::cerr << "The site " << site << " has no header file in " << files.HeaderFolder() << "\n";
      return kFailed;
    }
    SiteHeader header(files.HeaderPath(site), RecordFile::Mode::ReadOnly);
    dir = Trim(header.ReadRecord(header::kDataDirectory));
  }
  return TimedDat(files, prompter, site, dir, ConversionCaller::Download) ? kOk : kFailed;
}

// The link's windows, as lines on stderr.
class CliLinkDialogs : public LinkDialogs {
 public:
  bool NotResponding() override {
    std::cerr << "Logger is not responding. Use Help to troubleshoot.\n";
    return false;
  }
  void Help() override {}
  std::optional<int> ChoosePort() override { return std::nullopt; }
};

int DownloadRun(const Files& files, const Arguments& args) {
  if (args.positional.size() != 2) return Usage("download takes one SITE");
  const std::string& site = args.positional[1];
  if (!IsSafeName(site)) return Usage("\"" + site + "\" cannot name a site");
  const auto port = args.options.find("--port");
  const auto device = args.options.find("--device");
  if ((port == args.options.end()) == (device == args.options.end())) {
    return Usage("download needs --port N or --device PATH");
  }
  DownloadRequest request;
  request.fixedPort = 1;
  QtSerialPort serial;
  if (port != args.options.end()) {
    const double n = ParseLeadingNumber(port->second);
    if (n < 1 || n > kHighestPort) return Usage("--port takes a number from 1 to 20");
    request.fixedPort = static_cast<int>(n);
  } else {
    serial.SetDeviceOverride(device->second);
  }
  CliPrompter prompter;
  prompter.yes = args.yes;
  // As a click on the site in the list: the selection names it.
  const auto clicked = ClickSite(files, prompter, site + ".key");
  if (!clicked) return kFailed;
  request.site = *clicked;
  QtClock clock;
  CliLinkDialogs dialogs;
  LinkContext link{serial, clock, prompter, dialogs,
                   [](const std::string& line) { std::cout << line << std::endl; }};
  const DownloadResult result = Download(files, link, request);
  return result.outcome == DownloadOutcome::Stored ? kOk : kFailed;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::string error;
  const auto args = Parse(argc, argv, error);
  if (!args) return Usage(error);
  if (args->help) {
    std::cout << kHelp;
    return kOk;
  }
  if (args->positional.empty()) return Usage("no command given");
  const Files files(args->root ? fs::path(*args->root) : DefaultRoot());
  try {
    const std::string& command = args->positional[0];
    if (command == "sites")
      return args->positional.size() == 1 ? Sites(files) : Usage("sites takes no argument");
    if (command == "convert") return Convert(files, *args);
    if (command == "download") return DownloadRun(files, *args);
    return Usage("unknown command " + command);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return kFailed;
  }
}
