#include "ui/platform/KeyboardHabits.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPushButton>
#include <QShortcutEvent>
#include <QTableWidget>
#include <utility>

#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

// Ctrl+Tab and Ctrl+Shift+Tab, which Qt leaves to the control that has the focus.
bool IsCtrlTab(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<const QKeyEvent*>(event);
  return (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
         (key->modifiers() & Qt::ControlModifier);
}

// One per window, on its push buttons and on the controls Tab visits.
class KeyHabits : public QObject {
 public:
  using QObject::QObject;

  static KeyHabits* Of(QWidget* window) {
    for (QObject* child : window->children()) {
      if (auto* habits = dynamic_cast<KeyHabits*>(child)) return habits;
    }
    return new KeyHabits(window);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (IsCtrlTab(event)) {
      // Tab, as Ctrl+Tab would leave a grid or a text: on to the next control.
      const auto* key = static_cast<QKeyEvent*>(event);
      QKeyEvent plain(QEvent::KeyPress, key->key(), key->modifiers() & ~Qt::ControlModifier,
                      key->text());
      QCoreApplication::sendEvent(watched, &plain);
      return true;
    }
    if (auto* button = qobject_cast<QPushButton*>(watched)) return ButtonEvent(button, event);
    return false;
  }

 private:
  static bool ButtonEvent(QPushButton* button, QEvent* event) {
    if (event->type() == QEvent::Shortcut) {
      // Pressed at once rather than after the short flash Qt gives a
      // mnemonic: what a key does has happened when the key is down.
      button->setFocus(Qt::ShortcutFocusReason);
      if (!static_cast<QShortcutEvent*>(event)->isAmbiguous()) button->click();
      return true;
    }
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    // A held key presses once.
    if (!key->isAutoRepeat()) button->click();
    return true;
  }
};

// Space on a view's current item, before the view's own handling of it.
class SpaceOnItem : public QObject {
 public:
  SpaceOnItem(QAbstractItemView* view, std::function<bool(const QModelIndex&)> act)
      : QObject(view), view_(view), act_(std::move(act)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != view_ || event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Space || key->modifiers() != Qt::NoModifier) return false;
    const QModelIndex item = view_->currentIndex();
    if (!item.isValid() || key->isAutoRepeat()) return false;
    return act_(item);
  }

 private:
  QAbstractItemView* view_;
  std::function<bool(const QModelIndex&)> act_;
};

}  // namespace

void ActOnSpace(QAbstractItemView* view, std::function<bool(const QModelIndex& item)> act) {
  view->installEventFilter(new SpaceOnItem(view, std::move(act)));
}

void SetButtonKeys(QWidget* window, QPushButton* harmlessDefault) {
  KeyHabits* habits = KeyHabits::Of(window);
  for (QPushButton* button : window->findChildren<QPushButton*>()) {
    button->setAutoDefault(false);
    button->setDefault(false);
    button->installEventFilter(habits);
  }
  if (harmlessDefault != nullptr) harmlessDefault->setDefault(true);
}

void SetTabOrder(const QList<QWidget*>& controls) {
  if (controls.isEmpty()) return;
  QWidget* previous = nullptr;
  for (QWidget* control : controls) {
    if (auto* grid = qobject_cast<QAbstractItemView*>(control)) grid->setTabKeyNavigation(false);
    control->installEventFilter(KeyHabits::Of(control->window()));
    if (previous != nullptr) QWidget::setTabOrder(previous, control);
    previous = control;
  }
  for (QWidget* control : controls) {
    if ((control->focusPolicy() & Qt::TabFocus) == 0) continue;
    control->setFocus();
    break;
  }
}

void KeepCurrentOffColumn(QTableWidget* grid, int labelColumn) {
  QObject::connect(
      grid, &QTableWidget::currentCellChanged, grid, [grid, labelColumn](int row, int column) {
        if (row >= 0 && column == labelColumn && labelColumn + 1 < grid->columnCount()) {
          grid->setCurrentCell(row, labelColumn + 1);
        }
      });
}

bool IsPaste(const QKeyEvent* event) { return event->matches(QKeySequence::Paste); }

std::string ClipboardText() {
  const QString text = QGuiApplication::clipboard()->text();
  if (auto bytes = FromQt(text)) return *bytes;
  std::string bytes;
  for (const QChar c : text) bytes += FromQt(QString(c)).value_or("?");
  return bytes;
}

}  // namespace pelvaro
