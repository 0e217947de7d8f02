#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "core/platform/Prompter.h"
#include "report/ReportWriter.h"

namespace pelvaro {

inline constexpr char kReportTitle[] = "Report";

// The save dialog of a report: opens at `start` (a name in a folder) and
// returns the chosen path, or an empty one on cancel. It asks nothing about
// an existing file: the program asks about the name it really writes.
using ReportNameAsker = std::function<QString(const QString& start)>;
ReportNameAsker ReportDialogAsker(QWidget* window);

// "Report..." in a window: asks where (".pdf" added; an existing file is
// replaced only when the person agrees, else the dialog opens again), writes
// the report with a progress bar and Cancel for more than one site, and says
// how it went. A cancelled or failed report leaves no file. True when written.
bool SaveReport(QWidget* window, const Files& files, Prompter& prompter,
                const ReportNameAsker& askName, const ReportRequest& request);

// The name offered: "<site>_report.pdf" for one site, "sites_report.pdf" for more.
QString ReportOfferedName(const ReportRequest& request);

}  // namespace pelvaro
