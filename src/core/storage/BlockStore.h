#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Clock.h"
#include "core/platform/Files.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

inline constexpr char kTempHeaderName[] = "TEMPHEAD.KEY";
inline constexpr char kTempDataName[] = "TEMPBUDY.DAT";
inline constexpr std::size_t kBlockHeaderRecordSize = 64;
inline constexpr std::size_t kWordSize = 2;
// The logger counts a run's bytes in 16 bits: a block holds at most 32,767
// words (65,534 bytes); an odd count shows as a half word in the header.
inline constexpr std::uint64_t kMaxBlockWords = 32767;
inline constexpr std::uint64_t kMaxBlockBytes = kMaxBlockWords * kWordSize;
inline constexpr double kMaxBlockWordCount = kMaxBlockWords + 0.5;
inline constexpr std::uint64_t kBlockHeaderBytes = 3 * kBlockHeaderRecordSize;

// "_001" for block 1, "_012", "_100"; four or more digits stand alone.
std::string BlockSuffix(int number);
std::string BlockStem(const std::string& identification, int number);
// The pattern that finds a site's block data files.
std::string BlockFilePattern(const std::string& identification);
// The block number of a file name <identification>_NNN<extension>, three
// digits; nothing for any other name.
std::optional<int> BlockNumberOfName(std::string_view name, const std::string& identification,
                                     std::string_view extension);

// The numbers of a site's block data files in a data folder, ascending.
std::vector<int> BlockNumbersOnDisk(const Files& files, const std::string& dataDirectory,
                                    const std::string& identification);

struct BlockPaths {
  fs::path data;    // <stem>.DAT
  fs::path header;  // <stem>.KEY
};
// The stem path (data folder joined with the block stem, no extension).
fs::path BlockStemPath(const Files& files, const std::string& dataDirectory,
                       const std::string& stem);
BlockPaths MakeBlockPaths(const fs::path& stemPath);

// The logger's 13-byte run header, b1 to b13.
struct RunHeader {
  std::array<std::uint8_t, 13> b{};
  std::uint8_t Byte(int n) const { return b[static_cast<std::size_t>(n - 1)]; }
  int StartDay() const { return Byte(1) + 256 * Byte(2); }
  int StartTimeUnits() const { return Byte(3) + 256 * Byte(4); }  // units of 2 s
  int ScanInterval() const { return Byte(5) + 256 * Byte(6); }
  int SiteNumber() const { return Byte(8); }
  int SerialNumber() const { return Byte(9) + 256 * Byte(10); }
  int SensorCount() const { return Byte(12); }
};

// The run header a logger sends for a run started at a day number and time
// of day (seconds, kept in units of 2 s) with a scan interval.
RunHeader MakeRunHeader(int startDay, int startSeconds, int interval, int siteNumber,
                        int serialNumber, int sensorCount);

// What a block header file holds.
struct BlockHeader {
  RunHeader run;
  std::string record2;   // 64 bytes as stored
  std::string timeText;  // characters 14-21
  std::string dateText;  // characters 22-31
  std::string trailer;   // characters 32-33, "00" from every writer
  double words = 0;      // record 3
};
// Throws DamagedFileError when the header counts more words than a block can
// hold (or fewer than none), so no reader loops on a count from a file.
void CheckWordCount(const BlockHeader& header, const fs::path& headerFile);
// Throws DamagedFileError unless the header counts the whole words its data
// file holds (a download of an odd byte count adds a half word): a count of
// 0, a text or a file cut short is never read as a shorter block.
void CheckBlockAgrees(const BlockHeader& header, std::uint64_t dataBytes,
                      const fs::path& headerFile);

std::string BlockHeaderRecord1(double words);
std::string BlockHeaderRecord2(const RunHeader& run, const DateTime& downloaded);
std::string BlockHeaderRecord3(double words);
// Reads whatever the file holds; a short or missing file gives blanks.
BlockHeader ReadBlockHeader(const fs::path& headerFile);
// Rewrites one record of an existing block header file. Throws IoError, and
// leaves the file as it was, when it cannot be read or written.
void WriteBlockHeaderRecord(const fs::path& headerFile, int record, std::string_view text);
// Keeps a sensor count in the run header it was missing from; the rest of
// the record stays as read. Throws IoError as WriteBlockHeaderRecord.
void WriteBlockSensorCount(const fs::path& headerFile, const BlockHeader& header, int count);

// The raw readings of a block: 2-byte records, low byte first.
class BlockData {
 public:
  BlockData(const fs::path& dataFile, RecordFile::Mode mode);
  std::uint64_t WordCount() const { return file_.RecordCount(); }
  std::uint64_t Length() const { return file_.Length(); }
  // A word beyond the end of the file reads as 0.
  std::uint16_t ReadWord(std::uint64_t index);
  void WriteWordInPlace(std::uint64_t index, std::uint16_t value);
  // Every whole word, in order; a trailing odd byte is left out. Throws
  // DamagedFileError for a file larger than a block can be, IoError when it
  // cannot be read.
  std::vector<std::uint16_t> ReadAllWords();
  void Close() { file_.Close(); }

 private:
  RecordFile file_;
};

// The download's temporary files in the working root. Both are emptied when
// opened, so nothing of an interrupted download survives behind the new data.
class TempBlock {
 public:
  explicit TempBlock(const Files& files);
  void WriteWord(std::uint64_t index, std::uint8_t low, std::uint8_t high);
  void WriteTempHeader(double words, const RunHeader& run, const DateTime& downloaded);
  // Pushes both files to the disk. Throws IoError.
  void Flush();
  void Close();

 private:
  RecordFile header_;
  RecordFile data_;
};

fs::path TempHeaderPath(const Files& files);
fs::path TempDataPath(const Files& files);

// Puts the temporary files in place as <stem>.KEY and <stem>.DAT, as one
// pair (the .DAT, which makes the block count, comes last); the temporary
// files are removed only when both are in place. Throws IoError and then
// leaves no part of the block behind and the temporary files untouched; once
// it returns, the block is stored.
void CommitBlock(const Files& files, const fs::path& stemPath);
// Deletes both temporary files.
void DiscardTempBlock(const Files& files);

}  // namespace pelvaro
