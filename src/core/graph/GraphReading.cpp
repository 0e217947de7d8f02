#include "core/graph/GraphReading.h"

#include <algorithm>
#include <stdexcept>

#include "core/outlook/SiteScans.h"
#include "core/platform/FileOps.h"

namespace pelvaro {

namespace {

constexpr double kMissingValue = std::numeric_limits<double>::quiet_NaN();

GraphReadResult Failed(const std::exception& e) {
  return {GraphReadResult::Outcome::Failed, "",
          std::string("An error occurred while reading the graph.\r\nThe error is ") + e.what()};
}

}  // namespace

GraphReadResult ReadForGraph(const std::function<GraphReadResult()>& read) {
  try {
    return read();
  } catch (const IoError& e) {
    return Failed(e);
  } catch (const GraphFileError& e) {
    return Failed(e);
  } catch (const UnsafeNameError& e) {
    // A name read from Sitesel.dat or the header that no file may have.
    return Failed(e);
  } catch (const std::out_of_range& e) {
    // A header's depth slot count beyond what a header holds.
    return Failed(e);
  }
}

void GraphScansBuilder::Begin(const fs::path& path, const GraphFileHead& head,
                              std::uint64_t scans) {
  path_ = Files::Resolve(path);
  scans_ = GraphScans{};
  scans_.head = head;
  scans_.mode = AxisModeForSpan(head.lastDateTime - head.firstDateTime);
  divisor_ = AxisDivisor(scans_.mode);
  elapsed_ = -head.firstInterval / 60;
  // Room as the scans arrive beyond this, so a count alone allocates nothing large.
  const auto room = static_cast<std::size_t>(std::min<std::uint64_t>(scans, 1 << 16));
  scans_.x.reserve(room);
  scans_.dateTimes.reserve(room);
  scans_.values.assign(static_cast<std::size_t>(head.enabledCount), {});
  for (auto& column : scans_.values) column.reserve(room);
  scans_.ranges.assign(scans_.values.size(), ValueRange{});
  marked_.clear();
  begun_ = true;
  complete_ = false;
}

void GraphScansBuilder::Scan(const GraphScanView& scan, const std::uint16_t* raw) {
  elapsed_ += scan.interval / 60;
  const double x = scans_.mode == AxisMode::DateTime ? scan.dateTime : elapsed_ / divisor_;
  const bool first = scans_.x.empty();
  scans_.xMin = first ? x : std::min(scans_.xMin, x);
  scans_.xMax = first ? x : std::max(scans_.xMax, x);
  scans_.x.push_back(x);
  scans_.dateTimes.push_back(scan.dateTime);
  for (std::size_t j = 0; j < scan.values.size(); ++j) {
    double v = scan.values[j];
    if (raw != nullptr && OutOfRange(raw[j])) {
      marked_.push_back({j, scans_.values[j].size(), v});
      v = kMissingValue;
    }
    scans_.ranges[j].Add(v);
    scans_.values[j].push_back(v);
  }
}

void GraphScansBuilder::End(bool paired) {
  // Readings of other scans say nothing of these: the file's values stand.
  if (!paired) {
    for (const Marked& m : marked_) {
      scans_.values[m.sensor][m.scan] = m.value;
      scans_.ranges[m.sensor].Add(m.value);
    }
  }
  marked_.clear();
  complete_ = true;
}

std::optional<GraphScans> GraphScansBuilder::Take(const fs::path& path) {
  if (!begun_ || !complete_ || path_ != Files::Resolve(path)) return std::nullopt;
  begun_ = complete_ = false;
  return std::move(scans_);
}

ReadProgress Following(const std::function<void(int)>& progress) {
  if (!progress) return {};
  return [progress](int percent) {
    progress(percent);
    return ReadOn::Continue;
  };
}

std::optional<GraphScans> ReadGraphScans(const fs::path& path,
                                         const std::function<void(int)>& progress) {
  auto reader = GraphFileReader::Open(path);
  if (!reader) return std::nullopt;
  GraphScansBuilder builder;
  builder.Begin(path, reader->Head(), reader->Scans());
  const bool read = reader->ForEachScan(
      [&builder](const GraphScanView& scan) { builder.Scan(scan, nullptr); }, Following(progress));
  if (read) builder.End(true);
  return builder.Take(path);
}

std::optional<GraphScans> ReadGraphScans(const Files& files, const std::string& identification,
                                         const std::string& directory, const fs::path& path,
                                         const std::function<void(int)>& progress) {
  GraphScansBuilder builder;
  // A failure here only leaves the missing values unmarked: the file alone is
  // read next, and its own failures are told.
  ReadForGraph([&] {
    SiteScans::Open(files, identification, directory)
        .ForEachScan(
            nullptr, [](const SiteScans::Scan&) {}, Following(progress), &builder);
    return GraphReadResult{};
  });
  if (auto scans = builder.Take(path)) return scans;
  return ReadGraphScans(path, progress);
}

}  // namespace pelvaro
