#pragma once

#include <QPrinter>
#include <QWidget>
#include <functional>

class QPushButton;

namespace pelvaro {

// Enter in a grid cell or a time field must never press a button that deletes,
// starts or sends: no button of the window is (auto-)default, except the one
// harmless button given, if any.
void DisarmDefaultButtons(QWidget* window, QPushButton* harmlessDefault = nullptr);

// How a window gets its printer before it prints: false when the user
// cancelled. Tests answer without a dialog.
using PrinterChooser = std::function<bool(QPrinter&)>;

// The print dialog when a printer is installed. With none installed there is
// nothing to choose: the printer is left as it is, so that printing on it
// fails into the window's own "Printer Not Connected" message.
PrinterChooser PrintDialogChooser(QWidget* parent);

}  // namespace pelvaro
