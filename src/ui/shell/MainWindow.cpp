#include "ui/shell/MainWindow.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "core/operations/Conversion.h"
#include "core/operations/Download.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/StateFiles.h"
#include "ui/operations/TraceDialog.h"
#include "ui/platform/ProportionalResizer.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

constexpr QSize kDesignSize(760, 520);
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

QPushButton* MainWindow::AddOption(QGroupBox* frame, const char* name, const QString& caption,
                                   int row) {
  // Option buttons that act as push buttons: each handler unselects its own.
  auto* option = new QPushButton(caption, frame);
  option->setObjectName(name);
  option->setCheckable(true);
  option->setGeometry(7, 28 + row * 44, frame->width() - 14, 36);
  options_.append(option);
  return option;
}

void MainWindow::BuildWidgets() {
  resize(kDesignSize);
  pictureLogo_ = new QLabel(this);
  pictureLogo_->setObjectName("PictureLogo");
  pictureLogo_->setGeometry(20, 16, 64, 64);
  pictureLogo_->setPixmap(LogoPixmap(64));
  pictureLogo_->setScaledContents(true);

  labelAppName_ = new QLabel(this);
  labelAppName_->setObjectName("LabelAppName");
  labelAppName_->setGeometry(100, 18, 560, 34);
  QFont big = labelAppName_->font();
  big.setPointSize(16);
  big.setBold(true);
  labelAppName_->setFont(big);

  label2_ = new QLabel(this);
  label2_->setObjectName("Label2");
  label2_->setGeometry(100, 54, 120, 22);

  file1_ = new QListWidget(this);
  file1_->setObjectName("File1");
  file1_->setGeometry(20, 96, 280, 360);
  connect(file1_, &QListWidget::currentRowChanged, this, [this] { OnSiteClicked(); });

  frameMain_ = new QGroupBox(this);
  frameMain_->setObjectName("FrameMain");
  frameMain_->setGeometry(320, 96, 420, 240);
  frameSite_ = new QGroupBox(tr("Site Files"), frameMain_);
  frameSite_->setObjectName("FrameSite");
  frameSite_->setGeometry(6, 16, 134, 176);
  frameLogger_ = new QGroupBox(tr("Logger Operations"), frameMain_);
  frameLogger_->setObjectName("FrameLogger");
  frameLogger_->setGeometry(143, 16, 134, 176);
  frameData_ = new QGroupBox(tr("Data Analysis"), frameMain_);
  frameData_->setObjectName("FrameData");
  frameData_->setGeometry(280, 16, 134, 176);

  connect(AddOption(frameSite_, "Option1", tr("CREATE NEW"), 0), &QPushButton::clicked, this,
          &MainWindow::OnCreateNew);
  connect(AddOption(frameSite_, "Option7", tr("EDIT"), 1), &QPushButton::clicked, this,
          &MainWindow::OnEdit);
  optionDelete_ = AddOption(frameSite_, "OptionDelete", tr("DELETE"), 2);
  connect(optionDelete_, &QPushButton::clicked, this, &MainWindow::OnDelete);
  connect(AddOption(frameLogger_, "Option10", tr("START"), 0), &QPushButton::clicked, this,
          &MainWindow::OnStart);
  connect(AddOption(frameLogger_, "Option3", tr("DOWNLOAD DATA"), 1), &QPushButton::clicked, this,
          &MainWindow::OnDownloadData);
  connect(AddOption(frameLogger_, "Option12", tr("TRACE MODE"), 2), &QPushButton::clicked, this,
          &MainWindow::OnTraceMode);
  connect(AddOption(frameData_, "Option16", tr("EDIT DATA"), 0), &QPushButton::clicked, this,
          &MainWindow::OnEditData);
  connect(AddOption(frameData_, "Option6", tr("VIEW GRAPH"), 1), &QPushButton::clicked, this,
          &MainWindow::OnViewGraph);

  frmSelPort_ = new QGroupBox(tr("Select Port"), this);
  frmSelPort_->setObjectName("frmSelPort");
  frmSelPort_->setGeometry(320, 350, 420, 60);
  // The handlers decide what stays selected; a click only asks.
  const auto addPort = [this](const char* name, const QString& caption, int x) {
    auto* option = new QRadioButton(caption, frmSelPort_);
    option->setObjectName(name);
    option->setAutoExclusive(false);
    option->setGeometry(x, 26, 110, 24);
    return option;
  };
  optCom1_ = addPort("optCom1", tr("COM1"), 16);
  optCom2_ = addPort("optCom2", tr("COM2"), 146);
  optUsb_ = addPort("optUSB", tr("USB"), 276);
  connect(optCom1_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->OptComClick(1);
  });
  connect(optCom2_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->OptComClick(2);
  });
  connect(optUsb_, &QRadioButton::clicked, this, [this] {
    if (ports_) ports_->OptUsbClick();
  });

  picture1_ = new QTextEdit(this);
  picture1_->setObjectName("Picture1");
  picture1_->setGeometry(320, 96, 420, 240);
  picture1_->setReadOnly(true);

  progressBar1_ = new QProgressBar(this);
  progressBar1_->setObjectName("ProgressBar1");
  progressBar1_->setGeometry(320, 420, 420, 28);
  progressBar1_->setVisible(false);

  command1_ = new QPushButton(tr("Exit"), this);
  command1_->setObjectName("Command1");
  command1_->setGeometry(640, 470, 100, 32);
  connect(command1_, &QPushButton::clicked, this, &QWidget::close);

  command2_ = new QPushButton(this);
  command2_->setObjectName("Command2");
  command2_->setGeometry(320, 470, 180, 32);
  command2_->setVisible(false);
  connect(command2_, &QPushButton::clicked, this, &MainWindow::OnCommand2);

  auto* serviceKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
  connect(serviceKey, &QShortcut::activated, this, &MainWindow::RunSerialNumberService);
  askTraceSensors_ = [this] {
    TraceSensorsDialog dialog(this);
    dialog.exec();
    return dialog.SensorCount();
  };

  resizer_ = new ProportionalResizer(this, kDesignSize);
  for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) resizer_->Add(w);
}

void MainWindow::Load(const StartupEnvironment& env) {
  // The status area stays hidden until an operation prints into it.
  picture1_->clear();
  picture1_->setVisible(false);
  picture1_->setEnabled(false);
  labelAppName_->setText(QString::fromLatin1(kAppName));

  const StartupResult result = RunStartup(env, prompter_, [this](const Files& files) {
    TimedDatForSelectedSite(files, prompter_, ConversionCaller::Download);
  });
  files_ = std::make_unique<Files>(result.workingRoot);
  ports_ = std::make_unique<PortSelection>(*files_, prompter_, services_.port, services_.finder,
                                           services_.dialogs);
  ports_->onSelectionChanged = [this](PortOption option) { ShowPortOption(option); };
  ShowPortOption(PortOption::None);

  label2_->setText(QString::fromLatin1(kVersionText));
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
  file1_->clear();
  for (const std::string& site : listing.sites) file1_->addItem(ToQt(site));
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
  try {
    SelectSiteQuietly(
        RememberedSiteIndex(SiteEntries(), ReadSiteSelection(*files_, 1).identification));
  } catch (const UnsafeNameError& e) {
    prompter_.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
  }
}

void MainWindow::HighLightFile() {
  std::string remembered;
  try {
    remembered = ReadSiteSelection(*files_, 1).identification;
  } catch (const UnsafeNameError& e) {
    prompter_.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
  }
  FillSiteList();
  const auto match = FindSiteEntry(SiteEntries(), remembered);
  const int last = match.value_or(file1_->count() - 1);
  // Each entry passed is handled as a click, as a user walking down the list.
  for (int i = 0; i <= last; ++i) {
    if (file1_->currentRow() == i) {
      OnSiteClicked();
    } else {
      file1_->setCurrentRow(i);
    }
  }
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

void MainWindow::ShowPortOption(PortOption option) {
  const std::pair<QRadioButton*, PortOption> buttons[] = {
      {optCom1_, PortOption::Com1}, {optCom2_, PortOption::Com2}, {optUsb_, PortOption::Usb}};
  for (const auto& [button, shown] : buttons) {
    const QSignalBlocker quiet(button);
    button->setChecked(option == shown);
  }
}

void MainWindow::OnSiteClicked() {
  if (selectionGuard_ == kGuardSetup) return;
  QListWidgetItem* item = file1_->currentItem();
  if (item == nullptr) return;
  const auto entry = FromQt(item->text());
  if (!entry) return;
  try {
    if (auto site = ClickSite(*files_, prompter_, *entry)) current_ = site;
  } catch (const IoError& e) {
    prompter_.Message(
        std::string("An error occurred while selecting the site file.\r\nThe error is ") +
        e.what());
    return;
  }
  if (pendingSite_ == kPendingSite && current_) {
    picture1_->clear();
    pendingSite_.clear();
    RunDownload();
    ShowMainMenu();
  }
}

void MainWindow::PrintStatus(const std::string& line, int pointSize) {
  QTextCharFormat format;
  format.setFontPointSize(pointSize);
  QTextCursor cursor(picture1_->document());
  cursor.movePosition(QTextCursor::End);
  if (!picture1_->document()->isEmpty()) cursor.insertBlock();
  cursor.insertText(ToQt(line), format);
  picture1_->setTextCursor(cursor);
  picture1_->ensureCursorVisible();
}

void MainWindow::ShowStatusArea() {
  picture1_->setVisible(true);
  picture1_->setEnabled(true);
  picture1_->clear();
}

void MainWindow::HideStatusArea() {
  picture1_->clear();
  picture1_->setVisible(false);
  picture1_->setEnabled(false);
  progressBar1_->setVisible(false);
  command2_->setVisible(false);
  command2_->setEnabled(false);
}

void MainWindow::OnDownloadData() {
  findChild<QPushButton*>("Option3")->setChecked(false);
  if (!ports_ || !ports_->SetPortForVelmora()) return;
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
      picture1_->clear();
      picture1_->setFont(QFont("MS Sans Serif", 12));
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
  // The window paints while the line is read, but takes no input meanwhile.
  command2_->setEnabled(false);
  file1_->setEnabled(false);
  progressBar1_->setRange(0, 1);
  progressBar1_->setValue(0);
  LinkContext link{services_.port, services_.clock, prompter_, services_.dialogs,
                   [this](const std::string& line) { PrintStatus(line); }};
  DownloadRequest request;
  request.site = *current_;
  request.portNumber = ports_ ? ports_->PortNumber() : 0;
  request.progress = [this](long received, long total) { ShowProgress(received, total); };
  const DownloadResult result = Download(*files_, link, request);
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
      findChild<QPushButton*>("Option10")->setChecked(false);
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
  findChild<QPushButton*>("Option12")->setChecked(false);
  if (!ports_ || !ports_->SetPortForVelmora()) return;
  command2_->setText(tr("Exit Trace Mode"));
  const int port = ports_->ReadPortNumberFromFile();
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
  trace_ = std::make_unique<TraceSession>(*traceLink_, [this] { picture1_->clear(); });
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
  picture1_->setFont(QFont());
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
  if (!ports_) return;
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
  findChild<QPushButton*>("Option1")->setChecked(false);
  siteWindowCreates_ = true;
  Open(CheckCreateNew(*files_, prompter_, SiteListEmpty()));
}

void MainWindow::OnEdit() {
  findChild<QPushButton*>("Option7")->setChecked(false);
  siteWindowCreates_ = false;
  const NextWindow next = CheckEditSite(*files_, prompter_, SiteListEmpty());
  mode_ = kModeGoing;
  Open(next);
}

void MainWindow::OnStart() {
  const NextWindow next = CheckStart(*files_, prompter_);
  if (next != NextWindow::None && ports_ && ports_->SetPortForVelmora()) {
    HideMainMenu();
    Open(next);
    ShowMainMenu();
  }
  findChild<QPushButton*>("Option10")->setChecked(false);
}

void MainWindow::OnEditData() {
  findChild<QPushButton*>("Option16")->setChecked(false);
  Open(CheckEditData(*files_, prompter_));
}

void MainWindow::OnViewGraph() {
  mode_ = kModeGoing;
  const NextWindow next = CheckViewGraph(*files_, prompter_);
  findChild<QPushButton*>("Option6")->setChecked(false);
  Open(next);
}

void MainWindow::OnDelete() {
  optionDelete_->setChecked(false);
  QListWidgetItem* item = file1_->currentItem();
  const std::string entry = item ? FromQt(item->text()).value_or("") : std::string();
  if (!DeleteSite(*files_, prompter_, entry)) return;
  FillSiteList();
  if (file1_->count() > 0) {
    file1_->setCurrentRow(-1);
    file1_->setCurrentRow(0);
  }
}

}  // namespace pelvaro
