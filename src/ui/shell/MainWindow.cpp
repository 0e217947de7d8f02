#include "ui/shell/MainWindow.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "core/shell/SiteCatalogue.h"
#include "ui/platform/ProportionalResizer.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

constexpr QSize kDesignSize(720, 480);
const QString kGuardSetup = QStringLiteral("SETUPFILES");

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

MainWindow::MainWindow(Prompter& prompter, QWidget* parent)
    : QWidget(parent), prompter_(prompter), files_(std::make_unique<Files>(fs::path())) {
  setObjectName("MainWindow");
  BuildWidgets();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildWidgets() {
  resize(kDesignSize);
  pictureLogo_ = new QLabel(this);
  pictureLogo_->setObjectName("PictureLogo");
  pictureLogo_->setGeometry(20, 16, 64, 64);
  pictureLogo_->setPixmap(LogoPixmap(64));
  pictureLogo_->setScaledContents(true);

  labelAppName_ = new QLabel(this);
  labelAppName_->setObjectName("LabelAppName");
  labelAppName_->setGeometry(100, 18, 500, 34);
  QFont big = labelAppName_->font();
  big.setPointSize(16);
  big.setBold(true);
  labelAppName_->setFont(big);

  label2_ = new QLabel(this);
  label2_->setObjectName("Label2");
  label2_->setGeometry(100, 54, 120, 22);

  file1_ = new QListWidget(this);
  file1_->setObjectName("File1");
  file1_->setGeometry(20, 96, 260, 320);
  connect(file1_, &QListWidget::currentRowChanged, this, &MainWindow::OnSiteClicked);

  picture1_ = new QPlainTextEdit(this);
  picture1_->setObjectName("Picture1");
  picture1_->setGeometry(300, 96, 400, 320);
  picture1_->setReadOnly(true);

  command1_ = new QPushButton(tr("Exit"), this);
  command1_->setObjectName("Command1");
  command1_->setGeometry(600, 432, 100, 32);
  connect(command1_, &QPushButton::clicked, this, &QWidget::close);

  resizer_ = new ProportionalResizer(this, kDesignSize);
  for (QWidget* w : {static_cast<QWidget*>(pictureLogo_), static_cast<QWidget*>(labelAppName_),
                     static_cast<QWidget*>(label2_), static_cast<QWidget*>(file1_),
                     static_cast<QWidget*>(picture1_), static_cast<QWidget*>(command1_)}) {
    resizer_->Add(w);
  }
}

void MainWindow::Load(const StartupEnvironment& env) {
  // The status area stays hidden until an operation prints into it.
  picture1_->clear();
  picture1_->setVisible(false);
  picture1_->setEnabled(false);
  labelAppName_->setText(QString::fromLatin1(kAppName));

  const StartupResult result = RunStartup(env, prompter_);
  files_ = std::make_unique<Files>(result.workingRoot);

  label2_->setText(QString::fromLatin1(kVersionText));
  setWindowTitle(QString::fromLatin1(kAppName) + " " + QString::fromLatin1(kVersionText));
  file1_->setVisible(true);
  file1_->setEnabled(true);
  file1_->clear();
  for (const std::string& site : result.sites) file1_->addItem(ToQt(site));
  SelectSiteQuietly(result.selectedSite);
}

void MainWindow::RefreshSiteList() {
  StartupResult listing;
  LoadSiteList(*files_, prompter_, listing);
  file1_->clear();
  for (const std::string& site : listing.sites) file1_->addItem(ToQt(site));
}

void MainWindow::SelectSiteQuietly(std::optional<int> index) {
  if (!index) return;
  selectionGuard_ = kGuardSetup;
  file1_->setCurrentRow(*index);
  selectionGuard_.clear();
}

void MainWindow::OnSiteClicked(int row) {
  if (selectionGuard_ == kGuardSetup || row < 0) return;
}

}  // namespace pelvaro
