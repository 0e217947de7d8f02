// pelvaro-sim: the logger simulator on a pseudo-terminal, so the programs can
// be pointed at a serial device that answers like the real logger.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/storage/DayNumbers.h"
#include "sim/LoggerEngine.h"

namespace {

using pelvaro::sim::Faults;
using pelvaro::sim::LoggerEngine;
using pelvaro::sim::Run;

constexpr char kHelp[] =
    R"(Usage: pelvaro-sim [OPTION]...
Serves a simulated soil-moisture logger on a pseudo-terminal. The first line
printed is the path of the terminal to open as the serial port; after it comes
one line for every command the logger serves. Stops on Ctrl-C or SIGTERM.

The logger's memory, when --memory is not given (defaults in brackets):
  --serial N          logger serial number, 0..65535 [3001]
  --site N            site number, 0..255 [1]
  --sensors N         sensors per scan, 1..5 [4]
  --start "DD-MM-YYYY HH:MM:SS"
                      start of the run [06-12-2026 08:00:00]
  --interval SECONDS  seconds between scans, 1..65535 [900]
  --scans N           scans held; scans x sensors at most 32767 [300]
  --memory BLOCKSTEM  hold the block stored as BLOCKSTEM.DAT and BLOCKSTEM.KEY
                      instead (the options above are then ignored)

The line:
  --fast              send every answer at once instead of at 4800 baud
  --link PATH         also make PATH a symbolic link to the terminal while
                      serving (removed on exit)
  --fault NAME[=K]    misbehave; may be given more than once:
                        silent          never answer
                        wrong-greeting  greet with "HI?" instead of "Hi!"
                        greet-on=K      greet only on the K-th wake byte
                        silent-after=K  a download goes silent after K data bytes
                        bad-echo        the start echo has byte 20 altered
                        empty           a download reports an empty memory
  --help              show this text
  --version           show the version

Exit status: 0 when stopped by a signal, 1 on failure, 2 on a bad option.
)";

struct Options {
  int serial = 3001;
  int site = 1;
  int sensors = 4;
  int day = 6, month = 12, year = 2026;
  int startSeconds = 8 * 3600;
  int interval = 900;
  int scans = 300;
  std::optional<std::string> memory;
  bool fast = false;
  std::optional<std::string> link;
  Faults faults;
};

struct BadOption : std::runtime_error {
  using std::runtime_error::runtime_error;
};

long ParseNumber(std::string_view text, long low, long high, std::string_view what) {
  long value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
      value > high) {
    throw BadOption(std::string(what) + " must be a number from " + std::to_string(low) + " to " +
                    std::to_string(high) + ", not \"" + std::string(text) + "\"");
  }
  return value;
}

void ParseStart(const std::string& text, Options& o) {
  int h = 0, m = 0, s = 0, used = 0;
  if (std::sscanf(text.c_str(), "%2d-%2d-%4d %2d:%2d:%2d%n", &o.day, &o.month, &o.year, &h, &m, &s,
                  &used) != 6 ||
      used != static_cast<int>(text.size()) || h > 23 || m > 59 || s > 59 || h < 0 || m < 0 ||
      s < 0 || o.month < 1 || o.month > 12 || o.day < 1 || o.day > 31 || o.year < 1996) {
    throw BadOption("--start wants \"DD-MM-YYYY HH:MM:SS\" from 1996 on, not \"" + text + "\"");
  }
  o.startSeconds = h * 3600 + m * 60 + s;
}

void ParseFault(const std::string& text, Faults& faults) {
  const auto eq = text.find('=');
  const std::string name = text.substr(0, eq);
  const std::optional<std::string> k =
      eq == std::string::npos ? std::nullopt : std::optional(text.substr(eq + 1));
  const bool wantsK = name == "greet-on" || name == "silent-after";
  if (wantsK != k.has_value()) {
    throw BadOption(wantsK ? "--fault " + name + " needs =K" : "--fault " + name + " takes no =K");
  }
  if (name == "silent") {
    faults.silent = true;
  } else if (name == "wrong-greeting") {
    faults.wrongGreeting = true;
  } else if (name == "greet-on") {
    faults.greetOnWake = static_cast<int>(ParseNumber(*k, 1, 1000, "greet-on"));
  } else if (name == "silent-after") {
    faults.silentAfter = ParseNumber(*k, 0, 65534, "silent-after");
  } else if (name == "bad-echo") {
    faults.badEcho = true;
  } else if (name == "empty") {
    faults.emptyMemory = true;
  } else {
    throw BadOption("unknown fault \"" + name + "\"");
  }
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw BadOption(option + " needs a value");
      return argv[++i];
    };
    if (option == "--serial") {
      o.serial = static_cast<int>(ParseNumber(value(), 0, 65535, option));
    } else if (option == "--site") {
      o.site = static_cast<int>(ParseNumber(value(), 0, 255, option));
    } else if (option == "--sensors") {
      o.sensors = static_cast<int>(ParseNumber(value(), 1, 5, option));
    } else if (option == "--start") {
      ParseStart(value(), o);
    } else if (option == "--interval") {
      o.interval = static_cast<int>(ParseNumber(value(), 1, 65535, option));
    } else if (option == "--scans") {
      o.scans = static_cast<int>(ParseNumber(value(), 0, 32767, option));
    } else if (option == "--memory") {
      o.memory = value();
    } else if (option == "--fast") {
      o.fast = true;
    } else if (option == "--link") {
      o.link = value();
    } else if (option == "--fault") {
      ParseFault(value(), o.faults);
    } else {
      throw BadOption("unknown option " + option);
    }
  }
  if (!o.memory &&
      static_cast<long>(o.scans) * o.sensors > static_cast<long>(pelvaro::sim::kMaxWords)) {
    throw BadOption("--scans x --sensors must not exceed 32767");
  }
  return o;
}

Run MakeMemory(const Options& o) {
  if (o.memory) return pelvaro::sim::LoadRun(*o.memory);
  int day = 0;
  try {
    day = pelvaro::DateToDayNumber(o.day, o.month, o.year);
  } catch (const std::exception&) {
    throw BadOption("--start lies beyond the logger's calendar");
  }
  return pelvaro::sim::GenerateRun(o.serial, o.site, o.sensors, day, o.startSeconds, o.interval,
                                   o.scans);
}

volatile std::sig_atomic_t stopRequested = 0;
extern "C" void RequestStop(int) { stopRequested = 1; }

[[noreturn]] void Fail(const std::string& what) {
  std::cerr << "pelvaro-sim: " << what << ": " << std::strerror(errno) << '\n';
  std::exit(1);
}

// The master side of a pseudo-terminal whose slave is raw, so 0x00, 0x01 and
// CR pass untouched and nothing is echoed. The slave stays open here as well:
// without it the master would hang up each time a client closes the port.
struct Terminal {
  int master = -1;
  int slave = -1;
  std::string slavePath;
};

Terminal OpenTerminal() {
  Terminal t;
  t.master = posix_openpt(O_RDWR | O_NOCTTY);
  if (t.master < 0 || grantpt(t.master) != 0 || unlockpt(t.master) != 0) Fail("no pseudo-terminal");
  const char* name = ptsname(t.master);
  if (name == nullptr) Fail("no pseudo-terminal name");
  t.slavePath = name;
  t.slave = open(name, O_RDWR | O_NOCTTY);
  if (t.slave < 0) Fail("cannot open " + t.slavePath);
  termios raw{};
  if (tcgetattr(t.slave, &raw) != 0) Fail("cannot read the terminal settings");
  cfmakeraw(&raw);
  cfsetispeed(&raw, B4800);
  cfsetospeed(&raw, B4800);
  if (tcsetattr(t.slave, TCSANOW, &raw) != 0) Fail("cannot make the terminal raw");
  const int flags = fcntl(t.master, F_GETFL);
  if (flags < 0 || fcntl(t.master, F_SETFL, flags | O_NONBLOCK) != 0) Fail("cannot set O_NONBLOCK");
  return t;
}

// Returns the exit status.
int Serve(LoggerEngine& engine, int master) {
  const auto origin = std::chrono::steady_clock::now();
  const auto now = [&] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - origin).count();
  };
  std::string pending;  // due bytes the terminal has no room for yet
  double lastProgress = now();
  while (stopRequested == 0) {
    const double t = now();
    if (const int ready = engine.Ready(t); ready > 0) pending += engine.Take(ready, t);
    while (!pending.empty()) {
      const ssize_t n = write(master, pending.data(), pending.size());
      if (n <= 0) break;
      pending.erase(0, static_cast<std::size_t>(n));
      lastProgress = t;
    }
    // Nobody reads the line: like a real line, the bytes are lost.
    if (pending.empty() || t - lastProgress > 1.0) {
      pending.clear();
      lastProgress = t;
    }
    for (const std::string& line : engine.TakeLog()) std::cout << line << std::endl;

    // Signals interrupt poll; the cap covers one landing just before it.
    int timeoutMs = 250;
    if (const auto due = engine.NextDue()) {
      timeoutMs = static_cast<int>(std::clamp(std::ceil((*due - now()) * 1000), 0.0, 250.0));
    }
    pollfd fd{master, static_cast<short>(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0};
    if (poll(&fd, 1, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      std::perror("pelvaro-sim: poll");
      return 1;
    }
    if ((fd.revents & POLLIN) != 0) {
      char buffer[4096];
      const ssize_t n = read(master, buffer, sizeof buffer);
      if (n > 0) {
        engine.Receive(std::string_view(buffer, static_cast<std::size_t>(n)), now());
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        std::perror("pelvaro-sim: read");
        return 1;
      }
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--help") {
      std::cout << kHelp;
      return 0;
    }
    if (std::string_view(argv[i]) == "--version") {
      std::cout << "pelvaro-sim " PELVARO_VERSION "\n";
      return 0;
    }
  }
  Options options;
  std::optional<LoggerEngine> engine;
  try {
    options = ParseOptions(argc, argv);
    engine.emplace(MakeMemory(options), options.faults, options.fast);
  } catch (const BadOption& e) {
    std::cerr << "pelvaro-sim: " << e.what() << "\nTry pelvaro-sim --help.\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "pelvaro-sim: " << e.what() << '\n';
    return 1;
  }

  const Terminal terminal = OpenTerminal();

  if (options.link) {
    std::error_code ec;
    if (std::filesystem::is_symlink(*options.link, ec)) std::filesystem::remove(*options.link, ec);
    std::filesystem::create_symlink(terminal.slavePath, *options.link, ec);
    if (ec) {
      std::cerr << "pelvaro-sim: cannot link " << *options.link << ": " << ec.message() << '\n';
      return 1;
    }
  }

  struct sigaction action {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // Printed last, so a reader of this line finds the link and the handlers in place.
  std::cout << terminal.slavePath << std::endl;

  const int status = Serve(*engine, terminal.master);

  if (options.link) {
    std::error_code ec;
    std::filesystem::remove(*options.link, ec);
  }
  close(terminal.slave);
  close(terminal.master);
  return status;
}
