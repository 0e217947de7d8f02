#include "core/storage/DayNumbers.h"

#include <stdexcept>

#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kBaseYear = 1996;
constexpr int kCumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

int MonthLength(int month, bool leap) {
  switch (month) {
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    case 2:
      return leap ? 29 : 28;
    default:
      return 31;
  }
}

struct YearAndDay {
  int year;
  int dayOfYear;
};

YearAndDay SplitDayNumber(int n) {
  int year = kBaseYear + n / 365;
  int d = n - DaysBeforeYear(year);
  if (d < 1) {
    --year;
    d = n - DaysBeforeYear(year);
  }
  return {year, d};
}

}  // namespace

int DaysBeforeYear(int year) {
  // Leap years from 1996 to year - 1 inclusive.
  const int leapYears = year > kBaseYear ? (year - 1 - kBaseYear) / 4 + 1 : 0;
  return (year - kBaseYear) * 365 + leapYears;
}

int DaysBeforeMonth(int month, int leap) {
  if (month < 1 || month > 12) return 0;
  return kCumulative[month - 1] + (month >= 3 ? leap : 0);
}

int DateToDayNumber(int day, int month, int year) {
  const int leap = year % 4 == 0 ? 1 : 0;
  const long n = static_cast<long>(DaysBeforeYear(year)) + DaysBeforeMonth(month, leap) + day;
  if (n < -32768 || n > 32767) throw std::overflow_error("Overflow");
  return static_cast<int>(n);
}

std::string DayNumberToYear(int dayNumber) { return TwoDigitText(SplitDayNumber(dayNumber).year); }

std::string DayNumberToDayMonth(int dayNumber) {
  const YearAndDay yd = SplitDayNumber(dayNumber);
  const bool leap = yd.year % 4 == 0;
  int total = 0;
  for (int month = 1; month <= 12; ++month) {
    const int next = total + MonthLength(month, leap);
    if (total < yd.dayOfYear && yd.dayOfYear <= next) {
      return TwoDigitText(yd.dayOfYear - total) + "/" + TwoDigitText(month);
    }
    total = next;
  }
  // Only reached far outside the valid range; the walk's last month holds the rest.
  return TwoDigitText(yd.dayOfYear - (total - 31)) + "/12";
}

}  // namespace pelvaro
