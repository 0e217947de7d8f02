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

EventsGrid::EventsGrid(EventTable& table, QWidget* parent)
    : QAbstractTableModel(parent), table_(table) {
  grid_ = new QTableView(parent);
  grid_->setObjectName("Events");
  grid_->setModel(this);
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
  fit_ = new GridFit(grid_, {}, kRowsShown, GridFit::Rows::Scroll);
  fit_->SetFewestRows(kFewestRows);
  fit_->SetStretchColumn(kNote);
  const auto choose = [this](int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= table_.List().events.size()) return false;
    emit EventChosen(static_cast<std::size_t>(row));
    return true;
  };
  connect(grid_, &QTableView::clicked, this,
          [choose](const QModelIndex& cell) { choose(cell.row()); });
  ActOnSpace(grid_, [choose](const QModelIndex& item) { return choose(item.row()); });
  Render();
}

void EventsGrid::Render() {
  const EventList& list = table_.List();
  const int rows = static_cast<int>(list.events.size() + list.orphans.size());
  // As a grid of items grows and shrinks at its end, so the row in hand
  // stays where it is.
  if (rows > rows_) {
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_) {
    beginRemoveRows({}, rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  }
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, kColumns - 1));
  fit_->SetWidest({"2026-09-07 10:00:00", "irrigation WW", "123.456 mm", "120 cm", WidestLags(list),
                   "A short note"});
}

int EventsGrid::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int EventsGrid::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant EventsGrid::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= kColumns) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return tr(kHeadings[static_cast<std::size_t>(section)]);
}

QString EventsGrid::Text(int row, int column) const {
  const EventList& list = table_.List();
  const auto r = static_cast<std::size_t>(row);
  if (r < list.events.size()) {
    const LabelledEvent& e = list.events[r];
    switch (column) {
      case kStart:
        return StartText(e.start);
      case kKind:
        return EventKindText(e.kind);
      case kGain:
        return Utf8(ShortDecimal(e.event.effectiveGain, kGainDecimals) + " " + e.event.unit);
      case kDeepest:
        return Utf8(DeepestText(e.event));
      case kLags:
        return Utf8(LagsText(e.event));
      default:
        return Utf8(e.note.value_or(""));
    }
  }
  if (r - list.events.size() >= list.orphans.size()) return {};
  const EventLabel& label = list.orphans[r - list.events.size()];
  switch (column) {
    case kStart:
      return StartText(label.start);
    case kKind:
      return EventKindText(label.kind);
    case kLags:
      return Utf8(kNoSuchEvent);
    case kNote:
      return Utf8(label.note.value_or(""));
    default:
      return {};
  }
}

QVariant EventsGrid::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const bool shown = role == Qt::DisplayRole || role == Qt::EditRole;
  if (shown || (role == Qt::ToolTipRole && index.column() == kNote)) {
    return Text(index.row(), index.column());
  }
  return {};
}

Qt::ItemFlags EventsGrid::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  const bool event =
      index.isValid() && static_cast<std::size_t>(index.row()) < table_.List().events.size();
  const bool labelled = index.column() == kKind || index.column() == kNote;
  if (event && labelled && table_.Editable()) flags |= Qt::ItemIsEditable;
  return flags;
}

bool EventsGrid::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || role != Qt::EditRole) return false;
  const auto row = static_cast<std::size_t>(index.row());
  bool changed = false;
  if (index.column() == kKind) {
    if (const auto kind = ParseEventKind(value.toString().toStdString())) {
      changed = table_.SetKind(row, *kind);
    }
  } else if (index.column() == kNote) {
    changed = table_.SetNote(row, value.toString().toStdString());
  }
  // The row shows what is kept: a note cleaned, an edit refused undone.
  emit dataChanged(this->index(index.row(), 0), this->index(index.row(), kColumns - 1));
  if (changed) emit Edited();
  return changed;
}

}  // namespace pelvaro
