#pragma once

#include <cstdint>

namespace pelvaro {

// A calendar date and a time of day as the computer's clock shows them.
struct DateTime {
  int year = 1996;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const DateTime&) const = default;
};

// Seconds since 1 January 1970 for a civil date and time, and back.
std::int64_t ToEpochSeconds(const DateTime& t);
DateTime FromEpochSeconds(std::int64_t seconds);

// Monotonic seconds for the protocol waits, and the wall clock for the dates
// written into files. Waits never run backwards across midnight.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual double Now() = 0;
  virtual void Wait(double seconds) = 0;
  virtual DateTime WallClock() = 0;
};

// Time that moves only when someone waits: a twelve-second exchange runs in
// microseconds and every test sees the same instants.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(DateTime wall = {2026, 1, 1, 12, 0, 0});
  double Now() override { return now_; }
  void Wait(double seconds) override { Advance(seconds); }
  DateTime WallClock() override;
  void Advance(double seconds);
  void SetWallClock(const DateTime& wall);

 private:
  double now_ = 0.0;
  double wallOffset_ = 0.0;  // wall-clock epoch seconds at now_ == 0
};

}  // namespace pelvaro
