#pragma once

#include <array>
#include <string>

#include "core/platform/Files.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

inline constexpr std::size_t kGraphRecordSize = 56;
inline constexpr std::size_t kSummaryRecordSize = 20;
inline constexpr char kGraphExtension[] = ".BGF";
inline constexpr char kSummaryExtension[] = ".Pct";
inline constexpr std::uint64_t kGraphFileMinimum = 500;  // shorter counts as missing

// A graph file (56-byte records) or a summary file (20-byte records). A record
// never written reads as zero bytes; a blank one is spaces.
class CalibratedFile {
 public:
  CalibratedFile(const fs::path& path, std::size_t recordSize, RecordFile::Mode mode);
  // Deletes an existing file and starts an empty one.
  static CalibratedFile CreateEmpty(const fs::path& path, std::size_t recordSize);

  void WriteRecord(std::uint64_t record, std::string_view text) { file_.Write(record, text); }
  void WriteRecords(std::uint64_t record, std::string_view bytes) {
    file_.WriteRecords(record, bytes);
  }
  void WriteRecordsBehind(std::uint64_t record, std::string& bytes) {
    file_.WriteRecordsBehind(record, bytes);
  }
  std::string ReadRecord(std::uint64_t record) { return file_.Read(record); }
  std::uint64_t Length() const { return file_.Length(); }
  std::uint64_t RecordCount() const { return file_.RecordCount(); }
  void Flush() { file_.Flush(); }
  void Close() { file_.Close(); }

 private:
  RecordFile file_;
};

// Where the season starts, as both files record it in five records: the
// year, day and month, and time of day as text, then the day number and the
// seconds into that day.
struct CalibratedStart {
  std::string yearText;
  std::string dayMonthText;
  std::string timeText;
  int day = 0;
  long seconds = 0;
};
// The five records' texts, in their order.
std::array<std::string, 5> StartRecords(const CalibratedStart& start);

// The path of a site's graph or summary file in its data folder.
fs::path CalibratedPath(const Files& files, const std::string& dataDirectory,
                        const std::string& identification, const char* extension);

// The graph and summary files are replaced as one pair (the graph file
// first): this finishes or undoes a replacement that was cut short. True when
// it finished one.
bool RecoverCalibratedFiles(const Files& files, const std::string& dataDirectory,
                            const std::string& identification);
// True when the site has blocks and its graph or summary file is missing or
// not newer than the newest of its block files.
bool CalibratedFilesStale(const Files& files, const std::string& dataDirectory,
                          const std::string& identification);

// One field of a sensor line: "00.00", then right-aligned in six characters;
// a longer text is kept whole.
std::string SensorField(double value);
// The value, the distance above refill and the distance below field capacity.
std::string SensorLine(double value, double aboveRefill, double belowFieldCapacity);
// The same line added to the end of `text`.
void AppendSensorLine(std::string& text, double value, double aboveRefill,
                      double belowFieldCapacity);
// The same line written over the start of a graph record of spaces, without
// a string, for most values; false, with the record left as it was, when a
// field needs the full formatting.
bool PutSensorLine(char* record, double value, double aboveRefill, double belowFieldCapacity);
// The value of a sensor line: the numeric prefix of its first six characters.
double SensorLineValue(std::string_view record);

}  // namespace pelvaro
