#include "core/storage/CalibratedFiles.h"

#include "core/storage/NumberText.h"

namespace pelvaro {

CalibratedFile::CalibratedFile(const fs::path& path, std::size_t recordSize, RecordFile::Mode mode)
    : file_(path, recordSize, mode, '\0') {}

CalibratedFile CalibratedFile::CreateEmpty(const fs::path& path, std::size_t recordSize) {
  return CalibratedFile(path, recordSize, RecordFile::Mode::Truncate);
}

fs::path CalibratedPath(const Files& files, const std::string& dataDirectory,
                        const std::string& identification, const char* extension) {
  return Files::Resolve(files.DataFolder(dataDirectory) /
                        (CheckSafeName(identification) + extension));
}

std::string SensorField(double value) {
  std::string text = FormatTwoDecimals(value);
  if (text.size() < 6) text.insert(0, 6 - text.size(), ' ');
  return text;
}

std::string SensorLine(double value, double aboveRefill, double belowFieldCapacity) {
  return SensorField(value) + SensorField(aboveRefill) + SensorField(belowFieldCapacity);
}

double SensorLineValue(std::string_view record) { return ParseLeadingNumber(record.substr(0, 6)); }

}  // namespace pelvaro
