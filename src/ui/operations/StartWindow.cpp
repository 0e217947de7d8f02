#include "ui/operations/StartWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

QTableWidget* SettingsGrid(const char* name, int rows, QWidget* parent) {
  auto* grid = new QTableWidget(rows, 2, parent);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels({QObject::tr("FUNCTION"), QObject::tr("SETTING")});
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->verticalHeader()->setVisible(false);
  grid->horizontalHeader()->setStretchLastSection(true);
  grid->setColumnWidth(0, 200);
  grid->setToolTip(QObject::tr("Select a site file from the list"));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 2; ++c) grid->setItem(r, c, new QTableWidgetItem);
  }
  return grid;
}

void Fill(QTableWidget* grid, const GridRows& rows) {
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    grid->item(r, 0)->setText(ToQt(rows[r].first));
    grid->item(r, 1)->setText(ToQt(rows[r].second));
  }
}

QTime TimeOf(const TimeOfDay& t) { return QTime(t.hour, t.minute, t.second); }

}  // namespace

StartWindow::StartWindow(const Files& files, Prompter& prompter, SerialPort& port, Clock& clock,
                         LinkDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      model_(files, prompter),
      prompter_(prompter),
      port_(port),
      clock_(clock),
      dialogs_(dialogs) {
  setObjectName("TVMKstart");
  setWindowTitle(tr("Start Velmora Data Logger"));
  setModal(true);
  Build();
  model_.Load(Now());
  for (const std::string& site : model_.Sites()) keyFileBox_->addItem(ToQt(site));
  if (model_.SelectedSite()) {
    const QSignalBlocker quiet(keyFileBox_);  // selecting it is no click
    keyFileBox_->setCurrentRow(*model_.SelectedSite());
  }
  status_->showMessage(ToQt(model_.Hint()));
  ShowClock();
  Render();
  timerDisp_->start();
}

void StartWindow::Build() {
  resize(780, 520);
  auto* layout = new QHBoxLayout(this);
  keyFileBox_ = new QListWidget(this);
  keyFileBox_->setObjectName("KeyFileBox");
  connect(keyFileBox_, &QListWidget::currentRowChanged, this, [this](int row) {
    model_.ClickSite(row, Now());
    for (QTableWidget* grid : {fgSiteHeader_, fgStartSettings_}) grid->setToolTip(QString());
    status_->showMessage(ToQt(model_.Hint()));
    Render();
  });
  layout->addWidget(keyFileBox_, 1);

  auto* right = new QVBoxLayout;
  auto* clockRow = new QHBoxLayout;
  dateDisp_ = new QLabel(this);
  dateDisp_->setObjectName("DateDisplbl");
  timeDisp_ = new QLabel(this);
  timeDisp_->setObjectName("TimeDisplbl");
  clockRow->addWidget(dateDisp_);
  clockRow->addWidget(timeDisp_);
  right->addLayout(clockRow);
  fgSiteHeader_ = SettingsGrid("FgSiteHeader", 6, this);
  fgStartSettings_ = SettingsGrid("FgStartSettings", 4, this);
  right->addWidget(fgSiteHeader_);
  right->addWidget(fgStartSettings_);

  auto* choices = new QGridLayout;
  cmbSelectMode_ = new QComboBox(this);
  cmbSelectMode_->setObjectName("cmbSelectMode");
  cmbSelectMode_->addItems({tr("IMMEDIATE START"), tr("TIMED START")});
  cmbSelectMode_->setPlaceholderText(tr("Select Logging Mode"));
  cmbSelectMode_->setCurrentIndex(-1);
  cmbSelectMode_->installEventFilter(this);
  connect(cmbSelectMode_, &QComboBox::activated, this, [this](int index) {
    model_.ChooseMode(index == 1 ? StartMode::Timed : StartMode::Immediate, Now());
    Render();
  });
  dtStartDate_ = new QDateEdit(this);
  dtStartDate_->setObjectName("DTStartdate");
  dtStartDate_->setDisplayFormat("dd-MM-yyyy");
  dtStartDate_->setCalendarPopup(true);
  connect(dtStartDate_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
    if (rendering_) return;
    DateTime& start = model_.Settings().start;
    start.year = d.year();
    start.month = d.month();
    start.day = d.day();
    Render();
  });
  dtStartTime_ = new QTimeEdit(this);
  dtStartTime_->setObjectName("DTStartTime");
  dtStartTime_->setDisplayFormat("HH:mm:ss");
  connect(dtStartTime_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
    if (rendering_) return;
    DateTime& start = model_.Settings().start;
    start.hour = t.hour();
    start.minute = t.minute();
    start.second = t.second();
    Render();
  });
  dtScanTime_ = new QTimeEdit(this);
  dtScanTime_->setObjectName("DTScanTime");
  dtScanTime_->setDisplayFormat("HH:mm:ss");
  connect(dtScanTime_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
    if (rendering_) return;
    model_.SetScanTime({t.hour(), t.minute(), t.second()});
    Render();
  });
  choices->addWidget(new QLabel(tr("Logging mode"), this), 0, 0);
  choices->addWidget(cmbSelectMode_, 0, 1);
  choices->addWidget(new QLabel(tr("Start date"), this), 1, 0);
  choices->addWidget(dtStartDate_, 1, 1);
  choices->addWidget(new QLabel(tr("Start time"), this), 2, 0);
  choices->addWidget(dtStartTime_, 2, 1);
  choices->addWidget(new QLabel(tr("Scan time"), this), 3, 0);
  choices->addWidget(dtScanTime_, 3, 1);
  right->addLayout(choices);

  picCommInfo_ = new QTextEdit(this);
  picCommInfo_->setObjectName("PicCommInfo");
  picCommInfo_->setReadOnly(true);
  picCommInfo_->setMaximumHeight(90);
  picCommInfo_->setVisible(false);
  right->addWidget(picCommInfo_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* start = new QPushButton(tr("Start"), this);
  start->setObjectName("cmdStart");
  auto* abort = new QPushButton(tr("Cancel"), this);
  abort->setObjectName("cmdAbort");
  connect(start, &QPushButton::clicked, this, &StartWindow::OnStart);
  connect(abort, &QPushButton::clicked, this, &QDialog::reject);
  buttons->addWidget(start);
  buttons->addWidget(abort);
  right->addLayout(buttons);
  status_ = new QStatusBar(this);
  status_->setObjectName("StartLoggerStatusBar");
  status_->setSizeGripEnabled(false);
  right->addWidget(status_);
  layout->addLayout(right, 2);

  timerDisp_ = new QTimer(this);
  timerDisp_->setObjectName("TimerDisp");
  timerDisp_->setInterval(1000);
  connect(timerDisp_, &QTimer::timeout, this, [this] {
    model_.Tick(Now());
    ShowClock();
    Render();
  });
}

void StartWindow::ShowClock() {
  const DateTime now = Now();
  dateDisp_->setText(tr("Date:  ") + QDate(now.year, now.month, now.day).toString("dd-MM-yyyy"));
  timeDisp_->setText(tr("Time: ") + QTime(now.hour, now.minute, now.second).toString("HH:mm:ss"));
}

void StartWindow::Render() {
  rendering_ = true;
  Fill(fgSiteHeader_, model_.SiteHeaderRows());
  Fill(fgStartSettings_, model_.StartSettingsRows());
  const auto mode = model_.Mode();
  cmbSelectMode_->setCurrentIndex(!mode ? -1 : (*mode == StartMode::Timed ? 1 : 0));
  const DateTime now = Now();
  const QDate today(now.year, now.month, now.day);
  // An immediate start is today; a timed one today or later.
  dtStartDate_->setDateRange(today, mode == StartMode::Timed ? QDate(9999, 12, 31) : today);
  const DateTime& start = model_.Settings().start;
  dtStartDate_->setDate(QDate(start.year, start.month, start.day));
  dtStartTime_->setTime(QTime(start.hour, start.minute, start.second));
  dtScanTime_->setTime(TimeOf(model_.Settings().scan));
  rendering_ = false;
}

bool StartWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == cmbSelectMode_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key != Qt::Key_Up && key != Qt::Key_Down;
  }
  return QDialog::eventFilter(watched, event);
}

void StartWindow::OnStart() {
  status_->clearMessage();
  picCommInfo_->setVisible(true);
  picCommInfo_->clear();
  LinkContext link{port_, clock_, prompter_, dialogs_,
                   [this](const std::string& line) { picCommInfo_->append(ToQt(line)); }};
  started_ = model_.Start(link, [] { QApplication::beep(); });
  if (port_.IsOpen()) port_.Close();
  if (model_.Attempted()) accept();
}

}  // namespace pelvaro
