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

namespace {
void AppendField(std::string& line, double value) {
  const std::string text = FormatTwoDecimals(value);
  if (text.size() < 6) line.append(6 - text.size(), ' ');
  line += text;
}
}  // namespace

std::string SensorField(double value) {
  std::string field;
  AppendField(field, value);
  return field;
}

std::string SensorLine(double value, double aboveRefill, double belowFieldCapacity) {
  std::string line;
  line.reserve(24);
  AppendField(line, value);
  AppendField(line, aboveRefill);
  AppendField(line, belowFieldCapacity);
  return line;
}

double SensorLineValue(std::string_view record) { return ParseLeadingNumber(record.substr(0, 6)); }

}  // namespace pelvaro
