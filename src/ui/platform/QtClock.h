#pragma once

#include <QElapsedTimer>

#include "core/platform/Clock.h"

namespace pelvaro {

// The computer's clocks. A wait keeps the windows painting and the serial
// port receiving, but takes no user input: it stays queued until the
// operation ends.
class QtClock : public Clock {
 public:
  QtClock() { timer_.start(); }
  double Now() override { return static_cast<double>(timer_.nsecsElapsed()) / 1e9; }
  void Wait(double seconds) override;
  DateTime WallClock() override;

 private:
  QElapsedTimer timer_;
};

// While one of these lives, waits deliver user input after all, because
// something has taken charge of what it may do (a BusyWindow drops what is
// aimed at its window and lets that window answer its close at once).
class InputDuringWaits {
 public:
  InputDuringWaits();
  ~InputDuringWaits();
  InputDuringWaits(const InputDuringWaits&) = delete;
  InputDuringWaits& operator=(const InputDuringWaits&) = delete;
  static bool Active();
};

}  // namespace pelvaro
