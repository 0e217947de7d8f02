#pragma once

#include <QObject>
#include <QPrinter>
#include <QString>
#include <functional>

#include "core/graph/GraphModel.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

class GraphChart;

// What the graph window gives away: the chart printed or saved as a
// picture, and the season's scans exported.
class GraphOutput : public QObject {
  Q_OBJECT

 public:
  // The save dialog: offers the filters it is given (separated by ";;", the
  // first chosen), returns the chosen path and sets the chosen filter, or an
  // empty path on cancel.
  using SaveNameAsker = std::function<QString(QString& filter)>;

  GraphOutput(const Files& files, Prompter& prompter, const GraphModel& model, GraphChart& chart,
              QWidget* window);
  void SetSaveNameAsker(SaveNameAsker asker) { askSaveName_ = std::move(asker); }
  void SetPrinterChooser(PrinterChooser chooser) { choosePrinter_ = std::move(chooser); }

  void Print();
  void SaveAs();
  // "Export Season...": the season's scans as CSV, only those in view when zoomed.
  void ExportSeason();

 private:
  // False (after the "Printer Not Connected" message) when the printer
  // cannot be painted on.
  bool PrintTo(QPrinter& printer);
  // The format follows the file's extension (.bmp, .png, .svg, .pdf;
  // anything else is a bitmap). True on success.
  bool SavePicture(const QString& path);
  bool SaveFailed(const QString& why);

  const Files& files_;
  Prompter& prompter_;
  const GraphModel& model_;
  GraphChart& chart_;
  SaveNameAsker askSaveName_;
  PrinterChooser choosePrinter_;
};

}  // namespace pelvaro
