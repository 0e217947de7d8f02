#pragma once

#include <QObject>
#include <QPrinter>
#include <QString>
#include <functional>

#include "core/graph/GraphModel.h"
#include "ui/platform/WindowHabits.h"
#include "ui/report/ReportSaving.h"

namespace pelvaro {

class GraphChart;

// What the graph window gives away: the chart printed or saved as a
// picture, and the season's scans exported.
class GraphOutput : public QObject {
  Q_OBJECT

 public:
  // The save dialog: opens at `start` (a folder, or a name in one), offers
  // the filters it is given (separated by ";;", the first chosen), returns
  // the chosen path and sets the chosen filter, or an empty path on cancel.
  // With `programAsks` it asks nothing about an existing file: the program
  // asks about the names it really writes.
  using SaveNameAsker =
      std::function<QString(const QString& start, QString& filter, bool programAsks)>;

  GraphOutput(const Files& files, Prompter& prompter, const GraphModel& model, GraphChart& chart,
              QWidget* window);
  void SetSaveNameAsker(SaveNameAsker asker) { askSaveName_ = std::move(asker); }
  void SetPrinterChooser(PrinterChooser chooser) { choosePrinter_ = std::move(chooser); }

  void Print();
  void SaveAs();
  // "Export Season...": the season's scans as CSV, only those in view when
  // zoomed. Files that exist are replaced only when the person agrees; the
  // person is told where the files went.
  void ExportSeason();
  // "Report...": this site's page of the grower's report, for the range in
  // view when zoomed, else the last 14 days up to its last scan.
  void Report();
  void SetReportNameAsker(ReportNameAsker asker) { askReportName_ = std::move(asker); }

 private:
  // False (after the "Printer Not Connected" message) when the printer
  // cannot be painted on.
  bool PrintTo(QPrinter& printer);
  // The format follows the file's extension (.bmp, .png, .svg, .pdf;
  // anything else is a bitmap). True on success.
  bool SavePicture(const QString& path);
  bool SaveFailed(const QString& why);
  // The export of the scans `shown` (their first and last date-time; nothing
  // when none is) into `target`, and the message that says how it went. True
  // when it was written.
  bool WriteExport(const std::optional<std::pair<double, double>>& shown, const fs::path& target);

  const Files& files_;
  Prompter& prompter_;
  const GraphModel& model_;
  GraphChart& chart_;
  SaveNameAsker askSaveName_;
  PrinterChooser choosePrinter_;
  ReportNameAsker askReportName_;
};

}  // namespace pelvaro
