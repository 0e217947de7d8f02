#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

// What a click in the site list takes of a site, and a download checks a
// logger's run against.
struct CurrentSite {
  std::string identification;
  int siteNumber = 0;      // the last two characters of the identification
  float serialNumber = 0;  // header record 3
  int sensorsOn = 0;       // header record 215
};

// Record numbers of the site header file.
namespace header {
inline constexpr std::size_t kRecordSize = 64;
inline constexpr int kCreatedRecords = 222;
inline constexpr std::uint64_t kEmptyBelow = 65;    // a shorter file loads no field
inline constexpr std::uint64_t kMissingUpTo = 128;  // the download treats it as missing
inline constexpr int kWorkingRootName = 1;
inline constexpr int kDataDirectory = 2;
inline constexpr int kSerialNumber = 3;
inline constexpr int kSiteNumber = 4;
inline constexpr int kSiteName = 5;
inline constexpr int kDepthSlotCount = 6;
inline constexpr int kRootZone = 7;
inline constexpr int kFirstDirectory = 26;
inline constexpr int kDirectoryCount = 8;
inline constexpr int kMeasurementType = 99;
inline constexpr int kFormatVersion = 100;
inline constexpr int kFirstBlockSlot = 114;
inline constexpr int kBlockSlots = 101;
inline constexpr int kLastBlockSlot = kFirstBlockSlot + kBlockSlots - 1;  // 214
inline constexpr int kSensorsOn = 215;
inline constexpr int kStartMode = 216;
inline constexpr int kStartDate = 217;
inline constexpr int kStartTime = 218;
inline constexpr int kScanInterval = 219;
inline constexpr int kLastRunDay = 220;
inline constexpr int kLastRunTime = 221;
inline constexpr int kMaxBlocks = 100;
inline constexpr int kMaxDepthSlots = 16;
inline constexpr std::uint64_t kRecordsBytes = kRecordSize * kCreatedRecords;

// Soil type record of depth index d (1 to 12).
constexpr int SoilType(int depth) { return 9 + depth; }
// First of the five calibration records of depth index d.
constexpr int CalibrationBase(int depth) { return 34 + 5 * (depth - 1); }
inline constexpr int kOffset = 0;
inline constexpr int kSlope = 1;
inline constexpr int kFieldCapacity = 2;
inline constexpr int kRefill = 3;
inline constexpr int kState = 4;
}  // namespace header

// The five calibration records of one depth.
struct Calibration {
  double offset = 0;
  double slope = 0;
  double fieldCapacity = 0;
  double refill = 0;
  std::string state;  // "ON" or "OFF"
};

// One site header file: 64-byte text records addressed by number.
class SiteHeader {
 public:
  // Opens for record access; ReadWrite creates an empty file when missing,
  // ReadOnly reads a missing file as empty.
  SiteHeader(const fs::path& path, RecordFile::Mode mode);
  static SiteHeader Open(const Files& files, const std::string& identification,
                         RecordFile::Mode mode = RecordFile::Mode::ReadWrite);
  // Creates or overwrites the file with records 1 to 222 all spaces.
  static SiteHeader CreateBlank(const Files& files, const std::string& identification);

  // The record with trailing spaces removed; blank beyond the end.
  std::string ReadRecord(int record);
  void WriteRecord(int record, std::string_view text);
  double ReadNumber(int record);
  // Record 6, the probe's depth slots: blank or zero is the full probe of
  // twelve. Throws std::out_of_range beyond kMaxDepthSlots.
  int DepthSlotCount();
  // The four values with number formatting, then the state.
  void WriteCalibration(int depth, const Calibration& calibration);
  std::uint64_t HeaderLength() const { return file_.Length(); }
  bool IsEmpty() const { return HeaderLength() < header::kEmptyBelow; }
  void Flush() { file_.Flush(); }
  void Close() { file_.Close(); }

  // The used slots of the block index, up to the first free one (a value
  // of 0, blank included). A used slot that does not hold a whole number
  // 1..100 is damage: its value is never used for arithmetic.
  struct BlockIndex {
    std::vector<int> numbers;  // the valid values, in slot order
    int used = 0;              // the slots before the first free one
    bool damaged = false;
  };
  BlockIndex ReadBlockIndex();
  // The value of the last used block index slot (0 when none is used); for
  // a damaged index the number of used slots.
  int LastBlockNumber();
  // Block index: the number of slots before the first free one.
  int BlockCount();
  // Numbers the blocks 1..n after the data files found for the site.
  void RebuildBlockIndex(const Files& files, const std::string& identification,
                         const std::string& dataDirectory);
  // Writes 1..n into the first n slots and "0" into the others.
  void WriteBlockIndex(int count);

 private:
  RecordFile file_;
};

// Rewrites a header crash-safely: the records are written into a sibling
// copy, which replaces the target only when Commit() succeeds. Until then
// the target keeps its old content whatever happens.
class HeaderTransaction {
 public:
  // Starts from a copy of the records of `from` (or an empty file when `from`
  // is missing or empty) and will replace `target`.
  HeaderTransaction(const fs::path& target, const fs::path& from);
  ~HeaderTransaction();
  HeaderTransaction(const HeaderTransaction&) = delete;
  HeaderTransaction& operator=(const HeaderTransaction&) = delete;

  SiteHeader& Header() { return *header_; }
  // Flushes the copy to disk and renames it over the target. Throws IoError.
  void Commit();

 private:
  fs::path target_;
  fs::path sibling_;
  std::optional<SiteHeader> header_;
  bool committed_ = false;
};

}  // namespace pelvaro
