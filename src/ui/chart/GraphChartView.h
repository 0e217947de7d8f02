#pragma once

#include <QChartView>
#include <QPointF>
#include <QString>
#include <optional>

#include "ui/platform/ScreenFit.h"

namespace pelvaro {

// The graph window's chart view: rubber-band and wheel zoom, and the value readout drawn
// over the chart at the point under the pointer.
class GraphChartView : public QChartView, public Squeezable {
  Q_OBJECT

 public:
  GraphChartView(QChart* chart, QWidget* parent);
  // The smallest size the chart is laid out with where the screen has room.
  void SetLeastSize(QSize least);
  // On a screen too small for the window the chart gets narrower and lower,
  // down to a plot that still reads; its titles are then cut short.
  QSize Squeeze(QSize wanted) override;
  // The readout at a position in chart coordinates, until cleared.
  void ShowReadout(QPointF at, const QString& text);
  void ClearReadout();
  const QString& Readout() const { return readout_; }
  // The chart alone (titles, axes, series, legend), scaled into the target:
  // what is saved and printed. The readout and the rubber band belong to the
  // screen only.
  void PaintChart(QPainter& painter, const QRectF& target) const;

 signals:
  // The pointer moved to, or the left button went down at, a position in
  // chart coordinates.
  void PointerMoved(QPointF at);
  void Pressed(QPointF at);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void drawForeground(QPainter* painter, const QRectF& rect) override;

 private:
  QPointF InChart(const QPointF& viewPosition) const;
  void ApplyLeastSize();

  QSize least_;
  int narrowed_ = 0;
  int lowered_ = 0;
  std::optional<QPointF> readoutAt_;
  QString readout_;
};

}  // namespace pelvaro
