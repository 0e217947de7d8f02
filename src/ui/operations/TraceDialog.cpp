#include "ui/operations/TraceDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/storage/NumberText.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"
#include "ui/platform/ScreenFit.h"
#include "ui/platform/WindowHabits.h"

namespace pelvaro {

namespace {
constexpr int kMaxSensors = 5;
}  // namespace

TraceSensorsDialog::TraceSensorsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("DialogNumOfSensors");
  FitToScreenOnShow(this);
  setWindowTitle(tr("Probe Trace Mode"));
  setModal(true);
  auto* info = new QLabel(
      tr("Data logging will be terminated if the interfaced unit \nis recording data."), this);
  info->setObjectName("LabelInfo");
  auto* label = new QLabel(tr("Number of sensors"), this);
  label->setObjectName("lblNumOfSensors");
  comboSensors_ = new QComboBox(this);
  comboSensors_->setObjectName("ComboSensors");
  for (int i = 1; i <= kMaxSensors; ++i) comboSensors_->addItem(ToQt(Spaced(i)));
  comboSensors_->setCurrentIndex(kMaxSensors - 1);
  comboSensors_->installEventFilter(this);
  auto* ok = new QPushButton(tr("&OK"), this);
  ok->setObjectName("OKButton");
  auto* cancel = new QPushButton(tr("&Cancel"), this);
  cancel->setObjectName("CancelButton");
  connect(ok, &QPushButton::clicked, this, &TraceSensorsDialog::OnOk);
  connect(cancel, &QPushButton::clicked, this, [this] {
    count_ = 0;
    reject();
  });

  auto* row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(comboSensors_);
  row->addStretch();
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(info);
  layout->addLayout(row);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  // OK ends a logging run on the logger: a click, or Space or Enter on the
  // focused button, starts it; Enter in the list never does.
  SetButtonKeys(this);
  SetTabOrder({comboSensors_, ok, cancel});
}

bool TraceSensorsDialog::eventFilter(QObject* watched, QEvent* event) {
  // The list takes only what can choose a count: digits 1-5 (main keys and
  // keypad share the key codes) and the arrows. Tab still moves the focus and
  // Esc still cancels the dialog: neither is input to the list.
  if (watched == comboSensors_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key >= Qt::Key_1 && key < Qt::Key_1 + kMaxSensors) {
      comboSensors_->setCurrentIndex(key - Qt::Key_1);
      return true;
    }
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Tab || key == Qt::Key_Backtab ||
        key == Qt::Key_Escape) {
      return QDialog::eventFilter(watched, event);
    }
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void TraceSensorsDialog::OnOk() {
  // The list always holds a choice; without one the dialog stays open.
  const int index = comboSensors_->currentIndex();
  if (index < 0) return;
  count_ = index + 1;
  accept();
}

}  // namespace pelvaro
