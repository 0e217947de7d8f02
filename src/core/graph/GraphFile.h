#pragma once

#include <cstdint>
#include <functional>
#include <optional>
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

// A graph file read whole, front to back: its header records and every scan.
struct GraphFileData {
  double lastDateTime = 0;                  // record 2
  int slotCount = 0;                        // record 3
  int enabledCount = 0;                     // record 4
  double readingCount = 0;                  // record 5
  std::string yearText;                     // record 6
  std::string dayMonthText;                 // record 7
  double firstInterval = 0;                 // record 11
  double firstDateTime = 0;                 // record 12
  std::vector<double> intervals;            // per scan
  std::vector<double> dateTimes;            // per scan
  std::vector<std::vector<double>> values;  // per enabled sensor, per scan

  std::size_t Scans() const { return intervals.size(); }
};

// Reads the scans the reading count names, but only whole scan groups: a
// damaged count never reads past the end. `progress` gets the percent of
// scans read each time it grows. Nothing when the file is missing or shorter
// than kGraphFileMinimum; throws IoError when it cannot be read and
// GraphFileError when its counts are out of range.
std::optional<GraphFileData> ReadGraphFile(const fs::path& path,
                                           const std::function<void(int)>& progress = {});

}  // namespace pelvaro
