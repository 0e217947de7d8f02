#pragma once

#include <QDate>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "report/SitePage.h"

namespace pelvaro {

// The grower's report as a PDF: with more than one site, the list of every
// site most urgent first, then one page per site in that order.

enum class Paper { A4, Letter };
// "a4" or "letter", in any case.
std::optional<Paper> ParsePaper(const std::string& text);
// The paper the desktop's locale names where it names one, else A4.
Paper LocalePaper();

struct ReportRequest {
  std::vector<std::string> sites;  // identifications
  ReportPeriod period;
  Paper paper = Paper::A4;
  QDate made = QDate::currentDate();
  QString author;  // the user's login name when empty
};

// Called with the steps done of those there are, often enough for a progress
// bar; answering false cancels the report, which then leaves no file.
using ReportProgress = std::function<bool(int done, int total)>;

struct ReportResult {
  enum class Outcome { Written, Cancelled, Failed };
  Outcome outcome = Outcome::Written;
  std::string error;  // why it failed
  int pages = 0;
  // Sites whose page says they could not be read, and why: site, error.
  std::vector<std::pair<std::string, std::string>> unread;
};

// Writes the report beside `target` and renames it over the target only
// once it is whole: a report that fails or is cancelled leaves the target as
// it was and nothing beside it. Needs a QGuiApplication (fonts); never throws.
ReportResult WriteReport(const Files& files, const ReportRequest& request, const fs::path& target,
                         const ReportProgress& progress = {});

// The name a report chosen in a save dialog is written under: ".pdf" added
// unless the name ends in it, in any case.
QString ReportFileName(const QString& chosen);

}  // namespace pelvaro
