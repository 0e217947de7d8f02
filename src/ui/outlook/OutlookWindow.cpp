#include "ui/outlook/OutlookWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <optional>

#include "core/outlook/OutlookReport.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/NumberText.h"
#include "ui/outlook/OutlookReader.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {

constexpr std::size_t kColumns = 8;
constexpr const char* kHeadings[kColumns] = {"Site",        "Last scan", "Total",       "Refill",
                                             "Use per day", "Outlook",   "Refill date", "Faults"};
const QSize kDefaultSize(1180, 460);
const QSize kTableMinimum(360, 140);
constexpr int kCellPadding = 16;
// Light enough for black text to read on them.
const QColor kRed(255, 140, 140);
const QColor kAmber(255, 204, 102);

std::array<std::string, kColumns> Cells(const SiteOutlook& o) {
  const auto amount = [&o](const std::optional<double>& value) {
    return value ? Plain(*value) + " " + o.unit : std::string();
  };
  return {o.site,
          o.lastScan ? DateTimeText(*o.lastScan) : std::string(),
          amount(o.total),
          amount(o.refill),
          UseText(o),
          OutlookSummary(o),
          o.refillDay ? DateText(*o.refillDay) : std::string(),
          o.error.empty() ? FaultsText(o) : std::string()};
}

std::optional<QColor> Background(const SiteOutlook& o) {
  switch (UrgencyOf(o)) {
    case OutlookUrgency::Red:
      return kRed;
    case OutlookUrgency::Amber:
      return kAmber;
    case OutlookUrgency::None:
      break;
  }
  return std::nullopt;
}

}  // namespace

OutlookWindow::OutlookWindow(const Files& files, QWidget* parent)
    : QDialog(parent), entries_(ListSites(files)) {
  setObjectName("OutlookWindow");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Outlook"));
  setModal(true);
  Build();
  std::vector<std::string> identifications;
  for (const std::string& entry : entries_) identifications.push_back(IdentificationOf(entry));
  reader_ = new OutlookReader(files, std::move(identifications), this);
  connect(reader_, &OutlookReader::siteRead, this, &OutlookWindow::InsertRow, Qt::QueuedConnection);
  // Queued behind the last site, so it comes after the last row.
  connect(
      reader_, &QThread::finished, this,
      [this] {
        if (stopped_) return;
        ShowProgress();
        emit readingFinished();
      },
      Qt::QueuedConnection);
  ShowProgress();
  reader_->start();
}

OutlookWindow::~OutlookWindow() { reader_->Stop(); }

void OutlookWindow::Build() {
  auto* hint = new QLabel(tr("The most urgent first: red rows are below refill, amber rows reach "
                             "it within %1 days. Double-click a site to see its graph.")
                              .arg(kAmberDays),
                          this);
  hint->setObjectName("lblOutlookHint");
  hint->setWordWrap(true);

  table_ = new QTableWidget(0, static_cast<int>(kColumns), this);
  table_->setObjectName("OutlookTable");
  QStringList headings;
  for (const char* heading : kHeadings) headings << tr(heading);
  table_->setHorizontalHeaderLabels(headings);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->verticalHeader()->setVisible(false);
  table_->setWordWrap(false);
  // The faults take what a wider window gives.
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumSize(kTableMinimum);
  table_->resizeColumnsToContents();
  connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (!openGraph_ || row < 0 || row >= static_cast<int>(rowEntries_.size())) return;
    const std::string entry = entries_[static_cast<std::size_t>(rowEntries_[row])];
    openGraph_(entry);
  });

  progress_ = new QProgressBar(this);
  progress_->setObjectName("OutlookProgress");
  close_ = new QPushButton(tr("Close"), this);
  close_->setObjectName("cmdClose");
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(progress_, 1);
  bottom->addWidget(close_);
  auto* column = new QVBoxLayout(this);
  column->addWidget(hint);
  column->addWidget(table_, 1);
  column->addLayout(bottom);
  // Enter opens nothing and closes nothing.
  DisarmDefaultButtons(this);
  // At its narrowest the hint takes more lines, and the window room for them.
  const int narrowest = minimumSizeHint().width();
  setMinimumSize(narrowest, column->totalHeightForWidth(narrowest));
  resize(kDefaultSize.expandedTo(minimumSize()));
}

bool OutlookWindow::Reading() const { return !stopped_ && rows_.size() < entries_.size(); }

void OutlookWindow::done(int result) {
  stopped_ = true;
  reader_->Stop();
  QDialog::done(result);
}

void OutlookWindow::InsertRow(int index, const SiteOutlook& outlook) {
  // A site handed over while the window closed is not shown.
  if (stopped_) return;
  // After the sites at least as urgent, so that equals keep the list's order.
  const auto at = std::upper_bound(rows_.begin(), rows_.end(), outlook, MoreUrgent);
  const int row = static_cast<int>(at - rows_.begin());
  rows_.insert(at, outlook);
  rowEntries_.insert(rowEntries_.begin() + row, index);
  table_->insertRow(row);
  const auto cells = Cells(outlook);
  const std::optional<QColor> background = Background(outlook);
  for (std::size_t c = 0; c < kColumns; ++c) {
    auto* item = new QTableWidgetItem(ToQt(cells[c]));
    if (background) {
      item->setBackground(*background);
      item->setForeground(QColor(Qt::black));
    }
    table_->setItem(row, static_cast<int>(c), item);
  }
  WidenColumnsFor(row);
  // A progress bar repaints itself at once: one repaint for all the sites
  // that arrive together.
  if (!progressDue_) {
    progressDue_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          progressDue_ = false;
          ShowProgress();
        },
        Qt::QueuedConnection);
  }
}

void OutlookWindow::WidenColumnsFor(int row) {
  const QFontMetrics metrics(table_->font());
  for (int c = 0; c < table_->columnCount(); ++c) {
    const int width = metrics.horizontalAdvance(table_->item(row, c)->text()) + kCellPadding;
    if (width > table_->columnWidth(c)) table_->setColumnWidth(c, width);
  }
}

void OutlookWindow::ShowProgress() {
  const int total = static_cast<int>(entries_.size());
  const int read = static_cast<int>(rows_.size());
  // An empty range would be a busy bar: no sites is all read.
  progress_->setRange(0, std::max(total, 1));
  progress_->setValue(total == 0 ? 1 : read);
  progress_->setFormat(tr("%1 of %2 sites read").arg(read).arg(total));
}

}  // namespace pelvaro
