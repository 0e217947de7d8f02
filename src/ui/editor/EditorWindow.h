#pragma once

#include <QDialog>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <functional>

#include "core/editor/BlockEditor.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

class DataWatcher;

// "Edit Site Data": widgets over a BlockEditor.
class EditorWindow : public QDialog {
  Q_OBJECT

 public:
  EditorWindow(const Files& files, Prompter& prompter, QWidget* parent = nullptr);
  BlockEditor& Model() { return model_; }
  // The CSV file's name (empty = cancelled); a save dialog by default.
  void SetCsvPathAsker(std::function<QString()> asker) { askCsvPath_ = std::move(asker); }
  void SetPrinterChooser(PrinterChooser chooser) { choosePrinter_ = std::move(chooser); }
  // The block list, and the opened block, as another program leaves them;
  // unsaved edits stay, with a notice when the block changed under them.
  void Follow(DataWatcher& watcher);

 public slots:
  // Esc, the title bar's close and "Close" all end here: unsaved edits are
  // offered for saving and a pending recalculation runs before the window goes.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void Render();
  void RenderReading(int row, int column);
  void RenderButtons();
  void OnCellClicked(int row, int column);
  void OnSaveCsv();
  void OnPrint();
  bool PrintTo(QPrinter& printer);
  void ChangeStartDate();
  void ShowOutsideChange();

  const Files& files_;
  Prompter& prompter_;
  BlockEditor model_;
  std::function<QString()> askCsvPath_;
  PrinterChooser choosePrinter_;
  QTableWidget* fg1_ = nullptr;
  QTableWidget* fg2_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* update_ = nullptr;
  QLabel* hint_ = nullptr;
  QLabel* site_ = nullptr;
  QLabel* changedNotice_ = nullptr;
  bool closing_ = false;
};

// "CalDialog": a date picker for a block's start date.
class CalDialog : public QDialog {
  Q_OBJECT
 public:
  // dateText as "DD/MM/YYYY".
  CalDialog(const QString& dateText, QWidget* parent = nullptr);
  QString DateText() const;  // "DD/MM/YYYY"
};

}  // namespace pelvaro
