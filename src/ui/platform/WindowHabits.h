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

// The person's documents folder, else their home folder: where a file the
// program offers to write goes first.
QString DocumentsFolder();

// How a window gets its printer before it prints: false when the user
// cancelled. Tests answer without a dialog.
using PrinterChooser = std::function<bool(QPrinter&)>;

// The print dialog. With no printer installed it offers printing to a PDF
// file, named after the window, in the documents folder; only a printer that
// then cannot be used gives the window's own "Printer Not Connected" message.
PrinterChooser PrintDialogChooser(QWidget* parent);

}  // namespace pelvaro
