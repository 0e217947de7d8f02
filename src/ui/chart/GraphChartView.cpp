#include "ui/chart/GraphChartView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>

namespace pelvaro {

namespace {
const QColor kReadoutPen(0, 0, 255);
const QColor kReadoutText(255, 255, 0);
constexpr double kWheelIn = 0.8;
constexpr int kNarrowest = 240;
constexpr int kLowest = 200;
}  // namespace

GraphChartView::GraphChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setObjectName("TChart1");
  setRenderHint(QPainter::Antialiasing);
  setRubberBand(QChartView::RectangleRubberBand);
  setMouseTracking(true);
}

void GraphChartView::SetLeastSize(QSize least) {
  least_ = least;
  ApplyLeastSize();
}

QSize GraphChartView::Squeeze(QSize wanted) {
  const int taken = std::clamp(least_.width() - narrowed_ - kNarrowest, 0, wanted.width());
  narrowed_ += taken;
  const int lowered = std::clamp(least_.height() - lowered_ - kLowest, 0, wanted.height());
  lowered_ += lowered;
  ApplyLeastSize();
  return {taken, lowered};
}

void GraphChartView::ApplyLeastSize() {
  // An explicit minimum: the chart view sets one of its own as it resizes.
  setMinimumSize(std::max(least_.width() - narrowed_, std::min(least_.width(), kNarrowest)),
                 std::max(least_.height() - lowered_, std::min(least_.height(), kLowest)));
}

void GraphChartView::ShowReadout(QPointF at, const QString& text) {
  readoutAt_ = at;
  readout_ = text;
  viewport()->update();
}

void GraphChartView::ClearReadout() {
  if (!readoutAt_) return;
  readoutAt_.reset();
  readout_.clear();
  viewport()->update();
}

void GraphChartView::PaintChart(QPainter& painter, const QRectF& target) const {
  // The scene holds the chart's items only; the view's foreground, where the
  // readout is drawn, is not part of it.
  painter.setRenderHint(QPainter::Antialiasing);
  scene()->render(&painter, target, sceneRect(), Qt::KeepAspectRatio);
}

QPointF GraphChartView::InChart(const QPointF& viewPosition) const {
  return chart()->mapFromScene(mapToScene(viewPosition.toPoint()));
}

void GraphChartView::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  emit PointerMoved(InChart(event->position()));
}

void GraphChartView::mousePressEvent(QMouseEvent* event) {
  // The rubber band takes the press, so the series never hear of it.
  if (event->button() == Qt::LeftButton) emit Pressed(InChart(event->position()));
  QChartView::mousePressEvent(event);
}

void GraphChartView::wheelEvent(QWheelEvent* event) {
  // Zoom about the pointer, so the place looked at stays under it.
  const double factor = event->angleDelta().y() > 0 ? kWheelIn : 1 / kWheelIn;
  const QRectF area = chart()->plotArea();
  const QPointF at = InChart(event->position());
  if (!area.contains(at)) return;
  chart()->zoomIn(QRectF(at.x() - (at.x() - area.left()) * factor,
                         at.y() - (at.y() - area.top()) * factor, area.width() * factor,
                         area.height() * factor));
  event->accept();
}

void GraphChartView::drawForeground(QPainter* painter, const QRectF& rect) {
  QChartView::drawForeground(painter, rect);
  if (!readoutAt_) return;
  const QPointF at = chart()->mapToScene(*readoutAt_);
  const QRectF box = painter->fontMetrics().boundingRect(readout_).adjusted(-3, -2, 3, 2);
  const QRectF placed = box.translated(at - box.bottomLeft() + QPointF(4, -4));
  // Yellow on the blue of the readout pen reads on any background.
  painter->save();
  painter->setPen(QPen(kReadoutPen, 1, Qt::SolidLine));
  painter->setBrush(kReadoutPen);
  painter->drawRect(placed);
  painter->setPen(kReadoutText);
  painter->drawText(placed, Qt::AlignCenter, readout_);
  painter->restore();
}

}  // namespace pelvaro
