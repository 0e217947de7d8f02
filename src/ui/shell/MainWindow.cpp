#include "ui/shell/MainWindow.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/operations/Conversion.h"
#include "core/storage/StateFiles.h"
#include "ui/platform/DataWatcher.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/ScreenFit.h"
#include "ui/shell/SiteList.h"
#include "ui/shell/StatusArea.h"
#include "ui/shell/TraceControl.h"

namespace pelvaro {

namespace {

constexpr QSize kDefaultSize(800, 540);
constexpr int kLogoSize = 64;
constexpr int kOptionHeight = 32;
constexpr double kTitlePoints = 16;
constexpr double kMaxScale = 2.5;
constexpr std::size_t kOptionRows = 3;

// A water drop over a band of soil: the program's mark.
QPixmap LogoPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(121, 85, 61));
  p.drawRoundedRect(QRectF(0, size * 0.72, size, size * 0.28), 4, 4);
  QPainterPath drop;
  const double cx = size / 2.0;
  drop.moveTo(cx, size * 0.05);
  drop.cubicTo(cx + size * 0.32, size * 0.38, cx + size * 0.3, size * 0.68, cx, size * 0.68);
  drop.cubicTo(cx - size * 0.3, size * 0.68, cx - size * 0.32, size * 0.38, cx, size * 0.05);
  p.setBrush(QColor(33, 118, 199));
  p.drawPath(drop);
  return pixmap;
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      prompter_(services.prompter),
      files_(std::make_unique<Files>(fs::path())) {
  setObjectName("MainWindow");
  FitToScreenOnShow(this);
  BuildWidgets();
}

MainWindow::~MainWindow() = default;

const TraceSession* MainWindow::Trace() const { return trace_->Session(); }

void MainWindow::BuildWidgets() {
  QLayout* heading = BuildHeading();
  sites_ = new SiteList(this);
  connect(sites_, &SiteList::siteClicked, this, &MainWindow::ClickEntry);
  BuildMenu();
  status_ = new StatusArea(this);
  connect(status_->StopButton(), &QPushButton::clicked, this, &MainWindow::OnStop);
  exit_ = new QPushButton(tr("E&xit"), this);
  exit_->setObjectName("Command1");
  connect(exit_, &QPushButton::clicked, this, &QWidget::close);
  LayOut(heading);
  BuildKeys();
  SetButtonKeys(this);
  QList<QWidget*> order{sites_};
  for (QPushButton* option : options_) order.append(option);
  order << com1_ << com2_ << usb_ << status_->Lines() << status_->StopButton() << exit_;
  SetTabOrder(order);
  download_ = new DownloadControl(*this, *this, services_, *status_, *sites_);
  trace_ = new TraceControl(*this, *this, services_, *status_);
  // The smallest window shows every control whole; a larger one shows them
  // larger (see resizeEvent), so the layout itself sets no minimum.
  baseFont_ = font();
  Scale(1.0);
  layout()->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(minimumSizeHint());
  resize(kDefaultSize.expandedTo(minimumSize()));
}

QLayout* MainWindow::BuildHeading() {
  logo_ = new QLabel(this);
  logo_->setObjectName("PictureLogo");
  appName_ = new QLabel(QString::fromLatin1(kAppName), this);
  appName_->setObjectName("LabelAppName");
  auto* version = new QLabel(QString::fromLatin1(kVersionText), this);
  version->setObjectName("Label2");
  // Name and version beside the logo.
  auto* titles = new QVBoxLayout;
  titles->addWidget(appName_);
  titles->addWidget(version);
  auto* heading = new QHBoxLayout;
  heading->addWidget(logo_);
  heading->addLayout(titles, 1);
  return heading;
}

void MainWindow::BuildMenu() {
  menu_ = new QGroupBox(this);
  menu_->setObjectName("FrameMain");
  siteFiles_ =
      AddFrame("FrameSite", tr("Site Files"),
               {{&MainWindow::createNew_, "Option1", tr("&CREATE NEW"), &MainWindow::OnCreateNew},
                {&MainWindow::editSite_, "Option7", tr("&EDIT"), &MainWindow::OnEdit},
                {&MainWindow::delete_, "OptionDelete", tr("&DELETE"), &MainWindow::OnDelete}});
  loggerOperations_ = AddFrame(
      "FrameLogger", tr("Logger Operations"),
      {{&MainWindow::start_, "Option10", tr("&START"), &MainWindow::OnStart},
       {&MainWindow::downloadData_, "Option3", tr("DO&WNLOAD DATA"), &MainWindow::OnDownloadData},
       {&MainWindow::traceMode_, "Option12", tr("&TRACE MODE"), &MainWindow::OnTraceMode}});
  dataAnalysis_ =
      AddFrame("FrameData", tr("Data Analysis"),
               {{&MainWindow::editData_, "Option16", tr("EDIT D&ATA"), &MainWindow::OnEditData},
                {&MainWindow::viewGraph_, "Option6", tr("&VIEW GRAPH"), &MainWindow::OnViewGraph},
                {&MainWindow::outlook_, "OptionOutlook", tr("&OUTLOOK"), &MainWindow::OnOutlook}});
  auto* groups = new QHBoxLayout(menu_);
  for (QGroupBox* frame : {siteFiles_, loggerOperations_, dataAnalysis_}) {
    groups->addWidget(frame, 1);
  }
}

QGroupBox* MainWindow::AddFrame(const char* name, const QString& title,
                                std::initializer_list<MenuOption> options) {
  auto* frame = new QGroupBox(title, menu_);
  frame->setObjectName(name);
  auto* column = new QVBoxLayout(frame);
  // Option buttons that act as push buttons: each handler unselects its own.
  // They grow with the window, up to a size that still reads as a button.
  const auto grow = [this](QWidget* w) {
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    optionRows_.append(w);
  };
  for (const MenuOption& entry : options) {
    auto* option = new QPushButton(entry.caption, frame);
    option->setObjectName(entry.objectName);
    option->setCheckable(true);
    this->*entry.button = option;
    connect(option, &QPushButton::clicked, this, entry.handler);
    grow(option);
    options_.append(option);
    column->addWidget(option);
  }
  // Every group keeps three rows, so that the buttons line up across groups.
  for (std::size_t i = options.size(); i < kOptionRows; ++i) {
    auto* slot = new QWidget(frame);
    grow(slot);
    column->addWidget(slot);
  }
  return frame;
}

void MainWindow::BuildPortFrame() {
  portFrame_ = new QGroupBox(tr("Select Port"), this);
  portFrame_->setObjectName("frmSelPort");
  auto* row = new QHBoxLayout(portFrame_);
  // The handlers decide what stays selected; a click only asks.
  const auto addPort = [this, row](const char* name, const QString& caption) {
    auto* option = new QRadioButton(caption, portFrame_);
    option->setObjectName(name);
    option->setAutoExclusive(false);
    row->addWidget(option, 1);
    return option;
  };
  com1_ = addPort("optCom1", tr("COM1"));
  com2_ = addPort("optCom2", tr("COM2"));
  usb_ = addPort("optUSB", tr("USB"));
  connect(com1_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseComPort(1);
  });
  connect(com2_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseComPort(2);
  });
  connect(usb_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseUsbCable();
  });
}

void MainWindow::LayOut(QLayout* heading) {
  // The site list on the left, the operations (or the status area while one
  // runs), the port and the exit on the right. The list and the operations
  // share what a larger window gives.
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(status_->StopButton());
  buttons->addStretch(1);
  buttons->addWidget(exit_);
  auto* grid = new QGridLayout(this);
  grid->addLayout(heading, 0, 0, 1, 2);
  grid->addWidget(sites_, 1, 0, 4, 1);
  grid->addWidget(menu_, 1, 1);
  grid->addWidget(status_->Lines(), 1, 1);
  BuildPortFrame();
  grid->addWidget(portFrame_, 2, 1);
  grid->addWidget(status_->Progress(), 3, 1);
  grid->addLayout(buttons, 4, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setRowStretch(1, 1);
}

void MainWindow::BuildKeys() {
  auto* serviceKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
  connect(serviceKey, &QShortcut::activated, this, &MainWindow::RunSerialNumberService);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &MainWindow::OnEscape);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Text and buttons grow with the window, in steps that keep the layout
  // still while a window edge is dragged.
  const double fit = std::min(static_cast<double>(width()) / kDefaultSize.width(),
                              static_cast<double>(height()) / kDefaultSize.height());
  const double scale = std::clamp(std::floor(fit * 10.0) / 10.0, 1.0, kMaxScale);
  if (scale != scale_) Scale(scale);
}

void MainWindow::Scale(double scale) {
  scale_ = scale;
  QFont font = baseFont_;
  font.setPointSizeF(baseFont_.pointSizeF() * scale);
  setFont(font);
  QFont big = font;
  big.setPointSizeF(kTitlePoints * scale);
  big.setBold(true);
  appName_->setFont(big);
  const int logo = qRound(kLogoSize * scale);
  logo_->setFixedSize(logo, logo);
  logo_->setPixmap(LogoPixmap(logo));
  const int row = qRound(kOptionHeight * scale);
  for (QWidget* w : optionRows_) {
    w->setMinimumHeight(row);
    w->setMaximumHeight(row * 2);
  }
  for (QPushButton* button : {exit_, status_->StopButton()}) button->setMinimumHeight(row);
  // The status area's lines grow with everything else.
  status_->Scale(scale);
}

void MainWindow::Load(const StartupEnvironment& env) {
  // The status area stays hidden until an operation prints into it.
  status_->Clear();
  status_->HideLines();

  const StartupResult result = RunStartup(env, prompter_, [this](const Files& files) {
    ConvertSelectedSite(files, prompter_, ConversionCaller::Download);
  });
  files_ = std::make_unique<Files>(result.workingRoot);
  ports_ = std::make_unique<PortSelection>(*files_, prompter_, services_.port, services_.finder,
                                           services_.dialogs);
  ports_->onSelectionChanged = [this](PortOption option) { ShowPortOption(option); };
  ShowPortOption(PortOption::None);

  setWindowTitle(QString::fromLatin1(kAppName) + " " + QString::fromLatin1(kVersionText));
  sites_->ShowSites(result.sites, result.selectedSite);
  watcher_ = std::make_unique<DataWatcher>(*files_);
  watcher_->Follow(this, [this] { return FollowDataChange(); });
}

bool MainWindow::FollowDataChange() {
  if (download_->CurrentStage() == DownloadControl::Stage::Storing) return false;
  sites_->ShowChangedSites(*files_);
  return true;
}

void MainWindow::RefreshSiteList() { sites_->Refresh(*files_, prompter_); }

void MainWindow::ReselectRememberedSite() { sites_->ReselectRemembered(*files_, prompter_); }

void MainWindow::SelectSavedSite() { sites_->ClickDownToRemembered(*files_, prompter_); }

void MainWindow::ChooseCreatedSite(const std::string& identification) {
  RefreshSiteList();
  if (const auto row = sites_->RowOf(identification + ".key")) sites_->ClickRow(*row);
}

void MainWindow::HideMainMenu() {
  menu_->setVisible(false);
  exit_->setVisible(false);
  exit_->setEnabled(false);
  for (QPushButton* option : options_) option->setChecked(false);
  siteFiles_->setVisible(false);
  dataAnalysis_->setVisible(false);
  loggerOperations_->setVisible(false);
}

void MainWindow::ShowMainMenu() {
  menu_->setVisible(true);
  status_->HideLines();
  exit_->setVisible(true);
  exit_->setEnabled(true);
  delete_->setVisible(true);
  status_->StopButton()->setVisible(false);
  siteFiles_->setVisible(true);
  dataAnalysis_->setVisible(true);
  loggerOperations_->setVisible(true);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Half a block must never be stored: the download finishes first.
  if (download_->CurrentStage() == DownloadControl::Stage::Storing) {
    event->ignore();
    download_->ShowRunningNotice();
    return;
  }
  // What is running ends as its own button ends it: the logger leaves trace
  // mode, a download that waits for its site is abandoned.
  if (trace_->Active() || download_->CurrentStage() == DownloadControl::Stage::WaitingForSite) {
    OnStop();
  }
  if (services_.port.IsOpen()) services_.port.Close();
  event->accept();
}

void MainWindow::OnEscape() {
  // Esc ends what the stop button ends; an idle window stays as it is.
  QPushButton* stop = status_->StopButton();
  if (stop->isVisible() && stop->isEnabled()) OnStop();
}

void MainWindow::OnStop() {
  if (download_->CurrentStage() == DownloadControl::Stage::WaitingForSite) {
    download_->Abandon();
  } else if (download_->CurrentStage() == DownloadControl::Stage::Storing) {
    download_->AskStop();
  } else {
    trace_->Stop();
  }
}

void MainWindow::ShowPortOption(PortOption option) {
  const std::pair<QRadioButton*, PortOption> buttons[] = {
      {com1_, PortOption::Com1}, {com2_, PortOption::Com2}, {usb_, PortOption::Usb}};
  for (const auto& [button, shown] : buttons) {
    const QSignalBlocker quiet(button);
    button->setChecked(option == shown);
  }
}

void MainWindow::ClickEntry(const std::string& entry) {
  // A click that cannot be used leaves no site behind it: a download that
  // waits for its site goes on waiting.
  current_.reset();
  try {
    current_ = ClickSite(*files_, prompter_, entry);
  } catch (const IoError& e) {
    prompter_.Message(
        std::string("An error occurred while selecting the site file.\r\nThe error is ") +
        e.what());
    return;
  }
  if (download_->CurrentStage() == DownloadControl::Stage::WaitingForSite && current_) {
    download_->Run(*files_, ports_ ? ports_->PortNumber() : 0, *current_);
    ShowMainMenu();
  }
}

void MainWindow::OnDownloadData() {
  downloadData_->setChecked(false);
  if (!ports_ || !ports_->EnsurePortChosen()) return;
  download_->WaitForSite();
}

void MainWindow::FollowDownload(DownloadOutcome outcome) {
  if (outcome == DownloadOutcome::Stored) {
    if (AskRestart(*files_, prompter_)) {
      start_->setChecked(false);
      Open(NextWindow::StartWindow, AfterWindow::ReadSiteList);
    } else {
      graphAfterDownload_ = true;
      Open(NextWindow::Graph);
    }
  } else if (outcome == DownloadOutcome::MissingHeader) {
    OnEdit();
  }
}

void MainWindow::OnTraceMode() {
  traceMode_->setChecked(false);
  if (!ports_ || !ports_->EnsurePortChosen()) return;
  trace_->Begin(ports_->ReadRememberedPort());
}

void MainWindow::RunSerialNumberService() {
  // Only from the idle menu: a trace or a download owns the port.
  if (!ports_ || !menu_->isVisibleTo(this)) return;
  LinkContext link = status_->Link(services_);
  serialNumber_.Run(*ports_, link);
}

void MainWindow::Open(NextWindow window, AfterWindow after) {
  if (window == NextWindow::None) return;
  emit windowRequested(window);
  if (opener_) opener_(window);
  // Back from the other window: the sites may have changed there.
  if (after == AfterWindow::ReadSiteList && Files::FileExists(files_->InRoot(kSiteSelectionName))) {
    RefreshSiteList();
    ReselectRememberedSite();
  }
}

void MainWindow::OnCreateNew() {
  createNew_->setChecked(false);
  siteWindowCreates_ = true;
  Open(CheckCreateNew(*files_, prompter_, sites_->count() == 0));
}

void MainWindow::OnEdit() {
  editSite_->setChecked(false);
  siteWindowCreates_ = false;
  Open(CheckEditSite(*files_, prompter_, sites_->count() == 0), AfterWindow::ReadSiteList);
}

void MainWindow::OnStart() {
  const NextWindow next = CheckStart(*files_, prompter_);
  if (next != NextWindow::None && ports_ && ports_->EnsurePortChosen()) {
    HideMainMenu();
    Open(next);
    ShowMainMenu();
  }
  start_->setChecked(false);
}

void MainWindow::OnEditData() {
  editData_->setChecked(false);
  Open(CheckEditData(*files_, prompter_));
}

void MainWindow::OnViewGraph() {
  const NextWindow next = CheckViewGraph(*files_, prompter_);
  viewGraph_->setChecked(false);
  Open(next, AfterWindow::ReadSiteList);
}

void MainWindow::OnOutlook() {
  outlook_->setChecked(false);
  Open(NextWindow::Outlook);
}

void MainWindow::ViewGraphOf(const std::string& entry) {
  // The list as it is now: the site is clicked on its row, or, gone from the
  // folder since, clicked by name so that the click says what is wrong.
  RefreshSiteList();
  current_.reset();
  if (const auto row = sites_->RowOf(entry)) {
    sites_->ClickRow(*row);
  } else {
    ClickEntry(entry);
  }
  if (current_) OnViewGraph();
}

void MainWindow::OnDelete() {
  delete_->setChecked(false);
  if (!DeleteSite(*files_, prompter_, sites_->HighlightedEntry())) return;
  RefreshSiteList();
  if (sites_->count() > 0) sites_->ClickRow(0);
}

}  // namespace pelvaro
