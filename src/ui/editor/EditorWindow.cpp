#include "ui/editor/EditorWindow.h"

#include <QCloseEvent>
#include <QDateEdit>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QVBoxLayout>

#include "core/editor/BlockExport.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

constexpr int kFirstReadingColumn = 2;

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QTableWidgetItem* Item(const std::string& text) { return new QTableWidgetItem(ToQt(text)); }

// The first fixed-pitch face the printer offers: Courier, else Courier New.
QFont PrintFont() {
  const QStringList families = QFontDatabase::families();
  for (const char* name : {"Courier", "Courier New"}) {
    if (families.contains(name)) return QFont(name, 10);
  }
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(10);
  return fixed;
}

}  // namespace

EditorWindow::EditorWindow(const Files& files, Prompter& prompter, QWidget* parent)
    : QDialog(parent), files_(files), prompter_(prompter), model_(files, prompter) {
  setObjectName("TVMKedit");
  setWindowTitle(tr("Edit Site Data"));
  setModal(true);
  askCsvPath_ = [this] {
    return QFileDialog::getSaveFileName(this, tr("*.csv Files"), QString(), tr("(*.csv)"));
  };
  Build();
  model_.Load();
  Render();
}

void EditorWindow::Build() {
  resize(900, 560);
  auto* layout = new QVBoxLayout(this);
  auto* grids = new QHBoxLayout;
  fg1_ = new QTableWidget(this);
  fg1_->setObjectName("Fg1");
  fg1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fg1_->verticalHeader()->setVisible(false);
  fg1_->installEventFilter(this);
  connect(fg1_, &QTableWidget::cellClicked, this, &EditorWindow::OnBlockClicked);
  connect(fg1_, &QTableWidget::currentCellChanged, this, [this] { model_.EnterCell(); });
  fg2_ = new QTableWidget(0, 2, this);
  fg2_->setObjectName("Fg2");
  fg2_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fg2_->verticalHeader()->setVisible(false);
  fg2_->horizontalHeader()->setVisible(false);
  fg2_->horizontalHeader()->setStretchLastSection(true);
  fg2_->setColumnWidth(0, 140);
  connect(fg2_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (row == 0) ChangeStartDate();
  });
  grids->addWidget(fg1_, 3);
  grids->addWidget(fg2_, 2);
  layout->addLayout(grids);

  auto* buttons = new QHBoxLayout;
  delete_ = Button("cmdDelete", tr("Delete Selected"), this);
  update_ = Button("cmdSaveData", tr("Update Data"), this);
  auto* csv = Button("cmdCreatePRNFile", tr("Save As CSV File"), this);
  auto* print = Button("ButtonPrint", tr("Print Data"), this);
  auto* exit = Button("cmdExit", tr("Close"), this);
  connect(delete_, &QPushButton::clicked, this, [this] {
    model_.DeleteSelected();
    Render();
  });
  connect(update_, &QPushButton::clicked, this, [this] {
    model_.UpdateData();
    Render();
  });
  connect(csv, &QPushButton::clicked, this, &EditorWindow::OnSaveCsv);
  connect(print, &QPushButton::clicked, this, &EditorWindow::OnPrint);
  connect(exit, &QPushButton::clicked, this, &QDialog::close);
  for (QPushButton* b : {delete_, update_, csv, print, exit}) buttons->addWidget(b);
  layout->addLayout(buttons);
  auto* status = new QStatusBar(this);
  status->setObjectName("EditSiteStatusBar");
  status->setSizeGripEnabled(false);
  hint_ = new QLabel(this);
  site_ = new QLabel(this);
  status->addWidget(hint_, 1);
  status->addWidget(site_);
  layout->addWidget(status);
}

void EditorWindow::Render() {
  // Rebuilding the grid is no move into another cell.
  const QSignalBlocker quiet(fg1_);
  const int currentRow = fg1_->currentRow();
  const int currentColumn = fg1_->currentColumn();
  const int sensors = model_.OpenedBlock() ? model_.SensorsPerScan() : 0;
  const auto& readings = model_.Readings();
  const int rows = std::max<int>(static_cast<int>(model_.Blocks().size()),
                                 model_.OpenedBlock() ? model_.GridRows() : 0);
  fg1_->clear();
  fg1_->setColumnCount(kFirstReadingColumn + sensors);
  fg1_->setRowCount(rows);
  QStringList headings = {tr("BLOCK"), tr("Scan")};
  for (int k = 1; k <= sensors; ++k) headings << tr("Sensor %1").arg(k);
  fg1_->setHorizontalHeaderLabels(headings);
  for (std::size_t i = 0; i < model_.Blocks().size(); ++i) {
    fg1_->setItem(static_cast<int>(i), 0, Item(std::to_string(model_.Blocks()[i])));
  }
  for (std::size_t r = 0; r < readings.size(); ++r) {
    const int row = static_cast<int>(r);
    fg1_->setItem(row, 1, Item(std::to_string(r + 1)));
    for (int c = 0; c < sensors; ++c) {
      auto* item = Item(readings[r][c]);
      // An edited reading shows red until it is saved.
      if (model_.IsEdited(row, c)) item->setForeground(Qt::red);
      fg1_->setItem(row, kFirstReadingColumn + c, item);
    }
  }
  fg2_->setRowCount(static_cast<int>(model_.Info().size()));
  for (std::size_t i = 0; i < model_.Info().size(); ++i) {
    fg2_->setItem(static_cast<int>(i), 0, Item(model_.Info()[i].first));
    fg2_->setItem(static_cast<int>(i), 1, Item(model_.Info()[i].second));
  }
  if (!model_.OpenedBlock()) fg2_->setRowCount(0);
  if (currentRow >= 0 && currentColumn >= 0) fg1_->setCurrentCell(currentRow, currentColumn);
  delete_->setEnabled(model_.OpenedBlock().has_value());
  update_->setEnabled(model_.UpdateEnabled());
  hint_->setText(ToQt(model_.Hint()));
  site_->setText(ToQt(model_.SitePanel()));
}

void EditorWindow::OnBlockClicked(int row, int column) {
  if (column != 0 || row < 0 || row >= static_cast<int>(model_.Blocks().size())) return;
  model_.OpenBlock(model_.Blocks()[row]);
  Render();
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != fg1_ || event->type() != QEvent::KeyPress) {
    return QDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const int column = fg1_->currentColumn() - kFirstReadingColumn;
  const int row = fg1_->currentRow();
  int code = -1;
  if (key->key() == Qt::Key_Backspace) {
    code = 8;
  } else if (key->text().size() == 1 && key->text()[0].isDigit()) {
    code = key->text()[0].toLatin1();
  }
  if (code < 0 || column < 0) return QDialog::eventFilter(watched, event);
  if (model_.Type(row, column, code)) Render();
  return true;
}

void EditorWindow::closeEvent(QCloseEvent* event) {
  if (!closing_) {
    closing_ = true;
    model_.Close();
  }
  QDialog::closeEvent(event);
}

void EditorWindow::OnSaveCsv() {
  if (!model_.OpenedBlock()) {
    prompter_.Message("Select a data block to save as CSV file");
    return;
  }
  const QString path = askCsvPath_ ? askCsvPath_() : QString();
  if (path.isEmpty()) return;
  SaveBlockCsv(files_, prompter_, model_.Identification(), model_.OpenedStem(),
               fs::path(path.toStdString()));
}

void EditorWindow::OnPrint() {
  if (!model_.OpenedBlock()) return;
  QPrinter printer;
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  PrintTo(printer);
}

bool EditorWindow::PrintTo(QPrinter& printer) {
  QPainter painter;
  // A default printer is "valid" even with none installed; only begin() tells.
  if (!painter.begin(&printer)) {
    prompter_.Message("The printer is not connected or not installed.", "Printer Not Connected");
    return false;
  }
  painter.setFont(PrintFont());
  const int lineHeight = painter.fontMetrics().lineSpacing();
  const QRect page = painter.viewport();
  int y = lineHeight;
  for (const std::string& line : PrintoutLines(files_, model_)) {
    if (y > page.height() - lineHeight) {
      printer.newPage();
      y = lineHeight;
    }
    painter.drawText(0, y, ToQt(line));
    y += lineHeight;
  }
  return painter.end();
}

void EditorWindow::ChangeStartDate() {
  if (!model_.OpenedBlock() || model_.Info().empty()) return;
  fg2_->setCurrentCell(0, 1);
  CalDialog dialog(ToQt(model_.Info()[0].second), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const QString text = dialog.DateText();
  if (text == ToQt(model_.Info()[0].second)) return;
  model_.ChangeStartDate(text.left(2).toInt(), text.mid(3, 2).toInt(), text.right(4).toInt());
  Render();
}

CalDialog::CalDialog(const QString& dateText, QWidget* parent) : QDialog(parent) {
  setObjectName("CalDialog");
  setWindowTitle(tr("Start Date"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* picker = new QDateEdit(QDate::fromString(dateText, "dd/MM/yyyy"), this);
  picker->setObjectName("DTStartdate");
  picker->setDisplayFormat("dd-MM-yyyy");
  picker->setCalendarPopup(true);
  layout->addWidget(picker);
  auto* buttons = new QHBoxLayout;
  auto* ok = Button("OKButton", tr("OK"), this);
  auto* cancel = Button("CancelButton", tr("Cancel"), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
}

QString CalDialog::DateText() const {
  return findChild<QDateEdit*>("DTStartdate")->date().toString("dd/MM/yyyy");
}

}  // namespace pelvaro
