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
#include "core/storage/CalibratedFiles.h"

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

// The records of a graph file (56 bytes each): ten header records, then from
// kFirstScan one group per scan: its interval, its date-time and a sensor
// line per enabled sensor.
namespace graphfile {
inline constexpr std::uint64_t kSerialNumber = 1;
inline constexpr std::uint64_t kLastDateTime = 2;
inline constexpr std::uint64_t kSlotCount = 3;
inline constexpr std::uint64_t kEnabledCount = 4;
inline constexpr std::uint64_t kReadingCount = 5;  // every scan's two records and its sensor lines
inline constexpr std::uint64_t kStart = 6;         // the five records of CalibratedStart
inline constexpr std::uint64_t kHeaderRecords = 10;
inline constexpr std::uint64_t kFirstScan = kHeaderRecords + 1;
}  // namespace graphfile

// The largest depth slot count and enabled count a graph file may hold: the
// conversion's tables have sixteen slots.
inline constexpr int kMaxGraphSlots = 16;

// The header records of a graph file, and its first scan's two.
struct GraphFileHead {
  double lastDateTime = 0;
  int slotCount = 0;
  int enabledCount = 0;
  double readingCount = 0;
  std::string yearText;
  std::string dayMonthText;
  double firstInterval = 0;
  double firstDateTime = 0;
};

// What a reading's progress callback answers: read on, or leave the reading
// early, as a window does when it is closed in the middle of a large file.
enum class ReadOn { Continue, Stop };
// Gets the percent read each time it grows.
using ReadProgress = std::function<ReadOn(int percent)>;

// One scan group as it is read; valid during the call that receives it.
struct GraphScanView {
  double interval = 0;  // 0 when the reading left it out
  double dateTime = 0;
  std::span<const double> values;  // one per enabled sensor, in slot order
  // The same values in whole hundredths (rounded half away from zero).
  std::span<const std::int32_t> hundredths;
};
// What a reading parses of each scan: only the graph's elapsed axis needs
// the intervals.
enum class ScanFields { All, WithoutInterval };

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
                   const ReadProgress& progress = {}, ScanFields fields = ScanFields::All);

 private:
  GraphFileReader() = default;

  FileHandle file_;
  GraphFileHead head_;
  std::uint64_t scans_ = 0;
};

// A new graph file written front to back: the header, the scans, then the
// counts known only at the end. Each call throws IoError.
class GraphFileWriter {
 public:
  // Starts an empty file, deleting one that is there.
  explicit GraphFileWriter(const fs::path& path);

  void WriteHead(double serialNumber, int slotCount, int enabledCount,
                 const CalibratedStart& start);
  // A scan group: StartScan, a sensor line per enabled sensor in slot order, EndScan.
  void StartScan(std::string_view intervalText, double dateTime);
  void AddSensorLine(double value, double aboveRefill, double belowFieldCapacity);
  void EndScan();
  void WriteTotals(double readingCount, double lastDateTime);
  // Puts the written records on the disk.
  void Flush();
  void Close();

 private:
  void EndRecord(std::size_t start);
  void WriteScans();

  CalibratedFile file_;
  std::uint64_t next_ = graphfile::kFirstScan;  // the first record of `scans_`
  std::string scans_;                           // whole scan groups not yet handed to the file
  std::size_t scanAt_ = 0;                      // where the scan being made starts in `scans_`
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
