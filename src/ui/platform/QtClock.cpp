#include "ui/platform/QtClock.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

namespace pelvaro {

namespace {
int inputTakers = 0;  // the user-interface thread is the only one
}  // namespace

InputDuringWaits::InputDuringWaits() { ++inputTakers; }
InputDuringWaits::~InputDuringWaits() { --inputTakers; }
bool InputDuringWaits::Active() { return inputTakers > 0; }

void QtClock::Wait(double seconds) {
  if (seconds <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000.0 + 0.5), Qt::PreciseTimer, &loop,
                     &QEventLoop::quit);
  loop.exec(InputDuringWaits::Active() ? QEventLoop::AllEvents
                                       : QEventLoop::ExcludeUserInputEvents);
}

DateTime QtClock::WallClock() {
  const QDateTime now = QDateTime::currentDateTime();
  const QDate d = now.date();
  const QTime t = now.time();
  return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

}  // namespace pelvaro
