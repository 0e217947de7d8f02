#pragma once

#include <QPrinter>
#include <QWidget>
#include <functional>

namespace pelvaro {

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
