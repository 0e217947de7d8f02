#pragma once

#include <QFont>
#include <QGraphicsItem>
#include <QString>
#include <vector>

#include "core/events/EventLabels.h"

class QChart;

namespace pelvaro {

// The wetting events on a chart: each a shaded band from its start to its
// peak, with the deepest depth its water reached written at the band's top.
// Drawn above the plot's background and below its grid, series and limit
// lines, so it hides none of them; as part of the chart's scene it is in
// every picture, page and file painted from it.
class EventBands : public QGraphicsItem {
 public:
  struct Band {
    double from = 0;  // X of the start, in the bottom axis's units
    double to = 0;    // X of the peak
    QString label;
    EventKind kind = EventKind::Unknown;
  };

  explicit EventBands(QChart* chart);
  void SetBands(std::vector<Band> bands);
  const std::vector<Band>& Bands() const { return bands_; }
  // The plot area and the X range it shows, whenever either changes.
  void Place(const QRectF& plot, double from, double to);

  QRectF boundingRect() const override { return plot_; }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  double Position(double x) const;
  void FillBands(QPainter& painter) const;
  void WriteLabels(QPainter& painter) const;

  std::vector<Band> bands_;
  QRectF plot_;
  double from_ = 0;
  double to_ = 1;
  QFont font_;
};

}  // namespace pelvaro
