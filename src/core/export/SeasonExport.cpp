#include "core/export/SeasonExport.h"

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

namespace pelvaro {

namespace {

constexpr std::size_t kFlushBytes = 1 << 20;
constexpr int kLastSecond = 86399;
constexpr char kTotalKey[] = "root_zone_total";

// An output file written under a sibling name and renamed over its target
// once it is whole; dropped unrenamed, it takes the sibling with it.
class SiblingFile {
 public:
  explicit SiblingFile(fs::path target) : target_(std::move(target)), temp_(target_) {
    temp_ += ".new";
    file_.reset(std::fopen(temp_.string().c_str(), "wb"));
    if (!file_) Fail();
  }
  ~SiblingFile() {
    file_.reset();
    if (!renamed_) Files::Remove(temp_);
  }
  SiblingFile(const SiblingFile&) = delete;
  SiblingFile& operator=(const SiblingFile&) = delete;

  // Writes the bytes and empties them.
  void Write(std::string& bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) Fail();
    bytes.clear();
  }
  // Everything on disk, the file closed: ready to be renamed.
  void Finish() {
    const bool flushed = std::fflush(file_.get()) == 0;
    if (!flushed) Fail();
    if (std::fclose(file_.release()) != 0) Fail();
    Files::SyncFile(temp_);
  }
  void Rename() {
    std::error_code ec;
    fs::rename(temp_, target_, ec);
    if (ec) throw IoError(ec.message() + ": " + target_.string());
    renamed_ = true;
  }

 private:
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  [[noreturn]] void Fail() const {
    throw IoError(std::string(std::strerror(errno)) + ": " + target_.string());
  }

  fs::path target_;
  fs::path temp_;
  std::unique_ptr<std::FILE, Closer> file_;
  bool renamed_ = false;
};

// The value with exactly two decimals, as FixedText writes it. A value the
// graph file holds has at most two decimals, and a sum of such values lies
// next to its exact cents: those are written from their whole cents, which
// is what the export of a full site spends its time on.
void AppendTwoDecimals(std::string& out, double value) {
  const double cents = value * 100;
  const double whole = std::nearbyint(cents);
  if (!(std::abs(cents - whole) < 1e-6 && std::abs(whole) < 1e12)) {
    out += FixedText(value, 2);
    return;
  }
  auto n = static_cast<std::int64_t>(whole);
  if (n < 0) {
    out += '-';
    n = -n;
  }
  char digits[24];
  int length = 0;
  // At least three digits: 5 cents are "0.05".
  do {
    digits[length++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0 || length < 3);
  while (length > 2) out += digits[--length];
  out += '.';
  out += digits[1];
  out += digits[0];
}

void AppendTwoDigits(std::string& out, int n) {
  out += static_cast<char>('0' + n / 10);
  out += static_cast<char>('0' + n % 10);
}

// "2026-09-07T10:00:00", the date worked out once per day.
class TimeWriter {
 public:
  // False (nothing appended) for a time without a calendar date.
  bool Append(std::string& out, const std::optional<ScanTime>& time) {
    if (!time) return false;
    if (time->day != day_) {
      day_ = time->day;
      date_ = IsoDate(time->day);
    }
    if (date_.empty()) return false;
    out += date_;
    out += 'T';
    AppendTwoDigits(out, time->seconds / 3600);
    out += ':';
    AppendTwoDigits(out, time->seconds / 60 % 60);
    out += ':';
    AppendTwoDigits(out, time->seconds % 60);
    return true;
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

  void Row(std::string& out, const SiteScans::Scan& scan, const std::optional<ScanTime>& time) {
    if (json_) {
      out += rows_ == 0 ? "\n    {\"time\": " : ",\n    {\"time\": ";
      const std::size_t quote = out.size();
      out += '"';
      if (times_.Append(out, time)) {
        out += '"';
      } else {
        out.resize(quote);
        out += "null";
      }
    } else {
      times_.Append(out, time);
    }
    for (std::size_t j = 0; j < scan.graph.values.size(); ++j) {
      out += separators_[j];
      Value(out,
            OutOfRange(scan.raw[j]) ? std::nullopt : std::optional<double>(scan.graph.values[j]));
    }
    out += separators_.back();
    Value(out, scan.total);
    out += json_ ? "}" : "\r\n";
    ++rows_;
  }

  std::string Tail() const {
    if (!json_) return "";
    return rows_ == 0 ? "]\n}\n" : "\n  ]\n}\n";
  }

  std::uint64_t Rows() const { return rows_; }

 private:
  void Value(std::string& out, const std::optional<double>& value) const {
    if (value) {
      AppendTwoDecimals(out, *value);
    } else if (json_) {
      out += "null";
    }
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

std::uint64_t ExportSeason(const Files& files, const SeasonExportRequest& request,
                           const fs::path& target) {
  SiteScans site = SiteScans::Open(files, request.identification, request.dataDirectory);
  if (site.Sensors().empty()) {
    throw std::runtime_error("This site does not have any sensors selected.");
  }
  if (!site.HasGraph()) {
    throw std::runtime_error("The site " + request.identification +
                             " has no graph file: convert the site first.");
  }
  RowWriter rows(site, request.format);
  SiblingFile out(target);
  std::string buffer = rows.Head(site);
  buffer.reserve(kFlushBytes + 4096);
  site.ForEachScan(nullptr, [&](const SiteScans::Scan& scan) {
    const auto time = SplitDateTime(scan.graph.dateTime);
    if (!request.range.Contains(time)) return;
    rows.Row(buffer, scan, time);
    if (buffer.size() >= kFlushBytes) out.Write(buffer);
  });
  buffer += rows.Tail();
  out.Write(buffer);
  out.Finish();
  if (request.format == ExportFormat::Csv) {
    SiblingFile meta(MetaPath(target));
    std::string text = JsonHead(site) + "\n}\n";
    meta.Write(text);
    meta.Finish();
    out.Rename();
    meta.Rename();
  } else {
    out.Rename();
  }
  return rows.Rows();
}

}  // namespace pelvaro
