#pragma once

#include <QModelIndex>
#include <QWidget>
#include <functional>
#include <string>

class QAbstractItemView;
class QKeyEvent;
class QPushButton;
class QTableWidget;

namespace pelvaro {

// What the keyboard does to buttons, the same in every window; set once the
// window's buttons exist.
// - Enter on a focused push button presses it, as Space does, and Alt with
//   the underlined letter of its caption presses it at once.
// - Enter anywhere else presses no button of the window but the one harmless
//   default given, if any: Enter in a grid cell or a field never presses a
//   button that deletes, starts or sends.
void SetButtonKeys(QWidget* window, QPushButton* harmlessDefault = nullptr);

// Tab and Shift+Tab go through these controls in this order, and the first
// that takes the focus by Tab has it when the window opens. A grid is a single stop (Ctrl+Tab
// leaves it as well); inside it the arrows move from cell to cell.
void SetTabOrder(const QList<QWidget*>& controls);

// A column of labels: the grid's current cell never rests there but moves on
// to the next column of its row, so neither a key nor a click leaves a person
// on a cell that takes nothing.
void KeepCurrentOffColumn(QTableWidget* grid, int labelColumn);

// Space on the current item of a list or grid does what a click or a double
// click on it does: without it a person without a mouse never gets to that
// item's action (Enter keeps its own part, moving on or nothing). `act` says
// whether it acted; a key it leaves goes on as before. A held key acts once.
void ActOnSpace(QAbstractItemView* view, std::function<bool(const QModelIndex& item)> act);

// Ctrl+V, or whatever pastes on this system.
bool IsPaste(const QKeyEvent* event);
// The clipboard's text in the files' code page; a character the code page
// lacks becomes one that no cell takes.
std::string ClipboardText();

}  // namespace pelvaro
