#pragma once

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QObject>
#include <QValueAxis>
#include <array>
#include <optional>

#include "core/events/SiteEvents.h"
#include "core/graph/GraphModel.h"

namespace pelvaro {

class EventBands;
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
  // The events as bands from start to peak, wherever the bottom axis puts
  // their times; none while the chart shows another graph file than the
  // one they were found in. Kept through zooms and redrawings until shown
  // again.
  void ShowEvents(const std::vector<LabelledEvent>& events);
  // What the bands are drawn from.
  const EventBands& Bands() const { return *bands_; }
  // Zooms to an event: from 12 hours before its start to 72 hours after.
  // False when the chart does not show its time.
  bool ZoomToEvent(const WettingEvent& event);
  // Shows the date-times from `from` to `to`; false when the chart does not
  // show their times.
  bool ZoomToTimes(double from, double to);
  // True when a shown series has a point under a chart position.
  bool Hits(QPointF at) const { return HitTest(at, kGraphSeries).has_value(); }
  // Paints the chart on a printer, image, PDF or SVG inside the given margin
  // (a fraction of the page on each side); false when the device refused.
  bool PaintOn(QPaintDevice& device, double margin);
  // Lays the chart out at `size` (in screen pixels, which its fonts and pens
  // are sized for) and paints it scaled into `target`, as a page's part.
  void PaintInto(QPainter& painter, const QRectF& target, QSize size);
  // A chart never shown is laid out before it is painted elsewhere.
  void LayOut();
  QSize Size() const;

 private:
  void AddSeries(QChart* chart);
  // Hands every series the points worth drawing at the current zoom and width.
  void Refill();
  void SetBottomLabels(double from, double to);
  void PlaceBands();
  // The first point of series 0 to seriesCount - 1 under a chart position.
  std::optional<QPointF> HitTest(QPointF at, int seriesCount) const;
  void Readout(QPointF at);

  const GraphModel& model_;
  GraphChartView* view_ = nullptr;
  QCategoryAxis* bottom_ = nullptr;
  QValueAxis* left_ = nullptr;
  std::array<QLineSeries*, kGraphSeries> series_{};
  QLineSeries* projection_ = nullptr;
  EventBands* bands_ = nullptr;
  std::vector<LabelledEvent> events_;
  bool refilling_ = false;
  int refilledWidth_ = 0;
};

}  // namespace pelvaro
