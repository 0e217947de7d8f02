#include "sim/LoggerEngine.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "core/link/Protocol.h"
#include "core/storage/BlockStore.h"

namespace pelvaro::sim {

namespace {

constexpr double kAnswerDelay = 0.005;
constexpr double kByteTime = 1.0 / 480;  // 4800 baud, 10 bits a byte
// Tolerance for instants computed two ways (sums of byte times, clock steps).
constexpr double kEpsilon = 1e-9;
constexpr std::size_t kStartBlockSize = protocol::kStartBlockBytes;
constexpr int kTraceScans = protocol::kLoggerTraceScans;
constexpr std::int64_t kDay = 86400;

char Byte(int value) { return static_cast<char>(value & 0xFF); }

void AppendWords(std::string& out, const std::vector<std::uint16_t>& words) {
  for (std::uint16_t w : words) {
    out += Byte(w);
    out += Byte(w >> 8);
  }
}

int FromBcd(unsigned char b) { return (b >> 4) * 10 + (b & 0x0F); }

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

std::int64_t TimeOfDay(std::int64_t seconds) { return ((seconds % kDay) + kDay) % kDay; }

}  // namespace

ReadingSource::ReadingSource(int sensors, std::uint32_t seed) : rng_(seed) {
  for (int s = 0; s < sensors; ++s) base_.push_back(2800 + static_cast<int>(rng_() % 601));
}

void ReadingSource::AppendScan(std::vector<std::uint16_t>& words, std::int64_t timeOfDay) {
  const double phase = 2 * std::numbers::pi * static_cast<double>(TimeOfDay(timeOfDay)) / kDay;
  const int swing = static_cast<int>(std::lround(60 * std::sin(phase)));
  for (int base : base_) {
    const int noise = static_cast<int>(rng_() % 7) - 3;
    words.push_back(static_cast<std::uint16_t>(base + swing + noise));
  }
}

Run GenerateRun(int serial, int site, int sensors, int startDay, int startSeconds, int interval,
                int scans, std::uint32_t seed) {
  if (sensors < 1 || scans < 0 ||
      static_cast<std::size_t>(scans) * static_cast<std::size_t>(sensors) > kMaxWords) {
    throw std::invalid_argument("the scans do not fit the logger memory");
  }
  Run run{serial, site, sensors, startDay, startSeconds, interval, {}};
  ReadingSource source(sensors, seed);
  run.words.reserve(static_cast<std::size_t>(scans) * static_cast<std::size_t>(sensors));
  for (int i = 0; i < scans; ++i) {
    source.AppendScan(run.words, startSeconds + static_cast<std::int64_t>(i) * interval);
  }
  return run;
}

Run LoadRun(const std::filesystem::path& blockStem) {
  const BlockPaths paths = MakeBlockPaths(blockStem);
  for (const auto& file : {paths.data, paths.header}) {
    if (!std::filesystem::is_regular_file(file)) {
      throw std::runtime_error("missing block file " + PathText(file));
    }
  }
  const RunHeader header = ReadBlockHeader(paths.header).run;
  BlockData data(paths.data, RecordFile::Mode::ReadOnly);
  Run run{header.SerialNumber(), header.SiteNumber(),         header.SensorCount(),
          header.StartDay(),     2 * header.StartTimeUnits(), header.ScanInterval(),
          data.ReadAllWords()};
  if (run.words.size() > kMaxWords) {
    throw std::runtime_error(PathText(blockStem) + " holds more words than a download can carry");
  }
  return run;
}

LoggerEngine::LoggerEngine(Run memory, Faults faults, bool fast)
    : memory_(std::move(memory)), faults_(faults), fast_(fast) {
  if (memory_.words.size() > kMaxWords) {
    throw std::invalid_argument("the run holds more words than a download can carry");
  }
}

void LoggerEngine::Receive(std::string_view bytes, double now) {
  if (faults_.silent) return;
  // Scans due before these bytes went out first, as on the line.
  TraceUpTo(now);
  for (char c : bytes) Handle(static_cast<unsigned char>(c), now);
}

void LoggerEngine::Handle(unsigned char byte, double now) {
  const bool wakeByte = byte == 0x00 || byte == 0x01;
  switch (state_) {
    case State::Asleep:
      if (wakeByte && ++wakeBytes_ >= faults_.greetOnWake) Wake(now);
      break;
    case State::Awake:
      HandleAwake(byte, now);
      break;
    case State::AwaitCr:
      if (byte != '\r') {
        // Not a command after all: the byte counts on its own.
        state_ = State::Awake;
        HandleAwake(byte, now);
      } else if (command_ == protocol::kDownload) {
        Download(now);
      } else {
        input_.clear();
        state_ = command_ == protocol::kStart ? State::ReadStartBlock : State::ReadSerial;
      }
      break;
    case State::ReadStartBlock:
      input_ += static_cast<char>(byte);
      if (input_.size() == kStartBlockSize) StartRun(now);
      break;
    case State::ReadSerial:
      input_ += static_cast<char>(byte);
      if (input_.size() == 2) {
        memory_.serialNumber =
            static_cast<unsigned char>(input_[0]) + 256 * static_cast<unsigned char>(input_[1]);
        log_.push_back("serial " + std::to_string(memory_.serialNumber));
        Sleep();
      }
      break;
    case State::AwaitTraceCount:
      if (byte >= 1 && byte <= 5) {
        traceSensors_ = byte;
        traceScans_ = 0;
        traceStart_ = now;
        traceSource_.emplace(traceSensors_, 2);
        state_ = State::Tracing;
        log_.push_back("trace " + std::to_string(traceSensors_) + " sensors");
      } else {
        state_ = State::Awake;
        HandleAwake(byte, now);
      }
      break;
    case State::Downloading:
      if (byte == 0x00) {
        // A closing byte before the memory is out means the host gave up:
        // what is still queued is never sent.
        if (const std::size_t dropped = DropQueued(now); dropped > 0) {
          log_.push_back("download stopped by host, " + std::to_string(dropped) +
                         " bytes not sent");
        }
        Sleep();
      }
      break;
    case State::Tracing:
      if (byte == 0x00) {
        log_.push_back("trace stopped by host");
        Send(Greeting(), now + kAnswerDelay);
        Sleep();
      }
      break;
  }
}

void LoggerEngine::HandleAwake(unsigned char byte, double now) {
  switch (byte) {
    case 0x00:
    case 0x01:
      Wake(now);
      break;
    case protocol::kDownload:
    case protocol::kStart:
    case protocol::kSerialNumber:
      command_ = static_cast<char>(byte);
      state_ = State::AwaitCr;
      break;
    case protocol::kTrace:
      state_ = State::AwaitTraceCount;
      break;
    default:
      break;
  }
}

void LoggerEngine::Wake(double now) {
  Send(Greeting(), now + kAnswerDelay);
  state_ = State::Awake;
}

void LoggerEngine::Sleep() {
  state_ = State::Asleep;
  wakeBytes_ = 0;
  input_.clear();
}

std::string LoggerEngine::Greeting() const {
  return faults_.wrongGreeting ? "HI?\r" : std::string(protocol::kGreeting);
}

void LoggerEngine::Send(std::string bytes, double at) {
  if (bytes.empty()) return;
  // An answer waits for the line when earlier output is still going out.
  const double start = std::max(at, lineFree_);
  Chunk chunk{std::move(bytes), 0, fast_ ? start : start + kByteTime, fast_ ? 0 : kByteTime};
  lineFree_ = chunk.firstDue + static_cast<double>(chunk.bytes.size() - 1) * chunk.step;
  output_.push_back(std::move(chunk));
}

void LoggerEngine::Download(double now) {
  const Run& run = Memory(now);
  const int count = faults_.emptyMemory ? 0 : static_cast<int>(2 * run.words.size());
  std::string bytes{Byte(count >> 8), Byte(count)};
  if (count > 0) {
    const RunHeader header = MakeRunHeader(run.startDay, run.startSeconds, run.interval,
                                           run.siteNumber, run.serialNumber, run.sensors);
    bytes.append(header.b.begin(), header.b.end());
    std::string data;
    AppendWords(data, run.words);
    if (faults_.silentAfter) {
      data.resize(std::clamp<std::size_t>(
          static_cast<std::size_t>(std::max(0L, *faults_.silentAfter)), 0, data.size()));
    }
    bytes += data;
  }
  std::string line = "download " + std::to_string(count) + " bytes";
  if (faults_.silentAfter && count > 0) {
    line += ", silent after " + std::to_string(*faults_.silentAfter);
  }
  log_.push_back(std::move(line));
  Send(std::move(bytes), now + kAnswerDelay);
  state_ = State::Downloading;
}

void LoggerEngine::StartRun(double now) {
  const auto b = [this](int n) { return static_cast<unsigned char>(input_[n - 1]); };
  std::string echo = input_;
  if (faults_.badEcho) echo[19] = static_cast<char>(echo[19] ^ 0xFF);
  Send(std::move(echo), now + kAnswerDelay);

  memory_.startDay = b(1) + 256 * b(2);
  memory_.startSeconds = 2 * (b(3) + 256 * b(4));
  memory_.interval = b(5) + 256 * b(6);
  memory_.siteNumber = b(8);
  memory_.sensors = b(12);
  memory_.words.clear();
  double delay = 0;
  if (b(13) == 2) {
    const auto clock = [&](int s) {
      return FromBcd(b(s)) + 60 * FromBcd(b(s + 1)) + 3600 * FromBcd(b(s + 2));
    };
    delay = static_cast<double>(TimeOfDay(clock(26) - clock(18)));
  }
  const auto seed = static_cast<std::uint32_t>(memory_.startDay * kDay + memory_.startSeconds);
  live_.emplace(LiveRun{now + delay, ReadingSource(memory_.sensors, seed), {}});
  log_.push_back("start " + Hex(input_));
  Sleep();
}

const Run& LoggerEngine::Memory(double now) {
  if (!live_) return memory_;
  std::size_t scans = 0;
  if (memory_.sensors > 0 && now + kEpsilon >= live_->firstScan) {
    scans = 1;
    if (memory_.interval > 0) {
      scans += static_cast<std::size_t>(
          std::floor((now - live_->firstScan) / memory_.interval + kEpsilon));
    }
    scans = std::min(scans, kMaxWords / static_cast<std::size_t>(memory_.sensors));
  }
  // Scans are generated once, in order, so an earlier instant sees a prefix.
  const std::size_t words = scans * static_cast<std::size_t>(std::max(memory_.sensors, 0));
  while (live_->words.size() < words) {
    const auto index = static_cast<std::int64_t>(live_->words.size()) / memory_.sensors;
    live_->source.AppendScan(live_->words, memory_.startSeconds + index * memory_.interval);
  }
  memory_.words.assign(live_->words.begin(),
                       live_->words.begin() + static_cast<std::ptrdiff_t>(words));
  return memory_;
}

void LoggerEngine::TraceUpTo(double now) {
  while (state_ == State::Tracing && traceStart_ + traceScans_ + 1 <= now + kEpsilon) {
    ++traceScans_;
    const double at = traceStart_ + traceScans_;
    std::vector<std::uint16_t> words;
    traceSource_->AppendScan(words, static_cast<std::int64_t>(at));
    std::string bytes;
    AppendWords(bytes, words);
    if (traceScans_ == kTraceScans) {
      // The logger ends a trace by itself to save its battery.
      bytes += "Hi";
      log_.push_back("trace ended after " + std::to_string(kTraceScans) + " scans");
      Sleep();
    }
    Send(std::move(bytes), at);
  }
}

std::size_t LoggerEngine::DropQueued(double now) {
  std::size_t dropped = 0;
  for (Chunk& chunk : output_) {
    const std::size_t keep = chunk.taken + DueCount(chunk, now);
    dropped += chunk.bytes.size() - keep;
    chunk.bytes.resize(keep);
  }
  std::erase_if(output_, [](const Chunk& chunk) { return chunk.taken == chunk.bytes.size(); });
  lineFree_ = now;
  return dropped;
}

std::size_t LoggerEngine::DueCount(const Chunk& chunk, double now) const {
  if (now + kEpsilon < chunk.firstDue) return 0;
  std::size_t due = chunk.bytes.size();
  if (chunk.step > 0) {
    const double passed = std::floor((now - chunk.firstDue) / chunk.step + 1e-6);
    due = std::min(due, static_cast<std::size_t>(passed) + 1);
  }
  return due > chunk.taken ? due - chunk.taken : 0;
}

int LoggerEngine::Ready(double now) {
  TraceUpTo(now);
  std::size_t ready = 0;
  for (const Chunk& chunk : output_) {
    const std::size_t due = DueCount(chunk, now);
    ready += due;
    if (chunk.taken + due < chunk.bytes.size()) break;
  }
  return static_cast<int>(ready);
}

std::string LoggerEngine::Take(int n, double now) {
  TraceUpTo(now);
  std::string out;
  while (!output_.empty() && static_cast<int>(out.size()) < n) {
    Chunk& chunk = output_.front();
    const std::size_t count =
        std::min(DueCount(chunk, now), static_cast<std::size_t>(n) - out.size());
    out.append(chunk.bytes, chunk.taken, count);
    chunk.taken += count;
    if (chunk.taken < chunk.bytes.size()) break;
    output_.pop_front();
  }
  return out;
}

std::optional<double> LoggerEngine::NextDue() const {
  std::optional<double> next;
  if (!output_.empty()) {
    const Chunk& chunk = output_.front();
    next = chunk.firstDue + static_cast<double>(chunk.taken) * chunk.step;
  }
  if (state_ == State::Tracing) {
    const double scan = traceStart_ + traceScans_ + 1;
    next = next ? std::min(*next, scan) : scan;
  }
  return next;
}

std::vector<std::string> LoggerEngine::TakeLog() { return std::exchange(log_, {}); }

}  // namespace pelvaro::sim
