#include "ui/platform/WindowHabits.h"

#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>

namespace pelvaro {

void DisarmDefaultButtons(QWidget* window, QPushButton* harmlessDefault) {
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
  }
  if (harmlessDefault != nullptr) harmlessDefault->setDefault(true);
}

PrinterChooser PrintDialogChooser(QWidget* parent) {
  return [parent](QPrinter& printer) {
    if (QPrinterInfo::availablePrinters().isEmpty()) return true;
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  };
}

}  // namespace pelvaro
