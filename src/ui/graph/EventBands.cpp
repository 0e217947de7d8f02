#include "ui/graph/EventBands.h"

#include <QChart>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace pelvaro {

namespace {

// Above the plot's background (0) and below its grid (2), axes and series.
constexpr double kBandsZ = 1.5;
// Light enough that every line drawn over a band keeps its colour.
constexpr int kShade = 48;
constexpr double kLabelGap = 3;

QColor KindColour(EventKind kind) {
  switch (kind) {
    case EventKind::Rain:
      return {30, 100, 220};
    case EventKind::Irrigation:
      return {0, 150, 110};
    case EventKind::Unknown:
      break;
  }
  return {110, 110, 150};
}

}  // namespace

EventBands::EventBands(QChart* chart) : QGraphicsItem(chart) {
  setZValue(kBandsZ);
  setAcceptedMouseButtons(Qt::NoButton);
  font_ = chart->font();
  font_.setPointSizeF(font_.pointSizeF() * 0.8);
}

void EventBands::SetBands(std::vector<Band> bands) {
  bands_ = std::move(bands);
  update();
}

void EventBands::Place(const QRectF& plot, double from, double to) {
  if (plot != plot_) prepareGeometryChange();
  plot_ = plot;
  from_ = from;
  to_ = to;
  update();
}

double EventBands::Position(double x) const {
  return plot_.left() + (x - from_) / (to_ - from_) * plot_.width();
}

void EventBands::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  if (bands_.empty() || !(to_ > from_) || plot_.isEmpty()) return;
  painter->save();
  painter->setClipRect(plot_);
  painter->setPen(Qt::NoPen);
  painter->setFont(font_);
  const QFontMetricsF metrics(font_);
  double labelsEnd = plot_.left() - 1;  // labels that would overlap are left out
  for (const Band& band : bands_) {
    if (band.to < from_ || band.from > to_) continue;
    const double left = Position(band.from);
    // An event whose peak came with its first rise is still seen.
    const double right = std::max(Position(band.to), left + 1);
    QColor shade = KindColour(band.kind);
    shade.setAlpha(kShade);
    painter->fillRect(QRectF(left, plot_.top(), right - left, plot_.height()), shade);
    const double width = metrics.horizontalAdvance(band.label);
    if (band.label.isEmpty() || left < labelsEnd || left + kLabelGap + width > plot_.right()) {
      continue;
    }
    painter->setPen(KindColour(band.kind).darker(160));
    painter->drawText(QPointF(left + kLabelGap, plot_.top() + metrics.ascent() + kLabelGap),
                      band.label);
    painter->setPen(Qt::NoPen);
    labelsEnd = left + kLabelGap + width + 2 * kLabelGap;
  }
  painter->restore();
}

}  // namespace pelvaro
