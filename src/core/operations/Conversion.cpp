#include "core/operations/Conversion.h"

#include <array>
#include <cmath>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "core/platform/WriterLock.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/GraphFile.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/SiteRepair.h"
#include "core/storage/StateFiles.h"
#include "core/storage/SummaryFile.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kMaxSlots = header::kMaxDepthSlots;
constexpr int kSecondsPerDay = 86400;

void ShowCalibrationError(Prompter& prompter, const IoError& e) {
  prompter.Message(std::string(kCalibrationError) + "\r\n\r\n" + e.what(), "", Buttons::Ok,
                   Icon::None);
}

// A failure that ends the run with the calibration error message.
struct CalibrationFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a step of the run ended: Ended when its message has been shown and the
// run stops there.
enum class Step { Done, Ended };

struct Slot {
  float offset = 0;
  float slope = 0;
  float fieldCapacity = 0;
  float refill = 0;
  bool enabled = false;
};

// The header's calibration of the site's depth slots, read once per run.
struct Calibration {
  std::array<Slot, kMaxSlots> slots{};
  std::array<int, kMaxSlots> enabled{};  // the enabled slots' indices, in slot order
  int enabledCount = 0;

  std::span<const int> Enabled() const {
    return {enabled.data(), static_cast<std::size_t>(enabledCount)};
  }
};

Calibration ReadCalibration(SiteHeader& header, int slotCount) {
  Calibration c;
  for (int s = 1; s <= slotCount; ++s) {
    const int base = header::CalibrationBase(s);
    Slot& slot = c.slots[static_cast<std::size_t>(s - 1)];
    slot.offset = static_cast<float>(header.ReadNumber(base + header::kOffset));
    slot.slope = static_cast<float>(header.ReadNumber(base + header::kSlope));
    slot.fieldCapacity = static_cast<float>(header.ReadNumber(base + header::kFieldCapacity));
    slot.refill = static_cast<float>(header.ReadNumber(base + header::kRefill));
    slot.enabled = header.ReadRecord(base + header::kState) == "ON";
    if (slot.enabled) c.enabled[static_cast<std::size_t>(c.enabledCount++)] = s - 1;
  }
  return c;
}

double Calibrate(const Slot& slot, std::uint16_t raw) {
  if (slot.slope == 0) throw CalibrationFailure("Division by zero");
  return std::floor((static_cast<double>(slot.offset) - raw) * 10.0) / slot.slope;
}

// Where the first block's run starts, as both files record it.
CalibratedStart StartOf(const RunHeader& run) {
  const int day = run.StartDay();
  const long time = 2L * run.StartTimeUnits();
  const long hours = time / 3600;
  const long minutes = (time - hours * 3600) / 60;
  const long seconds = time - hours * 3600 - minutes * 60;
  return {DayNumberToYear(day), DayNumberToDayMonth(day),
          TwoDigitText(static_cast<int>(hours)) + ":" + TwoDigitText(static_cast<int>(minutes)) +
              ":" + TwoDigitText(static_cast<int>(seconds)),
          day, time};
}

// One scan: when it was taken, its calibrated readings, and whether the step
// to the next scan passes midnight.
struct Scan {
  long time = 0;  // seconds into its day
  double dateTime = 0;
  std::array<double, kMaxSlots> values{};  // by slot; only the enabled slots are set
  bool passesMidnight = false;
  double nextDateTime = 0;  // the next day's date-time, when it passes midnight
};

// Walks a block's scans in the order the logger took them: the reading count
// steps by the block's sensor count, and each scan reads one word per enabled
// sensor.
class ScanWalker {
 public:
  ScanWalker(const RunHeader& run, std::vector<std::uint16_t> words, double readings, int step,
             const Calibration& calibration)
      : calibration_(calibration),
        words_(std::move(words)),
        readings_(readings),
        step_(step),
        interval_(run.ScanInterval()),
        day_(run.StartDay()),
        time_(2L * run.StartTimeUnits()) {}

  int Interval() const { return interval_; }
  int StepSize() const { return step_; }

  // The next scan, false after the last.
  bool Next(Scan& scan) {
    if (k_ > readings_) return false;
    scan.time = time_;
    scan.dateTime = day_ + static_cast<double>(time_) / kSecondsPerDay;
    for (int s : calibration_.Enabled()) {
      const auto slot = static_cast<std::size_t>(s);
      scan.values[slot] = Calibrate(calibration_.slots[slot], NextWord());
    }
    time_ += interval_;
    scan.passesMidnight = time_ > kSecondsPerDay;
    if (scan.passesMidnight) {
      time_ -= kSecondsPerDay;
      ++day_;
      scan.nextDateTime = day_ + static_cast<double>(time_) / kSecondsPerDay;
    }
    k_ += step_;
    return true;
  }

 private:
  std::uint16_t NextWord() {
    // A reading beyond the end of the file (an incomplete last scan) is 0.
    const std::uint16_t w = pointer_ < words_.size() ? words_[pointer_] : 0;
    ++pointer_;
    return w;
  }

  const Calibration& calibration_;
  std::vector<std::uint16_t> words_;
  std::uint64_t pointer_ = 0;  // the next reading, counted from 0
  double readings_;
  double k_ = 1;  // the reading count at the scan's first reading
  int step_;
  int interval_;
  int day_;
  long time_;
};

// The day windows in which a summary group is taken.
struct Window {
  int from;
  int to;
};
constexpr std::array<Window, 3> kWindows = {{{21600, 28800}, {43200, 50400}, {64800, 72000}}};

// The summary's groups: the first scan, the first scan inside each day
// window, and each midnight. A group averages the readings since the one
// before and gives each sensor's rate of change per day.
class SummaryWriter {
 public:
  // Starts the summary file empty.
  explicit SummaryWriter(const fs::path& path) : file_(path) {}

  void WriteHead(const SummaryRun& run, const CalibratedStart& start,
                 const Calibration& calibration) {
    file_.WriteHead(run, start);
    calibration_ = &calibration;
  }
  // The readings per scan of the block whose scans follow.
  void SetStep(int step) { step_ = step; }

  void Add(const Scan& scan) {
    for (int s : calibration_->Enabled()) {
      const auto slot = static_cast<std::size_t>(s);
      sums_[slot] = static_cast<float>(sums_[slot] + scan.values[slot]);
      ++accumulated_;
    }
    if (firstScan_) {
      firstScan_ = false;
      WriteFirstGroup(scan);
    } else {
      TakeWindows(scan);
    }
    if (scan.passesMidnight) {
      WriteGroup(scan.nextDateTime, true);
      windowTaken_ = {false, false, false};
      ResetSums();
    }
  }

  void WriteTotals() { file_.WriteTotals(groupCount_); }
  void Flush() { file_.Flush(); }
  void Close() { file_.Close(); }

 private:
  void WriteFirstGroup(const Scan& scan) {
    file_.WriteGroupTime(scan.dateTime);
    ++groupCount_;
    lastGroupTime_ = static_cast<float>(scan.dateTime);
    for (int s : calibration_->Enabled()) {
      const auto slot = static_cast<std::size_t>(s);
      const Slot& calibration = calibration_->slots[slot];
      file_.WriteSensor(s + 1, scan.values[slot], calibration.fieldCapacity, calibration.refill, 0);
      lastValues_[slot] = static_cast<float>(scan.values[slot]);
    }
  }

  void TakeWindows(const Scan& scan) {
    for (std::size_t w = 0; w < kWindows.size(); ++w) {
      if (scan.time > kWindows[w].from && scan.time < kWindows[w].to && !windowTaken_[w]) {
        if (static_cast<float>(scan.dateTime) != lastGroupTime_) WriteGroup(scan.dateTime, false);
        windowTaken_[w] = true;
        ResetSums();
      }
    }
  }

  void WriteGroup(double dateTime, bool midnight) {
    file_.WriteGroupTime(dateTime);
    ++groupCount_;
    const double span = (dateTime - static_cast<double>(lastGroupTime_)) * 24;
    if (span == 0) throw CalibrationFailure("Division by zero");
    const double factor = 24 / span;
    lastGroupTime_ = static_cast<float>(dateTime);
    if (midnight && accumulated_ == 0) return;
    for (int s : calibration_->Enabled()) {
      const auto slot = static_cast<std::size_t>(s);
      const double average =
          sums_[slot] / (static_cast<double>(accumulated_) / static_cast<double>(step_));
      const double rate = std::floor(10 * factor * (average - lastValues_[slot])) / 10;
      if (!std::isfinite(average) || !std::isfinite(rate)) throw CalibrationFailure("Overflow");
      const Slot& calibration = calibration_->slots[slot];
      file_.WriteSensor(s + 1, average, calibration.fieldCapacity, calibration.refill, rate);
      lastValues_[slot] = static_cast<float>(average);
    }
  }

  void ResetSums() {
    accumulated_ = 0;
    sums_.fill(0.0f);
  }

  SummaryFileWriter file_;
  const Calibration* calibration_ = nullptr;
  int step_ = 1;
  bool firstScan_ = true;
  double groupCount_ = 0;
  long accumulated_ = 0;
  std::array<float, kMaxSlots> sums_{};
  float lastGroupTime_ = 0;
  std::array<float, kMaxSlots> lastValues_{};
  std::array<bool, 3> windowTaken_{};
};

class Conversion {
 public:
  Conversion(const Files& files, Prompter& prompter, std::string identification,
             std::string dataDirectory, ConversionCaller caller)
      : files_(files),
        prompter_(prompter),
        id_(std::move(identification)),
        dataDir_(std::move(dataDirectory)),
        caller_(caller),
        header_(files.HeaderPath(id_), RecordFile::Mode::ReadOnly) {}

  bool Run() {
    try {
      if (ConvertBlocks() == Step::Done) return true;
    } catch (const IoError& e) {
      // A damaged block, a full or read-only disk, a file that cannot be read: the cause.
      ShowCalibrationError(prompter_, e);
    } catch (const std::exception&) {
      // A file that cannot be written, a zero slope, a bad answer: one message.
      prompter_.Message(kCalibrationError, "", Buttons::Ok, Icon::None);
    }
    // The previous pair stays whole.
    Discard();
    return false;
  }

 private:
  fs::path GraphPath() const { return CalibratedPath(files_, dataDir_, id_, kGraphExtension); }
  fs::path SummaryPath() const { return CalibratedPath(files_, dataDir_, id_, kSummaryExtension); }

  Step ConvertBlocks() {
    const SiteHeader::BlockIndex index = header_.ReadBlockIndex();
    if (index.damaged) return EndWith(kCalibrationError);
    for (int number : index.numbers) {
      if (ConvertBlock(number) == Step::Ended) return Step::Ended;
    }
    const bool none = index.numbers.empty();
    if (caller_ == ConversionCaller::SiteWindow && (none || readingCount_ == 0)) {
      // Nothing left to show: no stale graph outlives the site's blocks.
      Discard();
      Files::Remove(SummaryPath());
      Files::Remove(GraphPath());
      return Step::Done;
    }
    // An empty block index leaves the previous run's files untouched.
    if (none) return EndWith(kCalibrationError);
    FinishPair();
    return Step::Done;
  }

  void FinishPair() {
    summary_->WriteTotals();
    graph_->WriteTotals(readingCount_, lastDateTime_);
    // Both new files whole on the disk, then both renamed into place.
    graph_->Flush();
    summary_->Flush();
    graph_->Close();
    summary_->Close();
    Commit();
  }

  void Commit() {
    try {
      fileops::CommitPair(GraphPath(), SummaryPath());
    } catch (const IoError&) {
      // With the graph file in place only the summary's rename failed: the
      // pair is finished now, else the conversion failed.
      if (!RecoverCalibratedFiles(files_, dataDir_, id_)) throw;
    }
    try {
      fileops::SyncFolder(GraphPath().parent_path());
    } catch (const IoError&) {
      // Both files are in place; only their names may not be on the disk yet.
    }
  }

  // Undoes a pair not yet renamed, or finishes one half renamed.
  void Discard() {
    graph_.reset();
    summary_.reset();
    try {
      RecoverCalibratedFiles(files_, dataDir_, id_);
    } catch (const IoError&) {
      // Left for the next run, which starts by the same recovery.
    }
  }

  const char* LoggerName() const {
    return caller_ == ConversionCaller::Download ? "LOGGER" : "VELMORA";
  }

  Step EndWith(const std::string& message) {
    prompter_.Message(message, "", Buttons::Ok, Icon::None);
    return Step::Ended;
  }

  Step ConvertBlock(int number) {
    const fs::path stem = BlockStemPath(files_, dataDir_, BlockStem(id_, number));
    const BlockPaths paths = MakeBlockPaths(stem);
    BlockData data(paths.data, RecordFile::Mode::ReadOnly);
    if (data.Length() < 4) {
      return EndWith("SITE " + PathText(stem) + " IS EMPTY, LOAD DATA FROM " + LoggerName());
    }
    if (!started_) {
      // The new pair is written beside the old one, the graph file first.
      graph_.emplace(fileops::PairPart(GraphPath()));
      summary_.emplace(fileops::PairPart(SummaryPath()));
    }
    const BlockHeader block = ReadBlockHeader(paths.header);
    CheckBlockAgrees(block, data.Length(), paths.header);
    const int slots = header_.DepthSlotCount();
    int sensors = block.run.SensorCount();
    if (sensors == 0) sensors = AskSensorCount(paths.header, block);
    if (!started_) {
      if (StartSeason(block, slots, sensors) == Step::Ended) return Step::Ended;
      sensors = calibration_.enabledCount;
    }
    // A later block's count steps the scan loop; it must move forward.
    if (sensors < 1) throw CalibrationFailure("Bad sensor count");
    ConvertScans(ScanWalker(block.run, data.ReadAllWords(), block.words, sensors, calibration_));
    return Step::Done;
  }

  // The first block: the calibration, and the head of both files.
  Step StartSeason(const BlockHeader& block, int slots, int sensors) {
    calibration_ = ReadCalibration(header_, slots);
    if (calibration_.enabledCount == 0) {
      return EndWith(caller_ == ConversionCaller::Download
                         ? "This site does not have any sensors selected."
                         : "THIS SITE DOES NOT HAVE ANY SENSORS CONNECTED");
    }
    const RunHeader& run = block.run;
    const CalibratedStart start = StartOf(run);
    graph_->WriteHead(run.SerialNumber(), slots, calibration_.enabledCount, start);
    summary_->WriteHead({block.dateText, block.timeText, static_cast<double>(run.SerialNumber()),
                         static_cast<double>(run.SiteNumber()), static_cast<double>(sensors),
                         static_cast<double>(run.ScanInterval())},
                        start, calibration_);
    started_ = true;
    return Step::Done;
  }

  void ConvertScans(ScanWalker walker) {
    const std::string intervalText = Spaced(walker.Interval());
    summary_->SetStep(walker.StepSize());
    Scan scan;
    while (walker.Next(scan)) {
      graph_->StartScan(intervalText, scan.dateTime);
      for (int s : calibration_.Enabled()) {
        const auto slot = static_cast<std::size_t>(s);
        const Slot& c = calibration_.slots[slot];
        const double v = scan.values[slot];
        graph_->AddSensorLine(v, v - c.refill, c.fieldCapacity - v);
      }
      graph_->EndScan();
      readingCount_ += 1 + calibration_.enabledCount;
      summary_->Add(scan);
      lastDateTime_ = scan.passesMidnight ? scan.nextDateTime : scan.dateTime;
    }
  }

  int AskSensorCount(const fs::path& headerFile, const BlockHeader& block) {
    const std::string prompt =
        std::string("ENTER THE NUMBER OF SENSORS THAT ARE CONNECTED TO THE ") + LoggerName();
    const std::optional<std::string> entry = prompter_.Input(prompt, "SENSOR NUMBER ERROR");
    int count = 0;
    if (caller_ == ConversionCaller::Graph) {
      if (!entry || Trim(*entry).empty()) {
        prompter_.Message("Wrong Entry,No Sensors set up for this site", "", Buttons::Ok,
                          Icon::None);
        throw CalibrationFailure("No sensors");
      }
      const auto n = ToInt16(ParseLeadingNumber(*entry));
      count = n ? *n : 0;
    } else {
      if (!entry || !IsNumber(*entry)) throw CalibrationFailure("Type mismatch");
      const auto n = ToInt16(ParseLeadingNumber(*entry));
      if (!n) throw CalibrationFailure("Overflow");
      count = *n;
    }
    if (count < 0 || count > 255) throw CalibrationFailure("Invalid sensor count");
    // The answer is kept where the count is read, so the block is asked about once.
    WriteBlockSensorCount(headerFile, block, count);
    return count;
  }

  static bool IsNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty()) return false;
    std::size_t i = (t[0] == '-' || t[0] == '+') ? 1 : 0;
    bool digit = false;
    bool point = false;
    for (; i < t.size(); ++i) {
      if (t[i] >= '0' && t[i] <= '9') {
        digit = true;
      } else if (t[i] == '.' && !point) {
        point = true;
      } else {
        return false;
      }
    }
    return digit;
  }

  const Files& files_;
  Prompter& prompter_;
  std::string id_;
  std::string dataDir_;
  ConversionCaller caller_;
  SiteHeader header_;
  Calibration calibration_;
  std::optional<GraphFileWriter> graph_;
  std::optional<SummaryWriter> summary_;
  bool started_ = false;
  double readingCount_ = 0;
  double lastDateTime_ = 0;
};

}  // namespace

bool ConvertSite(const Files& files, Prompter& prompter, const std::string& identification,
                 const std::string& dataDirectory, ConversionCaller caller) {
  try {
    // With no site named there is no block to convert.
    if (identification.empty() || dataDirectory.empty()) throw CalibrationFailure("No site");
    CheckSafeName(identification);
    CheckDataDirectoryName(dataDirectory);
    const auto lock = LockForWriting(files, prompter);
    if (!lock) return false;
    RecoverCalibratedFiles(files, dataDirectory, identification);
    if (RepairSite(files, identification, dataDirectory).indexDamaged) {
      prompter.Message(IndexRebuiltText(identification), "Site File Repaired", Buttons::Ok,
                       Icon::Exclamation);
    }
    Conversion conversion(files, prompter, identification, dataDirectory, caller);
    return conversion.Run();
  } catch (const UnsafeNameError& e) {
    prompter.Message(e.what(), "", Buttons::Ok, Icon::Critical);
  } catch (const IoError& e) {
    ShowCalibrationError(prompter, e);
  } catch (const std::exception&) {
    prompter.Message(kCalibrationError, "", Buttons::Ok, Icon::None);
  }
  return false;
}

bool ConvertSelectedSite(const Files& files, Prompter& prompter, ConversionCaller caller) {
  SiteSelection selection;
  try {
    selection = ReadSiteSelection(files);
  } catch (const std::runtime_error& e) {
    // A name that cannot be a file name, or a selection that cannot be read.
    prompter.Message(e.what(), "", Buttons::Ok, Icon::Critical);
    return false;
  }
  return ConvertSite(files, prompter, selection.identification, selection.dataDirectory, caller);
}

}  // namespace pelvaro
