#include "ui/operations/StartWindow.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionViewItem>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {

constexpr char kChooseSite[] = "Select a site file from the list";
constexpr int kExchangeLines = 3;  // the start prints three status lines
// The widest setting a site usually has: the window keeps its width when
// one is chosen.
constexpr char kWidestSetting[] = "START IMMEDIATE";
const QDate kLastDate(9999, 12, 31);

// A grid that is read, never scrolled: every row shows at the smallest size,
// and a larger window gives the rows more room.
QTableWidget* SettingsGrid(const char* name, int rows, QWidget* parent) {
  auto* grid = new QTableWidget(rows, 2, parent);
  grid->setObjectName(name);
  grid->setHorizontalHeaderLabels({QObject::tr("FUNCTION"), QObject::tr("SETTING")});
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setSelectionMode(QAbstractItemView::NoSelection);
  grid->setFocusPolicy(Qt::NoFocus);
  grid->setWordWrap(false);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QHeaderView* rowHeader = grid->verticalHeader();
  rowHeader->setVisible(false);
  const int rowHeight = grid->fontMetrics().height() + 8;
  rowHeader->setMinimumSectionSize(rowHeight);
  rowHeader->setDefaultSectionSize(rowHeight);
  rowHeader->setSectionResizeMode(QHeaderView::Stretch);
  grid->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Fixed);
  grid->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  grid->setToolTip(QObject::tr(kChooseSite));
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < 2; ++c) grid->setItem(r, c, new QTableWidgetItem);
  }
  return grid;
}

// The width a column needs for its title and every text in it.
int ColumnWidth(QTableWidget* grid, int column) {
  QStyleOptionViewItem option;
  option.initFrom(grid);
  int width = grid->horizontalHeader()->sectionSizeHint(column);
  for (int r = 0; r < grid->rowCount(); ++r) {
    const QModelIndex cell = grid->model()->index(r, column);
    width = std::max(width, grid->itemDelegate()->sizeHint(option, cell).width() + 1);
  }
  return width;
}

void Fill(QTableWidget* grid, const GridRows& rows) {
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    grid->item(r, 0)->setText(ToQt(rows[r].first));
    grid->item(r, 1)->setText(ToQt(rows[r].second));
  }
}

// The smallest grids that show every row and every text whole, with their
// columns lined up.
void FitGrids(std::initializer_list<QTableWidget*> grids) {
  int names = 0;
  int settings = 0;
  for (QTableWidget* grid : grids) {
    names = std::max(names, ColumnWidth(grid, 0));
    settings = std::max({settings, ColumnWidth(grid, 1),
                         grid->fontMetrics().horizontalAdvance(kWidestSetting) + 12});
  }
  for (QTableWidget* grid : grids) {
    grid->horizontalHeader()->resizeSection(0, names);
    const int frame = 2 * grid->frameWidth();
    grid->setMinimumSize(frame + names + settings,
                         frame + grid->horizontalHeader()->sizeHint().height() +
                             grid->rowCount() * grid->verticalHeader()->minimumSectionSize());
  }
}

QTime TimeOf(const TimeOfDay& t) { return QTime(t.hour, t.minute, t.second); }
QDate DateOf(const DateTime& t) { return QDate(t.year, t.month, t.day); }
QTime TimeOf(const DateTime& t) { return QTime(t.hour, t.minute, t.second); }

// Sets a picker without it reporting a change, and only when the value
// differs, so a field keeps its cursor and what is half typed.
void ShowTime(QTimeEdit* edit, const QTime& time) {
  if (edit->time() == time) return;
  const QSignalBlocker quiet(edit);
  edit->setTime(time);
}

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
  FitToScreenOnShow(this);
  setWindowTitle(tr("Start Velmora Data Logger"));
  setModal(true);
  Build();
  model_.Load(Now());
  for (const std::string& site : model_.Sites()) keyFileBox_->addItem(ToQt(site));
  FitSiteList();
  if (model_.SelectedSite()) {
    const QSignalBlocker quiet(keyFileBox_);  // highlighting it is no click
    keyFileBox_->setCurrentRow(*model_.SelectedSite());
  }
  ShowClock();
  Render();
  // Room for everything, the exchange's lines included, and some to spare.
  const QSize least = minimumSizeHint();
  resize(std::max(least.width() + 120, 820), least.height() + 40);
  timerDisp_->start();
}

void StartWindow::Build() {
  auto* outer = new QVBoxLayout(this);
  auto* body = new QHBoxLayout;
  outer->addLayout(body, 1);
  BuildSiteList();
  body->addWidget(keyFileBox_, 1);

  // The clock, the settings and their pickers scroll on a screen too small
  // for them; the exchange's lines and the buttons stay below them.
  auto* settings = new QWidget(this);
  auto* column = new QVBoxLayout(settings);
  column->setContentsMargins(0, 0, 0, 0);
  auto* clockRow = new QHBoxLayout;
  dateDisp_ = new QLabel(this);
  dateDisp_->setObjectName("DateDisplbl");
  timeDisp_ = new QLabel(this);
  timeDisp_->setObjectName("TimeDisplbl");
  clockRow->addWidget(dateDisp_);
  clockRow->addStretch();
  clockRow->addWidget(timeDisp_);
  column->addLayout(clockRow);
  siteGrid_ = SettingsGrid("FgSiteHeader", 6, this);
  settingsGrid_ = SettingsGrid("FgStartSettings", 4, this);
  // Rows of both grids grow alike.
  column->addWidget(siteGrid_, 6);
  column->addWidget(settingsGrid_, 4);
  column->addLayout(BuildPickers());
  auto* right = new QVBoxLayout;
  right->addWidget(new ScrollingContent(settings, this), 1);

  picCommInfo_ = new QTextEdit(this);
  picCommInfo_->setObjectName("PicCommInfo");
  picCommInfo_->setReadOnly(true);
  picCommInfo_->setFocusPolicy(Qt::NoFocus);
  // Its room is kept while it is hidden, so that showing it squeezes nothing.
  QSizePolicy keep(QSizePolicy::Preferred, QSizePolicy::Fixed);
  keep.setRetainSizeWhenHidden(true);
  picCommInfo_->setSizePolicy(keep);
  picCommInfo_->setFixedHeight(
      kExchangeLines * picCommInfo_->fontMetrics().lineSpacing() + 2 * picCommInfo_->frameWidth() +
      2 * static_cast<int>(picCommInfo_->document()->documentMargin()) + 4);
  picCommInfo_->setVisible(false);
  right->addWidget(picCommInfo_);
  right->addLayout(BuildButtons());
  body->addLayout(right, 2);

  status_ = new QStatusBar(this);
  status_->setObjectName("StartLoggerStatusBar");
  status_->setSizeGripEnabled(false);
  // A label rather than a message, so the window is never narrower than the hint.
  hint_ = new QLabel(status_);
  hint_->setObjectName("StartLoggerHint");
  status_->addWidget(hint_, 1);
  outer->addWidget(status_);

  timerDisp_ = new QTimer(this);
  timerDisp_->setObjectName("TimerDisp");
  timerDisp_->setInterval(1000);
  connect(timerDisp_, &QTimer::timeout, this, &StartWindow::OnTimer);
}

void StartWindow::BuildSiteList() {
  keyFileBox_ = new QListWidget(this);
  keyFileBox_->setObjectName("KeyFileBox");
  keyFileBox_->viewport()->installEventFilter(this);
  connect(keyFileBox_, &QListWidget::currentRowChanged, this, &StartWindow::OnSiteClicked);
  // A click on the row that is already current changes no row, and is a
  // click all the same.
  connect(keyFileBox_, &QListWidget::clicked, this, [this](const QModelIndex& index) {
    if (index.row() == rowAtPress_) OnSiteClicked(index.row());
  });
}

QLayout* StartWindow::BuildPickers() {
  auto* choices = new QGridLayout;
  modeChoice_ = new QComboBox(this);
  modeChoice_->setObjectName("cmbSelectMode");
  modeChoice_->addItems({tr("IMMEDIATE START"), tr("TIMED START")});
  modeChoice_->setPlaceholderText(tr("Select Logging Mode"));
  modeChoice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  modeChoice_->setCurrentIndex(-1);
  modeChoice_->installEventFilter(this);
  connect(modeChoice_, &QComboBox::activated, this, [this](int index) {
    model_.ChooseMode(index == 1 ? StartMode::Timed : StartMode::Immediate, Now());
    Render();
  });
  dtStartDate_ = new QDateEdit(this);
  dtStartDate_->setObjectName("DTStartdate");
  dtStartDate_->setDisplayFormat("dd-MM-yyyy");
  dtStartDate_->setCalendarPopup(true);
  connect(dtStartDate_, &QDateEdit::dateChanged, this, [this](const QDate& d) {
    DateTime& start = model_.Settings().start;
    start.year = d.year();
    start.month = d.month();
    start.day = d.day();
  });
  dtStartTime_ = new QTimeEdit(this);
  dtStartTime_->setObjectName("DTStartTime");
  dtStartTime_->setDisplayFormat("HH:mm:ss");
  connect(dtStartTime_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
    DateTime& start = model_.Settings().start;
    start.hour = t.hour();
    start.minute = t.minute();
    start.second = t.second();
  });
  dtScanTime_ = new QTimeEdit(this);
  dtScanTime_->setObjectName("DTScanTime");
  dtScanTime_->setDisplayFormat("HH:mm:ss");
  connect(dtScanTime_, &QTimeEdit::timeChanged, this, [this](const QTime& t) {
    model_.SetScanTime({t.hour(), t.minute(), t.second()});
    ShowTime(dtScanTime_, TimeOf(model_.Settings().scan));  // only a correction changes it
  });
  choices->addWidget(new QLabel(tr("Logging mode"), this), 0, 0);
  choices->addWidget(modeChoice_, 0, 1);
  choices->addWidget(new QLabel(tr("Start date"), this), 1, 0);
  choices->addWidget(dtStartDate_, 1, 1);
  choices->addWidget(new QLabel(tr("Start time"), this), 2, 0);
  choices->addWidget(dtStartTime_, 2, 1);
  choices->addWidget(new QLabel(tr("Scan time"), this), 3, 0);
  choices->addWidget(dtScanTime_, 3, 1);
  choices->setColumnStretch(1, 1);
  return choices;
}

QLayout* StartWindow::BuildButtons() {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* start = new QPushButton(tr("&Start"), this);
  start->setObjectName("cmdStart");
  auto* abort = new QPushButton(tr("&Cancel"), this);
  abort->setObjectName("cmdAbort");
  connect(start, &QPushButton::clicked, this, &StartWindow::OnStart);
  connect(abort, &QPushButton::clicked, this, &StartWindow::reject);
  buttons->addWidget(start);
  buttons->addWidget(abort);
  // Enter in a time field must not start the logger; Enter on a focused
  // Start does, as its click does.
  SetButtonKeys(this);
  SetTabOrder({keyFileBox_, modeChoice_, dtStartDate_, dtStartTime_, dtScanTime_, start, abort});
  return buttons;
}

void StartWindow::FitSiteList() {
  int widest = 0;
  for (int i = 0; i < keyFileBox_->count(); ++i) {
    widest = std::max(widest,
                      keyFileBox_->fontMetrics().horizontalAdvance(keyFileBox_->item(i)->text()));
  }
  keyFileBox_->setMinimumWidth(widest + 2 * keyFileBox_->frameWidth() +
                               keyFileBox_->verticalScrollBar()->sizeHint().width() + 16);
}

void StartWindow::OnSiteClicked(int row) {
  if (row < 0) return;
  model_.ClickSite(row, Now());
  Render();
}

void StartWindow::OnTimer() {
  model_.Tick(Now());
  ShowClock();
  if (model_.Mode() != StartMode::Timed) ShowStart(true);
}

void StartWindow::ShowClock() {
  const DateTime now = Now();
  dateDisp_->setText(tr("Date:  ") + DateOf(now).toString("dd-MM-yyyy"));
  timeDisp_->setText(tr("Time: ") + TimeOf(now).toString("HH:mm:ss"));
}

void StartWindow::Render() {
  Fill(siteGrid_, model_.SiteHeaderRows());
  Fill(settingsGrid_, model_.StartSettingsRows());
  FitGrids({siteGrid_, settingsGrid_});
  for (QTableWidget* grid : {siteGrid_, settingsGrid_}) {
    grid->setToolTip(model_.SiteLoaded() ? QString() : tr(kChooseSite));
  }
  hint_->setText(ToQt(model_.Hint()));
  const auto mode = model_.Mode();
  {
    const QSignalBlocker quiet(modeChoice_);
    modeChoice_->setCurrentIndex(!mode ? -1 : (*mode == StartMode::Timed ? 1 : 0));
  }
  ShowStart(false);
  ShowTime(dtScanTime_, TimeOf(model_.Settings().scan));
}

void StartWindow::ShowStart(bool byTimer) {
  const DateTime& start = model_.Settings().start;
  if (!byTimer || !dtStartDate_->hasFocus()) {
    const QDate today = DateOf(Now());
    // An immediate start is today; a timed one today or later.
    const QDate last = model_.Mode() == StartMode::Timed ? kLastDate : today;
    const QSignalBlocker quiet(dtStartDate_);
    if (dtStartDate_->minimumDate() != today || dtStartDate_->maximumDate() != last) {
      dtStartDate_->setDateRange(today, last);
    }
    if (dtStartDate_->date() != DateOf(start)) dtStartDate_->setDate(DateOf(start));
  }
  if (!byTimer || !dtStartTime_->hasFocus()) ShowTime(dtStartTime_, TimeOf(start));
}

bool StartWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == modeChoice_ && event->type() == QEvent::KeyPress) {
    // The list moves with the arrows only; Tab and Shift+Tab still leave it.
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key != Qt::Key_Up && key != Qt::Key_Down && key != Qt::Key_Tab && key != Qt::Key_Backtab;
  }
  if (watched == keyFileBox_->viewport() && event->type() == QEvent::MouseButtonPress) {
    rowAtPress_ = keyFileBox_->currentRow();
  }
  return QDialog::eventFilter(watched, event);
}

void StartWindow::reject() {
  if (running_) {
    closeAsked_ = true;
    return;
  }
  QDialog::reject();
}

void StartWindow::OnStart() {
  picCommInfo_->clear();
  LinkContext link{port_, clock_, prompter_, dialogs_, [this](const std::string& line) {
                     if (picCommInfo_->isHidden()) {
                       hint_->clear();
                       picCommInfo_->setVisible(true);
                     }
                     picCommInfo_->append(ToQt(line));
                   }};
  running_ = true;
  started_ = model_.Start(link, [] { QApplication::beep(); });
  running_ = false;
  if (port_.IsOpen()) port_.Close();
  const bool close = model_.Attempted() || closeAsked_;
  closeAsked_ = false;
  if (close) {
    done(model_.Attempted() ? Accepted : Rejected);
  } else {
    Render();  // a site reloaded because it changed under the window shows as it now is
  }
}

}  // namespace pelvaro
