#pragma once

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QObject>
#include <QValueAxis>
#include <array>
#include <optional>

#include "core/graph/GraphModel.h"

namespace pelvaro {

class GraphChartView;

// The graph window's chart: the series, limit lines and forecast of the
// model's drawing, refilled with the points worth drawing at every zoom and
// width, the bottom axis's labels and the value readout.
class GraphChart : public QObject {
  Q_OBJECT

 public:
  GraphChart(const GraphModel& model, QWidget* parent);

  GraphChartView* View() const { return view_; }
  QChart* Chart() const;
  QLineSeries* SeriesAt(int index) const { return series_[static_cast<std::size_t>(index)]; }
  QLineSeries* Projection() const { return projection_; }
  QString ReadoutText() const;
  // The X range in view.
  double ShownFrom() const { return bottom_->min(); }
  double ShownTo() const { return bottom_->max(); }

  // Titles, axes and series as the model's drawing has them; the zoom stays.
  void Show();
  // Every scan in view, and the points refilled for it.
  void ResetZoom();
  // True when a shown series has a point under a chart position.
  bool Hits(QPointF at) const { return HitTest(at, kGraphSeries).has_value(); }
  // Paints the chart on a printer, image, PDF or SVG inside the given margin
  // (a fraction of the page on each side); false when the device refused.
  bool PaintOn(QPaintDevice& device, double margin);
  // A chart never shown is laid out before it is painted elsewhere.
  void LayOut();
  QSize Size() const;

 private:
  void AddSeries(QChart* chart);
  // Hands every series the points worth drawing at the current zoom and width.
  void Refill();
  void SetBottomLabels(double from, double to);
  // The first point of series 0 to seriesCount - 1 under a chart position.
  std::optional<QPointF> HitTest(QPointF at, int seriesCount) const;
  void Readout(QPointF at);

  const GraphModel& model_;
  GraphChartView* view_ = nullptr;
  QCategoryAxis* bottom_ = nullptr;
  QValueAxis* left_ = nullptr;
  std::array<QLineSeries*, kGraphSeries> series_{};
  QLineSeries* projection_ = nullptr;
  bool refilling_ = false;
  int refilledWidth_ = 0;
};

}  // namespace pelvaro
