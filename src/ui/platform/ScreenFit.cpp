#include "ui/platform/ScreenFit.h"

#include <QDialog>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>

namespace pelvaro {

namespace {

// Room for a title bar and borders while no window shows its real ones yet:
// about what a desktop draws around a window.
const QMargins kUnknownFrame(8, 32, 8, 8);
// A squeezed content area still shows this many lines.
constexpr int kLinesKept = 3;

QMargins FrameEstimate() {
  for (const QWindow* shown : QGuiApplication::topLevelWindows()) {
    if (shown->isVisible() && !shown->frameMargins().isNull()) return shown->frameMargins();
  }
  return kUnknownFrame;
}

QSize AtLeastZero(QSize size) { return size.expandedTo(QSize(0, 0)); }

// Lays the window out again from its current size hints, not cached ones.
void Relayout(QWidget* window) {
  if (window->layout() == nullptr) return;
  window->layout()->invalidate();
  window->layout()->activate();
}

// The widget a squeezable object sizes: itself, or the one it looks after.
QWidget* SizedWidget(QObject* object) {
  return object->isWidgetType() ? static_cast<QWidget*>(object)
                                : qobject_cast<QWidget*>(object->parent());
}

// The squeezable parts give up what the window's smallest size has too much;
// a scroll bar that appears then takes room across, hence a few rounds.
void SqueezeContent(QWidget* window, QSize room) {
  QList<std::pair<QWidget*, Squeezable*>> givers;
  for (QObject* object : window->findChildren<QObject*>()) {
    auto* giver = dynamic_cast<Squeezable*>(object);
    if (giver != nullptr && SizedWidget(object) != nullptr) {
      givers.append({SizedWidget(object), giver});
    }
  }
  for (int round = 0; round < 3 && !givers.isEmpty(); ++round) {
    Relayout(window);
    QSize over = AtLeastZero(window->minimumSizeHint() - room);
    if (over.isNull()) return;
    for (const auto& [widget, giver] : givers) {
      over -= giver->Squeeze(over);
      // Each widget around it caches its own smallest size.
      for (QWidget* w = widget->parentWidget(); w != window; w = w->parentWidget()) {
        w->updateGeometry();
      }
    }
  }
}

// A dialog that nothing has placed yet opens centred over its parent, as Qt
// would place it, on the parent's screen.
const QWidget* CentredOver(const QWidget* window) {
  if (qobject_cast<const QDialog*>(window) == nullptr || window->testAttribute(Qt::WA_Moved)) {
    return nullptr;
  }
  return window->parentWidget() != nullptr ? window->parentWidget()->window() : nullptr;
}

QScreen* ScreenOf(const QWidget* window) {
  if (const QWidget* parent = CentredOver(window)) return parent->screen();
  if (window->testAttribute(Qt::WA_Moved)) {
    if (QScreen* at = QGuiApplication::screenAt(window->geometry().center())) return at;
  }
  return window->screen();
}

QRect KeptOn(QRect outer, const QRect& free) {
  outer.moveLeft(std::clamp(outer.left(), free.left(), free.right() + 1 - outer.width()));
  outer.moveTop(std::clamp(outer.top(), free.top(), free.bottom() + 1 - outer.height()));
  return outer;
}

// The room a screen has for a window, its frame left out.
QSize RoomOn(const QScreen& screen) {
  return screen.availableGeometry().size().shrunkBy(FrameEstimate());
}

bool LargerThanItsScreen(const QWidget* window) {
  const QScreen* screen = window->screen();
  if (screen == nullptr) return false;
  const QSize room = RoomOn(*screen);
  return window->width() > room.width() || window->height() > room.height();
}

void Fit(QWidget* window) {
  // A maximised window already has the screen's size, frame and all.
  if (window->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) return;
  const QScreen* screen = ScreenOf(window);
  if (screen == nullptr) return;
  const QRect free = screen->availableGeometry();
  const QMargins frame = FrameEstimate();
  const QSize room = RoomOn(*screen);
  SqueezeContent(window, room);
  Relayout(window);
  const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
  const QWidget* parent = CentredOver(window);
  if (parent == nullptr && !window->testAttribute(Qt::WA_Moved)) {
    // The window manager places a new window, on the screen and below its
    // title bar: only the size is the program's.
    if (size != window->size()) window->resize(size);
    return;
  }
  // A dialog over its parent, or a window where the program put it; then on
  // the screen whole (Qt's own centring counts no frame below and beside it).
  QRect outer = QRect(window->geometry().topLeft(), size).marginsAdded(frame);
  if (parent != nullptr) outer.moveCenter(parent->frameGeometry().center());
  const QRect inner = KeptOn(outer, free).marginsRemoved(frame);
  if (inner != window->geometry()) window->setGeometry(inner);
}

class ScreenFitter : public QObject {
 public:
  explicit ScreenFitter(QWidget* window) : QObject(window), window_(window) {
    window->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // Sent before the window is mapped and before a dialog centres itself.
    if (watched == window_ && event->type() == QEvent::Show && !event->spontaneous()) {
      Fit(window_);
    }
    // Content that grew while the window was shown (a block opened in the
    // editor) can make it larger than the screen: it is fitted again once
    // its layout has settled.
    if (watched == window_ && event->type() == QEvent::Resize && !refitDue_ &&
        window_->isVisible() && LargerThanItsScreen(window_)) {
      refitDue_ = true;
      QMetaObject::invokeMethod(
          this,
          [this] {
            refitDue_ = false;
            Fit(window_);
          },
          Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QWidget* window_;
  bool refitDue_ = false;
};

}  // namespace

void FitToScreenOnShow(QWidget* window) { new ScreenFitter(window); }

ScrollingContent::ScrollingContent(QWidget* content, QWidget* parent) : QScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setWidget(content);
  content->installEventFilter(this);
}

QSize ScrollingContent::Least() const {
  return widget()->minimumSizeHint().expandedTo(widget()->minimumSize());
}

QSize ScrollingContent::sizeHint() const {
  return widget()->sizeHint().expandedTo(Least()).grownBy(contentsMargins());
}

QSize ScrollingContent::minimumSizeHint() const {
  QSize least = Least() - squeezed_;
  // Scrolling one way takes a scroll bar's room the other way.
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  if (squeezed_.height() > 0) least.rwidth() += bar;
  if (squeezed_.width() > 0) least.rheight() += bar;
  return least.grownBy(contentsMargins());
}

QSize ScrollingContent::Squeeze(QSize wanted) {
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
  const QSize kept = QSize(4 * bar, kLinesKept * fontMetrics().lineSpacing()).boundedTo(Least());
  const QSize taken = AtLeastZero(wanted.boundedTo(AtLeastZero(Least() - squeezed_ - kept)));
  squeezed_ += taken;
  updateGeometry();
  return taken;
}

bool ScrollingContent::eventFilter(QObject* watched, QEvent* event) {
  // The content's sizes changed: so do the ones this area asks for.
  if (watched == widget() && event->type() == QEvent::LayoutRequest) updateGeometry();
  return QScrollArea::eventFilter(watched, event);
}

}  // namespace pelvaro
