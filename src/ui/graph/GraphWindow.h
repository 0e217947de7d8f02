#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <array>
#include <functional>

#include "core/events/EventTable.h"
#include "core/graph/GraphModel.h"
#include "ui/graph/GraphOutput.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

class CalibrationTableGrid;
class DataWatcher;
class EventsGrid;
class GraphChart;

// "Site Data Graph": the calibrated values of the selected site against
// time, with the depth boxes, sums, limit lines and calibration grid beside
// the chart, and the site's wetting events on it and in a list below, where
// they are labelled. Everything it decides lives in GraphModel and
// EventTable; the chart, the grids and the output (print, save, export) are
// parts of their own.
class GraphWindow : public QDialog {
  Q_OBJECT

 public:
  // Reads Sitesel.dat itself; afterDownload is the main window's flag.
  GraphWindow(const Files& files, Prompter& prompter, bool afterDownload,
              QWidget* parent = nullptr);
  // False when the site could not be shown: the window then never opens.
  bool Loaded() const { return loaded_; }
  bool AfterDownload() const { return afterDownload_; }
  int exec() override;
  void setVisible(bool visible) override;

  const GraphModel& Model() const { return model_; }
  const EventTable& Events() const { return events_; }
  QChart* Chart() const;
  QLineSeries* SeriesAt(int index) const;
  // The forecast drawn from the last total to the refill line.
  QLineSeries* Projection() const;
  QString ReadoutText() const;
  // Tests answer the save and print dialogs without a dialog.
  void SetSaveNameAsker(GraphOutput::SaveNameAsker asker);
  void SetReportNameAsker(ReportNameAsker asker);
  void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
  void SetPrinterChooser(PrinterChooser chooser);
  // Draws again when another program changed the graph file drawn from.
  void Follow(DataWatcher& watcher);

  // Esc, Exit and the title bar's close all end here: typed calibration
  // values and edited event labels are offered for saving first.
  void reject() override;

 private:
  void Build();
  QWidget* BuildSideControls();
  QLayout* BuildOptionBoxes(QWidget* panel);
  QLayout* BuildButtons(QWidget* panel);
  QWidget* BuildEvents(QWidget* panel);
  QPushButton* AddButton(const char* name, const QString& caption, std::function<void()> clicked);
  void Load();
  void HighlightMeasuredDepths();
  // Puts the model's drawing on the chart and the controls.
  void ShowDrawing();
  void RenderControls();
  void ChangeDataDir();
  // The events of a new pass over the site, joined with their labels.
  void TakeEvents();
  void ShowEventList();
  void SaveLabels();

  const Files& files_;
  GraphModel model_;
  // Fed by the model's passes over the site; what it found is taken once a
  // pass has run.
  EventsOfScans eventsPass_;
  int eventsRead_ = 0;
  EventTable events_;
  std::string toldLabelsError_;
  Prompter& prompter_;
  bool afterDownload_;
  bool loaded_ = false;

  GraphChart* chart_ = nullptr;
  CalibrationTableGrid* grid_ = nullptr;
  EventsGrid* eventsGrid_ = nullptr;
  QPushButton* saveLabels_ = nullptr;
  GraphOutput* output_ = nullptr;
  QLabel* outlookLine_ = nullptr;
  std::array<QCheckBox*, kDepthBoxes> depthBoxes_{};
  QCheckBox* sumBox_ = nullptr;
  QCheckBox* limitLinesBox_ = nullptr;
  QLabel* depthsLabel_ = nullptr;
  QLineEdit* dataDirectoryField_ = nullptr;
  QList<QWidget*> tabStops_;  // every control, in the order Tab visits them

  std::function<void()> beep_;
};

}  // namespace pelvaro
