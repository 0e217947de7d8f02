#include "core/operations/Conversion.h"

#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <vector>

#include "core/platform/WriterLock.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/SiteRepair.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kMaxSlots = header::kMaxDepthSlots;
constexpr int kSecondsPerDay = 86400;
constexpr int kFirstGraphGroup = 11;
constexpr int kFirstSummaryGroup = 20;

void ShowCalibrationError(Prompter& prompter, const IoError& e) {
  prompter.Message(std::string(kCalibrationError) + "\r\n\r\n" + e.what(), "", Buttons::Ok,
                   Icon::None);
}

// A failure that ends the run with the calibration error message.
struct CalibrationFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};
// A failure whose message has already been shown.
struct RunEnded {};

struct Slot {
  float offset = 0;
  float slope = 0;
  float fieldCapacity = 0;
  float refill = 0;
  bool enabled = false;
};

// The day windows in which a summary point is taken.
struct Window {
  int from;
  int to;
};
constexpr std::array<Window, 3> kWindows = {{{21600, 28800}, {43200, 50400}, {64800, 72000}}};

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
      const SiteHeader::BlockIndex index = header_.ReadBlockIndex();
      if (index.damaged) throw CalibrationFailure("Damaged block index");
      for (int number : index.numbers) ConvertBlock(number);
      const std::size_t converted = index.numbers.size();
      if (caller_ == ConversionCaller::SiteWindow && (converted == 0 || readingCount_ == 0)) {
        // Nothing left to show: no stale graph outlives the site's blocks.
        Discard();
        Files::Remove(SummaryPath());
        Files::Remove(GraphPath());
        return true;
      }
      // An empty block index leaves the previous run's files untouched.
      if (converted == 0) throw CalibrationFailure("No data blocks");
      summary_->WriteRecord(12, Plain(groupCount_));
      summary_->WriteRecord(13, Plain(summaryRecord_ - 1));
      graph_->WriteRecord(5, Spaced(readingCount_));
      graph_->WriteRecord(2, Spaced(t_));
      // Both new files whole on the disk, then both renamed into place.
      graph_->Flush();
      summary_->Flush();
      graph_->Close();
      summary_->Close();
      Commit();
      return true;
    } catch (const RunEnded&) {
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

  bool SecondWording() const { return caller_ != ConversionCaller::Download; }

  void EndWith(const std::string& message) {
    prompter_.Message(message, "", Buttons::Ok, Icon::None);
    throw RunEnded{};
  }

  void ConvertBlock(int number) {
    const fs::path stem = BlockStemPath(files_, dataDir_, BlockStem(id_, number));
    const BlockPaths paths = MakeBlockPaths(stem);
    BlockData data(paths.data, RecordFile::Mode::ReadOnly);
    if (data.Length() < 4) {
      EndWith("SITE " + PathText(stem) + " IS EMPTY, LOAD DATA FROM " +
              (SecondWording() ? "VELMORA" : "LOGGER"));
    }
    if (first_) {
      // The new pair is written beside the old one, the graph file first.
      graph_.emplace(CalibratedFile::CreateEmpty(fileops::PairPart(GraphPath()), kGraphRecordSize));
      summary_.emplace(
          CalibratedFile::CreateEmpty(fileops::PairPart(SummaryPath()), kSummaryRecordSize));
    }
    const BlockHeader block = ReadBlockHeader(paths.header);
    CheckBlockAgrees(block, data.Length(), paths.header);
    const RunHeader& run = block.run;
    const int slots = header_.DepthSlotCount();
    int day = run.StartDay();
    long time = 2L * run.StartTimeUnits();
    const int interval = run.ScanInterval();
    int sensors = run.SensorCount();
    if (sensors == 0) sensors = AskSensorCount(paths.header, block);

    if (first_) {
      summary_->WriteRecord(1, block.dateText);
      summary_->WriteRecord(2, block.timeText);
      summary_->WriteRecord(3, Spaced(run.SerialNumber()));
      summary_->WriteRecord(4, Spaced(run.SiteNumber()));
      summary_->WriteRecord(5, Spaced(sensors));
      summary_->WriteRecord(6, Spaced(interval));
      for (int r = 7; r <= 19; ++r) summary_->WriteRecord(r, "");
    }
    const double readings = block.words;

    if (first_) {
      graph_->WriteRecord(1, Spaced(run.SerialNumber()));
      graph_->WriteRecord(2, Spaced(interval));
      graph_->WriteRecord(3, Spaced(slots));
      graph_->WriteRecord(4, Spaced(sensors));
      LoadCalibration(slots);
      if (enabledCount_ == 0) {
        EndWith(SecondWording() ? "THIS SITE DOES NOT HAVE ANY SENSORS CONNECTED"
                                : "This site does not have any sensors selected.");
      }
      sensors = enabledCount_;
      graph_->WriteRecord(4, Spaced(enabledCount_));
    }
    // A later block's count steps the scan loop; it must move forward.
    if (sensors < 1) throw CalibrationFailure("Bad sensor count");
    sensors_ = sensors;

    const std::string yearText = DayNumberToYear(day);
    const std::string dayMonthText = DayNumberToDayMonth(day);
    if (first_) {
      const long hours = time / 3600;
      const long minutes = (time - hours * 3600) / 60;
      const long seconds = time - hours * 3600 - minutes * 60;
      const std::string timeText = TwoDigitText(static_cast<int>(hours)) + ":" +
                                   TwoDigitText(static_cast<int>(minutes)) + ":" +
                                   TwoDigitText(static_cast<int>(seconds));
      const std::string fields[5] = {yearText, dayMonthText, timeText, Spaced(day), Spaced(time)};
      for (int i = 0; i < 5; ++i) {
        graph_->WriteRecord(6 + i, fields[i]);
        summary_->WriteRecord(7 + i, fields[i]);
      }
    }

    const std::vector<std::uint16_t> words = data.ReadAllWords();
    std::uint64_t pointer = 0;  // next reading, counted from 0
    const auto nextWord = [&]() -> std::uint16_t {
      // A reading beyond the end of the file (an incomplete last scan) is 0.
      const std::uint16_t w = pointer < words.size() ? words[pointer] : 0;
      ++pointer;
      return w;
    };

    const std::string intervalText = Spaced(interval);
    for (double k = 1; k <= readings; k += sensors) {
      t_ = day + static_cast<double>(time) / kSecondsPerDay;
      WriteGraph(intervalText);
      WriteGraph(Spaced(t_));
      ++readingCount_;
      if (firstScan_) {
        WriteSummary(Spaced(t_));
        ++groupCount_;
        lastGroupTime_ = static_cast<float>(t_);
      }
      for (int s = 1; s <= slotCount_; ++s) {
        const Slot& slot = slots_[s - 1];
        if (!slot.enabled) continue;
        ++readingCount_;
        const double v = Calibrate(slot, nextWord());
        sums_[s - 1] = static_cast<float>(sums_[s - 1] + v);
        ++accumulated_;
        if (firstScan_) {
          WriteSlotSummary(s, v, "0");
          lastValues_[s - 1] = static_cast<float>(v);
        }
        WriteGraph(SensorLine(v, v - slot.refill, slot.fieldCapacity - v));
      }
      if (firstScan_) {
        firstScan_ = false;
      } else {
        for (std::size_t w = 0; w < kWindows.size(); ++w) {
          if (time > kWindows[w].from && time < kWindows[w].to && !windowTaken_[w]) {
            if (static_cast<float>(t_) != lastGroupTime_) WriteSummaryGroup(false);
            windowTaken_[w] = true;
            ResetSums();
          }
        }
      }
      time += interval;
      if (time > kSecondsPerDay) {
        time -= kSecondsPerDay;
        ++day;
        t_ = day + static_cast<double>(time) / kSecondsPerDay;
        WriteSummaryGroup(true);
        windowTaken_ = {false, false, false};
        ResetSums();
      }
    }
    first_ = false;
  }

  void LoadCalibration(int slots) {
    slotCount_ = slots;
    enabledCount_ = 0;
    for (int s = 1; s <= slots; ++s) {
      const int base = header::CalibrationBase(s);
      Slot& slot = slots_[s - 1];
      slot.offset = static_cast<float>(header_.ReadNumber(base + header::kOffset));
      slot.slope = static_cast<float>(header_.ReadNumber(base + header::kSlope));
      slot.fieldCapacity = static_cast<float>(header_.ReadNumber(base + header::kFieldCapacity));
      slot.refill = static_cast<float>(header_.ReadNumber(base + header::kRefill));
      slot.enabled = header_.ReadRecord(base + header::kState) == "ON";
      if (slot.enabled) ++enabledCount_;
    }
  }

  static double Calibrate(const Slot& slot, std::uint16_t raw) {
    if (slot.slope == 0) throw CalibrationFailure("Division by zero");
    return std::floor((static_cast<double>(slot.offset) - raw) * 10.0) / slot.slope;
  }

  int AskSensorCount(const fs::path& headerFile, const BlockHeader& block) {
    const std::string prompt =
        std::string("ENTER THE NUMBER OF SENSORS THAT ARE CONNECTED TO THE ") +
        (SecondWording() ? "VELMORA" : "LOGGER");
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
    std::string record2 = block.record2;
    record2[11] = static_cast<char>(count);
    WriteBlockHeaderRecord(headerFile, 2, record2);
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

  void WriteGraph(std::string_view text) { graph_->WriteRecord(graphRecord_++, text); }
  void WriteSummary(const std::string& text) { summary_->WriteRecord(summaryRecord_++, text); }

  void WriteSlotSummary(int s, double value, const std::string& rate) {
    const Slot& slot = slots_[s - 1];
    WriteSummary(Plain(10 * s));
    WriteSummary(Plain(value));
    WriteSummary(PlainSingle(slot.fieldCapacity));
    WriteSummary(PlainSingle(slot.refill));
    WriteSummary(Plain(value - slot.refill));
    WriteSummary(Plain(slot.fieldCapacity - value));
    WriteSummary(rate);
  }

  void WriteSummaryGroup(bool midnight) {
    WriteSummary(Spaced(t_));
    ++groupCount_;
    const double span = (t_ - static_cast<double>(lastGroupTime_)) * 24;
    if (span == 0) throw CalibrationFailure("Division by zero");
    const double factor = 24 / span;
    lastGroupTime_ = static_cast<float>(t_);
    if (midnight && accumulated_ == 0) return;
    for (int s = 1; s <= slotCount_; ++s) {
      if (!slots_[s - 1].enabled) continue;
      const double average =
          sums_[s - 1] / (static_cast<double>(accumulated_) / static_cast<double>(sensors_));
      const double rate = std::floor(10 * factor * (average - lastValues_[s - 1])) / 10;
      if (!std::isfinite(average) || !std::isfinite(rate)) throw CalibrationFailure("Overflow");
      WriteSlotSummary(s, average, Plain(rate));
      lastValues_[s - 1] = static_cast<float>(average);
    }
  }

  void ResetSums() {
    accumulated_ = 0;
    sums_.fill(0.0f);
  }

  const Files& files_;
  Prompter& prompter_;
  std::string id_;
  std::string dataDir_;
  ConversionCaller caller_;
  SiteHeader header_;
  std::optional<CalibratedFile> graph_;
  std::optional<CalibratedFile> summary_;

  std::array<Slot, kMaxSlots> slots_{};
  int slotCount_ = 0;
  int enabledCount_ = 0;
  int sensors_ = 1;
  bool first_ = true;
  bool firstScan_ = true;
  std::uint64_t graphRecord_ = kFirstGraphGroup;
  std::uint64_t summaryRecord_ = kFirstSummaryGroup;
  double readingCount_ = 0;
  double groupCount_ = 0;
  long accumulated_ = 0;
  std::array<float, kMaxSlots> sums_{};
  float lastGroupTime_ = 0;
  std::array<float, kMaxSlots> lastValues_{};
  std::array<bool, 3> windowTaken_{};
  double t_ = 0;
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
