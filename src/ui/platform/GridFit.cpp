#include "ui/platform/GridFit.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <algorithm>
#include <vector>

namespace pelvaro {

namespace {

constexpr int kCellPadding = 14;

}  // namespace

GridFit::GridFit(QTableView* grid, QStringList widest, int rowsShown, Rows rows)
    : QObject(grid),
      grid_(grid),
      widest_(std::move(widest)),
      rowsShown_(rowsShown),
      rows_(rows),
      fewestRows_(rowsShown) {
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  if (rows_ == Rows::Fill) grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QHeaderView* across = grid_->horizontalHeader();
  across->setStretchLastSection(false);
  across->setSectionResizeMode(QHeaderView::Fixed);
  across->setMinimumSectionSize(1);
  grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  grid_->viewport()->installEventFilter(this);
  grid_->horizontalHeader()->installEventFilter(this);
  QAbstractItemModel* model = grid_->model();
  for (auto change : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved,
                      &QAbstractItemModel::columnsInserted, &QAbstractItemModel::columnsRemoved}) {
    connect(model, change, this, &GridFit::Refit);
  }
  connect(model, &QAbstractItemModel::headerDataChanged, this, &GridFit::Refit);
  Refit();
}

int GridFit::ColumnCount() const { return grid_->model()->columnCount(); }

int GridFit::RowCount() const { return grid_->model()->rowCount(); }

int GridFit::RowHeight() const {
  return std::max(grid_->fontMetrics().height() + 6, minimumRowHeight_);
}

void GridFit::SetWidest(QStringList widest) {
  if (widest == widest_) return;
  widest_ = std::move(widest);
  Refit();
}

void GridFit::SetFewestRows(int rows) { fewestRows_ = std::min(rows, rowsShown_); }

void GridFit::SetStretchColumn(int column) {
  stretchColumn_ = column;
  Apply();
}

void GridFit::SetMinimumRowHeight(int height) {
  minimumRowHeight_ = height;
  Refit();
}

int GridFit::ColumnMinimum(int column) const {
  QFont bold = grid_->horizontalHeader()->font();
  bold.setBold(true);  // the current column's heading is drawn bold
  const QString heading = grid_->model()->headerData(column, Qt::Horizontal).toString();
  const int headingWidth =
      grid_->horizontalHeader()->isHidden() ? 0 : QFontMetrics(bold).horizontalAdvance(heading);
  const QString sample =
      widest_.isEmpty() ? QString() : widest_.value(std::min<int>(column, widest_.size() - 1));
  return std::max(headingWidth, grid_->fontMetrics().horizontalAdvance(sample)) + kCellPadding;
}

void GridFit::Refit() {
  QHeaderView* down = grid_->verticalHeader();
  down->setMinimumSectionSize(RowHeight());
  down->setDefaultSectionSize(RowHeight() + (rows_ == Rows::Scroll ? 4 : 0));
  int width = 2 * grid_->frameWidth();
  for (int c = 0; c < ColumnCount(); ++c) width += ColumnMinimum(c);
  if (!grid_->verticalHeader()->isHidden()) width += grid_->verticalHeader()->sizeHint().width();
  if (rows_ == Rows::Scroll) width += grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  int height = 2 * grid_->frameWidth() +
               (rowsShown_ - rowsGiven_) * grid_->verticalHeader()->defaultSectionSize();
  if (!grid_->horizontalHeader()->isHidden()) {
    height += grid_->horizontalHeader()->sizeHint().height();
  }
  if (narrowed_ > 0) {
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    height += grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  }
  fullWidth_ = width;
  grid_->setMinimumSize(width - std::min(narrowed_, width - NarrowestWidth()), height);
  Apply();
}

int GridFit::NarrowestWidth() const {
  // The first column and a scroll bar's room for the rest.
  return std::min(fullWidth_,
                  ColumnMinimum(0) + 4 * grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

QSize GridFit::Squeeze(QSize wanted) {
  if (rows_ != Rows::Scroll) return {0, 0};
  const int taken = std::clamp(fullWidth_ - narrowed_ - NarrowestWidth(), 0, wanted.width());
  narrowed_ += taken;
  const int row = grid_->verticalHeader()->defaultSectionSize();
  const int rows = std::clamp((wanted.height() + row - 1) / row, 0,
                              std::max(0, rowsShown_ - rowsGiven_ - fewestRows_));
  rowsGiven_ += rows;
  if (taken > 0 || rows > 0) Refit();
  return {taken, rows * row};
}

bool GridFit::eventFilter(QObject* watched, QEvent* event) {
  // The viewport can change size behind its own resize event (a heading
  // settling its height); the heading's resize follows every such change.
  if (event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

void GridFit::Apply() {
  const int columns = ColumnCount();
  std::vector<int> minimum(static_cast<std::size_t>(columns));
  int total = 0;
  for (int c = 0; c < columns; ++c) total += minimum[c] = ColumnMinimum(c);
  const int width = grid_->viewport()->width();
  int used = 0;
  const bool stretched = stretchColumn_ >= 0 && stretchColumn_ < columns;
  for (int c = 0; c < columns; ++c) {
    int w = total >= width || stretched ? minimum[c] : minimum[c] * width / total;
    if (c == stretchColumn_ && total < width) w += width - total;
    if (!stretched && c == columns - 1 && total < width) w = width - used;  // no sliver left over
    grid_->horizontalHeader()->resizeSection(c, w);
    used += w;
  }
  const int rows = RowCount();
  if (rows_ != Rows::Fill || rows == 0) return;
  const int height = grid_->viewport()->height();
  const int each = std::max(RowHeight(), height / rows);
  for (int r = 0; r < rows; ++r) {
    const int h = r == rows - 1 ? std::max(RowHeight(), height - each * (rows - 1)) : each;
    grid_->verticalHeader()->resizeSection(r, h);
  }
}

}  // namespace pelvaro
