#include "core/storage/GraphFile.h"

#include <array>
#include <cmath>

#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

double ReadNumberFast(std::string_view text) {
  static constexpr std::array<double, 16> kPowers = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                     1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0;
  int decimals = 0;
  for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
  }
  if (i < n && text[i] == '.') {
    for (++i; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, ++decimals) {
      mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
    }
  }
  if (digits == 0) return 0.0;
  // Decimals are counted among the digits, so at most 15 of them reach kPowers.
  if (digits > 15) return ParseLeadingNumber(text);
  const double value = static_cast<double>(mantissa) / kPowers[static_cast<std::size_t>(decimals)];
  if (value == 0.0) return 0.0;
  return negative ? -value : value;
}

namespace {

// A sensor line's value: the numeric prefix of its first six characters, as
// ReadNumberFast reads it, and the same in whole hundredths. Always inline:
// the compiler left it a call, which cost a tenth of a plain read.
struct SensorValue {
  double value;
  std::int32_t hundredths;
};
[[gnu::always_inline]] inline SensorValue ReadSensorValue(const char* text) {
  // As the conversion writes two decimals, right-aligned with the point
  // fourth ("  5.00", " 23.45", "-12.34"): read without a loop, since a
  // season's every reading passes here. Anything else is read in full.
  const auto digit = [](char c) { return static_cast<unsigned char>(c - '0') < 10; };
  if (text[3] == '.' && digit(text[2]) && digit(text[4]) && digit(text[5])) {
    std::int32_t units = (text[2] - '0') * 100 + (text[4] - '0') * 10 + (text[5] - '0');
    bool negative = false;
    bool shaped = true;
    if (digit(text[1])) {
      units += (text[1] - '0') * 1000;
      if (digit(text[0])) {
        units += (text[0] - '0') * 10000;
      } else {
        negative = text[0] == '-';
        shaped = negative || text[0] == ' ';
      }
    } else {
      negative = text[1] == '-';
      shaped = (negative || text[1] == ' ') && text[0] == ' ';
    }
    if (shaped) {
      // The same division as ReadNumberFast's, so the same double; a zero
      // has no sign.
      const double value = static_cast<double>(units) / 100.0;
      if (units == 0) return {0.0, 0};
      return negative ? SensorValue{-value, -units} : SensorValue{value, units};
    }
  }
  const double value = ReadNumberFast({text, 6});
  return {value, static_cast<std::int32_t>(RoundHalfAway(value * 100.0))};
}

constexpr std::size_t kRecord = kGraphRecordSize;
constexpr std::size_t kHeaderRecords = graphfile::kHeaderRecords;
constexpr std::size_t kChunkRecords = 1 << 12;
// No conversion writes more scans: 100 blocks of at most 32,768 scans each.
constexpr std::uint64_t kMaxScans = 100 * 32768;

std::string_view Record(const std::string& bytes, std::size_t record) {
  return std::string_view(bytes).substr((record - 1) * kRecord, kRecord);
}

int CountOf(std::string_view record, const char* what, const fs::path& path) {
  const double value = ReadNumberFast(record);
  if (!(value >= 0 && value <= kMaxGraphSlots)) {
    throw GraphFileError(std::string("The ") + what + " of the graph file " +
                         PathText(path.filename()) + " is out of range.");
  }
  return static_cast<int>(RoundHalfEven(value));
}

// How many scans the loop "for k = 1 to R step E + 1" visits.
std::uint64_t ScansNamed(double readingCount, int enabled) {
  if (!(readingCount >= 1)) return 0;
  const double scans = std::floor((readingCount - 1) / (enabled + 1)) + 1;
  return scans > 1e15 ? std::uint64_t{1} << 50 : static_cast<std::uint64_t>(scans);
}

}  // namespace

std::optional<GraphFileReader> GraphFileReader::Open(const fs::path& path) {
  const fs::path resolved = Files::Resolve(path);
  const std::uint64_t length = Files::FileLength(resolved);
  if (length < kGraphFileMinimum) return std::nullopt;
  GraphFileReader reader;
  reader.file_ = FileHandle(resolved, FileHandle::Open::Read);

  // The header and the first scan's two records; what lies beyond the end
  // reads as zero bytes.
  std::string head((kHeaderRecords + 2) * kRecord, '\0');
  reader.file_.ReadAt(0, head.data(), head.size());
  GraphFileHead& h = reader.head_;
  namespace g = graphfile;
  h.lastDateTime = ReadNumberFast(Record(head, g::kLastDateTime));
  h.slotCount = CountOf(Record(head, g::kSlotCount), "depth slot count", resolved);
  h.enabledCount = CountOf(Record(head, g::kEnabledCount), "enabled sensor count", resolved);
  h.readingCount = ReadNumberFast(Record(head, g::kReadingCount));
  h.yearText = TrimRight(Record(head, g::kStart));
  h.dayMonthText = TrimRight(Record(head, g::kStart + 1).substr(0, 10));
  h.firstInterval = ReadNumberFast(Record(head, g::kFirstScan));
  h.firstDateTime = ReadNumberFast(Record(head, g::kFirstScan + 1));

  const std::size_t group = static_cast<std::size_t>(h.enabledCount) + 2;
  const std::uint64_t body =
      length > kHeaderRecords * kRecord ? length - kHeaderRecords * kRecord : 0;
  const std::uint64_t wholeGroups = body / (group * kRecord);
  reader.scans_ = std::min({ScansNamed(h.readingCount, h.enabledCount), wholeGroups, kMaxScans});
  return reader;
}

bool GraphFileReader::ForEachScan(const std::function<void(const GraphScanView&)>& scan,
                                  const ReadProgress& progress, ScanFields fields) {
  std::uint64_t offset = kHeaderRecords * kRecord;
  const std::size_t enabled = static_cast<std::size_t>(head_.enabledCount);
  const std::size_t group = enabled + 2;
  // Whole groups per chunk, so a group never straddles two reads.
  const std::size_t groupsPerChunk = static_cast<std::size_t>(
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(kChunkRecords / group, scans_)));
  std::vector<char> chunk(groupsPerChunk * group * kRecord);
  std::array<double, kMaxGraphSlots> values{};
  std::array<std::int32_t, kMaxGraphSlots> hundredths{};
  GraphScanView view;
  view.values = std::span<const double>(values.data(), enabled);
  view.hundredths = std::span<const std::int32_t>(hundredths.data(), enabled);
  const bool intervals = fields == ScanFields::All;
  int shown = -1;
  std::uint64_t done = 0;
  while (done < scans_) {
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(groupsPerChunk, scans_ - done));
    const std::size_t got = file_.ReadAt(offset, chunk.data(), want * group * kRecord);
    offset += got;
    const std::size_t groups = got / (group * kRecord);
    if (groups == 0) break;  // the file shrank while it was read
    const char* p = chunk.data();
    std::size_t g = 0;
    for (; g < groups; ++g) {
      // A record never written reads as zero bytes, and the conversion
      // writes none: the data ends there, however large the file says it is.
      if (*p == '\0') break;
      if (intervals) view.interval = ReadNumberFast({p, kRecord});
      view.dateTime = ReadNumberFast({p + kRecord, kRecord});
      p += 2 * kRecord;
      for (std::size_t j = 0; j < enabled; ++j, p += kRecord) {
        const SensorValue read = ReadSensorValue(p);
        values[j] = read.value;
        hundredths[j] = read.hundredths;
      }
      scan(view);
    }
    done += g;
    if (g < groups) break;
    if (progress) {
      const int percent = static_cast<int>(done * 100 / scans_);
      if (percent > shown && progress(shown = percent) == ReadOn::Stop) return false;
    }
  }
  return true;
}

GraphFileWriter::GraphFileWriter(const fs::path& path)
    : file_(CalibratedFile::CreateEmpty(path, kGraphRecordSize)) {
  // Room for a piece and the largest scan group that passes its size.
  scans_.reserve(RecordFile::kWriteBehind + (kMaxGraphSlots + 2) * kRecord);
}

void GraphFileWriter::WriteHead(double serialNumber, int slotCount, int enabledCount,
                                const CalibratedStart& start) {
  // The two records known only at the end stay zero bytes until then.
  file_.WriteRecord(graphfile::kSerialNumber, Spaced(serialNumber));
  file_.WriteRecord(graphfile::kSlotCount, Spaced(slotCount));
  file_.WriteRecord(graphfile::kEnabledCount, Spaced(enabledCount));
  std::uint64_t record = graphfile::kStart;
  for (const std::string& text : StartRecords(start)) file_.WriteRecord(record++, text);
}

void GraphFileWriter::EndRecord(std::size_t start) {
  // As every record: padded with spaces, or cut.
  scans_.resize(start + kRecord, ' ');
}

void GraphFileWriter::StartScan(std::string_view intervalText, double dateTime) {
  scanAt_ = scans_.size();
  scans_.append(intervalText);
  EndRecord(scanAt_);
  AppendNumber(scans_, dateTime, kDoubleDigits, true);
  EndRecord(scanAt_ + kRecord);
}

void GraphFileWriter::AddSensorLine(double value, double aboveRefill, double belowFieldCapacity) {
  const std::size_t start = scans_.size();
  scans_.resize(start + kRecord, ' ');
  if (PutSensorLine(scans_.data() + start, value, aboveRefill, belowFieldCapacity)) return;
  scans_.resize(start);
  AppendSensorLine(scans_, value, aboveRefill, belowFieldCapacity);
  EndRecord(start);
}

void GraphFileWriter::EndScan() {
  // Scans are handed over in large pieces, which the file writes without a copy.
  if (scans_.size() >= RecordFile::kWriteBehind) WriteScans();
}

void GraphFileWriter::WriteScans() {
  if (scans_.empty()) return;
  // Emptied even when the write fails, as the file's own buffer is.
  struct Emptied {
    std::string& bytes;
    ~Emptied() { bytes.clear(); }
  } emptied{scans_};
  const std::uint64_t records = scans_.size() / kRecord;
  file_.WriteRecordsBehind(next_, scans_);
  next_ += records;
  // The piece being written took this buffer; the one given back needs room.
  scans_.reserve(RecordFile::kWriteBehind + (kMaxGraphSlots + 2) * kRecord);
}

void GraphFileWriter::WriteTotals(double readingCount, double lastDateTime) {
  WriteScans();
  file_.WriteRecord(graphfile::kReadingCount, Spaced(readingCount));
  file_.WriteRecord(graphfile::kLastDateTime, Spaced(lastDateTime));
}

void GraphFileWriter::Flush() {
  WriteScans();
  file_.Flush();
}

void GraphFileWriter::Close() {
  WriteScans();
  file_.Close();
}

std::optional<GraphFileData> ReadGraphFile(const fs::path& path,
                                           const std::function<void(int)>& progress) {
  auto reader = GraphFileReader::Open(path);
  if (!reader) return std::nullopt;
  GraphFileData data;
  static_cast<GraphFileHead&>(data) = reader->Head();
  // Room as the scans arrive beyond this, so a count alone allocates nothing large.
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(reader->Scans(), 1 << 16));
  data.intervals.reserve(room);
  data.dateTimes.reserve(room);
  data.values.assign(static_cast<std::size_t>(data.enabledCount), {});
  for (auto& column : data.values) column.reserve(room);
  ReadProgress readOn;
  if (progress) {
    readOn = [&progress](int percent) {
      progress(percent);
      return ReadOn::Continue;
    };
  }
  reader->ForEachScan(
      [&data](const GraphScanView& scan) {
        data.intervals.push_back(scan.interval);
        data.dateTimes.push_back(scan.dateTime);
        for (std::size_t j = 0; j < scan.values.size(); ++j)
          data.values[j].push_back(scan.values[j]);
      },
      readOn);
  return data;
}

}  // namespace pelvaro
