#include "report/ReportChart.h"

#include <QFontMetricsF>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "core/graph/GraphAxis.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

const QColor kGrid(220, 220, 220);
const QColor kAxis(60, 60, 60);
constexpr double kLinesPerStep = 3.5;
constexpr double kValueRoom = 0.03;
constexpr double kTickMm = 1;
constexpr double kGapMm = 1;
constexpr double kLegendLineMm = 6;

QString ValueLabel(double value) {
  // A step's multiples print without the float's noise.
  return QString::number(std::abs(value) < 1e-9 ? 0 : value, 'g', 6);
}

}  // namespace

QPen PageStyle::Pen(const QColor& colour, double widthMm, Qt::PenStyle style) const {
  QPen pen(colour, Mm(widthMm), style);
  pen.setCapStyle(Qt::FlatCap);
  return pen;
}

double DrawLegend(QPainter* painter, const PageStyle& style, QPointF topLeft, double width,
                  const std::vector<LegendEntry>& entries) {
  const QFontMetricsF metrics = style.Metrics(style.small);
  const double line = metrics.height();
  const double sample = style.Mm(kLegendLineMm);
  const double gap = style.Mm(kGapMm);
  double x = 0;
  double y = 0;
  for (const LegendEntry& e : entries) {
    const double w = sample + gap + metrics.horizontalAdvance(e.text) + 3 * gap;
    if (x > 0 && x + w > width) {
      x = 0;
      y += line;
    }
    if (painter != nullptr) {
      const QPointF at = topLeft + QPointF(x, y);
      if (e.swatch.style() != Qt::NoBrush) {
        painter->fillRect(QRectF(at.x(), at.y() + line * 0.2, sample, line * 0.6), e.swatch);
      } else {
        painter->setPen(e.pen);
        painter->drawLine(QPointF(at.x(), at.y() + line / 2),
                          QPointF(at.x() + sample, at.y() + line / 2));
      }
      painter->setPen(Qt::black);
      painter->setFont(style.small);
      painter->drawText(QRectF(at.x() + sample + gap, at.y(), w, line),
                        Qt::AlignLeft | Qt::AlignVCenter, e.text);
    }
    x += w;
  }
  return entries.empty() ? 0 : y + line;
}

ReportChart::ReportChart(QPainter& painter, const PageStyle& style, const QRectF& area,
                         double xFrom, double xTo, double yLow, double yHigh)
    : painter_(painter), style_(style), area_(area), xFrom_(xFrom), xTo_(xTo) {
  if (!(yHigh > yLow)) {
    yLow -= 1;
    yHigh += 1;
  }
  // A line at the very top or bottom would hide in the frame.
  const double room = (yHigh - yLow) * kValueRoom;
  yLow -= room;
  yHigh += room;
  const QFontMetricsF metrics = style.Metrics(style.small);
  // As many values as fit with room between them.
  const double steps = std::clamp(area.height() / (kLinesPerStep * metrics.height()), 2.0, 10.0);
  yStep_ = NiceStep((yHigh - yLow) / steps);
  yLow_ = std::floor(yLow / yStep_) * yStep_;
  yHigh_ = std::ceil(yHigh / yStep_) * yStep_;
  double labels = 0;
  for (double v = yLow_; v <= yHigh_ + yStep_ / 2; v += yStep_) {
    labels = std::max(labels, metrics.horizontalAdvance(ValueLabel(v)));
  }
  const double left = metrics.height() + style.Mm(kGapMm) + labels + style.Mm(kTickMm + kGapMm);
  const double bottom = style.Mm(kTickMm + kGapMm / 2) + metrics.height();
  const double top = metrics.height() / 2;
  // The last X label is centred on the right edge: half of one beyond it.
  const double right = metrics.horizontalAdvance("00-00") / 2;
  plot_ = area.adjusted(left, top, -right, -bottom);
}

double ReportChart::X(double x) const {
  return plot_.left() + (x - xFrom_) / (xTo_ - xFrom_) * plot_.width();
}

double ReportChart::Y(double y) const {
  return plot_.bottom() - (y - yLow_) / (yHigh_ - yLow_) * plot_.height();
}

void ReportChart::DrawFrame(const QString& yTitle, const std::vector<XTick>& ticks) {
  QPainter& p = painter_;
  const QFontMetricsF metrics = style_.Metrics(style_.small);
  p.setFont(style_.small);
  const double tick = style_.Mm(kTickMm);
  for (double v = yLow_; v <= yHigh_ + yStep_ / 2; v += yStep_) {
    const double y = Y(v);
    p.setPen(style_.Pen(kGrid, 0.15));
    p.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
    p.setPen(Qt::black);
    const QRectF label(area_.left(), y - metrics.height() / 2, plot_.left() - tick - area_.left(),
                       metrics.height());
    p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, ValueLabel(v));
  }
  p.save();
  p.translate(area_.left(), plot_.center().y());
  p.rotate(-90);
  p.drawText(QRectF(-plot_.height() / 2, 0, plot_.height(), metrics.height()), Qt::AlignCenter,
             yTitle);
  p.restore();
  double lastRight = -1e300;
  for (const XTick& t : ticks) {
    const double x = X(t.x);
    if (x < plot_.left() - 1 || x > plot_.right() + 1) continue;
    p.setPen(style_.Pen(kAxis, 0.2));
    p.drawLine(QPointF(x, plot_.bottom()), QPointF(x, plot_.bottom() + tick));
    const double w = metrics.horizontalAdvance(t.label);
    const double left = std::clamp(x - w / 2, area_.left(), area_.right() - w);
    if (left < lastRight + style_.Mm(kGapMm)) continue;  // never one label over another
    lastRight = left + w;
    p.setPen(Qt::black);
    p.drawText(QRectF(left, plot_.bottom() + tick + style_.Mm(kGapMm) / 2, w, metrics.height()),
               Qt::AlignCenter, t.label);
  }
  p.setPen(style_.Pen(kAxis, 0.25));
  p.setBrush(Qt::NoBrush);
  p.drawRect(plot_);
}

void ReportChart::DrawLine(std::span<const PlotPoint> points, const QPen& pen) {
  QPainterPath path;
  bool open = false;
  for (const PlotPoint& point : points) {
    if (std::isnan(point.y)) {
      open = false;
      continue;
    }
    const QPointF at(X(point.x), Y(point.y));
    if (open) {
      path.lineTo(at);
    } else {
      path.moveTo(at);
      open = true;
    }
  }
  painter_.save();
  painter_.setClipRect(plot_);
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPath(path);
  painter_.restore();
}

void ReportChart::Shade(double from, double to, const QBrush& brush) {
  const double left = std::max(X(from), plot_.left());
  const double right = std::min(X(to), plot_.right());
  if (right <= left) return;
  painter_.fillRect(QRectF(left, plot_.top(), right - left, plot_.height()), brush);
}

void ReportChart::DrawBar(double from, double to, double value, const QBrush& brush) {
  const double zero = std::clamp(Y(0), plot_.top(), plot_.bottom());
  const double top = std::clamp(Y(value), plot_.top(), plot_.bottom());
  painter_.fillRect(
      QRectF(QPointF(X(from), std::min(zero, top)), QPointF(X(to), std::max(zero, top))), brush);
}

std::vector<XTick> DateTicks(const PageStyle& style, double from, double to, double width) {
  const QFontMetricsF metrics = style.Metrics(style.small);
  const double label = metrics.horizontalAdvance("00-00") * 2;
  const int most = std::max(2, static_cast<int>(width / std::max(label, 1.0)));
  std::vector<XTick> ticks;
  for (const AxisTick& t : AxisTicks(AxisMode::DateTime, from, to, most)) {
    ticks.push_back({t.x, ToQt(t.label)});
  }
  return ticks;
}

}  // namespace pelvaro
