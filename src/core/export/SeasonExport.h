#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/outlook/Outlook.h"
#include "core/platform/Files.h"

namespace pelvaro {

// The season export: every scan of a site's graph file in a form a
// spreadsheet, R or pandas reads without help. One row per scan: its time
// (ISO 8601 local time), the value of each enabled sensor with two decimals
// under its depth ("10cm"), and the root-zone total as the outlook adds it
// up. An out-of-range reading, and the total of a scan with one in the root
// zone, is an empty cell (CSV) or null (JSON), never a number.

enum class ExportFormat { Csv, Json };

// The scans exported: those whose time, to the second, lies from `from` to
// `to`, both included. An open end takes everything on its side; a scan
// without a calendar time is taken only when both ends are open.
struct ExportRange {
  std::optional<ScanTime> from;
  std::optional<ScanTime> to;
  bool Contains(const std::optional<ScanTime>& time) const;
};

// The day number of a "2026-09-07" date; nothing for any other text or a
// day the calendar lacks.
std::optional<std::int64_t> ParseIsoDate(std::string_view text);
// From 00:00:00 of the first day to the last second of the last day.
ExportRange DayRange(std::optional<std::int64_t> fromDay, std::optional<std::int64_t> toDay);

struct SeasonExportRequest {
  std::string identification;
  std::optional<std::string> dataDirectory;  // the site header's when not given
  ExportRange range;
  ExportFormat format = ExportFormat::Csv;
};

// The sidecar of a CSV export, which holds what the table cannot: the
// site, the unit and each sensor's depth, field capacity and refill.
fs::path MetaPath(const fs::path& csv);

// Writes the export to `target`, with its sidecar for CSV. Each file is
// written beside its target under a name of its own and renamed over it only
// when everything was written; a CSV and its sidecar replace the old ones as
// a pair. A failure leaves existing files as they were; an export killed half
// way is finished or undone by the next export to that target. Exports into
// one folder wait for each other. Memory stays the same whatever the size of
// the site. Returns the scans written; throws
// (IoError, GraphFileError, UnsafeNameError or std::runtime_error) with a
// message for the user.
std::uint64_t ExportSeason(const Files& files, const SeasonExportRequest& request,
                           const fs::path& target);

}  // namespace pelvaro
