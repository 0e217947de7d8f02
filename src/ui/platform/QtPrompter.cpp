#include "ui/platform/QtPrompter.h"

#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>

#include "core/shell/Startup.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

QString TitleOf(const std::string& title) {
  return title.empty() ? QString::fromLatin1(kAppName) : ToQt(title);
}

QMessageBox::StandardButtons ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoDefaultNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::RetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
    case Buttons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::Critical:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

namespace {

// A box sized to its text alone cuts a longer title ("RE-START … A LOGGER?"):
// a spacer as wide as the title, and the title bar's buttons, keeps it whole.
void WidenForTitle(QMessageBox& box) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (grid == nullptr) return;
  constexpr int kTitleBarButtons = 160;
  const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) + kTitleBarButtons;
  grid->addItem(new QSpacerItem(wanted, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

Answer QtPrompter::Message(const std::string& text, const std::string& title, Buttons buttons,
                           Icon icon) {
  QMessageBox box(IconOf(icon), TitleOf(title), ToQt(text), ButtonsOf(buttons), parent_);
  if (buttons == Buttons::YesNoDefaultNo) box.setDefaultButton(QMessageBox::No);
  WidenForTitle(box);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Retry:
      return Answer::Retry;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    default:
      // Closing a question box with the window's close button answers like
      // its last button.
      if (buttons == Buttons::YesNo || buttons == Buttons::YesNoDefaultNo) return Answer::No;
      if (buttons == Buttons::Ok) return Answer::Ok;
      return Answer::Cancel;
  }
}

std::optional<std::string> QtPrompter::Input(const std::string& prompt, const std::string& title,
                                             const std::string& initial) {
  bool ok = false;
  const QString entry = QInputDialog::getText(parent_, TitleOf(title), ToQt(prompt),
                                              QLineEdit::Normal, ToQt(initial), &ok);
  if (!ok) return std::nullopt;
  // A character the code page cannot hold is dropped rather than stored wrongly.
  std::optional<std::string> bytes = FromQt(entry);
  if (!bytes) {
    QString kept;
    for (QChar c : entry) {
      if (FromQt(QString(c))) kept += c;
    }
    bytes = FromQt(kept);
  }
  return bytes;
}

}  // namespace pelvaro
