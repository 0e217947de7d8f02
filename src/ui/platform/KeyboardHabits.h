#pragma once

#include <QWidget>
#include <string>

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

// Ctrl+V, or whatever pastes on this system.
bool IsPaste(const QKeyEvent* event);
// The clipboard's text in the files' code page; a character the code page
// lacks becomes one that no cell takes.
std::string ClipboardText();

}  // namespace pelvaro
