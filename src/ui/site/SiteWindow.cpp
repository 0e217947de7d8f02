#include "ui/site/SiteWindow.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/platform/GridFit.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {

const QColor kHeaderColour(0xD4, 0xD0, 0xC8);  // a disabled row looks like the header cells
const QColor kDisabledText(0x80, 0x80, 0x80);

QTableWidget* Grid(const char* name, int rows, int columns, QWidget* parent) {
  auto* grid = new QTableWidget(rows, columns, parent);
  grid->setObjectName(name);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->verticalHeader()->setVisible(false);
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) grid->setItem(r, c, new QTableWidgetItem);
  }
  return grid;
}

void SetCell(QTableWidget* grid, int row, int column, const std::string& text) {
  grid->item(row, column)->setText(ToQt(text));
}

}  // namespace

SiteWindow::SiteWindow(const Files& files, Prompter& prompter, bool createFlag, QWidget* parent)
    : QDialog(parent), form_(files, prompter, createFlag) {
  setObjectName("TVMKSITE");
  FitToScreenOnShow(this);
  setWindowTitle(tr("CREATE OR EDIT SITE"));
  setModal(true);
  Build();
  form_.Load();
  setWindowTitle(ToQt(form_.Caption()));
  status_->showMessage(form_.DepthsFrozen()
                           ? tr("Hint:Data blocks exist for this site file.")
                           : tr("Hint: Enter the site details, then the profile details."));
  Render();
}

void SiteWindow::Build() {
  // The form scrolls on a screen too small for it; OK and Cancel stay below.
  auto* form = new QWidget(this);
  auto* fields = new QVBoxLayout(form);
  fields->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  top->addLayout(BuildDetails(), 3);
  top->addLayout(BuildDirectories(), 2);
  fields->addLayout(top, 6);
  BuildCalibration(fields);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new ScrollingContent(form, this), 1);
  BuildButtonsAndStatus(layout);
  SetTabOrder({details_, bySiteName_, bySerialNumber_, directories_, removeDirectory_,
               measurementType_, profiles_[0], profiles_[1], profiles_[2], profiles_[3],
               profiles_[4], calibration_, ok_, cancel_});
  resize(860, 600);
}

QVBoxLayout* SiteWindow::BuildDetails() {
  auto* detailsBox = new QVBoxLayout;
  detailsBox->addWidget(new QLabel(tr("Site Details"), this));
  details_ = Grid("FgDetails", kDetailRows, 2, this);
  details_->setHorizontalHeaderLabels({tr("Site Setup"), tr("Details")});
  for (int r = 0; r < kDetailRows; ++r) {
    details_->item(r, 0)->setText(tr(SiteForm::DetailLabel(r)));
    details_->item(r, 0)->setBackground(kHeaderColour);
  }
  new GridFit(details_, {"Root Feeder Zone (mm)", "NNNNNNNNNNNNNNN"}, kDetailRows,
              GridFit::Rows::Fill);
  KeepCurrentOffColumn(details_, 0);
  details_->installEventFilter(this);
  connect(details_, &QTableWidget::currentCellChanged, this, [this] { form_.EnterCell(); });
  connect(details_, &QTableWidget::cellClicked, this, [this] { form_.EnterCell(); });
  detailsBox->addWidget(details_, 1);
  auto* idFrame = new QGroupBox(tr("Site File Identification"), this);
  idFrame->setObjectName("FrameIdentification");
  auto* idLayout = new QHBoxLayout(idFrame);
  bySiteName_ = new QRadioButton(tr("Site Name"), idFrame);
  bySiteName_->setObjectName("optSiteName");
  bySerialNumber_ = new QRadioButton(tr("Logger Serial Number"), idFrame);
  bySerialNumber_->setObjectName("optSerialNumber");
  idLayout->addWidget(bySiteName_);
  idLayout->addWidget(bySerialNumber_);
  connect(bySiteName_, &QRadioButton::clicked, this,
          [this] { form_.SetOption(IdentificationOption::SiteName); });
  connect(bySerialNumber_, &QRadioButton::clicked, this,
          [this] { form_.SetOption(IdentificationOption::SerialNumber); });
  detailsBox->addWidget(idFrame);
  return detailsBox;
}

QVBoxLayout* SiteWindow::BuildDirectories() {
  auto* dirBox = new QVBoxLayout;
  directories_ = Grid("FgDirList", kDirectoryEntries, 1, this);
  directories_->setHorizontalHeaderLabels({tr("Directory List")});
  new GridFit(directories_, {"NNNNNNNNNN"}, kDirectoryEntries, GridFit::Rows::Fill);
  directories_->setMouseTracking(true);
  connect(directories_, &QTableWidget::cellEntered, this, [this] {
    status_->showMessage(tr("Hint: Double click to change the current data directory."));
  });
  const auto clickDirectory = [this](int row) {
    form_.Directories().Click(row);
    RenderDirectories();
  };
  connect(directories_, &QTableWidget::cellClicked, this, clickDirectory);
  ActOnSpace(directories_, [clickDirectory](const QModelIndex& item) {
    clickDirectory(item.row());
    return true;
  });
  connect(directories_, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    form_.DoubleClickDirectory(row);
    Render();
  });
  removeDirectory_ = new QPushButton(tr("&Remove this directory"), this);
  removeDirectory_->setObjectName("cmdRemoveDir");
  connect(removeDirectory_, &QPushButton::clicked, this, [this] {
    form_.RemoveDirectory();
    RenderDirectories();
  });
  dirBox->addWidget(directories_, 1);
  dirBox->addWidget(removeDirectory_);
  return dirBox;
}

void SiteWindow::BuildCalibration(QVBoxLayout* layout) {
  auto* calibrationHeader = new QHBoxLayout;
  calibrationHeader->addWidget(new QLabel(tr("Profile Calibration Data"), this));
  calibrationHeader->addStretch();
  calibrationHeader->addWidget(new QLabel(tr(" Measurement Type"), this));
  measurementType_ = new QComboBox(this);
  measurementType_->setObjectName("cmbMeasurementType");
  measurementType_->addItems({"Percentage", "Volumetric"});
  measurementType_->setPlaceholderText(tr("Measurement Type"));
  measurementType_->setCurrentIndex(-1);
  connect(measurementType_, &QComboBox::activated, this, [this] {
    form_.SetMeasurementType(measurementType_->currentText().toStdString());
    RenderCalibration();
  });
  calibrationHeader->addWidget(measurementType_);
  layout->addLayout(calibrationHeader);

  auto* calibrationRow = new QHBoxLayout;
  calibrationRow->setSpacing(2);
  // The depth lists stand beside the rows they choose for, placed by PlaceDepthLists.
  depthColumn_ = new QWidget(this);
  depthLabel_ = new QLabel(tr("Depth (cm)"), depthColumn_);
  depthLabel_->setAlignment(Qt::AlignCenter);
  int depthWidth = depthLabel_->sizeHint().width();
  for (int k = 0; k < kSensorRows; ++k) {
    auto* list = new QComboBox(depthColumn_);
    list->setObjectName(QString("ComboProfile%1").arg(k + 1));
    list->addItem("120");
    list->ensurePolished();
    depthWidth = std::max(depthWidth, list->minimumSizeHint().width());
    list->installEventFilter(this);
    connect(list, &QComboBox::activated, this, [this, k, list](int index) {
      if (rendering_ || index < 0) return;
      form_.Calibration().ChooseDepth(k, list->itemText(index).toInt());
      RenderCalibration();
    });
    profiles_[k] = list;
  }
  depthColumn_->setFixedWidth(depthWidth);
  depthColumn_->installEventFilter(this);
  calibrationRow->addWidget(depthColumn_);
  calibration_ = Grid("FgCalibration", kSensorRows, kCalibrationColumns, this);
  calibration_->setHorizontalHeaderLabels(
      {tr("Offset"), tr("Slope"), tr("Field Cap"), tr("Refill"), tr("Soil Type"), tr("ON/OFF")});
  auto* fit = new GridFit(calibration_, {"20000", "500", "100", "60", "NNNNNNNNNNNNNNN", "OFF"},
                          kSensorRows, GridFit::Rows::Fill);
  fit->SetMinimumRowHeight(profiles_[0]->minimumSizeHint().height());
  depthColumn_->setMinimumHeight(calibration_->minimumHeight());
  calibration_->installEventFilter(this);
  connect(calibration_->verticalHeader(), &QHeaderView::sectionResized, this,
          &SiteWindow::PlaceDepthLists);
  connect(calibration_, &QTableWidget::currentCellChanged, this, [this] { form_.EnterCell(); });
  connect(calibration_, &QTableWidget::cellClicked, this, [this](int row, int column) {
    form_.EnterCell();
    form_.ClickCalibration(row, column);
    if (!form_.Hint().empty()) status_->showMessage(ToQt(form_.Hint()));
    RenderCalibration();
  });
  calibrationRow->addWidget(calibration_, 1);
  layout->addLayout(calibrationRow, 4);
}

void SiteWindow::BuildButtonsAndStatus(QVBoxLayout* layout) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  ok_ = new QPushButton(tr("&OK"), this);
  ok_->setObjectName("cmdOK");
  cancel_ = new QPushButton(tr("&Cancel"), this);
  cancel_->setObjectName("cmdCancel");
  // Room for either caption, so the row does not jump while it reads "WAIT".
  cancel_->setMinimumWidth(std::max(cancel_->sizeHint().width(),
                                    cancel_->fontMetrics().horizontalAdvance(tr("WAIT")) + 24));
  connect(ok_, &QPushButton::clicked, this, &SiteWindow::OnOk);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  layout->addLayout(buttons);
  // Enter in a grid moves down: OK (which writes) and a removal are pressed
  // by Enter only when they have the focus.
  SetButtonKeys(this);
  status_ = new QStatusBar(this);
  status_->setObjectName("StatusBar1");
  status_->setSizeGripEnabled(false);
  layout->addWidget(status_);
  form_.SetWritingNotice([this](bool writing) {
    cancel_->setText(writing ? tr("WAIT") : tr("&Cancel"));
    cancel_->repaint();
  });
}

void SiteWindow::PlaceDepthLists() {
  const int top = calibration_->frameWidth() + calibration_->horizontalHeader()->height();
  const int width = depthColumn_->width();
  depthLabel_->setGeometry(0, 0, width, top);
  for (int k = 0; k < kSensorRows; ++k) {
    QComboBox* list = profiles_[k];
    const int rowTop = top + calibration_->rowViewportPosition(k);
    const int rowHeight = calibration_->rowHeight(k);
    const int height =
        std::max(list->minimumSizeHint().height(), std::min(rowHeight, list->sizeHint().height()));
    list->setGeometry(0, rowTop + (rowHeight - height) / 2, width, height);
  }
}

void SiteWindow::Render() {
  for (int r = 0; r < kDetailRows; ++r) SetCell(details_, r, 1, form_.Detail(r));
  {
    const QSignalBlocker a(bySiteName_);
    const QSignalBlocker b(bySerialNumber_);
    bySiteName_->setAutoExclusive(false);
    bySerialNumber_->setAutoExclusive(false);
    bySiteName_->setChecked(form_.Option() == IdentificationOption::SiteName);
    bySerialNumber_->setChecked(form_.Option() == IdentificationOption::SerialNumber);
    bySiteName_->setAutoExclusive(true);
    bySerialNumber_->setAutoExclusive(true);
  }
  RenderCalibration();
  RenderDirectories();
}

void SiteWindow::RenderCalibration() {
  rendering_ = true;
  const CalibrationGrid& grid = form_.Calibration();
  const int type = measurementType_->findText(ToQt(grid.MeasurementType()));
  measurementType_->setCurrentIndex(grid.MeasurementType().empty() ? -1 : type);
  for (int k = 0; k < kSensorRows; ++k) {
    const SensorRow& row = grid.Row(k);
    for (int c = 0; c < kCalibrationColumns; ++c) {
      QTableWidgetItem* item = calibration_->item(k, c);
      item->setText(ToQt(row.cells[c]));
      item->setBackground(row.disabled ? kHeaderColour : QColor(Qt::white));
      item->setForeground(row.disabled ? kDisabledText : QColor(Qt::black));
    }
    QComboBox* list = profiles_[k];
    list->clear();
    for (int d : row.depths) list->addItem(QString::number(d));
    list->setCurrentIndex(row.depth == 0 ? -1 : list->findText(QString::number(row.depth)));
    list->setEnabled(row.listEnabled);
  }
  rendering_ = false;
}

void SiteWindow::RenderDirectories() {
  const auto& entries = form_.Directories().Entries();
  for (int i = 0; i < kDirectoryEntries; ++i) SetCell(directories_, i, 0, entries[i]);
  removeDirectory_->setEnabled(form_.Directories().RemoveEnabled());
  SetCell(details_, kDataDirectoryRow, 1, form_.Detail(kDataDirectoryRow));
}

int SiteWindow::KeyCode(const QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    default:
      break;
  }
  const auto bytes = FromQt(event->text());
  if (!bytes || bytes->size() != 1) return -1;  // not a character the files can hold
  const auto code = static_cast<unsigned char>((*bytes)[0]);
  // Esc, Tab and the like are the window's and the grid's, not text.
  return code < 0x20 || code == 0x7f ? -1 : code;
}

bool SiteWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == depthColumn_ && event->type() == QEvent::Resize) PlaceDepthLists();
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool passes = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                      key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                      key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Return ||
                      key->key() == Qt::Key_Enter;
  for (QComboBox* list : profiles_) {
    // The depth lists move with the arrows only; Esc, Tab and Enter stay the window's.
    if (watched == list) return !passes;
  }
  if (watched == calibration_ && IsPaste(key)) {
    if (calibration_->currentRow() >= 0 && calibration_->currentColumn() >= 0) {
      form_.PasteCalibration(calibration_->currentRow(), calibration_->currentColumn(),
                             ClipboardText());
      RenderCalibration();
    }
    return true;
  }
  const int code = KeyCode(key);
  if (code < 0) return QDialog::eventFilter(watched, event);  // navigation keys
  if (watched == details_) {
    const int row = details_->currentRow();
    if (row < 0) return true;
    const int next = form_.TypeDetail(row, code);
    Render();
    if (form_.Hint() == kSiteNameFull) {
      status_->showMessage(ToQt(form_.Hint()));
      form_.SetHint({});
    }
    if (next != row) details_->setCurrentCell(next, 1);
    return true;
  }
  if (watched == calibration_) {
    const int row = calibration_->currentRow();
    const int column = calibration_->currentColumn();
    if (row < 0 || column < 0) return true;
    const int next = form_.TypeCalibration(row, column, code);
    RenderCalibration();
    if (next != row) calibration_->setCurrentCell(next, column);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void SiteWindow::OnOk() {
  const SiteForm::OkResult result = form_.Ok();
  if (result == SiteForm::OkResult::Close) {
    accept();
  } else {
    Render();
  }
}

}  // namespace pelvaro
