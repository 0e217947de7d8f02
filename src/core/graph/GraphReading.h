#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/graph/GraphAxis.h"
#include "core/outlook/Outlook.h"
#include "core/platform/Files.h"
#include "core/storage/GraphFile.h"

namespace pelvaro {

// How a read for the graph ended: read, or the message the user is shown.
struct GraphReadResult {
  enum class Outcome { Read, NoGraph, Failed };
  Outcome outcome = Outcome::Read;
  std::string title;
  std::string text;

  bool Read() const { return outcome == Outcome::Read; }
  static GraphReadResult NoGraph(std::string text) {
    return {Outcome::NoGraph, "", std::move(text)};
  }
};

// Runs a read of the site selection, the site header or the graph file. A
// file that cannot be read or holds what no such file may hold becomes the
// Failed result naming the file and the cause; any other error is no read
// failure and passes on.
GraphReadResult ReadForGraph(const std::function<GraphReadResult()>& read);

// The percent of a reading for a caller that follows it and never stops it;
// nothing for nothing.
ReadProgress Following(const std::function<void(int)>& progress);

// The lowest and highest of some values; crossed (low above high) until one
// is added. A missing value (NaN) widens nothing.
struct ValueRange {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();

  bool Empty() const { return low > high; }
  void Add(double value) {
    if (std::isnan(value)) return;
    low = std::min(low, value);
    high = std::max(high, value);
  }
  void Add(const ValueRange& other) {
    low = std::min(low, other.low);
    high = std::max(high, other.high);
  }
};

// The graph file as the chart takes it, built in the one pass that reads it:
// every scan's place on the axis its span calls for, and each sensor's range.
// A value whose raw reading the logger could not take (OutOfRange) is
// missing: NaN, so that its line breaks there and no axis reaches for it.
struct GraphScans {
  GraphFileHead head;
  AxisMode mode = AxisMode::Minutes;
  std::vector<double> x;                    // per scan
  std::vector<double> dateTimes;            // per scan
  std::vector<std::vector<double>> values;  // per enabled sensor, per scan
  std::vector<ValueRange> ranges;           // per enabled sensor, of its values not missing
  double xMin = 0;
  double xMax = 0;

  std::size_t Scans() const { return x.size(); }
};

// Builds GraphScans from the scans of a graph file as they are read, by
// ReadGraphScans or by the outlook's pass over the same file.
class GraphScansBuilder : public GraphScanSink {
 public:
  void Begin(const fs::path& path, const GraphFileHead& head, std::uint64_t scans) override;
  void Scan(const GraphScanView& scan, const std::uint16_t* raw) override;
  void End(bool paired) override;
  // The scans of the file at `path`, when every one of them was seen.
  std::optional<GraphScans> Take(const fs::path& path);
  // The pass began on the file at `path`, whether it ended or not.
  bool Began(const fs::path& path) const { return begun_ && path_ == Files::Resolve(path); }

 private:
  // A value marked missing, and what the file holds for it.
  struct Marked {
    std::size_t sensor;
    std::size_t scan;
    double value;
  };

  fs::path path_;
  GraphScans scans_;
  std::vector<Marked> marked_;
  double elapsed_ = 0;
  double divisor_ = 1;
  bool begun_ = false;
  bool complete_ = false;
};

// The graph file at `path` as it holds its values. Nothing when the file is
// missing or shorter than kGraphFileMinimum; throws as GraphFileReader does.
std::optional<GraphScans> ReadGraphScans(const fs::path& path,
                                         const std::function<void(int)>& progress = {});
// The graph file of the site in `directory`, at `path`, with the values its
// blocks' raw readings say are missing marked; as the file holds them when the
// blocks cannot be read or do not pair with it scan for scan.
std::optional<GraphScans> ReadGraphScans(const Files& files, const std::string& identification,
                                         const std::string& directory, const fs::path& path,
                                         const std::function<void(int)>& progress = {});

}  // namespace pelvaro
