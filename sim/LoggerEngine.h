#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/link/Protocol.h"

// A stand-in for the soil-moisture logger at the far end of the serial line:
// it answers the host byte for byte with the logger's timing, so the host's
// exchanges can be exercised without hardware. Time is whatever the caller
// passes as `now` (seconds), so a virtual clock drives it as well as a real one.
namespace pelvaro::sim {

// The logger's memory: one logging run.
struct Run {
  int serialNumber = 3001;
  int siteNumber = 1;
  int sensors = 4;
  int startDay = 0;
  int startSeconds = 0;  // time of day
  int interval = 900;    // seconds between scans
  std::vector<std::uint16_t> words;
};

// The most words a download can announce: its byte count has 16 bits.
inline constexpr std::size_t kMaxWords = protocol::kMemoryWords;

// A run of plausible readings; the same arguments give the same words, and a
// longer run starts with the words of a shorter one. Throws
// std::invalid_argument when the scans do not fit the memory.
Run GenerateRun(int serial, int site, int sensors, int startDay, int startSeconds, int interval,
                int scans, std::uint32_t seed = 1);
// The run stored as <stem>.DAT and <stem>.KEY. Throws std::runtime_error when
// either file is missing or the data does not fit the memory.
Run LoadRun(const std::filesystem::path& blockStem);

struct Faults {
  bool silent = false;                // answers nothing at all
  bool wrongGreeting = false;         // greets with "HI?\r"
  int greetOnWake = 1;                // greets on the k-th wake byte after start-up or a command
  std::optional<long> silentAfter{};  // a download stops after this many data bytes
  bool badEcho = false;               // the start echo has byte 20 altered
  bool emptyMemory = false;           // a download announces 0 bytes
};

// Readings that drift with the time of day, from a seeded generator whose raw
// output is used directly so every platform draws the same numbers.
class ReadingSource {
 public:
  ReadingSource(int sensors, std::uint32_t seed);
  void AppendScan(std::vector<std::uint16_t>& words, std::int64_t timeOfDay);

 private:
  std::mt19937 rng_;
  std::vector<int> base_;
};

class LoggerEngine {
 public:
  // Throws std::invalid_argument when the memory holds more than kMaxWords.
  explicit LoggerEngine(Run memory, Faults faults = {}, bool fast = false);

  // Bytes from the host, all arriving at `now`.
  void Receive(std::string_view bytes, double now);
  // Output bytes due by `now` and not yet taken (brings trace scans up to date).
  int Ready(double now);
  // Takes up to n due bytes.
  std::string Take(int n, double now);
  // When the next output byte or trace scan falls due; none when idle.
  std::optional<double> NextDue() const;
  // One line per command served since the last call.
  std::vector<std::string> TakeLog();
  // The run as a download at `now` would send it.
  const Run& Memory(double now);
  int SerialNumber() const { return memory_.serialNumber; }

 private:
  enum class State {
    Asleep,
    Awake,
    AwaitCr,          // a command letter came, its CR has not
    ReadStartBlock,   // collecting the 41 start bytes
    ReadSerial,       // collecting the 2 serial-number bytes
    AwaitTraceCount,  // "T" came, the sensor count has not
    Downloading,      // memory sent, waiting for the host's closing 0x00
    Tracing,
  };
  // A stretch of output whose byte i falls due at firstDue + i * step.
  struct Chunk {
    std::string bytes;
    std::size_t taken = 0;
    double firstDue = 0;
    double step = 0;
  };
  // A run started over the line: its scans accrue as time passes.
  struct LiveRun {
    double firstScan = 0;
    ReadingSource source;
    std::vector<std::uint16_t> words;  // every scan generated so far
  };

  void Handle(unsigned char byte, double now);
  void HandleAwake(unsigned char byte, double now);
  void Wake(double now);
  void Sleep();
  void Send(std::string bytes, double at);
  std::string Greeting() const;
  void Download(double now);
  void StartRun(double now);
  void TraceUpTo(double now);
  std::size_t DueCount(const Chunk& chunk, double now) const;
  // Forgets the output not yet due by `now`; returns how many bytes that was.
  std::size_t DropQueued(double now);

  Run memory_;
  Faults faults_;
  bool fast_;
  State state_ = State::Asleep;
  char command_ = 0;
  int wakeBytes_ = 0;
  std::string input_;  // parameter bytes of the command being read
  std::deque<Chunk> output_;
  double lineFree_ = 0;  // when the last queued byte is due
  std::optional<LiveRun> live_;
  int traceSensors_ = 0;
  int traceScans_ = 0;
  double traceStart_ = 0;
  std::optional<ReadingSource> traceSource_;
  std::vector<std::string> log_;
};

}  // namespace pelvaro::sim
