#pragma once

#include <QObject>
#include <QTableWidget>
#include <cstddef>

#include "core/events/EventTable.h"

namespace pelvaro {

class GridFit;

// The graph window's list of wetting events ("Events"): one row per event,
// then one per label whose event is gone. A kind is picked from a list and a
// note typed, in place; the table keeps them until they are saved.
class EventsGrid : public QObject {
  Q_OBJECT

 public:
  enum Column { kStart = 0, kKind, kGain, kDeepest, kLags, kNote, kColumns };

  EventsGrid(EventTable& table, QWidget* parent);
  QTableWidget* Widget() const { return grid_; }
  // The rows as the table now has them.
  void Render();

 signals:
  // A kind or a note changed.
  void Edited();
  // A click on an event's row, or Space on it.
  void EventChosen(std::size_t index);

 private:
  void RenderRow(int row);
  void Take(QTableWidgetItem* item);

  EventTable& table_;
  QTableWidget* grid_ = nullptr;
  GridFit* fit_ = nullptr;
  bool rendering_ = false;
};

}  // namespace pelvaro
