#pragma once

#include <QCategoryAxis>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QValueAxis>
#include <array>
#include <functional>
#include <optional>

#include "core/graph/GraphModel.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

class GraphChartView;

// "Site Data Graph": the calibrated values of the selected site against
// time, with the depth boxes, sums, limit lines and calibration grid beside
// the chart. Everything it decides lives in GraphModel.
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
  QChart* Chart() const;
  QLineSeries* SeriesAt(int index) const { return series_[static_cast<std::size_t>(index)]; }
  // The forecast drawn from the last total to the refill line.
  QLineSeries* Projection() const { return projection_; }
  QString ReadoutText() const;
  // The save dialog: offers the filters it is given (separated by ";;", the
  // first chosen), returns the chosen path and sets the chosen filter, or an
  // empty path on cancel. Tests answer without a dialog.
  void SetSaveNameAsker(std::function<QString(QString& filter)> asker) {
    askSaveName_ = std::move(asker);
  }
  void SetBeep(std::function<void()> beep) { beep_ = std::move(beep); }
  void SetPrinterChooser(PrinterChooser chooser) { choosePrinter_ = std::move(chooser); }

  // Esc, Exit and the title bar's close all end here: typed calibration
  // values are offered for saving first.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  QWidget* BuildSideControls();
  QPushButton* AddButton(const char* name, const QString& caption, void (GraphWindow::*clicked)());
  void Load();
  void SetUpGrid();
  // Puts the model's drawing on the chart and the controls.
  void ShowDrawing();
  void RenderControls();
  void RenderGrid();
  // Every row in view and every column wide enough for its heading and its
  // values; extra width is shared as the columns' widths in twips are.
  void FitGrid();
  // Hands every series the points worth drawing at the current zoom and width.
  void Refill();
  void SetBottomLabels(double from, double to);
  void ResetZoom();
  // The first point of series 0 to seriesCount - 1 under a chart position.
  std::optional<QPointF> HitTest(QPointF at, int seriesCount) const;
  void Readout(QPointF at);
  void ChangeDataDir();
  void Print();
  // False (after the "Printer Not Connected" message) when the printer
  // cannot be painted on.
  bool PrintTo(QPrinter& printer);
  void SaveAs();
  // The format follows the file's extension (.bmp, .png, .svg, .pdf;
  // anything else is a bitmap). True on success.
  bool SavePicture(const QString& path);
  // "Export Season...": the season's scans as CSV, only those in view when zoomed.
  void ExportSeason();
  // A chart never shown is laid out before it is painted elsewhere.
  void LayOutChart();
  // Paints the chart on a printer, image, PDF or SVG inside the given margin
  // (a fraction of the page on each side); false when the device refused.
  bool PaintOn(QPaintDevice& device, double margin);
  bool SaveFailed(const QString& why);

  const Files& files_;
  GraphModel model_;
  Prompter& prompter_;
  bool afterDownload_;
  bool loaded_ = false;
  bool refilling_ = false;
  int refilledWidth_ = 0;

  GraphChartView* view_ = nullptr;
  QCategoryAxis* bottom_ = nullptr;
  QValueAxis* left_ = nullptr;
  std::array<QLineSeries*, kGraphSeries> series_{};
  QLineSeries* projection_ = nullptr;
  QLabel* outlookLine_ = nullptr;
  std::array<QCheckBox*, kDepthBoxes> depthBoxes_{};
  QCheckBox* sum_ = nullptr;
  QCheckBox* limits_ = nullptr;
  QTableWidget* grid_ = nullptr;
  QLabel* depthsLabel_ = nullptr;
  QLineEdit* dataDir_ = nullptr;

  std::function<QString(QString& filter)> askSaveName_;
  std::function<void()> beep_;
  PrinterChooser choosePrinter_;
};

}  // namespace pelvaro
