#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Files.h"

namespace pelvaro {

// The same value as ParseLeadingNumber, without its copy for the short
// decimal texts the conversion writes: up to 15 digits and 22 decimals are
// one exact division, which rounds exactly as the full parse does.
double ReadNumberFast(std::string_view text);

// A graph file whose counts cannot describe its scan groups.
class GraphFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The largest depth slot count and enabled count a graph file may hold: the
// conversion's tables have sixteen slots.
inline constexpr int kMaxGraphSlots = 16;

// The header records of a graph file.
struct GraphFileHead {
  double lastDateTime = 0;   // record 2
  int slotCount = 0;         // record 3
  int enabledCount = 0;      // record 4
  double readingCount = 0;   // record 5
  std::string yearText;      // record 6
  std::string dayMonthText;  // record 7
  double firstInterval = 0;  // record 11
  double firstDateTime = 0;  // record 12
};

// What a reading's progress callback answers: read on, or leave the reading
// early, as a window does when it is closed in the middle of a large file.
enum class ReadOn { Continue, Stop };
// Gets the percent read each time it grows.
using ReadProgress = std::function<ReadOn(int percent)>;

// One scan group as it is read; valid during the call that receives it.
struct GraphScanView {
  double interval = 0;
  double dateTime = 0;
  std::span<const double> values;  // one per enabled sensor, in slot order
};

// A graph file read front to back, one scan at a time: the header records
// when it is opened, then the scans the reading count names, but only whole
// scan groups, so a damaged count never reads past the end.
class GraphFileReader {
 public:
  // Nothing when the file is missing or shorter than kGraphFileMinimum;
  // throws IoError when it cannot be read and GraphFileError when its counts
  // are out of range.
  static std::optional<GraphFileReader> Open(const fs::path& path);

  const GraphFileHead& Head() const { return head_; }
  std::uint64_t Scans() const { return scans_; }
  // Calls `scan` for every scan in file order, without an allocation per
  // scan. `progress` gets the percent of scans read each time it grows;
  // false when it asked to stop before the end. Throws IoError.
  bool ForEachScan(const std::function<void(const GraphScanView&)>& scan,
                   const ReadProgress& progress = {});

 private:
  GraphFileReader() = default;

  FileHandle file_;
  GraphFileHead head_;
  std::uint64_t scans_ = 0;
};

// A graph file read whole: its header records and every scan.
struct GraphFileData : GraphFileHead {
  std::vector<double> intervals;            // per scan
  std::vector<double> dateTimes;            // per scan
  std::vector<std::vector<double>> values;  // per enabled sensor, per scan

  std::size_t Scans() const { return intervals.size(); }
};

// The whole file through GraphFileReader, with the same failures.
std::optional<GraphFileData> ReadGraphFile(const fs::path& path,
                                           const std::function<void(int)>& progress = {});

}  // namespace pelvaro
