#include "ui/shell/MainWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/operations/Conversion.h"
#include "core/operations/Download.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/StateFiles.h"
#include "ui/operations/TraceDialog.h"
#include "ui/platform/BusyWindow.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

constexpr QSize kDefaultSize(800, 540);
constexpr int kLogoSize = 64;
constexpr int kOptionHeight = 32;
constexpr double kTitlePoints = 16;
constexpr double kMaxScale = 2.5;
constexpr std::size_t kOptionRows = 3;
const QString kGuardSetup = QStringLiteral("SETUPFILES");
const QString kModeGoing = QStringLiteral("Going");
const QString kModeDownload = QStringLiteral("DOWNLOAD");
const QString kPendingSite = QStringLiteral("NOSITE");

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

// The site list. Coming into focus with no row current it makes the first
// row current, which is no click of the user's.
class SiteList : public QListWidget {
 public:
  using QListWidget::QListWidget;
  bool TakingFocus() const { return takingFocus_; }

 protected:
  void focusInEvent(QFocusEvent* event) override {
    takingFocus_ = true;
    QListWidget::focusInEvent(event);
    takingFocus_ = false;
  }

 private:
  bool takingFocus_ = false;
};

// The text with "?" for every character the code page cannot hold.
std::string MarkedCp1252(const QString& text) {
  std::string bytes;
  for (QChar c : text) bytes += FromQt(QString(c)).value_or("?");
  return bytes;
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      prompter_(services.prompter),
      files_(std::make_unique<Files>(fs::path())) {
  setObjectName("MainWindow");
  setMouseTracking(true);
  BuildWidgets();
}

MainWindow::~MainWindow() = default;

QPushButton* MainWindow::Option(const char* name) const {
  return findChild<QPushButton*>(QString::fromLatin1(name));
}

QGroupBox* MainWindow::AddFrame(const char* name, const QString& title,
                                std::initializer_list<std::pair<const char*, QString>> options) {
  auto* frame = new QGroupBox(title, frameMain_);
  frame->setObjectName(name);
  auto* column = new QVBoxLayout(frame);
  // Option buttons that act as push buttons: each handler unselects its own.
  // They grow with the window, up to a size that still reads as a button.
  const auto grow = [this](QWidget* w) {
    w->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    optionRows_.append(w);
  };
  for (const auto& [optionName, caption] : options) {
    auto* option = new QPushButton(caption, frame);
    option->setObjectName(optionName);
    option->setCheckable(true);
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
  frmSelPort_ = new QGroupBox(tr("Select Port"), this);
  frmSelPort_->setObjectName("frmSelPort");
  auto* row = new QHBoxLayout(frmSelPort_);
  // The handlers decide what stays selected; a click only asks.
  const auto addPort = [this, row](const char* name, const QString& caption) {
    auto* option = new QRadioButton(caption, frmSelPort_);
    option->setObjectName(name);
    option->setAutoExclusive(false);
    row->addWidget(option, 1);
    return option;
  };
  optCom1_ = addPort("optCom1", tr("COM1"));
  optCom2_ = addPort("optCom2", tr("COM2"));
  optUsb_ = addPort("optUSB", tr("USB"));
  connect(optCom1_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseComPort(1);
  });
  connect(optCom2_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseComPort(2);
  });
  connect(optUsb_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->ChooseUsbCable();
  });
}

void MainWindow::BuildWidgets() {
  pictureLogo_ = new QLabel(this);
  pictureLogo_->setObjectName("PictureLogo");
  labelAppName_ = new QLabel(QString::fromLatin1(kAppName), this);
  labelAppName_->setObjectName("LabelAppName");
  label2_ = new QLabel(QString::fromLatin1(kVersionText), this);
  label2_->setObjectName("Label2");

  file1_ = new SiteList(this);
  file1_->setObjectName("File1");
  file1_->setMinimumSize(180, 150);
  connect(file1_, &QListWidget::currentRowChanged, this, [this] { OnSiteClicked(); });
  // A click on the row that is already current changes no row, yet it is a
  // click on that site all the same.
  file1_->viewport()->installEventFilter(this);
  connect(file1_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (file1_->row(item) == rowBeforePress_) OnSiteClicked();
  });

  frameMain_ = new QGroupBox(this);
  frameMain_->setObjectName("FrameMain");
  frameSite_ = AddFrame(
      "FrameSite", tr("Site Files"),
      {{"Option1", tr("CREATE NEW")}, {"Option7", tr("EDIT")}, {"OptionDelete", tr("DELETE")}});
  frameLogger_ = AddFrame("FrameLogger", tr("Logger Operations"),
                          {{"Option10", tr("START")},
                           {"Option3", tr("DOWNLOAD DATA")},
                           {"Option12", tr("TRACE MODE")}});
  frameData_ = AddFrame("FrameData", tr("Data Analysis"),
                        {{"Option16", tr("EDIT DATA")},
                         {"Option6", tr("VIEW GRAPH")},
                         {"OptionOutlook", tr("OUTLOOK")}});
  auto* groups = new QHBoxLayout(frameMain_);
  for (QGroupBox* frame : {frameSite_, frameLogger_, frameData_}) groups->addWidget(frame, 1);
  optionDelete_ = Option("OptionDelete");
  const std::pair<const char*, void (MainWindow::*)()> handlers[] = {
      {"Option1", &MainWindow::OnCreateNew},    {"Option7", &MainWindow::OnEdit},
      {"OptionDelete", &MainWindow::OnDelete},  {"Option10", &MainWindow::OnStart},
      {"Option3", &MainWindow::OnDownloadData}, {"Option12", &MainWindow::OnTraceMode},
      {"Option16", &MainWindow::OnEditData},    {"Option6", &MainWindow::OnViewGraph},
      {"OptionOutlook", &MainWindow::OnOutlook}};
  for (const auto& [name, handler] : handlers) {
    connect(Option(name), &QPushButton::clicked, this, handler);
  }

  picture1_ = new QTextEdit(this);
  picture1_->setObjectName("Picture1");
  picture1_->setReadOnly(true);
  // Trace rows are a table: they keep their columns rather than wrap. The
  // rows line up in a proportional font, where a digit is two blanks wide.
  picture1_->setLineWrapMode(QTextEdit::NoWrap);

  progressBar1_ = new QProgressBar(this);
  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setVisible(false);

  command1_ = new QPushButton(tr("Exit"), this);
  command1_->setObjectName("Command1");
  connect(command1_, &QPushButton::clicked, this, &QWidget::close);
  command2_ = new QPushButton(this);
  command2_->setObjectName("Command2");
  command2_->setVisible(false);
  connect(command2_, &QPushButton::clicked, this, &MainWindow::OnCommand2);

  // Name and version beside the logo; the site list on the left, the
  // operations (or the status area while one runs), the port and the exit on
  // the right. The list and the operations share what a larger window gives.
  auto* titles = new QVBoxLayout;
  titles->addWidget(labelAppName_);
  titles->addWidget(label2_);
  auto* heading = new QHBoxLayout;
  heading->addWidget(pictureLogo_);
  heading->addLayout(titles, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(command2_);
  buttons->addStretch(1);
  buttons->addWidget(command1_);
  auto* grid = new QGridLayout(this);
  grid->addLayout(heading, 0, 0, 1, 2);
  grid->addWidget(file1_, 1, 0, 4, 1);
  grid->addWidget(frameMain_, 1, 1);
  grid->addWidget(picture1_, 1, 1);
  BuildPortFrame();
  grid->addWidget(frmSelPort_, 2, 1);
  grid->addWidget(progressBar1_, 3, 1);
  grid->addLayout(buttons, 4, 1);
  grid->setColumnStretch(0, 2);
  grid->setColumnStretch(1, 3);
  grid->setRowStretch(1, 1);

  auto* serviceKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
  connect(serviceKey, &QShortcut::activated, this, &MainWindow::RunSerialNumberService);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &MainWindow::OnEscape);
  askTraceSensors_ = [this] {
    TraceSensorsDialog dialog(this);
    dialog.exec();
    return dialog.SensorCount();
  };
  // The smallest window shows every control whole; a larger one shows them
  // larger (see resizeEvent), so the layout itself sets no minimum.
  baseFont_ = font();
  Scale(1.0);
  grid->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(minimumSizeHint());
  resize(kDefaultSize.expandedTo(minimumSize()));
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
  labelAppName_->setFont(big);
  const int logo = qRound(kLogoSize * scale);
  pictureLogo_->setFixedSize(logo, logo);
  pictureLogo_->setPixmap(LogoPixmap(logo));
  const int row = qRound(kOptionHeight * scale);
  for (QWidget* w : optionRows_) {
    w->setMinimumHeight(row);
    w->setMaximumHeight(row * 2);
  }
  for (QPushButton* button : {command1_, command2_}) button->setMinimumHeight(row);
  // The status area's lines grow with everything else.
  picture1_->clear();
  for (std::size_t i = 0; i < statusLines_.size(); ++i) AppendStatusLine(i);
}

void MainWindow::Load(const StartupEnvironment& env) {
  // The status area stays hidden until an operation prints into it.
  ClearStatus();
  picture1_->setVisible(false);
  picture1_->setEnabled(false);

  const StartupResult result = RunStartup(env, prompter_, [this](const Files& files) {
    TimedDatForSelectedSite(files, prompter_, ConversionCaller::Download);
  });
  files_ = std::make_unique<Files>(result.workingRoot);
  ports_ = std::make_unique<PortSelection>(*files_, prompter_, services_.port, services_.finder,
                                           services_.dialogs);
  ports_->onSelectionChanged = [this](PortOption option) { ShowPortOption(option); };
  ShowPortOption(PortOption::None);

  setWindowTitle(QString::fromLatin1(kAppName) + " " + QString::fromLatin1(kVersionText));
  file1_->setVisible(true);
  file1_->setEnabled(true);
  selectionGuard_ = kGuardSetup;
  file1_->clear();
  for (const std::string& site : result.sites) file1_->addItem(ToQt(site));
  selectionGuard_.clear();
  SelectSiteQuietly(result.selectedSite);
}

void MainWindow::FillSiteList() {
  StartupResult listing;
  LoadSiteList(*files_, prompter_, listing);
  const QString guard = selectionGuard_;
  selectionGuard_ = kGuardSetup;
  // A refresh keeps the highlighted site highlighted while it is listed.
  const QString highlighted = file1_->currentItem() ? file1_->currentItem()->text() : QString();
  file1_->clear();
  for (const std::string& site : listing.sites) file1_->addItem(ToQt(site));
  const auto still = file1_->findItems(highlighted, Qt::MatchExactly);
  if (!highlighted.isEmpty() && !still.isEmpty()) file1_->setCurrentItem(still.front());
  file1_->setVisible(true);
  file1_->setEnabled(true);
  selectionGuard_ = guard;
}

void MainWindow::SelectSiteQuietly(std::optional<int> index) {
  if (!index) return;
  selectionGuard_ = kGuardSetup;
  file1_->setCurrentRow(*index);
  selectionGuard_.clear();
}

std::vector<std::string> MainWindow::SiteEntries() const {
  std::vector<std::string> sites;
  for (int i = 0; i < file1_->count(); ++i) {
    sites.push_back(FromQt(file1_->item(i)->text()).value_or(std::string()));
  }
  return sites;
}

void MainWindow::ReselectRememberedSite() {
  if (const auto remembered = ReadSiteSelectionOrTell(*files_, prompter_, 1)) {
    SelectSiteQuietly(RememberedSiteIndex(SiteEntries(), remembered->identification));
  }
}

void MainWindow::HighLightFile() {
  const auto remembered = ReadSiteSelectionOrTell(*files_, prompter_, 1);
  FillSiteList();
  const auto match =
      FindSiteEntry(SiteEntries(), remembered ? remembered->identification : std::string());
  const int last = match.value_or(file1_->count() - 1);
  // Each entry passed is handled as a click, as a user walking down the list.
  for (int i = 0; i <= last; ++i) ClickRow(i);
}

void MainWindow::ClickRow(int row) {
  if (file1_->currentRow() == row) {
    OnSiteClicked();
  } else {
    file1_->setCurrentRow(row);
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == file1_->viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    rowBeforePress_ = file1_->currentRow();
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::HideMainMenu() {
  frameMain_->setVisible(false);
  command1_->setVisible(false);
  command1_->setEnabled(false);
  for (QPushButton* option : options_) option->setChecked(false);
  frameSite_->setVisible(false);
  frameData_->setVisible(false);
  frameLogger_->setVisible(false);
}

void MainWindow::ShowMainMenu() {
  frameMain_->setVisible(true);
  picture1_->setVisible(false);
  picture1_->setEnabled(false);
  command1_->setVisible(true);
  command1_->setEnabled(true);
  optionDelete_->setVisible(true);
  command2_->setVisible(false);
  frameSite_->setVisible(true);
  frameData_->setVisible(true);
  frameLogger_->setVisible(true);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
  QWidget::mouseMoveEvent(event);
  if (mode_ != kModeGoing) {
    selectionGuard_.clear();
    return;
  }
  // Back from another window: the sites may have changed there.
  mode_.clear();
  if (Files::FileExists(files_->InRoot(kSiteSelectionName))) {
    FillSiteList();
    ReselectRememberedSite();
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // Half a block must never be stored: the download finishes first.
  if (downloadRunning_) {
    event->ignore();
    ShowDownloadRunningNotice();
    return;
  }
  // What is running ends as its own button ends it: the logger leaves trace
  // mode, a download that waits for its site is abandoned.
  if ((trace_ && trace_->Active()) || mode_ == kModeDownload) OnCommand2();
  if (services_.port.IsOpen()) services_.port.Close();
  event->accept();
}

void MainWindow::ShowDownloadRunningNotice() {
  // Not modal to the program: the download goes on reading the line meanwhile.
  auto* notice = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kAppName),
                                 tr("The data is being downloaded from the logger and stored.\n"
                                    "Close the program when the download has ended."),
                                 QMessageBox::Ok, this);
  notice->setObjectName("DownloadRunningNotice");
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->open();
}

void MainWindow::OnEscape() {
  // Esc ends what the shared button ends; an idle window stays as it is.
  if (command2_->isVisible() && command2_->isEnabled()) OnCommand2();
}

void MainWindow::ShowPortOption(PortOption option) {
  const std::pair<QRadioButton*, PortOption> buttons[] = {
      {optCom1_, PortOption::Com1}, {optCom2_, PortOption::Com2}, {optUsb_, PortOption::Usb}};
  for (const auto& [button, shown] : buttons) {
    const QSignalBlocker quiet(button);
    button->setChecked(option == shown);
  }
}

void MainWindow::OnSiteClicked() {
  if (selectionGuard_ == kGuardSetup || static_cast<SiteList*>(file1_)->TakingFocus()) return;
  QListWidgetItem* item = file1_->currentItem();
  if (item == nullptr) return;
  // A name the code page cannot hold is refused like any other unusable name.
  ClickEntry(FromQt(item->text()).value_or(MarkedCp1252(item->text())));
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
  if (pendingSite_ == kPendingSite && current_) {
    ClearStatus();
    pendingSite_.clear();
    RunDownload();
    ShowMainMenu();
  }
}

void MainWindow::PrintStatus(const std::string& line, int pointSize) {
  statusLines_.emplace_back(ToQt(line), pointSize);
  AppendStatusLine(statusLines_.size() - 1);
}

void MainWindow::AppendStatusLine(std::size_t index) {
  const auto& [text, points] = statusLines_[index];
  QTextCharFormat format;
  format.setFontPointSize(points * scale_);
  QTextCursor cursor(picture1_->document());
  cursor.movePosition(QTextCursor::End);
  // The first line goes into the empty first paragraph, every later one,
  // empty lines included, into a paragraph of its own.
  if (index > 0) cursor.insertBlock();
  cursor.setBlockCharFormat(format);
  cursor.insertText(text, format);
  picture1_->setTextCursor(cursor);
  picture1_->ensureCursorVisible();
  // The newest line in view, from its start: the scan number comes first.
  picture1_->horizontalScrollBar()->setValue(0);
}

void MainWindow::ClearStatus() {
  picture1_->clear();
  statusLines_.clear();
}

void MainWindow::ShowStatusArea() {
  picture1_->setVisible(true);
  picture1_->setEnabled(true);
  ClearStatus();
}

void MainWindow::HideStatusArea() {
  ClearStatus();
  picture1_->setVisible(false);
  picture1_->setEnabled(false);
  progressBar1_->setVisible(false);
  command2_->setVisible(false);
  command2_->setEnabled(false);
}

void MainWindow::OnDownloadData() {
  Option("Option3")->setChecked(false);
  if (!ports_ || !ports_->EnsurePortChosen()) return;
  HideMainMenu();
  FillSiteList();
  pendingSite_ = kPendingSite;
  ShowStatusArea();
  PrintStatus("", 12);
  PrintStatus("", 12);
  PrintStatus("    Please select a site file from ", 12);
  PrintStatus("    the list opposite.", 12);
  mode_ = kModeDownload;
  command2_->setText(tr("Abort Download"));
  command2_->setVisible(true);
  command2_->setEnabled(true);
}

void MainWindow::OnCommand2() {
  if (mode_ != kModeDownload) {
    // "Exit Trace Mode".
    if (trace_ && trace_->Active()) {
      ClearStatus();
      trace_->Stop();
      EndTrace();
    }
    return;
  }
  // Only while the download still waits for its site.
  ReselectRememberedSite();
  HideStatusArea();
  ShowMainMenu();
  mode_.clear();
  pendingSite_.clear();
}

void MainWindow::RunDownload() {
  mode_.clear();
  // The window paints while the line is read and answers a close, but takes
  // no other input meanwhile.
  const BusyWindow busy(this);
  downloadRunning_ = true;
  command2_->setEnabled(false);
  file1_->setEnabled(false);
  progressBar1_->setRange(0, 1);
  progressBar1_->setValue(0);
  LinkContext link = StatusLink();
  DownloadRequest request;
  request.site = *current_;
  request.portNumber = ports_ ? ports_->PortNumber() : 0;
  request.progress = [this](long received, long total) { ShowProgress(received, total); };
  const DownloadResult result = Download(*files_, link, request);
  // A close asked for while the block was stored and converted is answered
  // now, before any question of what comes next.
  QCoreApplication::processEvents();
  downloadRunning_ = false;
  file1_->setEnabled(true);
  if (result.outcome == DownloadOutcome::Stored) {
    FillSiteList();
    ReselectRememberedSite();
  }
  HideStatusArea();
  ShowMainMenu();
  if (result.outcome == DownloadOutcome::Stored) {
    if (AskRestart(*files_, prompter_)) {
      mode_ = kModeGoing;
      Option("Option10")->setChecked(false);
      Open(NextWindow::StartWindow);
    } else {
      graphAfterDownload_ = true;
      Open(NextWindow::Graph);
    }
  } else if (result.outcome == DownloadOutcome::MissingHeader) {
    OnEdit();
  }
}

LinkContext MainWindow::StatusLink() {
  return {services_.port, services_.clock, prompter_, services_.dialogs,
          [this](const std::string& line) { PrintStatus(line); }};
}

void MainWindow::OnTraceMode() {
  Option("Option12")->setChecked(false);
  if (!ports_ || !ports_->EnsurePortChosen()) return;
  command2_->setText(tr("Exit Trace Mode"));
  const int port = ports_->ReadRememberedPort();
  if (services_.port.IsOpen()) services_.port.Close();
  const PortOpenResult opened = services_.port.Open(port);
  if (!opened.Ok()) {
    const PortMessage m = PortOpenMessage(port, opened);
    prompter_.Message(m.text, m.title);
    return;
  }
  services_.port.SetReceiveNotify(false);
  services_.port.ClearInput();
  const int sensors = askTraceSensors_ ? askTraceSensors_() : 0;
  if (sensors == 0) {
    services_.port.Close();
    HideStatusArea();
    ShowMainMenu();
    return;
  }
  HideMainMenu();
  ShowStatusArea();
  traceLink_ = std::make_unique<LinkContext>(StatusLink());
  trace_ = std::make_unique<TraceSession>(*traceLink_, [this] { ClearStatus(); });
  if (!trace_->Start(sensors)) {
    EndTrace();
    return;
  }
  // Each scan that arrives, and then what it means for the window.
  services_.port.SetReceiveHandler([this] {
    if (trace_) trace_->OnReceive();
    AfterTraceEvent();
  });
  command2_->setVisible(true);
  command2_->setEnabled(true);
}

void MainWindow::AfterTraceEvent() {
  if (!trace_ || trace_->Active()) return;
  if (trace_->Ended() == TraceEnd::LoggerEnded) {
    FillSiteList();
    ReselectRememberedSite();
  }
  EndTrace();
}

void MainWindow::EndTrace() {
  HideStatusArea();
  ShowMainMenu();
  // The session goes once the port's handler that may be running has returned.
  if (trace_) {
    services_.port.SetReceiveHandler({});
    QTimer::singleShot(0, this, [this] {
      if (trace_ && !trace_->Active()) {
        trace_.reset();
        traceLink_.reset();
      }
    });
  }
}

void MainWindow::RunSerialNumberService() {
  // Only from the idle menu: a trace or a download owns the port.
  if (!ports_ || !frameMain_->isVisibleTo(this)) return;
  LinkContext link = StatusLink();
  serialNumber_.Run(*ports_, link);
}

void MainWindow::ShowProgress(long received, long total) {
  // About every half second of the line, and at the end.
  if (received != total && received % 240 > 1) return;
  progressBar1_->setVisible(true);
  progressBar1_->setRange(0, static_cast<int>(total));
  progressBar1_->setValue(static_cast<int>(received));
  const long secondsLeft = (total - received + 479) / 480;
  progressBar1_->setFormat(
      tr("%1 of %2 bytes, about %3 s left").arg(received).arg(total).arg(secondsLeft));
}

void MainWindow::Open(NextWindow window) {
  if (window == NextWindow::None) return;
  emit windowRequested(window);
  if (opener_) opener_(window);
}

void MainWindow::RefreshSiteList() { FillSiteList(); }

void MainWindow::OnCreateNew() {
  Option("Option1")->setChecked(false);
  siteWindowCreates_ = true;
  Open(CheckCreateNew(*files_, prompter_, SiteListEmpty()));
}

void MainWindow::OnEdit() {
  Option("Option7")->setChecked(false);
  siteWindowCreates_ = false;
  const NextWindow next = CheckEditSite(*files_, prompter_, SiteListEmpty());
  mode_ = kModeGoing;
  Open(next);
}

void MainWindow::OnStart() {
  const NextWindow next = CheckStart(*files_, prompter_);
  if (next != NextWindow::None && ports_ && ports_->EnsurePortChosen()) {
    HideMainMenu();
    Open(next);
    ShowMainMenu();
  }
  Option("Option10")->setChecked(false);
}

void MainWindow::OnEditData() {
  Option("Option16")->setChecked(false);
  Open(CheckEditData(*files_, prompter_));
}

void MainWindow::OnViewGraph() {
  mode_ = kModeGoing;
  const NextWindow next = CheckViewGraph(*files_, prompter_);
  Option("Option6")->setChecked(false);
  Open(next);
}

void MainWindow::OnOutlook() {
  Option("OptionOutlook")->setChecked(false);
  Open(NextWindow::Outlook);
}

void MainWindow::ViewGraphOf(const std::string& entry) {
  // The list as it is now: the site is clicked on its row, or, gone from the
  // folder since, clicked by name so that the click says what is wrong.
  FillSiteList();
  current_.reset();
  if (const auto row = FindSiteEntry(SiteEntries(), IdentificationOf(entry))) {
    ClickRow(*row);
  } else {
    ClickEntry(entry);
  }
  if (current_) OnViewGraph();
}

void MainWindow::OnDelete() {
  optionDelete_->setChecked(false);
  QListWidgetItem* item = file1_->currentItem();
  const std::string entry = item ? FromQt(item->text()).value_or("") : std::string();
  if (!DeleteSite(*files_, prompter_, entry)) return;
  FillSiteList();
  if (file1_->count() > 0) ClickRow(0);
}

}  // namespace pelvaro
