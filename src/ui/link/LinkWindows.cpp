#include "ui/link/LinkWindows.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextDocument>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {
constexpr int kHelpTextWidth = 420;

// The height at which a text box of this width shows all of its text.
int HelpTextHeight(const QTextEdit& text, int width) {
  const std::unique_ptr<QTextDocument> doc(text.document()->clone());
  doc->setDefaultFont(text.font());
  const int frame = 2 * text.frameWidth();
  doc->setTextWidth(width - frame - text.verticalScrollBar()->sizeHint().width());
  return static_cast<int>(std::ceil(doc->size().height())) + frame;
}

QPushButton* Button(const char* name, const QString& caption, QWidget* parent) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  return b;
}

// The dialog's content above a right-aligned row of two buttons; Enter
// presses the first, which changes nothing that cannot be chosen again.
void LayOut(QDialog* dialog, std::initializer_list<QWidget*> content, QPushButton* first,
            QPushButton* second) {
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(first);
  buttons->addWidget(second);
  auto* layout = new QVBoxLayout(dialog);
  for (QWidget* w : content) layout->addWidget(w);
  layout->addLayout(buttons);
  // A few words and two buttons: the dialog keeps the size they need.
  layout->setSizeConstraint(QLayout::SetFixedSize);
  SetButtonKeys(dialog, first);
  QList<QWidget*> order(content);
  SetTabOrder(order << first << second);
}
}  // namespace

PortListDialog::PortListDialog(Prompter& prompter, QWidget* parent)
    : QDialog(parent), prompter_(prompter) {
  setObjectName("selDialog");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Velmora Port"));
  setModal(true);
  auto* label = new QLabel(tr("Velmora cannot find the port for USB Cable") + "\r\n", this);
  label->setObjectName("lblDiaBox");
  portList_ = new QComboBox(this);
  portList_->setObjectName("cmbComPorts");
  for (int port = 1; port <= 20; ++port) portList_->addItem(QString("COM%1").arg(port));
  portList_->setPlaceholderText(QString::fromLatin1(kPortListPrompt));
  portList_->setCurrentIndex(-1);
  portList_->installEventFilter(this);
  auto* ok = Button("OKButton", tr("&OK"), this);
  auto* cancel = Button("CancelButton", tr("&Cancel"), this);
  connect(ok, &QPushButton::clicked, this, &PortListDialog::OnOk);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  LayOut(this, {label, portList_}, ok, cancel);
}

bool PortListDialog::eventFilter(QObject* watched, QEvent* event) {
  // The list moves with the arrow keys only; Enter, Esc and Tab are the
  // dialog's, not input to the list.
  if (watched == portList_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
      case Qt::Key_Tab:
      case Qt::Key_Backtab:
        break;
      default:
        return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void PortListDialog::OnOk() {
  if (portList_->currentIndex() < 0) {
    prompter_.Message("Select the port from the list box");
    return;
  }
  chosen_ = PortFromListText(portList_->currentText().toStdString());
  accept();
}

NotRespondingDialog::NotRespondingDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("diaBoxNotResp");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Velmora"));
  setModal(true);
  auto* label = new QLabel(tr("Logger is not responding. Use Help to troubleshoot."), this);
  auto* ok = Button("OKButton", tr("&OK"), this);
  auto* help = Button("CancelButton", tr("&Help"), this);
  connect(ok, &QPushButton::clicked, this, [this] {
    help_ = false;
    accept();
  });
  connect(help, &QPushButton::clicked, this, [this] {
    help_ = true;
    accept();
  });
  LayOut(this, {label}, ok, help);
}

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
  setObjectName("frmHelp");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Velmora Help"));
  setModal(true);
  auto* heading = new QLabel(tr("Velmora : Recorder Not Responding") + "\r\n\r\n", this);
  heading->setObjectName("lblHlpMsg");
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  text_ = new QTextEdit(this);
  text_->setObjectName("txtHelp");
  text_->setReadOnly(true);
  text_->setFont(QFont("Times New Roman", 12, QFont::Normal));
  text_->setPlainText(QString::fromLatin1(kHelpText).replace("\r\n", "\n"));
  // Small enough for any screen, large enough to show the whole text.
  text_->setMinimumSize(kHelpTextWidth, HelpTextHeight(*text_, kHelpTextWidth));
  link_ = new QLabel(QString("<a href=\"#\">%1</a>").arg(tr("Required further assitance")), this);
  link_->setObjectName("lblLink");
  link_->setCursor(Qt::PointingHandCursor);
  // Tab reaches the link and Enter follows it, as a click does.
  link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  connect(link_, &QLabel::linkActivated, this, [this] {
    text_->append(
        tr("\nFor further assistance call your Velmora dealer, or the soil moisture "
           "adviser who installed the logger, with the logger's serial number at "
           "hand."));
    link_->hide();
  });
  auto* close = Button("cmdClose", tr("&Close"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(text_);
  layout->addWidget(link_);
  layout->addWidget(close, 0, Qt::AlignRight);
  SetButtonKeys(this, close);
  SetTabOrder({text_, link_, close});
}

bool QtLinkDialogs::NotResponding() {
  NotRespondingDialog dialog(parent_);
  dialog.exec();
  return dialog.HelpRequested();
}

void QtLinkDialogs::Help() {
  HelpWindow window(parent_);
  window.exec();
}

std::optional<int> QtLinkDialogs::ChoosePort() {
  PortListDialog dialog(prompter_, parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Chosen();
}

}  // namespace pelvaro
