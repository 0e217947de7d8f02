#include "ui/platform/WindowHabits.h"

#include <QDir>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QStandardPaths>

namespace pelvaro {

QString DocumentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return folder.isEmpty() ? QDir::homePath() : folder;
}

namespace {

// A file name from the window's title, in the documents folder.
QString SuggestedPdf(const QWidget* parent) {
  QString stem = parent != nullptr ? parent->windowTitle().trimmed() : QString();
  for (QChar& c : stem) {
    if (!c.isLetterOrNumber() && c != '-' && c != '_') c = '_';
  }
  if (stem.isEmpty()) stem = QStringLiteral("Print");
  return QDir(DocumentsFolder()).filePath(stem + ".pdf");
}

}  // namespace

PrinterChooser PrintDialogChooser(QWidget* parent) {
  return [parent](QPrinter& printer) {
    // Without a printer the dialog still prints, into a PDF file.
    if (QPrinterInfo::availablePrinters().isEmpty()) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(SuggestedPdf(parent));
    }
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
  };
}

}  // namespace pelvaro
