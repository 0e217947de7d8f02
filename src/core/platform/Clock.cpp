#include "core/platform/Clock.h"

#include <chrono>
#include <cmath>

namespace pelvaro {

std::int64_t ToEpochSeconds(const DateTime& t) {
  using namespace std::chrono;
  const sys_days days{year{t.year} / month{static_cast<unsigned>(t.month)} /
                      day{static_cast<unsigned>(t.day)}};
  return days.time_since_epoch().count() * 86400LL + t.hour * 3600LL + t.minute * 60LL + t.second;
}

DateTime FromEpochSeconds(std::int64_t seconds) {
  using namespace std::chrono;
  std::int64_t dayCount = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --dayCount;
  }
  const year_month_day ymd{sys_days{days{dayCount}}};
  DateTime t;
  t.year = static_cast<int>(ymd.year());
  t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest % 3600 / 60);
  t.second = static_cast<int>(rest % 60);
  return t;
}

VirtualClock::VirtualClock(DateTime wall) { SetWallClock(wall); }

void VirtualClock::Advance(double seconds) {
  if (seconds > 0) now_ += seconds;
}

DateTime VirtualClock::WallClock() {
  return FromEpochSeconds(static_cast<std::int64_t>(std::floor(wallOffset_ + now_)));
}

void VirtualClock::SetWallClock(const DateTime& wall) {
  wallOffset_ = static_cast<double>(ToEpochSeconds(wall)) - now_;
}

}  // namespace pelvaro
