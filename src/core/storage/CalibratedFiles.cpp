#include "core/storage/CalibratedFiles.h"

#include <cstring>

#include "core/storage/BlockStore.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

CalibratedFile::CalibratedFile(const fs::path& path, std::size_t recordSize, RecordFile::Mode mode)
    : file_(path, recordSize, mode, '\0') {}

CalibratedFile CalibratedFile::CreateEmpty(const fs::path& path, std::size_t recordSize) {
  return CalibratedFile(path, recordSize, RecordFile::Mode::Truncate);
}

std::array<std::string, 5> StartRecords(const CalibratedStart& start) {
  return {start.yearText, start.dayMonthText, start.timeText, Spaced(start.day),
          Spaced(start.seconds)};
}

fs::path CalibratedPath(const Files& files, const std::string& dataDirectory,
                        const std::string& identification, const char* extension) {
  return Files::Child(files.DataFolder(dataDirectory), CheckSafeName(identification) + extension);
}

bool RecoverCalibratedFiles(const Files& files, const std::string& dataDirectory,
                            const std::string& identification) {
  return fileops::RecoverPair(
      CalibratedPath(files, dataDirectory, identification, kGraphExtension),
      CalibratedPath(files, dataDirectory, identification, kSummaryExtension));
}

bool CalibratedFilesStale(const Files& files, const std::string& dataDirectory,
                          const std::string& identification) {
  std::error_code ec;
  fs::file_time_type newestBlock = fs::file_time_type::min();
  bool anyBlock = false;
  for (int n : BlockNumbersOnDisk(files, dataDirectory, identification)) {
    const BlockPaths paths =
        MakeBlockPaths(BlockStemPath(files, dataDirectory, BlockStem(identification, n)));
    for (const fs::path& p : {paths.data, paths.header}) {
      const auto t = fs::last_write_time(p, ec);
      if (!ec) newestBlock = std::max(newestBlock, t);
    }
    anyBlock = true;
  }
  if (!anyBlock) return false;
  for (const char* extension : {kGraphExtension, kSummaryExtension}) {
    const auto t =
        fs::last_write_time(CalibratedPath(files, dataDirectory, identification, extension), ec);
    if (ec || t <= newestBlock) return true;
  }
  return false;
}

namespace {
void AppendField(std::string& line, double value) { AppendTwoDecimalsAligned(line, value, 6); }
}  // namespace

std::string SensorField(double value) {
  std::string field;
  AppendField(field, value);
  return field;
}

std::string SensorLine(double value, double aboveRefill, double belowFieldCapacity) {
  std::string line;
  AppendSensorLine(line, value, aboveRefill, belowFieldCapacity);
  return line;
}

void AppendSensorLine(std::string& text, double value, double aboveRefill,
                      double belowFieldCapacity) {
  AppendField(text, value);
  AppendField(text, aboveRefill);
  AppendField(text, belowFieldCapacity);
}

bool PutSensorLine(char* record, double value, double aboveRefill, double belowFieldCapacity) {
  char fields[3][kQuickTwoDecimalsRoom];
  std::size_t lengths[3];
  const double values[3] = {value, aboveRefill, belowFieldCapacity};
  for (std::size_t i = 0; i < 3; ++i) {
    lengths[i] = QuickTwoDecimals(values[i], fields[i]);
    if (lengths[i] == 0) return false;
  }
  // A quick field has at most 14 characters (a sign, ten digits, the point
  // and two), so three fit a record uncut.
  std::size_t at = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    if (lengths[i] < 6) at += 6 - lengths[i];
    std::memcpy(record + at, fields[i], lengths[i]);
    at += lengths[i];
  }
  return true;
}

double SensorLineValue(std::string_view record) { return ParseLeadingNumber(record.substr(0, 6)); }

}  // namespace pelvaro
