#include "ui/graph/CalibrationTableGrid.h"

#include <QHeaderView>
#include <QKeyEvent>

#include "ui/platform/GridFit.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

const QColor kHeaderColour(0xD4, 0xD0, 0xC8);  // a grey row looks like the headings
// The widest text each column holds: a depth, an offset, a slope, percentages.
const QStringList kWidest = {"120", "20000", "500", "100", "60"};

int KeyCode(const QKeyEvent* event) {
  if (event->key() == Qt::Key_Backspace) return 8;
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return 13;
  const QString text = event->text();
  // Tab, arrows and the like move between cells and controls.
  if (text.size() != 1 || text[0].unicode() < 0x20 || text[0].unicode() > 0x7E) return -1;
  return text[0].unicode();
}

}  // namespace

CalibrationTableGrid::CalibrationTableGrid(GraphModel& model, std::function<void()> drawingChanged,
                                           QWidget* parent)
    : QObject(parent), model_(model), drawingChanged_(std::move(drawingChanged)) {
  grid_ = new QTableWidget(0, CalibrationTable::kColumns, parent);
  grid_->setObjectName("FgCalOnOff");
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->verticalHeader()->setVisible(false);
  grid_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  QFont small = grid_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  grid_->setFont(small);
  grid_->horizontalHeader()->setFont(small);
  grid_->setVisible(false);
  grid_->installEventFilter(this);
  KeepCurrentOffColumn(grid_, CalibrationTable::kDepth);
  connect(grid_, &QTableWidget::cellClicked, this, [this] { model_.Table().EnterCell(); });
  connect(grid_, &QTableWidget::currentCellChanged, this, [this] { model_.Table().EnterCell(); });
}

void CalibrationTableGrid::SetUp() {
  grid_->setVisible(true);
  QStringList headings;
  for (int c = 0; c < CalibrationTable::kColumns; ++c) headings << tr(CalibrationTable::Heading(c));
  grid_->setHorizontalHeaderLabels(headings);
  grid_->setRowCount(static_cast<int>(model_.Table().Rows().size()));
  for (int r = 0; r < grid_->rowCount(); ++r) {
    for (int c = 0; c < CalibrationTable::kColumns; ++c) grid_->setItem(r, c, new QTableWidgetItem);
  }
  // Every row in view, so no scroll bar takes from the width.
  new GridFit(grid_, kWidest, grid_->rowCount(), GridFit::Rows::Fill);
  grid_->setFixedHeight(grid_->minimumHeight());
  Render();
}

void CalibrationTableGrid::Render() {
  const auto& rows = model_.Table().Rows();
  for (int r = 0; r < grid_->rowCount() && r < static_cast<int>(rows.size()); ++r) {
    const CalibrationTable::Row& row = rows[static_cast<std::size_t>(r)];
    for (int c = 0; c < CalibrationTable::kColumns; ++c) {
      QTableWidgetItem* item = grid_->item(r, c);
      item->setText(ToQt(row.cells[static_cast<std::size_t>(c)]));
      const bool grey = c == CalibrationTable::kDepth || row.disabled;
      item->setBackground(grey ? kHeaderColour : QColor(Qt::white));
    }
  }
}

bool CalibrationTableGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched != grid_ || event->type() != QEvent::KeyPress) {
    return QObject::eventFilter(watched, event);
  }
  const int code = KeyCode(static_cast<QKeyEvent*>(event));
  if (code < 0) return false;
  if (model_.TypeInTable(grid_->currentRow(), grid_->currentColumn(), code)) {
    drawingChanged_();
  } else {
    Render();
  }
  return true;
}

}  // namespace pelvaro
