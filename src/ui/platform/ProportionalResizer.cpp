#include "ui/platform/ProportionalResizer.h"

#include <QEvent>

namespace pelvaro {

ProportionalResizer::ProportionalResizer(QWidget* window, QSize designSize)
    : QObject(window), window_(window), design_(designSize) {
  window_->installEventFilter(this);
}

void ProportionalResizer::Add(QWidget* child) {
  const QRect g = child->geometry();
  const double w = design_.width();
  const double h = design_.height();
  entries_.push_back({child, QRectF(g.x() / w, g.y() / h, g.width() / w, g.height() / h)});
}

bool ProportionalResizer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::Resize) Apply();
  return QObject::eventFilter(watched, event);
}

void ProportionalResizer::Apply() {
  const double w = window_->width();
  const double h = window_->height();
  for (const Entry& e : entries_) {
    e.widget->setGeometry(qRound(e.fraction.x() * w), qRound(e.fraction.y() * h),
                          qRound(e.fraction.width() * w), qRound(e.fraction.height() * h));
  }
}

}  // namespace pelvaro
