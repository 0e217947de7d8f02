#pragma once

#include <QAbstractTableModel>
#include <QTableView>
#include <cstddef>

#include "core/events/EventTable.h"

namespace pelvaro {

class GridFit;

// The graph window's list of wetting events ("Events"): one row per event,
// then one per label whose event is gone. A kind is picked from a list and a
// note typed, in place; the table keeps them until they are saved. The
// grid asks for the cells it shows as it shows them: a season has thousands
// of events, and a grid of that many cells made ahead opens slowly.
class EventsGrid : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kStart = 0, kKind, kGain, kDeepest, kLags, kNote, kColumns };

  EventsGrid(EventTable& table, QWidget* parent);
  QTableView* Widget() const { return grid_; }
  // The rows as the table now has them.
  void Render();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 signals:
  // A kind or a note changed.
  void Edited();
  // A click on an event's row, or Space on it.
  void EventChosen(std::size_t index);

 private:
  QString Text(int row, int column) const;

  EventTable& table_;
  QTableView* grid_ = nullptr;
  GridFit* fit_ = nullptr;
  int rows_ = 0;  // as the grid was last told
};

}  // namespace pelvaro
