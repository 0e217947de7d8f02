#pragma once

#include <QObject>
#include <QStringList>

#include "ui/platform/ScreenFit.h"

class QTableView;

namespace pelvaro {

// Keeps a grid's cells readable at any window size: the columns share the
// grid's width in proportion to the text they hold and never get narrower
// than it, so no column hides behind a scroll bar. A grid of a few fixed rows
// (Rows::Fill) shares its height among them and never scrolls; a long grid
// (Rows::Scroll) keeps its row height and scrolls. The grid's minimum size
// holds rowsShown rows, so a layout never squeezes it below what it must show.
// Only on a screen too narrow for its window does a long grid give up width
// and scroll sideways too.
class GridFit : public QObject, public Squeezable {
 public:
  enum class Rows { Fill, Scroll };
  // widest: per column, the widest text it holds; the last one stands for any
  // further columns (a grid whose column count changes).
  GridFit(QTableView* grid, QStringList widest, int rowsShown, Rows rows);
  // Runs again whenever the grid's rows, columns or headings change.
  void Refit();
  // New widest texts, for a grid whose contents change their longest.
  void SetWidest(QStringList widest);
  // Rows no lower than this, for controls that stand beside them.
  void SetMinimumRowHeight(int height);
  // A long grid below other content: on a screen too low for its window it
  // gives up rows in view, down to this many.
  void SetFewestRows(int rows);
  // A column of free text: all the width beyond the columns' own goes to it.
  void SetStretchColumn(int column);
  QSize Squeeze(QSize wanted) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int ColumnCount() const;
  int RowCount() const;
  int RowHeight() const;
  int ColumnMinimum(int column) const;
  int NarrowestWidth() const;
  void Apply();

  QTableView* grid_;
  QStringList widest_;
  int rowsShown_;
  Rows rows_;
  int minimumRowHeight_ = 0;
  int fullWidth_ = 0;  // the smallest width that shows every column whole
  int narrowed_ = 0;   // what a small screen took off it
  int fewestRows_;
  int stretchColumn_ = -1;  // none: the width is shared in proportion
  int rowsGiven_ = 0;       // the rows in view a low screen took
};

}  // namespace pelvaro
