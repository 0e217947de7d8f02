#include "ui/chart/GraphChart.h"

#include <QCoreApplication>
#include <QLegend>
#include <QPainter>
#include <QResizeEvent>
#include <QTextDocument>
#include <QtMath>

#include "core/events/EventReport.h"
#include "core/graph/Decimation.h"
#include "ui/chart/EventBands.h"
#include "ui/chart/GraphChartView.h"
#include "ui/platform/ChartColours.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

// Room for the plot beside its axes and legend when the window is shrunk.
const QSize kChartMinimum(400, 300);
constexpr int kChartWidest = 700;
constexpr int kChartFrame = 60;  // the chart's rounded background, its layout and the view's frame
// The depths' and sums' series, then the field-capacity and refill lines.
const std::array<QColor, kGraphSeries> kColours = [] {
  std::array<QColor, kGraphSeries> colours;
  std::copy(kDepthColours.begin(), kDepthColours.end(), colours.begin());
  colours[kDepthColourCount] = kFieldCapacityColour;
  colours[kDepthColourCount + 1] = kRefillColour;
  return colours;
}();
constexpr int kReadoutSeries = 5;  // the readout looks at series 0 to 4
constexpr double kHitPixels = 4;
constexpr int kTicksPerPixel = 60;
// An event's zoom: the dry hours before it and the days its water moves down.
constexpr double kHoursBeforeEvent = 12;
constexpr double kHoursAfterEvent = 72;

}  // namespace

GraphChart::GraphChart(const GraphModel& model, QWidget* parent) : QObject(parent), model_(model) {
  auto* chart = new QChart;
  chart->setTitleFont(QFont("Times New Roman", 12));
  chart->legend()->setAlignment(Qt::AlignRight);
  bottom_ = new QCategoryAxis(chart);
  bottom_->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  left_ = new QValueAxis(chart);
  chart->addAxis(bottom_, Qt::AlignBottom);
  chart->addAxis(left_, Qt::AlignLeft);
  AddSeries(chart);
  bands_ = new EventBands(chart);
  view_ = new GraphChartView(chart, parent);
  view_->SetLeastSize(kChartMinimum);
  connect(view_, &GraphChartView::PointerMoved, this, &GraphChart::Readout);
  connect(bottom_, &QValueAxis::rangeChanged, this, &GraphChart::Refill);
  // A zoom or a resize moves the points: a readout left where one was would
  // name a value that is no longer there.
  connect(bottom_, &QValueAxis::rangeChanged, view_, &GraphChartView::ClearReadout);
  connect(left_, &QValueAxis::rangeChanged, view_, &GraphChartView::ClearReadout);
  connect(chart, &QChart::plotAreaChanged, this, [this](const QRectF& area) {
    view_->ClearReadout();
    if (qRound(area.width()) != refilledWidth_) Refill();
    PlaceBands();
  });
}

void GraphChart::AddSeries(QChart* chart) {
  const auto add = [&](QLineSeries* series) {
    chart->addSeries(series);
    series->attachAxis(bottom_);
    series->attachAxis(left_);
    series->setVisible(false);
  };
  for (int i = 0; i < kGraphSeries; ++i) {
    auto* series = new QLineSeries(chart);
    // Dashed limit lines never pass for a depth.
    const bool limit = i >= kFieldCapacitySeries;
    series->setPen(
        QPen(kColours[static_cast<std::size_t>(i)], 2, limit ? Qt::DashLine : Qt::SolidLine));
    add(series);
    series_[static_cast<std::size_t>(i)] = series;
  }
  // The forecast is dashed like the limit lines it runs down to, in a colour
  // of its own.
  projection_ = new QLineSeries(chart);
  projection_->setName(tr("Forecast"));
  projection_->setPen(QPen(kForecastColour, 2, Qt::DashLine));
  add(projection_);
}

QChart* GraphChart::Chart() const { return view_->chart(); }

QString GraphChart::ReadoutText() const { return view_->Readout(); }

QSize GraphChart::Size() const { return view_->size(); }

void GraphChart::Show() {
  QChart* chart = Chart();
  // Rich text collapses runs of spaces; the second line keeps its own.
  const QString subtitle = ToQt(model_.Subtitle()).toHtmlEscaped().replace(' ', "&nbsp;");
  chart->setTitle(QString("<p align=center><b>%1</b><br>%2</p>")
                      .arg(ToQt(model_.Header()).toHtmlEscaped(), subtitle));
  // Shrinking the window never cuts the titles short, unless a site's long
  // name, or a small screen, leaves no room for them.
  QTextDocument title;
  title.setDefaultFont(chart->titleFont());
  title.setHtml(chart->title());
  const QMargins margins = chart->margins();
  const int titleWidth = qCeil(title.idealWidth()) + margins.left() + margins.right() + kChartFrame;
  view_->SetLeastSize(
      {std::clamp(titleWidth, kChartMinimum.width(), kChartWidest), kChartMinimum.height()});
  left_->setTitleText(ToQt(model_.LeftTitle()));
  left_->setTickType(QValueAxis::TicksDynamic);
  left_->setTickAnchor(0);
  left_->setTickInterval(NiceStep((model_.AxisMax() - model_.AxisMin()) / 8));
  left_->setLabelFormat("%g");
  bottom_->setTitleText(ToQt(model_.BottomTitle()));
  for (int i = 0; i < kGraphSeries; ++i) {
    const GraphSeries& s = model_.Series(i);
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    series->setName(ToQt(s.title));
    // An active series without points would be an empty entry in the legend.
    series->setVisible(s.active && (!s.y.empty() || (s.level && model_.Scans() > 0)));
  }
  projection_->setVisible(model_.Projection().has_value());
  view_->ClearReadout();
  ShowEvents(events_);
}

void GraphChart::ShowEvents(const std::vector<LabelledEvent>& events) {
  if (&events != &events_) events_ = events;
  std::vector<EventBands::Band> bands;
  if (model_.DrawsOutlookFile()) {
    bands.reserve(events_.size());
    for (const LabelledEvent& e : events_) {
      // Event texts are UTF-8, unlike the files' code page.
      bands.push_back({model_.XOfDateTime(EventDateTime(e.event.start)),
                       model_.XOfDateTime(EventDateTime(e.event.peak)),
                       QString::fromStdString(DeepestText(e.event)), e.kind});
    }
  }
  bands_->SetBands(std::move(bands));
}

bool GraphChart::ZoomToEvent(const WettingEvent& event) {
  if (!model_.DrawsOutlookFile()) return false;
  const double start = model_.XOfDateTime(EventDateTime(event.start));
  const double hour = AxisUnitsPerHour(model_.Mode());
  bottom_->setRange(start - kHoursBeforeEvent * hour, start + kHoursAfterEvent * hour);
  return true;
}

bool GraphChart::ZoomToTimes(double from, double to) {
  if (!model_.DrawsOutlookFile()) return false;
  bottom_->setRange(model_.XOfDateTime(from), model_.XOfDateTime(to));
  return true;
}

void GraphChart::PlaceBands() {
  bands_->Place(Chart()->plotArea(), bottom_->min(), bottom_->max());
}

void GraphChart::ResetZoom() {
  double from = model_.XMin();
  double to = model_.XEnd();
  if (to <= from) {
    // One scan: room on both sides of its single point.
    from -= 1;
    to += 1;
  }
  refilling_ = true;
  Chart()->zoomReset();  // forgets the zoom steps a right click would go back through
  left_->setRange(model_.AxisMin(), model_.AxisMax());
  bottom_->setRange(from, to);
  refilling_ = false;
  Refill();
}

void GraphChart::Refill() {
  if (refilling_) return;
  refilling_ = true;
  const QRectF area = Chart()->plotArea();
  // Until the chart is laid out on screen its plot area means nothing; the
  // view's width is close to what the plot will be.
  const int width = view_->isVisible() ? qRound(area.width()) : view_->width();
  refilledWidth_ = qRound(area.width());
  const double from = bottom_->min();
  const double to = bottom_->max();
  const auto x = model_.X();
  // The limit lines run on to the forecast's end.
  const double end = model_.XEnd();
  for (int i = 0; i < kGraphSeries; ++i) {
    const GraphSeries& s = model_.Series(i);
    QList<QPointF> points;
    if (!s.y.empty()) {
      for (const PlotPoint& p : Decimate(x, s.y, from, to, width)) points.append({p.x, p.y});
    } else if (s.level && !x.empty()) {
      points = {{model_.XMin(), *s.level}};
      if (end > model_.XMin()) points.append({end, *s.level});
    }
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    series->replace(points);
    // A line needs two points: the single scan of a new site shows as a dot.
    series->setPointsVisible(points.size() == 1);
  }
  QList<QPointF> forecast;
  if (const auto p = model_.Projection()) {
    forecast = {{p->fromDateTime, p->fromValue}, {p->toDateTime, p->toValue}};
  }
  projection_->replace(forecast);
  SetBottomLabels(from, to);
  PlaceBands();
  refilling_ = false;
}

void GraphChart::SetBottomLabels(double from, double to) {
  const int plotWidth = std::max(refilledWidth_, view_->width() / 2);
  const auto ticks = AxisTicks(model_.Mode(), from, to, std::max(2, plotWidth / kTicksPerPixel));
  for (const QString& label : bottom_->categoriesLabels()) bottom_->remove(label);
  bottom_->setStartValue(from);
  for (const AxisTick& tick : ticks) {
    // The axis wants distinct labels; a date repeats a year later, so an
    // invisible zero-width space tells the two apart.
    QString label = ToQt(tick.label);
    while (bottom_->categoriesLabels().contains(label)) label += QChar(0x200B);
    bottom_->append(label, tick.x);
  }
}

std::optional<QPointF> GraphChart::HitTest(QPointF at, int seriesCount) const {
  for (int i = 0; i < seriesCount; ++i) {
    QLineSeries* series = series_[static_cast<std::size_t>(i)];
    if (!series->isVisible()) continue;
    for (const QPointF& p : series->points()) {
      const QPointF position = Chart()->mapToPosition(p, series);
      if (std::abs(position.x() - at.x()) <= kHitPixels &&
          std::abs(position.y() - at.y()) <= kHitPixels) {
        return p;
      }
    }
  }
  return std::nullopt;
}

void GraphChart::Readout(QPointF at) {
  if (const auto p = HitTest(at, kReadoutSeries)) {
    const QPointF position = Chart()->mapToPosition(*p);
    view_->ShowReadout(position, ToQt(model_.ReadoutText(p->x(), p->y())));
  } else {
    view_->ClearReadout();
  }
}

void GraphChart::LayOut() {
  if (view_->testAttribute(Qt::WA_PendingResizeEvent)) {
    QResizeEvent resize(view_->size(), QSize());
    QCoreApplication::sendEvent(view_, &resize);
    view_->setAttribute(Qt::WA_PendingResizeEvent, false);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  QCoreApplication::sendPostedEvents();
}

bool GraphChart::PaintOn(QPaintDevice& device, double margin) {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  LayOut();
  const QRectF page = painter.viewport();
  const QRectF target = page.adjusted(page.width() * margin, page.height() * margin,
                                      -page.width() * margin, -page.height() * margin);
  view_->PaintChart(painter, target);
  return painter.end();
}

void GraphChart::PaintInto(QPainter& painter, const QRectF& target, QSize size) {
  view_->resize(size);
  LayOut();
  // A view that was never shown leaves its chart at the chart's least size:
  // the chart is sized here, and laid out again.
  Chart()->resize(size);
  view_->setSceneRect(QRectF(QPointF(0, 0), size));
  LayOut();
  view_->PaintChart(painter, target);
}

}  // namespace pelvaro
