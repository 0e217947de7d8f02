#include "core/export/SeasonExport.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "core/outlook/OutlookReport.h"
#include "core/outlook/SiteScans.h"
#include "core/platform/FileOps.h"
#include "core/platform/FolderLock.h"
#include "core/storage/GraphFile.h"

namespace pelvaro {

namespace {

constexpr std::size_t kFlushBytes = 1 << 20;
// Room for the longest row: sixteen sensors and a total of at most 64
// characters each, with their keys.
constexpr std::size_t kRowRoom = 4096;
constexpr int kLastSecond = 86399;
constexpr char kTotalKey[] = "root_zone_total";

// An output file written under a sibling name of its own and renamed once it
// is whole; dropped unrenamed, it takes the sibling with it. Rows are put
// together in its buffer, where they stay until a megabyte is full.
class SiblingFile {
 public:
  explicit SiblingFile(const fs::path& target)
      : temp_(fileops::UniqueSibling(target)),
        file_(temp_, FileHandle::Open::Create),
        buffer_(kFlushBytes + kRowRoom) {}
  ~SiblingFile() {
    if (!renamed_) {
      try {
        file_.Close();
      } catch (const IoError&) {
        // Removed all the same.
      }
      fileops::Remove(temp_);
    }
  }
  SiblingFile(const SiblingFile&) = delete;
  SiblingFile& operator=(const SiblingFile&) = delete;

  void Write(std::string_view bytes) {
    if (used_ + bytes.size() > buffer_.size()) Flush();
    if (bytes.size() > buffer_.size()) {
      Put(bytes);
    } else {
      std::memcpy(buffer_.data() + used_, bytes.data(), bytes.size());
      used_ += bytes.size();
    }
  }
  // Where the next row goes, with room for kRowRoom bytes.
  char* Tail() { return buffer_.data() + used_; }
  // The row that ends here is written.
  void Advance(const char* end) {
    used_ = static_cast<std::size_t>(end - buffer_.data());
    if (used_ >= kFlushBytes) Flush();
  }
  // Everything on disk, the file closed: ready to be renamed.
  void Finish() {
    Flush();
    file_.Sync();
    file_.Close();
  }
  void RenameTo(const fs::path& name) {
    fileops::Rename(temp_, name);
    renamed_ = true;
  }

 private:
  void Put(std::string_view bytes) {
    file_.WriteAt(written_, bytes);
    written_ += bytes.size();
  }
  void Flush() {
    Put(std::string_view(buffer_.data(), used_));
    used_ = 0;
  }

  fs::path temp_;
  FileHandle file_;
  bool renamed_ = false;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
};

// Rows are put together in place, in the output buffer: the export of a
// full site spends its time here.
char* Put(char* at, std::string_view text) {
  for (char c : text) *at++ = c;
  return at;
}

// "00" to "99", two characters each.
constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int n = 0; n < 100; ++n) {
    pairs[2 * static_cast<std::size_t>(n)] = static_cast<char>('0' + n / 10);
    pairs[2 * static_cast<std::size_t>(n) + 1] = static_cast<char>('0' + n % 10);
  }
  return pairs;
}();

char* PutPair(char* at, std::uint64_t n) {
  at[0] = kDigitPairs[2 * n];
  at[1] = kDigitPairs[2 * n + 1];
  return at + 2;
}

// The value with exactly two decimals, as FixedText writes it. A value the
// graph file holds has at most two decimals, and a sum of such values lies
// next to its exact cents: those are written from their whole cents.
char* PutTwoDecimals(char* at, double value) {
  const double cents = value * 100;
  const auto whole =
      std::abs(cents) < 1e12 ? static_cast<std::int64_t>(cents + (cents < 0 ? -0.5 : 0.5)) : 0;
  if (!(std::abs(cents - static_cast<double>(whole)) < 1e-6)) return Put(at, FixedText(value, 2));
  if (whole < 0) *at++ = '-';
  const auto n = static_cast<std::uint64_t>(whole < 0 ? -whole : whole);
  std::uint64_t units = n / 100;
  // The units from the front, two digits at a time.
  char digits[16];
  char* p = digits + sizeof digits;
  while (units >= 100) {
    p -= 2;
    PutPair(p, units % 100);
    units /= 100;
  }
  if (units >= 10) {
    at = PutPair(at, units);
  } else {
    *at++ = static_cast<char>('0' + units);
  }
  at = Put(at, std::string_view(p, static_cast<std::size_t>(digits + sizeof digits - p)));
  *at++ = '.';
  return PutPair(at, n % 100);
}

char* PutTwoDigits(char* at, int n) {
  *at++ = static_cast<char>('0' + n / 10);
  *at++ = static_cast<char>('0' + n % 10);
  return at;
}

// "2026-09-07T10:00:00", the date worked out once per day.
class TimeWriter {
 public:
  // Nothing (nullptr) for a time without a calendar date.
  char* Put(char* at, const std::optional<ScanTime>& time) {
    if (!time) return nullptr;
    if (time->day != day_) {
      day_ = time->day;
      date_ = IsoDate(time->day);
    }
    if (date_.empty()) return nullptr;
    at = pelvaro::Put(at, date_);
    *at++ = 'T';
    at = PutTwoDigits(at, time->seconds / 3600);
    *at++ = ':';
    at = PutTwoDigits(at, time->seconds / 60 % 60);
    *at++ = ':';
    return PutTwoDigits(at, time->seconds % 60);
  }

 private:
  std::optional<std::int64_t> day_;
  std::string date_;
};

std::string DepthKey(const SiteSensor& sensor) { return std::to_string(sensor.depthCm) + "cm"; }

// The keys every JSON export starts with, up to the list of scans.
std::string JsonHead(const SiteScans& site) {
  std::string json = "{\n  \"site\": " + JsonString(site.Identification()) +
                     ",\n  \"unit\": " + JsonString(site.Unit()) + ",\n  \"sensors\": [";
  const auto& sensors = site.Sensors();
  for (std::size_t j = 0; j < sensors.size(); ++j) {
    json += std::string(j == 0 ? "\n" : ",\n") +
            "    {\"depth_cm\": " + std::to_string(sensors[j].depthCm) +
            ", \"field_capacity\": " + JsonNumber(sensors[j].fieldCapacity) +
            ", \"refill\": " + JsonNumber(sensors[j].refill) + "}";
  }
  return json + "\n  ]";
}

// Writes the rows of one format into the buffer.
class RowWriter {
 public:
  RowWriter(const SiteScans& site, ExportFormat format) : json_(format == ExportFormat::Json) {
    // Everything that stands between two values, worked out once.
    const auto& sensors = site.Sensors();
    if (json_) {
      for (const SiteSensor& sensor : sensors)
        separators_.push_back(", \"" + DepthKey(sensor) + "\": ");
      separators_.push_back(std::string(", \"") + kTotalKey + "\": ");
    } else {
      separators_.assign(sensors.size() + 1, ",");
    }
  }

  std::string Head(const SiteScans& site) const {
    if (json_) return JsonHead(site) + ",\n  \"scans\": [";
    std::string head = "time";
    for (const SiteSensor& sensor : site.Sensors()) head += "," + DepthKey(sensor);
    return head + "," + kTotalKey + "\r\n";
  }

  // Puts the row at `at`, with room for kRowRoom bytes; returns its end.
  char* Row(char* at, const SiteScans::Scan& scan, const std::optional<ScanTime>& time) {
    if (json_) {
      at = Put(at, rows_ == 0 ? "\n    {\"time\": \"" : ",\n    {\"time\": \"");
      if (char* end = times_.Put(at, time)) {
        at = end;
        *at++ = '"';
      } else {
        at = Put(at - 1, "null");
      }
    } else if (char* end = times_.Put(at, time)) {
      at = end;
    }
    for (std::size_t j = 0; j < scan.graph.values.size(); ++j) {
      at = Put(at, separators_[j]);
      at = Value(
          at, OutOfRange(scan.raw[j]) ? std::nullopt : std::optional<double>(scan.graph.values[j]));
    }
    at = Put(at, separators_.back());
    at = Value(at, scan.total);
    ++rows_;
    return Put(at, json_ ? "}" : "\r\n");
  }

  std::string Tail() const {
    if (!json_) return "";
    return rows_ == 0 ? "]\n}\n" : "\n  ]\n}\n";
  }

  std::uint64_t Rows() const { return rows_; }

 private:
  char* Value(char* at, const std::optional<double>& value) const {
    if (value) return PutTwoDecimals(at, *value);
    return json_ ? Put(at, "null") : at;
  }

  bool json_;
  std::vector<std::string> separators_;  // before each sensor's value and before the total
  TimeWriter times_;
  std::uint64_t rows_ = 0;
};

}  // namespace

bool ExportRange::Contains(const std::optional<ScanTime>& time) const {
  if (!time) return !from && !to;
  const auto key = [](const ScanTime& t) { return std::tie(t.day, t.seconds); };
  return (!from || key(*from) <= key(*time)) && (!to || key(*time) <= key(*to));
}

std::optional<std::int64_t> ParseIsoDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  int parts[3] = {0, 0, 0};
  int part = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (i == 4 || i == 7) {
      ++part;
    } else if (text[i] >= '0' && text[i] <= '9') {
      parts[part] = parts[part] * 10 + (text[i] - '0');
    } else {
      return std::nullopt;
    }
  }
  if (parts[0] == 0) return std::nullopt;  // the calendar starts at year 1
  using namespace std::chrono;
  const year_month_day date{year{parts[0]}, month{static_cast<unsigned>(parts[1])},
                            day{static_cast<unsigned>(parts[2])}};
  if (!date.ok()) return std::nullopt;
  // Day 1 is 1 January 1996.
  return (sys_days{date} - sys_days{year{1995} / December / 31}).count();
}

ExportRange DayRange(std::optional<std::int64_t> fromDay, std::optional<std::int64_t> toDay) {
  ExportRange range;
  if (fromDay) range.from = ScanTime{*fromDay, 0};
  if (toDay) range.to = ScanTime{*toDay, kLastSecond};
  return range;
}

fs::path MetaPath(const fs::path& csv) {
  fs::path meta = csv;
  meta += ".meta.json";
  return meta;
}

void CheckExportTarget(const fs::path& target) {
  for (const char* kept : {".key", ".dat", ".bgf", ".pct", ".evt"}) {
    const std::string extension = PathText(target.extension());
    if (Files::SameNameIgnoringCase(extension, kept)) {
      throw ExportRefusal("An export is never written over a " + extension +
                          " file: " + PathText(target));
    }
  }
}

void WriteExport(const fs::path& target, std::string_view bytes) {
  CheckExportTarget(target);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const FolderLock lock(folder);
  // A season export killed half way on this target is finished or undone
  // first, so that its sidecar never lands beside this file later.
  fileops::RecoverPair(target, MetaPath(target));
  fileops::RemoveUniqueSiblings(target);
  SiblingFile out(target);
  out.Write(bytes);
  out.Finish();
  out.RenameTo(target);
  try {
    fileops::SyncFolder(folder);
  } catch (const IoError&) {
    // The export is in place; only its name may not yet be on the disk.
  }
}

std::uint64_t ExportSeason(const Files& files, const SeasonExportRequest& request,
                           const fs::path& target) {
  CheckExportTarget(target);
  SiteScans site = SiteScans::Open(files, request.identification, request.dataDirectory);
  if (site.Sensors().empty()) {
    throw ExportRefusal("This site does not have any sensors selected.");
  }
  if (!site.HasGraph()) {
    throw ExportRefusal("The site " + request.identification +
                        " has no graph file: convert the site first.");
  }
  RowWriter rows(site, request.format);
  const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  const fs::path metaPath = MetaPath(target);
  // Exports into one folder take turns, so none sees another half done.
  const FolderLock lock(folder);
  // What a killed export left: its half-committed pair is finished or undone,
  // and the files it was writing go.
  fileops::RecoverPair(target, metaPath);
  fileops::RemoveUniqueSiblings(target);
  fileops::RemoveUniqueSiblings(metaPath);

  SiblingFile out(target);
  out.Write(rows.Head(site));
  site.ForEachScan(nullptr, [&](const SiteScans::Scan& scan) {
    const auto time = SplitDateTime(scan.graph.dateTime);
    if (request.range.Contains(time)) out.Advance(rows.Row(out.Tail(), scan, time));
  });
  out.Write(rows.Tail());
  out.Finish();
  if (request.format == ExportFormat::Csv) {
    SiblingFile meta(metaPath);
    meta.Write(JsonHead(site) + "\n}\n");
    meta.Finish();
    // The table and its sidecar replace the old ones as a pair: the table's
    // part is in place before the sidecar's, as RecoverPair expects.
    try {
      out.RenameTo(fileops::PairPart(target));
      meta.RenameTo(fileops::PairPart(metaPath));
    } catch (const IoError&) {
      fileops::DiscardPair(target, metaPath);
      throw;
    }
    try {
      fileops::CommitPair(target, metaPath);
    } catch (const IoError&) {
      // Once the table is in place its sidecar must follow; before, neither does.
      if (!fileops::RecoverPair(target, metaPath)) throw;
    }
  } else {
    out.RenameTo(target);
  }
  try {
    fileops::SyncFolder(folder);
  } catch (const IoError&) {
    // The export is in place; only its names may not yet be on the disk.
  }
  return rows.Rows();
}

std::string SeasonExportName(const std::string& identification, std::optional<ScanTime> first,
                             std::optional<ScanTime> last) {
  const std::string from = first ? IsoDate(first->day) : std::string();
  const std::string to = last ? IsoDate(last->day) : std::string();
  if (from.empty() || to.empty()) return identification + ".csv";
  return identification + "_" + from + "_" + to + ".csv";
}

fs::path CsvExportTarget(const fs::path& chosen) {
  if (Files::SameNameIgnoringCase(PathText(chosen.extension()), ".csv")) return chosen;
  fs::path target = chosen;
  target += ".csv";
  return target;
}

std::optional<std::string> ReplaceQuestion(const fs::path& csv) {
  std::vector<std::string> existing;
  for (const fs::path& file : {csv, MetaPath(csv)}) {
    if (Files::FileExists(file)) existing.push_back(PathText(file));
  }
  if (existing.empty()) return std::nullopt;
  if (existing.size() == 1) {
    return existing[0] + "\r\nalready exists.\r\n\r\nDo you want to replace it?";
  }
  return existing[0] + "\r\nand\r\n" + existing[1] +
         "\r\nalready exist.\r\n\r\nDo you want to replace them?";
}

ExportReport ExportSeasonCsv(const Files& files, SeasonExportRequest request,
                             const fs::path& target) {
  request.format = ExportFormat::Csv;
  std::string why;
  try {
    const std::uint64_t scans = ExportSeason(files, request, target);
    return {true, kExportTitle,
            "Exported " + std::to_string(scans) + (scans == 1 ? " scan" : " scans") + " to\r\n" +
                PathText(target) + "\r\n\r\nThe site, its unit and its sensors are in\r\n" +
                PathText(MetaPath(target))};
  } catch (const ExportRefusal& e) {
    why = e.what();
  } catch (const IoError& e) {
    why = e.what();
  } catch (const GraphFileError& e) {
    why = e.what();
  } catch (const UnsafeNameError& e) {
    why = e.what();
  }
  return {false, kExportTitle,
          "An error occurred while exporting the season.\r\nThe error is " + why};
}

}  // namespace pelvaro
