#pragma once

#include <QObject>
#include <QWidget>

#include "ui/platform/QtClock.h"

namespace pelvaro {

// A window while an operation of its own talks to the logger: the operation's
// waits deliver events again, but every click and key aimed at the window is
// dropped (not kept for later, where it would act on whatever the operation
// left behind). Its close request does reach it, so that closeEvent can answer
// at once; other windows, such as a notice opened meanwhile, work as usual.
class BusyWindow : public QObject {
 public:
  // `stop`, when given, stays usable by mouse and by Esc (the window's own Esc
  // shortcut decides what Esc does): the one way to end the operation early.
  explicit BusyWindow(QWidget* window, QWidget* stop = nullptr);
  ~BusyWindow() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* window_;
  QWidget* stop_;
  InputDuringWaits input_;
};

}  // namespace pelvaro
