#pragma once

#include <QBrush>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPen>
#include <QRectF>
#include <QString>
#include <span>
#include <vector>

#include "core/graph/Decimation.h"

namespace pelvaro {

// Sizes on a page in the device's own units, from millimetres, and the fonts
// every part of a page writes with.
struct PageStyle {
  QPaintDevice* device = nullptr;  // the page, which the fonts are measured for
  double unitsPerMm = 1;
  QFont body;
  QFont small;
  QFont bold;
  QFont heading;

  double Mm(double mm) const { return mm * unitsPerMm; }
  QFontMetricsF Metrics(const QFont& font) const { return QFontMetricsF(font, device); }
  // Device units, so the pens are as thick at any resolution.
  QPen Pen(const QColor& colour, double widthMm, Qt::PenStyle style = Qt::SolidLine) const;
};

struct XTick {
  double x;
  QString label;
};

// An entry of a legend: a line in its pen, or a swatch of a fill.
struct LegendEntry {
  QString text;
  QPen pen;
  QBrush swatch = Qt::NoBrush;
};

// Lays out the entries in rows across `width`; draws them from `topLeft`
// when a painter is given. Returns the height they take.
double DrawLegend(QPainter* painter, const PageStyle& style, QPointF topLeft, double width,
                  const std::vector<LegendEntry>& entries);

// A chart drawn with vector strokes straight onto the page: value labels on
// the left, the X labels below, and the plot in what is left of its area.
// Nothing is drawn outside the area; lines are clipped to the plot.
class ReportChart {
 public:
  ReportChart(QPainter& painter, const PageStyle& style, const QRectF& area, double xFrom,
              double xTo, double yLow, double yHigh);

  const QRectF& Plot() const { return plot_; }
  double X(double x) const;
  double Y(double y) const;

  // The grid, the frame, the value axis with its title and the X labels.
  void DrawFrame(const QString& yTitle, const std::vector<XTick>& ticks);
  // A line that breaks where a value is missing (NaN).
  void DrawLine(std::span<const PlotPoint> points, const QPen& pen);
  // A band over the whole height of the plot from X `from` to `to`.
  void Shade(double from, double to, const QBrush& brush);
  // A bar from zero to `value` between `from` and `to`.
  void DrawBar(double from, double to, double value, const QBrush& brush);

 private:
  QPainter& painter_;
  const PageStyle& style_;
  QRectF area_;
  QRectF plot_;
  double xFrom_;
  double xTo_;
  double yLow_;
  double yHigh_;
  double yStep_;
};

// Labelled X ticks on a date-time axis from `from` to `to` that fit `width`.
std::vector<XTick> DateTicks(const PageStyle& style, double from, double to, double width);

}  // namespace pelvaro
