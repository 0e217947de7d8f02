#include "ui/graph/EventsGrid.h"

#include <QComboBox>
#include <QHeaderView>
#include <QStyledItemDelegate>
#include <array>

#include "core/events/EventReport.h"
#include "core/outlook/OutlookReport.h"
#include "ui/platform/GridFit.h"
#include "ui/platform/KeyboardHabits.h"

namespace pelvaro {

namespace {

// As many rows as any long grid shows; a low screen leaves two.
constexpr int kRowsShown = 8;
constexpr int kFewestRows = 2;
constexpr int kGainDecimals = 3;
constexpr std::array<const char*, EventsGrid::kColumns> kHeadings = {
    "Start", "Kind", "Effective gain", "Deepest", "Lags", "Note"};
constexpr std::array<EventKind, 3> kKinds = {EventKind::Unknown, EventKind::Rain,
                                             EventKind::Irrigation};

// Event texts are UTF-8, unlike the files' code page.
QString Utf8(const std::string& text) { return QString::fromStdString(text); }

// "2026-09-07T10:00:00" as a person reads it.
QString StartText(const std::string& start) { return Utf8(start).replace('T', ' '); }

// The kind is picked from the kinds there are, and taken at once.
class KindDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    if (index.column() != EventsGrid::kKind) {
      return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto* box = new QComboBox(parent);
    for (EventKind kind : kKinds) box->addItem(EventKindText(kind));
    connect(box, &QComboBox::activated, this, [this, box] {
      auto* self = const_cast<KindDelegate*>(this);
      emit self->commitData(box);
      emit self->closeEditor(box);
    });
    return box;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
      box->setCurrentText(index.data().toString());
    } else {
      QStyledItemDelegate::setEditorData(editor, index);
    }
  }
  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
      model->setData(index, box->currentText());
    } else {
      QStyledItemDelegate::setModelData(editor, model, index);
    }
  }
};

// The longest lags a site's events can have: every depth not reached.
QString WidestLags(const EventList& list) {
  WettingEvent widest;
  if (!list.events.empty()) widest.depths = list.events.front().event.depths;
  for (DepthResponse& depth : widest.depths) depth.reached = false;
  const QString lags = Utf8(LagsText(widest));
  const QString orphan = Utf8(kNoSuchEvent);
  return lags.size() > orphan.size() ? lags : orphan;
}

}  // namespace

EventsGrid::EventsGrid(EventTable& table, QWidget* parent) : QObject(parent), table_(table) {
  grid_ = new QTableWidget(0, kColumns, parent);
  grid_->setObjectName("Events");
  grid_->verticalHeader()->setVisible(false);
  grid_->setSelectionMode(QAbstractItemView::SingleSelection);
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  grid_->setItemDelegate(new KindDelegate(grid_));
  QFont small = grid_->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  grid_->setFont(small);
  grid_->horizontalHeader()->setFont(small);
  QStringList headings;
  for (const char* heading : kHeadings) headings << tr(heading);
  grid_->setHorizontalHeaderLabels(headings);
  fit_ = new GridFit(grid_, {}, kRowsShown, GridFit::Rows::Scroll);
  fit_->SetFewestRows(kFewestRows);
  fit_->SetStretchColumn(kNote);
  connect(grid_, &QTableWidget::itemChanged, this, &EventsGrid::Take);
  const auto choose = [this](int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= table_.List().events.size()) return false;
    emit EventChosen(static_cast<std::size_t>(row));
    return true;
  };
  connect(grid_, &QTableWidget::cellClicked, this, [choose](int row) { choose(row); });
  ActOnSpace(grid_, [choose](const QModelIndex& item) { return choose(item.row()); });
  Render();
}

void EventsGrid::Render() {
  const EventList& list = table_.List();
  rendering_ = true;
  grid_->setRowCount(static_cast<int>(list.events.size() + list.orphans.size()));
  for (int r = 0; r < grid_->rowCount(); ++r) RenderRow(r);
  rendering_ = false;
  fit_->SetWidest({"2026-09-07 10:00:00", "irrigation WW", "123.456 mm", "120 cm", WidestLags(list),
                   "A short note"});
}

void EventsGrid::RenderRow(int row) {
  const EventList& list = table_.List();
  const auto r = static_cast<std::size_t>(row);
  std::array<QString, kColumns> cells;
  bool editable = false;
  if (r < list.events.size()) {
    const LabelledEvent& e = list.events[r];
    cells = {StartText(e.start),
             EventKindText(e.kind),
             Utf8(ShortDecimal(e.event.effectiveGain, kGainDecimals) + " " + e.event.unit),
             Utf8(DeepestText(e.event)),
             Utf8(LagsText(e.event)),
             Utf8(e.note.value_or(""))};
    editable = table_.Editable();
  } else {
    const EventLabel& label = list.orphans[r - list.events.size()];
    cells = {StartText(label.start), EventKindText(label.kind),    "", "",
             Utf8(kNoSuchEvent),     Utf8(label.note.value_or(""))};
  }
  const bool was = rendering_;
  rendering_ = true;
  for (int c = 0; c < kColumns; ++c) {
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (editable && (c == kKind || c == kNote)) flags |= Qt::ItemIsEditable;
    const QString& text = cells[static_cast<std::size_t>(c)];
    QTableWidgetItem* item = grid_->item(row, c);
    if (item == nullptr) {
      // Made whole before it joins the grid, which then hears of it once,
      // not of each setting: a season has thousands of rows.
      item = new QTableWidgetItem(text);
      item->setFlags(flags);
      if (c == kNote) item->setToolTip(text);
      grid_->setItem(row, c, item);
      continue;
    }
    item->setText(text);
    item->setFlags(flags);
    if (c == kNote) item->setToolTip(text);
  }
  rendering_ = was;
}

void EventsGrid::Take(QTableWidgetItem* item) {
  if (rendering_) return;
  const auto row = static_cast<std::size_t>(item->row());
  bool changed = false;
  if (item->column() == kKind) {
    if (const auto kind = ParseEventKind(item->text().toStdString())) {
      changed = table_.SetKind(row, *kind);
    }
  } else if (item->column() == kNote) {
    changed = table_.SetNote(row, item->text().toStdString());
  }
  // The cell shows what is kept: a note cleaned, an edit refused undone.
  RenderRow(item->row());
  if (changed) emit Edited();
}

}  // namespace pelvaro
