#pragma once

#include <cstdint>
#include <string>

#include "core/platform/Files.h"
#include "core/storage/CalibratedFiles.h"

namespace pelvaro {

// The records of a summary file (20 bytes each): the first block's run, where
// the season starts, the counts, blanks up to record 19, then from
// kFirstGroup the groups: a date-time, then seven records per enabled sensor.
namespace summaryfile {
inline constexpr std::uint64_t kDate = 1;
inline constexpr std::uint64_t kTime = 2;
inline constexpr std::uint64_t kSerialNumber = 3;
inline constexpr std::uint64_t kSiteNumber = 4;
inline constexpr std::uint64_t kSensorCount = 5;
inline constexpr std::uint64_t kInterval = 6;
inline constexpr std::uint64_t kStart = 7;  // the five records of CalibratedStart
inline constexpr std::uint64_t kGroupCount = 12;
inline constexpr std::uint64_t kLastRecord = 13;
inline constexpr std::uint64_t kHeaderRecords = 19;
inline constexpr std::uint64_t kFirstGroup = kHeaderRecords + 1;
}  // namespace summaryfile

// The first block's run as the summary names it.
struct SummaryRun {
  std::string dateText;
  std::string timeText;
  double serialNumber = 0;
  double siteNumber = 0;
  double sensorCount = 0;
  double interval = 0;
};

// A new summary file written front to back: the header, the groups, then the
// counts known only at the end. Each call throws IoError.
class SummaryFileWriter {
 public:
  // Starts an empty file, deleting one that is there.
  explicit SummaryFileWriter(const fs::path& path);

  void WriteHead(const SummaryRun& run, const CalibratedStart& start);
  // A group: its date-time, then a sensor's records per enabled sensor.
  void WriteGroupTime(double dateTime);
  // The slot's depth, the value with both limits and its distance from each,
  // and the rate of change per day.
  void WriteSensor(int slotNumber, double value, float fieldCapacity, float refill, double rate);
  void WriteTotals(double groupCount);
  void Flush() { file_.Flush(); }
  void Close() { file_.Close(); }

 private:
  void Next(const std::string& text) { file_.WriteRecord(next_++, text); }

  CalibratedFile file_;
  std::uint64_t next_ = summaryfile::kFirstGroup;
};

}  // namespace pelvaro
