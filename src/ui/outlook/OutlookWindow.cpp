#include "ui/outlook/OutlookWindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <optional>
#include <set>

#include "core/outlook/OutlookReport.h"
#include "core/platform/PathNames.h"
#include "core/shell/SiteCatalogue.h"
#include "ui/outlook/OutlookReader.h"
#include "ui/platform/DataWatcher.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/UrgencyColours.h"
#include "ui/platform/WindowHabits.h"
#include "ui/report/ReportSaving.h"

namespace pelvaro {

namespace {

const QSize kDefaultSize(1380, 460);
const QSize kTableMinimum(360, 140);
constexpr int kCellPadding = 16;

}  // namespace

OutlookWindow::OutlookWindow(const Files& files, QWidget* parent)
    : QDialog(parent), files_(files), entries_(ListSites(files)) {
  setObjectName("OutlookWindow");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Outlook"));
  setModal(true);
  Build();
  StartReading(entries_);
}

OutlookWindow::~OutlookWindow() { reader_->Stop(); }

void OutlookWindow::Follow(DataWatcher& watcher) {
  watcher.Follow(this, [this] { return ReadChangedSites(); });
}

void OutlookWindow::StartReading(std::vector<std::string> entries) {
  // The reader before has handed over every site: its end came after them.
  delete reader_;
  reading_ = std::move(entries);
  readerDone_ = false;
  reader_ = new OutlookReader(files_, reading_, this);
  connect(reader_, &OutlookReader::siteRead, this, &OutlookWindow::InsertRow, Qt::QueuedConnection);
  // Queued behind the last site, so it comes after the last row.
  connect(
      reader_, &QThread::finished, this,
      [this] {
        if (stopped_) return;
        readerDone_ = true;
        ShowProgress();
        emit readingFinished();
      },
      Qt::QueuedConnection);
  ShowProgress();
  reader_->start();
}

bool OutlookWindow::ReadChangedSites() {
  if (stopped_) return true;
  if (!readerDone_) return false;
  std::vector<std::string> listed;
  try {
    listed = ListSites(files_);
  } catch (const IoError&) {
    return true;  // the rows stay as they are until the folder can be listed
  }
  const fs::path headers = files_.HeaderFolder();
  std::vector<std::string> changed;
  for (const std::string& entry : listed) {
    const auto read = readFrom_.find(entry);
    if (read == readFrom_.end() || LookAtSources(headers / NamePath(entry), read->second.graphFile,
                                                 IdentificationOf(entry)) != read->second.sources) {
      changed.push_back(entry);
    }
  }
  const std::set<std::string> still(listed.begin(), listed.end());
  for (int row = static_cast<int>(rows_.size()) - 1; row >= 0; --row) {
    const std::string entry = rowEntries_[static_cast<std::size_t>(row)];
    if (still.count(entry) > 0) continue;
    // A site put back later, its files as they were, is read again.
    readFrom_.erase(entry);
    RemoveRow(row);
  }
  entries_ = std::move(listed);
  // A changed site keeps its row until it has been read again.
  if (!changed.empty()) {
    StartReading(std::move(changed));
  } else {
    ShowProgress();
  }
  return true;
}

void OutlookWindow::Build() {
  auto* hint = new QLabel(tr("The most urgent first: red rows are below refill, amber rows reach "
                             "it within %1 days. Double-click a site, or press Space on it, to see "
                             "its graph.")
                              .arg(kAmberDays),
                          this);
  hint->setObjectName("lblOutlookHint");
  hint->setWordWrap(true);

  table_ = new QTableWidget(0, static_cast<int>(kOutlookColumns), this);
  table_->setObjectName("OutlookTable");
  QStringList headings;
  for (const char* heading : kOutlookHeadings) headings << tr(heading);
  table_->setHorizontalHeaderLabels(headings);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  // Several rows may be chosen for a report.
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->verticalHeader()->setVisible(false);
  table_->setWordWrap(false);
  // The faults take what a wider window gives.
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setMinimumSize(kTableMinimum);
  table_->resizeColumnsToContents();
  const auto openRow = [this](int row) {
    if (!openGraph_ || row < 0 || row >= static_cast<int>(rowEntries_.size())) return;
    const std::string entry = rowEntries_[static_cast<std::size_t>(row)];
    openGraph_(entry);
  };
  connect(table_, &QTableWidget::cellDoubleClicked, this, openRow);
  ActOnSpace(table_, [openRow](const QModelIndex& item) {
    openRow(item.row());
    return true;
  });

  progress_ = new QProgressBar(this);
  progress_->setObjectName("OutlookProgress");
  report_ = new QPushButton(tr("&Report..."), this);
  report_->setObjectName("cmdReport");
  connect(report_, &QPushButton::clicked, this, &OutlookWindow::Report);
  close_ = new QPushButton(tr("&Close"), this);
  close_->setObjectName("cmdClose");
  connect(close_, &QPushButton::clicked, this, &QDialog::reject);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(progress_, 1);
  bottom->addWidget(report_);
  bottom->addWidget(close_);
  auto* column = new QVBoxLayout(this);
  column->addWidget(hint);
  column->addWidget(table_, 1);
  column->addLayout(bottom);
  // Enter in the table opens nothing and closes nothing.
  SetButtonKeys(this);
  SetTabOrder({table_, report_, close_});
  // At its narrowest the hint takes more lines, and the window room for them.
  const int narrowest = minimumSizeHint().width();
  setMinimumSize(narrowest, column->totalHeightForWidth(narrowest));
  resize(kDefaultSize.expandedTo(minimumSize()));
}

std::vector<std::string> OutlookWindow::ReportSites() {
  std::vector<std::string> every;
  for (const SiteOutlook& o : rows_) every.push_back(o.site);
  const QModelIndexList chosen = table_->selectionModel()->selectedRows();
  if (chosen.isEmpty() || chosen.size() == static_cast<int>(rows_.size())) return every;
  const Answer answer =
      prompter_->Message("Report on the " + std::to_string(chosen.size()) +
                             " selected sites only?\r\n\r\nNo reports on every site in the list.",
                         kReportTitle, Buttons::YesNoCancel, Icon::Question);
  if (answer == Answer::Cancel) return {};
  if (answer == Answer::No) return every;
  // In the table's order, most urgent first.
  std::vector<std::string> sites;
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (table_->selectionModel()->isRowSelected(row, {}))
      sites.push_back(rows_[static_cast<std::size_t>(row)].site);
  }
  return sites;
}

void OutlookWindow::Report() {
  ReportRequest request;
  request.sites = ReportSites();
  if (request.sites.empty()) return;
  request.paper = LocalePaper();
  SaveReport(this, files_, *prompter_, askReportName_, request);
}

bool OutlookWindow::Reading() const { return !stopped_ && !readerDone_; }

void OutlookWindow::done(int result) {
  stopped_ = true;
  reader_->Stop();
  QDialog::done(result);
}

void OutlookWindow::InsertRow(int index, const SiteOutlook& outlook,
                              const OutlookSources& sources) {
  // A site handed over while the window closed is not shown.
  if (stopped_) return;
  const std::string& entry = reading_[static_cast<std::size_t>(index)];
  readFrom_[entry] = {outlook.graphFile, sources};
  const std::string selected = SelectedEntry();
  // A site read again replaces its row.
  const auto old = std::find(rowEntries_.begin(), rowEntries_.end(), entry);
  if (old != rowEntries_.end()) RemoveRow(static_cast<int>(old - rowEntries_.begin()));
  // After the sites at least as urgent, so that equals keep the list's order.
  const auto at = std::upper_bound(rows_.begin(), rows_.end(), outlook, MoreUrgent);
  const int row = static_cast<int>(at - rows_.begin());
  rows_.insert(at, outlook);
  rowEntries_.insert(rowEntries_.begin() + row, entry);
  table_->insertRow(row);
  const auto cells = OutlookCells(outlook);
  const std::optional<QColor> background = UrgencyColour(UrgencyOf(outlook));
  for (std::size_t c = 0; c < kOutlookColumns; ++c) {
    auto* item = new QTableWidgetItem(ToQt(cells[c]));
    if (background) {
      item->setBackground(*background);
      item->setForeground(QColor(Qt::black));
    }
    table_->setItem(row, static_cast<int>(c), item);
  }
  WidenColumnsFor(row);
  if (entry == selected) table_->selectRow(row);
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

void OutlookWindow::RemoveRow(int row) {
  rows_.erase(rows_.begin() + row);
  rowEntries_.erase(rowEntries_.begin() + row);
  table_->removeRow(row);
}

std::string OutlookWindow::SelectedEntry() const {
  const int row = table_->currentRow();
  return row >= 0 && row < static_cast<int>(rowEntries_.size())
             ? rowEntries_[static_cast<std::size_t>(row)]
             : std::string();
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
