#include "ui/editor/EditorWindow.h"

#include <QDateEdit>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "core/editor/BlockExport.h"
#include "ui/platform/DataWatcher.h"
#include "ui/platform/GridFit.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"

namespace pelvaro {

namespace {

constexpr int kFirstReadingColumn = 2;
constexpr int kReadingRowsShown = 8;
constexpr int kInfoRows = 13;  // the run information of a block
constexpr char kEditsRefusedNotice[] =
    "Another program has changed this block. Your edits are kept, but saving them will be "
    "refused.";

// An edited reading stays red when it is selected or current: the selection
// is drawn pale behind it rather than in colours that hide the red.
class EditedReadingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant edited = index.data(Qt::ForegroundRole);
    if (!edited.isValid()) return;
    const QColor pale = option->palette.color(QPalette::Active, QPalette::Highlight).lighter(170);
    option->palette.setColor(QPalette::Highlight, pale);
    option->palette.setColor(QPalette::HighlightedText, edited.value<QBrush>().color());
  }
};

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
  FitToScreenOnShow(this);
  setWindowTitle(tr("Edit Site Data"));
  setModal(true);
  askCsvPath_ = [this] {
    QFileDialog dialog(this, tr("*.csv Files"), QString(), tr("(*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("csv");
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
  };
  choosePrinter_ = PrintDialogChooser(this);
  Build();
  model_.Load();
  Render();
}

void EditorWindow::Build() {
  auto* layout = new QVBoxLayout(this);
  auto* grids = new QHBoxLayout;
  fg1_ = new QTableWidget(this);
  fg1_->setObjectName("Fg1");
  fg1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fg1_->setSelectionMode(QAbstractItemView::SingleSelection);
  fg1_->verticalHeader()->setVisible(false);
  fg1_->setItemDelegate(new EditedReadingDelegate(fg1_));
  fg1_->installEventFilter(this);
  new GridFit(fg1_, {"BLOCK", "Scan", " 65535"}, kReadingRowsShown, GridFit::Rows::Scroll);
  connect(fg1_, &QTableWidget::cellClicked, this, &EditorWindow::OnCellClicked);
  connect(fg1_, &QTableWidget::currentCellChanged, this, [this] { model_.EnterCell(); });
  ActOnSpace(fg1_, [this](const QModelIndex& item) {
    if (item.column() != 0 || item.row() >= static_cast<int>(model_.Blocks().size())) return false;
    OnCellClicked(item.row(), 0);
    return true;
  });
  fg2_ = new QTableWidget(0, 2, this);
  fg2_->setObjectName("Fg2");
  fg2_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fg2_->verticalHeader()->setVisible(false);
  fg2_->horizontalHeader()->setVisible(false);
  new GridFit(fg2_, {"Scan Time Seconds", "28/09/2026"}, kInfoRows, GridFit::Rows::Fill);
  connect(fg2_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (row == 0) ChangeStartDate();
  });
  ActOnSpace(fg2_, [this](const QModelIndex& item) {
    if (item.row() != 0) return false;
    ChangeStartDate();
    return true;
  });
  grids->addWidget(fg1_, 3);
  grids->addWidget(fg2_, 2);
  layout->addLayout(grids, 1);
  changedNotice_ = new QLabel(tr(kEditsRefusedNotice), this);
  changedNotice_->setObjectName("lblChangedNotice");
  changedNotice_->setWordWrap(true);
  changedNotice_->setStyleSheet("color: red");
  changedNotice_->hide();
  layout->addWidget(changedNotice_);

  auto* buttons = new QHBoxLayout;
  delete_ = Button("cmdDelete", tr("&Delete Selected"), this);
  update_ = Button("cmdSaveData", tr("&Update Data"), this);
  auto* csv = Button("cmdCreatePRNFile", tr("Save As &CSV File"), this);
  auto* print = Button("ButtonPrint", tr("&Print Data"), this);
  auto* exit = Button("cmdExit", tr("C&lose"), this);
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
  // Enter in the grid moves down a row; it presses a button only when that
  // button has the focus.
  SetButtonKeys(this);
  SetTabOrder({fg1_, fg2_, delete_, update_, csv, print, exit});
  auto* status = new QStatusBar(this);
  status->setObjectName("EditSiteStatusBar");
  status->setSizeGripEnabled(false);
  hint_ = new QLabel(this);
  site_ = new QLabel(this);
  status->addWidget(hint_, 1);
  status->addWidget(site_);
  layout->addWidget(status);
  resize(900, 560);
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
    fg1_->setItem(static_cast<int>(r), 1, Item(std::to_string(r + 1)));
    for (int c = 0; c < sensors; ++c) RenderReading(static_cast<int>(r), c);
  }
  fg2_->setRowCount(model_.OpenedBlock() ? static_cast<int>(model_.Info().size()) : 0);
  for (int i = 0; i < fg2_->rowCount(); ++i) {
    fg2_->setItem(i, 0, Item(model_.Info()[i].first));
    fg2_->setItem(i, 1, Item(model_.Info()[i].second));
  }
  if (currentRow >= 0 && currentColumn >= 0) fg1_->setCurrentCell(currentRow, currentColumn);
  RenderButtons();
}

void EditorWindow::RenderReading(int row, int column) {
  const int gridColumn = kFirstReadingColumn + column;
  QTableWidgetItem* item = fg1_->item(row, gridColumn);
  if (item == nullptr) {
    item = new QTableWidgetItem;
    fg1_->setItem(row, gridColumn, item);
  }
  item->setText(ToQt(model_.Readings()[row][column]));
  // An edited reading shows red until it is saved.
  if (model_.IsEdited(row, column)) item->setForeground(QColor(Qt::red));
}

void EditorWindow::RenderButtons() {
  delete_->setEnabled(model_.OpenedBlock().has_value());
  update_->setEnabled(model_.UpdateEnabled());
  hint_->setText(ToQt(model_.Hint()));
  // The notice lasts as long as the edits it is about.
  if (!model_.Changed()) changedNotice_->hide();
  site_->setText(ToQt(model_.SitePanel()));
}

void EditorWindow::Follow(DataWatcher& watcher) {
  watcher.Follow(this, [this] {
    ShowOutsideChange();
    return true;
  });
}

void EditorWindow::ShowOutsideChange() {
  switch (model_.FollowOutsideChange()) {
    case BlockEditor::OutsideChange::Shown:
      Render();
      break;
    case BlockEditor::OutsideChange::EditsRefused:
      changedNotice_->show();
      break;
    case BlockEditor::OutsideChange::None:
      break;
  }
}

void EditorWindow::OnCellClicked(int row, int column) {
  if (column == 0 && row >= 0 && row < static_cast<int>(model_.Blocks().size())) {
    model_.OpenBlock(model_.Blocks()[row]);
    Render();
  } else {
    // A click into the current cell enters it again, as a click into any other.
    model_.EnterCell();
  }
}

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != fg1_ || event->type() != QEvent::KeyPress) {
    return QDialog::eventFilter(watched, event);
  }
  auto* key = static_cast<QKeyEvent*>(event);
  const int row = fg1_->currentRow();
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    // Enter ends the entry and moves down a row; the next key starts afresh.
    model_.EnterCell();
    if (row >= 0 && row + 1 < fg1_->rowCount()) {
      fg1_->setCurrentCell(row + 1, fg1_->currentColumn());
    }
    return true;
  }
  const int column = fg1_->currentColumn() - kFirstReadingColumn;
  if (IsPaste(key)) {
    model_.Paste(row, column, ClipboardText());
    Render();
    return true;
  }
  int code = -1;
  if (key->key() == Qt::Key_Backspace) {
    code = 8;
  } else if (key->text().size() == 1 && key->text()[0].isDigit()) {
    code = key->text()[0].toLatin1();
  }
  if (code < 0 || column < 0) return QDialog::eventFilter(watched, event);
  if (model_.Type(row, column, code)) {
    RenderReading(row, column);
    RenderButtons();
  }
  return true;
}

void EditorWindow::reject() {
  if (!closing_) {
    closing_ = true;
    // A save refused because the block changed keeps the window, and what
    // it shows, open.
    if (!model_.Close()) {
      closing_ = false;
      Render();
      return;
    }
  }
  QDialog::reject();
}

void EditorWindow::OnSaveCsv() {
  if (!model_.OpenedBlock()) {
    prompter_.Message("Select a data block to save as CSV file");
    return;
  }
  const QString path = askCsvPath_ ? askCsvPath_() : QString();
  if (path.isEmpty()) return;
  SaveBlockCsv(files_, prompter_, model_.Identification(), model_.OpenedStem(), ToPath(path));
}

void EditorWindow::OnPrint() {
  if (!model_.OpenedBlock()) {
    prompter_.Message("Select a data block to print");
    return;
  }
  QPrinter printer(QPrinter::HighResolution);
  if (choosePrinter_ && !choosePrinter_(printer)) return;
  PrintTo(printer);
}

bool EditorWindow::PrintTo(QPrinter& printer) {
  QPainter painter;
  // A default printer is "valid" even with none installed; only begin() tells.
  if (!painter.begin(&printer)) {
    prompter_.Message("An error occurred while printing the data block.", "Printer Not Connected");
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
  FitToScreenOnShow(this);
  setWindowTitle(tr("Start Date"));
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* picker = new QDateEdit(QDate::fromString(dateText, "dd/MM/yyyy"), this);
  picker->setObjectName("DTStartdate");
  picker->setDisplayFormat("dd-MM-yyyy");
  picker->setCalendarPopup(true);
  layout->addWidget(picker);
  layout->addStretch();
  auto* buttons = new QHBoxLayout;
  auto* ok = Button("OKButton", tr("&OK"), this);
  auto* cancel = Button("CancelButton", tr("&Cancel"), this);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  // Enter in the picker takes the date shown, as OK does.
  SetButtonKeys(this, ok);
  SetTabOrder({picker, ok, cancel});
  resize(280, 110);
}

QString CalDialog::DateText() const {
  return findChild<QDateEdit*>("DTStartdate")->date().toString("dd/MM/yyyy");
}

}  // namespace pelvaro
