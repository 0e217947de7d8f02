#pragma once

#include <string>

namespace pelvaro {

// Days counted from 1 January 1996 = day 1, as the logger counts them. Every
// year divisible by 4 is a leap year, which holds for the whole valid range
// 1..32767 (the last day falls in 2085).
int DaysBeforeYear(int year);
int DaysBeforeMonth(int month, int leap);
// Throws std::overflow_error when the day number leaves the 16-bit range.
int DateToDayNumber(int day, int month, int year);
std::string DayNumberToYear(int dayNumber);
std::string DayNumberToDayMonth(int dayNumber);  // "DD/MM"

}  // namespace pelvaro
