#pragma once

#include <QElapsedTimer>

#include "core/platform/Clock.h"

namespace pelvaro {

// The computer's clocks. A wait keeps the windows painting and the serial
// port receiving, but takes no user input.
class QtClock : public Clock {
 public:
  QtClock() { timer_.start(); }
  double Now() override { return static_cast<double>(timer_.nsecsElapsed()) / 1e9; }
  void Wait(double seconds) override;
  DateTime WallClock() override;

 private:
  QElapsedTimer timer_;
};

}  // namespace pelvaro
