#include "report/ReportPages.h"

#include <QLegend>
#include <QTextOption>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cmath>

#include "core/graph/GraphModel.h"
#include "core/graph/GraphReading.h"
#include "core/outlook/OutlookReport.h"
#include "core/storage/NumberText.h"
#include "ui/chart/GraphChart.h"
#include "ui/platform/ChartColours.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

// The graph window's colours, so a line reads the same on paper.
const QColor kBand(150, 200, 255, 110);
const QColor kUse(240, 150, 40);
const QColor kWettingBar(20, 60, 220);
const QColor kQuiet(110, 110, 110);
const QColor kRule(150, 150, 150);
constexpr double kLineMm = 0.4;
constexpr double kThinMm = 0.3;
constexpr double kGapMm = 2.5;
constexpr double kPaddingMm = 0.8;
// The three charts share what the texts leave, never less than this.
constexpr double kLeastChartsMm = 120;
constexpr std::array<double, 3> kChartShares = {0.45, 0.31, 0.24};
// The table's columns: start, kind, effective gain, deepest, note.
constexpr std::array<double, 5> kEventWeights = {18, 11, 14, 25, 32};
// A note takes at most about two lines of its column.
constexpr double kNoteLines = 1.8;

QString DateTime(double dateTime, bool seconds = false) {
  return ToQt(DateTimeText(dateTime, seconds));
}

QString Amount(double value, const std::string& unit) {
  return ToQt(ShortDecimal(value, 3) + " " + unit);
}

double LineHeight(const PageStyle& style, const QFont& font) {
  return style.Metrics(font).height();
}

// A framed note in place of a chart that would be empty.
void DrawEmpty(QPainter& painter, const PageStyle& style, const QRectF& area, const QString& text) {
  painter.setPen(style.Pen(kRule, kThinMm, Qt::DashLine));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area);
  painter.setPen(Qt::black);
  painter.setFont(style.body);
  painter.drawText(area.adjusted(style.Mm(5), 0, -style.Mm(5), 0),
                   Qt::AlignCenter | Qt::TextWordWrap, text);
}

QString PeriodText(const SitePage& site) {
  if (!site.period) return QObject::tr("no scans");
  return QObject::tr("%1 to %2").arg(DateTime(site.period->from), DateTime(site.period->to));
}

// The title line and the line under it; returns their height.
double DrawHead(QPainter* painter, const PageStyle& style, const QRectF& content,
                const SitePage& site, const ReportHead& head) {
  const QString title = QObject::tr("%1 \u00b7 %2").arg(ToQt(site.outlook.site), PeriodText(site));
  const QString last =
      site.outlook.lastScan ? DateTime(*site.outlook.lastScan, true) : QObject::tr("none");
  const QString under = QObject::tr("Last scan %1 \u00b7 Report made %2 \u00b7 %3")
                            .arg(last, head.made, head.program);
  const double w = content.width();
  if (painter == nullptr) {
    return WrappedHeight(style, style.heading, w, title) +
           WrappedHeight(style, style.small, w, under) + style.Mm(kGapMm);
  }
  double y = content.top();
  y += DrawWrapped(*painter, style, style.heading, QRectF(content.left(), y, w, 0), title);
  y += DrawWrapped(*painter, style, style.small, QRectF(content.left(), y, w, 0), under);
  return y - content.top() + style.Mm(kGapMm);
}

// Answers every question with its safe choice and keeps what was said, so
// a chart that cannot be drawn says why on its page and asks no one.
class PagePrompter : public Prompter {
 public:
  Answer Message(const std::string& text, const std::string&, Buttons buttons, Icon) override {
    said = text;
    switch (buttons) {
      case Buttons::Ok:
        return Answer::Ok;
      case Buttons::YesNo:
      case Buttons::YesNoDefaultNo:
        return Answer::No;
      case Buttons::OkCancel:
      case Buttons::YesNoCancel:
      case Buttons::RetryCancel:
        break;
    }
    return Answer::Cancel;
  }
  std::optional<std::string> Input(const std::string&, const std::string&,
                                   const std::string&) override {
    return std::nullopt;
  }
  std::string said;
};

// The graph window's chart of the site, its boxes set to the root zone's
// depths with their sum and limit lines, zoomed to the period and the
// forecast after it.
void DrawTotalChart(QPainter& painter, const PageStyle& style, const QRectF& area,
                    const SitePage& site, const Files& files) {
  const SiteOutlook& o = site.outlook;
  PagePrompter prompter;
  GraphModel model(files, prompter);
  model.ShowSite({o.site, site.dataDirectory, std::nullopt});
  if (model.Load() != GraphModel::LoadResult::Drawn) {
    DrawEmpty(painter, style, area,
              QObject::tr("The chart could not be drawn: %1").arg(ToQt(prompter.said)));
    return;
  }
  model.ChooseDepths(o.rootZoneDepthsCm, true, true);

  // Declared first, so that it goes last, with the chart's view.
  QWidget holder;
  GraphChart chart(model, &holder);
  chart.Show();
  chart.ResetZoom();
  chart.ShowEvents(site.events.events);
  // The page's head names the site and the period.
  chart.Chart()->setTitle({});
  chart.Chart()->legend()->setAlignment(Qt::AlignBottom);
  const PeriodSpan span = *site.period;
  double to = span.to;
  // The forecast runs on beyond the last scan, at most one more period.
  if (const auto forecast = model.Projection()) {
    to = std::min(std::max(to, forecast->toDateTime), span.to + (span.to - span.from));
  }
  chart.ZoomToTimes(span.from, to);
  // Sized as on a screen, so its fonts read as they do there.
  const double pixelsPerUnit = kChartDpi / 25.4 / style.unitsPerMm;
  chart.PaintInto(
      painter, area,
      QSize(qRound(area.width() * pixelsPerUnit), qRound(area.height() * pixelsPerUnit)));
}

// The legend above a chart, then the chart in the rest of the area.
QRectF UnderLegend(QPainter& painter, const PageStyle& style, const QRectF& area,
                   std::vector<LegendEntry> entries) {
  for (LegendEntry& e : entries) {
    const Qt::PenStyle line = e.pen.style();
    e.pen = style.Pen(e.pen.color(), kLineMm, line);
  }
  const double h = DrawLegend(&painter, style, area.topLeft(), area.width(), entries);
  return area.adjusted(0, h, 0, 0);
}

void DrawDepthChart(QPainter& painter, const PageStyle& style, const QRectF& area,
                    const SitePage& site) {
  const PeriodSpan span = *site.period;
  std::vector<LegendEntry> entries;
  ValueRange range;
  for (std::size_t j = 0; j < site.depths.size(); ++j) {
    const DepthLine& d = site.depths[j];
    QString name = QObject::tr("%1 cm").arg(d.depthCm);
    if (d.faulty) name += kFaultMark;
    entries.push_back({name, QPen(kDepthColours[j % kDepthColours.size()])});
    for (const PlotPoint& p : d.points) range.Add(p.y);
  }
  const QRectF chartArea = UnderLegend(painter, style, area, entries);
  ReportChart chart(painter, style, chartArea, span.from, span.to, range.low, range.high);
  chart.DrawFrame(QObject::tr("Water %1").arg(ToQt(site.outlook.unit)),
                  DateTicks(style, span.from, span.to, chart.Plot().width()));
  for (std::size_t j = 0; j < site.depths.size(); ++j) {
    chart.DrawLine(site.depths[j].points,
                   style.Pen(kDepthColours[j % kDepthColours.size()], kThinMm));
  }
}

void DrawUseChart(QPainter& painter, const PageStyle& style, const QRectF& area,
                  const SitePage& site) {
  const bool any = std::any_of(site.uses.begin(), site.uses.end(),
                               [](const DailyUse& u) { return u.use.has_value(); });
  if (!any) {
    DrawEmpty(painter, style, area,
              QObject::tr("No daily use in this period: it takes the morning readings "
                          "(05:00 to 07:00) of two days in a row."));
    return;
  }
  ValueRange range;
  range.Add(0);
  for (const DailyUse& u : site.uses) range.Add(u.use.value_or(0));
  const double from = static_cast<double>(site.uses.front().day);
  const double to = static_cast<double>(site.uses.back().day) + 1;
  const QRectF chartArea = UnderLegend(
      painter, style, area,
      {{QObject::tr("Daily use U(d): the drop of the morning total from the day before"), {}, kUse},
       {QObject::tr("Wetting day"), {}, kBand}});
  ReportChart chart(painter, style, chartArea, from, to, range.low, range.high);
  std::vector<XTick> ticks;
  for (const DailyUse& u : site.uses) {
    ticks.push_back({static_cast<double>(u.day) + 0.5, ToQt(DateText(u.day).substr(0, 5))});
  }
  chart.DrawFrame(QObject::tr("%1 per day").arg(ToQt(site.outlook.unit)), ticks);
  for (const DailyUse& u : site.uses) {
    const auto d = static_cast<double>(u.day);
    if (u.wetting) chart.Shade(d, d + 1, kBand);
    if (u.use) chart.DrawBar(d + 0.2, d + 0.8, *u.use, u.wetting ? kWettingBar : kUse);
  }
}

// Under the chart: the graph window's outlook line and the last event.
QString OutlookText(const SiteOutlook& o) { return ToQt(OutlookLine(o)); }
QString LastEventLine(const SiteOutlook& o) {
  return QObject::tr("Last wetting event: %1").arg(ToQt(LastEventText(o)));
}

QString FaultLines(const SiteOutlook& o) {
  if (o.faults.empty()) return QObject::tr("Sensor faults: none");
  QString text = QObject::tr("Sensor faults:");
  for (const SensorFault& f : o.faults) text += "\n" + ToQt(FaultText(f));
  return text;
}

using EventCells = std::array<QString, kEventWeights.size()>;

std::array<double, kEventWeights.size()> EventWidths(double width) {
  double sum = 0;
  for (double w : kEventWeights) sum += w;
  std::array<double, kEventWeights.size()> widths{};
  for (std::size_t c = 0; c < widths.size(); ++c) widths[c] = width * kEventWeights[c] / sum;
  return widths;
}

// The period's events as rows of the table, the labels without an event after them.
class EventTable {
 public:
  EventTable(const PageStyle& style, double width, const SitePage& site)
      : style_(style), widths_(EventWidths(width)) {
    const double pad = 2 * style.Mm(kPaddingMm);
    const QFontMetricsF metrics = style.Metrics(style.small);
    const auto note = [&](const std::optional<std::string>& text) {
      // Notes are UTF-8; a long one is cut to about two lines.
      const QString utf8 = text ? QString::fromStdString(*text) : QString();
      return metrics.elidedText(utf8, Qt::ElideRight, (widths_[4] - pad) * kNoteLines);
    };
    const std::string& unit = site.outlook.unit;
    for (const LabelledEvent& e : site.events.events) {
      const WettingEvent& w = e.event;
      QString deepest =
          w.deepestCm ? QObject::tr("%1 cm").arg(*w.deepestCm) : QObject::tr("no sensor");
      if (w.belowRootZone) deepest += QObject::tr(" (below the root zone)");
      rows_.push_back({DateTime(EventDateTime(w.start)), EventKindText(e.kind),
                       Amount(w.effectiveGain, unit), deepest, note(e.note)});
    }
    for (const EventLabel& label : site.events.orphans) {
      rows_.push_back({QString::fromStdString(label.start).replace('T', ' '),
                       EventKindText(label.kind), QObject::tr("no longer in the data"), QString(),
                       note(label.note)});
    }
    for (const EventCells& row : rows_) heights_.push_back(RowHeight(style_.small, row));
    title_ = rows_.empty() ? QObject::tr("No wetting events in this period.")
                           : QObject::tr("Wetting events of the period");
  }

  // Keeps the latest rows that fit in `room`; returns the height the table takes.
  double Fit(double room) {
    double h = Fixed();
    shown_ = 0;
    for (auto row = heights_.rbegin(); row != heights_.rend(); ++row) {
      const double more = shown_ + 1 < heights_.size() ? Line() : 0;
      if (h + *row + more > room) break;
      h += *row;
      ++shown_;
    }
    return h + (shown_ < rows_.size() ? Line() : 0);
  }

  void Draw(QPainter& painter, const QRectF& at) const {
    double y = at.top();
    painter.setPen(Qt::black);
    y += DrawWrapped(painter, style_, style_.bold, QRectF(at.left(), y, at.width(), 0), title_);
    if (rows_.empty()) return;
    const std::size_t hidden = rows_.size() - shown_;
    if (hidden > 0) {
      y += DrawWrapped(
          painter, style_, style_.small, QRectF(at.left(), y, at.width(), 0),
          (hidden == 1 ? QObject::tr("1 earlier event of the period does not fit on the page.")
                       : QObject::tr("%1 earlier events of the period do not fit on "
                                     "the page.")
                             .arg(hidden)));
    }
    const EventCells heading = {QObject::tr("Start"), QObject::tr("Kind"),
                                QObject::tr("Effective gain"), QObject::tr("Deepest reached"),
                                QObject::tr("Note")};
    y += DrawRow(painter, at.left(), y, style_.bold, heading, RowHeight(style_.bold, heading));
    for (std::size_t i = hidden; i < rows_.size(); ++i) {
      y += DrawRow(painter, at.left(), y, style_.small, rows_[i], heights_[i]);
    }
  }

 private:
  double Line() const { return LineHeight(style_, style_.small); }
  double Fixed() const {
    if (rows_.empty()) return LineHeight(style_, style_.bold);
    return LineHeight(style_, style_.bold) + LineHeight(style_, style_.bold) +
           2 * style_.Mm(kPaddingMm);
  }
  double RowHeight(const QFont& font, const EventCells& cells) const {
    double h = 0;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      h = std::max(h,
                   WrappedHeight(style_, font, widths_[c] - 2 * style_.Mm(kPaddingMm), cells[c]));
    }
    return h + 2 * style_.Mm(kPaddingMm);
  }
  double DrawRow(QPainter& painter, double left, double top, const QFont& font,
                 const EventCells& cells, double height) const {
    const double pad = style_.Mm(kPaddingMm);
    double x = left;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      DrawWrapped(painter, style_, font, QRectF(x + pad, top + pad, widths_[c] - 2 * pad, height),
                  cells[c]);
      x += widths_[c];
    }
    painter.setPen(style_.Pen(kRule, 0.15));
    painter.drawLine(QPointF(left, top + height), QPointF(x, top + height));
    return height;
  }

  const PageStyle& style_;
  std::array<double, kEventWeights.size()> widths_;
  std::vector<EventCells> rows_;
  std::vector<double> heights_;
  QString title_;
  std::size_t shown_ = 0;
};

// What stands in for the charts of a period with fewer than two scans.
QString NoChartText(const SitePage& site) {
  if (!site.period) return QObject::tr("No data: the site has no scans yet.");
  if (site.scans == 0)
    return QObject::tr("No scans from %1: nothing to draw.").arg(PeriodText(site));
  return QObject::tr("One scan only in this period, at %1: a chart takes at least two.")
      .arg(DateTime(site.onlyScan.value_or(0), true));
}

}  // namespace

double WrappedHeight(const PageStyle& style, const QFont& font, double width, const QString& text) {
  if (text.isEmpty()) return 0;
  const QRectF bounds = style.Metrics(font).boundingRect(QRectF(0, 0, width, 1e9),
                                                         Qt::TextWordWrap | Qt::AlignLeft, text);
  return bounds.height();
}

double DrawWrapped(QPainter& painter, const PageStyle& style, const QFont& font, const QRectF& rect,
                   const QString& text) {
  const double h = WrappedHeight(style, font, rect.width(), text);
  painter.setPen(Qt::black);
  painter.setFont(font);
  painter.drawText(QRectF(rect.left(), rect.top(), rect.width(), h),
                   Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
  return h;
}

double FootHeight(const PageStyle& style) {
  return LineHeight(style, style.small) + style.Mm(kGapMm);
}

void DrawFoot(QPainter& painter, const PageStyle& style, const QRectF& content,
              const ReportHead& head, int page) {
  const double h = LineHeight(style, style.small);
  const QRectF foot(content.left(), content.bottom() - h, content.width(), h);
  painter.setPen(kQuiet);
  painter.setFont(style.small);
  painter.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, head.program);
  painter.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                   QObject::tr("Page %1 of %2").arg(page).arg(head.pageCount));
}

void DrawSitePage(QPainter& painter, const PageStyle& style, const QRectF& content,
                  const SitePage& site, const ReportHead& head, int page, const Files& files) {
  const SiteOutlook& o = site.outlook;
  const double w = content.width();
  const double gap = style.Mm(kGapMm);
  double y = content.top() + DrawHead(&painter, style, content, site, head);
  const double bottom = content.bottom() - FootHeight(style);
  DrawFoot(painter, style, content, head, page);
  const auto block = [&](double height) { return QRectF(content.left(), y, w, height); };
  if (!o.error.empty()) {
    DrawEmpty(painter, style, block(bottom - y),
              QObject::tr("This site could not be read: %1").arg(ToQt(o.error)));
    return;
  }
  // The texts are measured first: the charts take what they leave.
  const QString outlook = OutlookText(o);
  const QString last = LastEventLine(o);
  const QString faults = FaultLines(o);
  const double textHeight =
      WrappedHeight(style, style.body, w, outlook) + WrappedHeight(style, style.small, w, last);
  const double faultHeight = WrappedHeight(style, style.small, w, faults);
  EventTable table(style, w, site);
  const double free = bottom - y - textHeight - faultHeight - 4 * gap;
  const double tableHeight = table.Fit(free - style.Mm(kLeastChartsMm));
  const double charts = free - tableHeight;
  const bool drawn = site.scans >= 2;
  if (drawn) {
    DrawTotalChart(painter, style, block(charts * kChartShares[0]), site, files);
    y += charts * kChartShares[0] + gap;
  } else {
    DrawEmpty(painter, style, block(charts - gap), NoChartText(site));
    y += charts;
  }
  y += DrawWrapped(painter, style, style.body, block(0), outlook);
  y += DrawWrapped(painter, style, style.small, block(0), last) + gap;
  if (drawn) {
    DrawDepthChart(painter, style, block(charts * kChartShares[1] - gap), site);
    y += charts * kChartShares[1];
    DrawUseChart(painter, style, block(charts * kChartShares[2] - gap), site);
    y += charts * kChartShares[2];
  }
  table.Draw(painter, block(tableHeight));
  y += tableHeight + gap;
  DrawWrapped(painter, style, style.small, block(faultHeight), faults);
}

}  // namespace pelvaro
