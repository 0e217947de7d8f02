#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
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

// What the export itself refuses: a target that would replace one of a
// site's own files, a site without sensors or without a graph file.
class ExportRefusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Throws ExportRefusal for a target named as one of a site's own files
// would be (header, block, graph, summary or labels file), whatever folder
// it is in: a mistyped name must never replace a season.
void CheckExportTarget(const fs::path& target);

// Writes an export made in memory as ExportSeason writes its file: checked
// by CheckExportTarget, beside the target under a name of its own and
// renamed over it once whole, in turn with the other exports into its
// folder. Throws ExportRefusal and IoError; a failure leaves an existing
// target as it was.
void WriteExport(const fs::path& target, std::string_view bytes);

// Writes the export to `target`, with its sidecar for CSV. Each file is
// written beside its target under a name of its own and renamed over it only
// when everything was written; a CSV and its sidecar replace the old ones as
// a pair. A failure leaves existing files as they were; an export killed half
// way is finished or undone by the next export to that target. Exports into
// one folder wait for each other. Memory stays the same whatever the size of
// the site. Returns the scans written; throws (IoError, GraphFileError,
// UnsafeNameError or ExportRefusal) with a message for the user.
std::uint64_t ExportSeason(const Files& files, const SeasonExportRequest& request,
                           const fs::path& target);

// What a window's CSV export says to the person, each message under the
// title "Export Season".
inline constexpr char kExportTitle[] = "Export Season";

// The name the file dialog offers: "<site>_<first day>_<last day>.csv", the
// days of the first and last scan exported as YYYY-MM-DD; "<site>.csv" when
// no dated scan is exported.
std::string SeasonExportName(const std::string& identification, std::optional<ScanTime> first,
                             std::optional<ScanTime> last);
// The file a CSV export chosen under this name writes: the name with ".csv"
// added unless it already ends so.
fs::path CsvExportTarget(const fs::path& chosen);
// The question asked before an export replaces the CSV or its sidecar,
// naming those that exist; nothing when neither does.
std::optional<std::string> ReplaceQuestion(const fs::path& csv);

// The message that ends a window's export.
struct ExportReport {
  bool written = false;
  std::string title = kExportTitle;
  // Where the files went, or why nothing was written.
  std::string text;
};
// ExportSeason as CSV, its failures told rather than thrown.
ExportReport ExportSeasonCsv(const Files& files, SeasonExportRequest request,
                             const fs::path& target);

}  // namespace pelvaro
