#include "ui/platform/BusyWindow.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QShortcutEvent>
#include <QWindow>

namespace pelvaro {

namespace {

bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// The window itself, its native window, or anything inside it (a shortcut
// included), but not another window it owns.
bool BelongsTo(QObject* object, QWidget* window) {
  if (auto* native = qobject_cast<QWindow*>(object)) return native == window->windowHandle();
  for (; object != nullptr; object = object->parent()) {
    if (object == window) return true;
    if (auto* widget = qobject_cast<QWidget*>(object); widget != nullptr && widget->isWindow()) {
      return false;
    }
  }
  return false;
}

bool IsEscape(QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
      return static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    case QEvent::Shortcut:
      return static_cast<QShortcutEvent*>(event)->key() == QKeySequence(Qt::Key_Escape);
    default:
      return false;
  }
}

}  // namespace

BusyWindow::BusyWindow(QWidget* window, QWidget* stop) : window_(window), stop_(stop) {
  qApp->installEventFilter(this);
}

BusyWindow::~BusyWindow() { qApp->removeEventFilter(this); }

bool BusyWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!IsUserInput(event->type()) || !BelongsTo(watched, window_)) {
    return QObject::eventFilter(watched, event);
  }
  // With a stop at hand, the native window passes its input on, so that the
  // widget aimed at is what decides: the stop button, or Esc, and nothing else.
  const bool stopUsable = stop_ != nullptr && stop_->isVisible() && stop_->isEnabled();
  const bool passes = stopUsable && (qobject_cast<QWindow*>(watched) != nullptr ||
                                     BelongsTo(watched, stop_) || IsEscape(event));
  if (!passes) return true;
  return QObject::eventFilter(watched, event);
}

}  // namespace pelvaro
