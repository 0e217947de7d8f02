#pragma once

#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>
#include <span>
#include <vector>

#include "report/ReportChart.h"
#include "report/SitePage.h"

namespace pelvaro {

// A screen's resolution: the graph window's chart is laid out on the page
// at the size it would have on such a screen, so its texts keep their size
// beside its plot.
inline constexpr int kChartDpi = 96;

// What the head and foot of every page name.
struct ReportHead {
  QString made;     // the day the report was made, "08-09-2026"
  QString program;  // "Pelvaro 3.1"
  int pageCount = 0;
};

// The height `text` takes wrapped at word boundaries across `width`.
double WrappedHeight(const PageStyle& style, const QFont& font, double width, const QString& text);
// Draws `text` wrapped across the rect's width from its top; returns the height taken.
double DrawWrapped(QPainter& painter, const PageStyle& style, const QFont& font, const QRectF& rect,
                   const QString& text);
// "Page 2 of 7" at the foot of the content, and the program beside it.
void DrawFoot(QPainter& painter, const PageStyle& style, const QRectF& content,
              const ReportHead& head, int page);
// The foot's height, kept free on every page.
double FootHeight(const PageStyle& style);

// The first site of each page of the list of every site.
std::vector<std::size_t> ListPageStarts(const PageStyle& style, const QRectF& content,
                                        std::span<const SiteOutlook> outlooks);
// Draws the list's page that begins with the site `first` (an entry of
// ListPageStarts), numbered `page`.
void DrawListPage(QPainter& painter, const PageStyle& style, const QRectF& content,
                  std::span<const SiteOutlook> outlooks, std::size_t first, std::size_t end,
                  const ReportHead& head, int page);

// Draws the page of one site, numbered `page`; its chart is the graph
// window's, drawn from the site's files.
void DrawSitePage(QPainter& painter, const PageStyle& style, const QRectF& content,
                  const SitePage& site, const ReportHead& head, int page, const Files& files);

}  // namespace pelvaro
