#include "ui/chart/EventBands.h"

#include <QChart>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>
#include <optional>

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
  // In pixels of the screen, as the chart's own texts are laid out: a size
  // in points would be drawn at the page's resolution when the chart is
  // printed or saved, many times too large.
  font_ = chart->font();
  font_.setPixelSize(std::max(1, qRound(QFontInfo(font_).pixelSize() * 0.8)));
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
  FillBands(*painter);
  WriteLabels(*painter);
  painter->restore();
}

void EventBands::FillBands(QPainter& painter) const {
  // Bands a pixel or less apart are filled as one: a season of events drawn
  // whole costs no more than the pixels it covers. Events never overlap, so
  // the shade is the same.
  std::optional<QRectF> run;
  EventKind runKind = EventKind::Unknown;
  const auto fill = [&] {
    if (!run) return;
    QColor shade = KindColour(runKind);
    shade.setAlpha(kShade);
    painter.fillRect(*run, shade);
  };
  for (const Band& band : bands_) {
    if (band.to < from_ || band.from > to_) continue;
    const double left = Position(band.from);
    // An event whose peak came with its first rise is still seen.
    const double right = std::max(Position(band.to), left + 1);
    if (run && band.kind == runKind && left <= run->right() + 1) {
      run->setRight(std::max(run->right(), right));
      continue;
    }
    fill();
    run = QRectF(left, plot_.top(), right - left, plot_.height());
    runKind = band.kind;
  }
  fill();
}

void EventBands::WriteLabels(QPainter& painter) const {
  painter.setFont(font_);
  const QFontMetricsF metrics(font_);
  double labelsEnd = plot_.left() - 1;  // a label that would overlap the last is left out
  for (const Band& band : bands_) {
    if (band.label.isEmpty() || band.to < from_ || band.from > to_) continue;
    const double left = Position(band.from) + kLabelGap;
    if (left < labelsEnd) continue;
    const double width = metrics.horizontalAdvance(band.label);
    if (left + width > plot_.right()) continue;
    painter.setPen(KindColour(band.kind).darker(160));
    painter.drawText(QPointF(left, plot_.top() + metrics.ascent() + kLabelGap), band.label);
    labelsEnd = left + width + 2 * kLabelGap;
  }
}

}  // namespace pelvaro
