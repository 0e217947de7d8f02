#include <array>
#include <numeric>

#include "core/outlook/OutlookReport.h"
#include "report/ReportPages.h"
#include "ui/platform/QtText.h"
#include "ui/platform/UrgencyColours.h"

namespace pelvaro {

namespace {

// The share of the width each column of the list takes.
constexpr std::array<double, kOutlookColumns> kColumnWeights = {11, 10,   8,  7,   11,
                                                                15, 10.5, 13, 14.5};
constexpr double kPaddingMm = 0.8;
constexpr double kGapMm = 3;
const QColor kRule(150, 150, 150);
const QColor kHeadingFill(235, 235, 235);

std::array<double, kOutlookColumns> ColumnWidths(double width) {
  const double sum = std::accumulate(kColumnWeights.begin(), kColumnWeights.end(), 0.0);
  std::array<double, kOutlookColumns> widths{};
  for (std::size_t c = 0; c < kOutlookColumns; ++c) widths[c] = width * kColumnWeights[c] / sum;
  return widths;
}

std::array<QString, kOutlookColumns> Headings() {
  std::array<QString, kOutlookColumns> cells;
  for (std::size_t c = 0; c < kOutlookColumns; ++c) cells[c] = kOutlookHeadings[c];
  return cells;
}

std::array<QString, kOutlookColumns> Row(const SiteOutlook& outlook) {
  const auto texts = OutlookCells(outlook);
  std::array<QString, kOutlookColumns> cells;
  for (std::size_t c = 0; c < kOutlookColumns; ++c) cells[c] = ToQt(texts[c]);
  // A site that could not be read says why where its outlook would be.
  return cells;
}

double RowHeight(const PageStyle& style, const QFont& font, double width,
                 const std::array<QString, kOutlookColumns>& cells) {
  const auto widths = ColumnWidths(width);
  const double pad = style.Mm(kPaddingMm);
  double height = 0;
  for (std::size_t c = 0; c < kOutlookColumns; ++c) {
    height = std::max(height, WrappedHeight(style, font, widths[c] - 2 * pad, cells[c]));
  }
  return height + 2 * pad;
}

QString ListTitle() { return QObject::tr("Irrigation outlook of every site"); }

QString ListKey(const ReportHead& head) {
  return QObject::tr(
             "The most urgent first: red rows are below refill, amber rows reach it within "
             "%1 days. The pages after this one show each site in this order. Report made "
             "%2 by %3.")
      .arg(kAmberDays)
      .arg(head.made, head.program);
}

// The head of every page of the list; returns its height.
double ListHead(QPainter* painter, const PageStyle& style, const QRectF& content,
                const ReportHead& head) {
  const double title = style.Metrics(style.heading).height();
  const QRectF key(content.left(), content.top() + title, content.width(), content.height());
  double keyHeight = WrappedHeight(style, style.small, content.width(), ListKey(head));
  if (painter != nullptr) {
    painter->setPen(Qt::black);
    painter->setFont(style.heading);
    painter->drawText(QRectF(content.topLeft(), QSizeF(content.width(), title)),
                      Qt::AlignLeft | Qt::AlignVCenter, ListTitle());
    keyHeight = DrawWrapped(*painter, style, style.small, key, ListKey(head));
  }
  return title + keyHeight + style.Mm(kGapMm);
}

void DrawRow(QPainter& painter, const PageStyle& style, const QRectF& row, const QFont& font,
             const std::array<QString, kOutlookColumns>& cells, const std::optional<QColor>& fill) {
  if (fill) painter.fillRect(row, *fill);
  const auto widths = ColumnWidths(row.width());
  const double pad = style.Mm(kPaddingMm);
  double x = row.left();
  for (std::size_t c = 0; c < kOutlookColumns; ++c) {
    DrawWrapped(painter, style, font,
                QRectF(x + pad, row.top() + pad, widths[c] - 2 * pad, row.height()), cells[c]);
    x += widths[c];
  }
  painter.setPen(style.Pen(kRule, 0.15));
  painter.drawLine(row.bottomLeft(), row.bottomRight());
}

}  // namespace

std::vector<std::size_t> ListPageStarts(const PageStyle& style, const QRectF& content,
                                        std::span<const SiteOutlook> outlooks) {
  const ReportHead none;
  const double top = content.top() + ListHead(nullptr, style, content, none) +
                     RowHeight(style, style.bold, content.width(), Headings());
  const double bottom = content.bottom() - FootHeight(style);
  std::vector<std::size_t> starts = {0};
  double y = top;
  for (std::size_t i = 0; i < outlooks.size(); ++i) {
    const double h = RowHeight(style, style.small, content.width(), Row(outlooks[i]));
    if (y + h > bottom && y > top) {
      starts.push_back(i);
      y = top;
    }
    y += h;
  }
  return starts;
}

void DrawListPage(QPainter& painter, const PageStyle& style, const QRectF& content,
                  std::span<const SiteOutlook> outlooks, std::size_t first, std::size_t end,
                  const ReportHead& head, int page) {
  double y = content.top() + ListHead(&painter, style, content, head);
  const auto row = [&](const std::array<QString, kOutlookColumns>& cells, const QFont& font,
                       const std::optional<QColor>& fill) {
    const double h = RowHeight(style, font, content.width(), cells);
    DrawRow(painter, style, QRectF(content.left(), y, content.width(), h), font, cells, fill);
    y += h;
  };
  row(Headings(), style.bold, kHeadingFill);
  for (std::size_t i = first; i < end && i < outlooks.size(); ++i) {
    row(Row(outlooks[i]), style.small, UrgencyColour(UrgencyOf(outlooks[i])));
  }
  DrawFoot(painter, style, content, head, page);
}

}  // namespace pelvaro
