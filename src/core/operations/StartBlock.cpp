#include "core/operations/StartBlock.h"

#include <stdexcept>

#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

namespace {

constexpr int kLastDayNumber = 32767;

std::uint8_t Bcd(int value) { return static_cast<std::uint8_t>((value / 10) * 16 + value % 10); }
std::uint8_t Low(int value) { return static_cast<std::uint8_t>(value & 0xff); }
std::uint8_t High(int value) { return static_cast<std::uint8_t>((value >> 8) & 0xff); }

}  // namespace

StartBlockResult BuildStartBlock(const StartSettings& s, const DateTime& now) {
  StartBlockResult result;
  try {
    const int today = DateToDayNumber(now.day, now.month, now.year);
    const int nowSeconds = now.hour * 3600 + now.minute * 60 + now.second;
    const bool timed = s.mode == StartMode::Timed;
    int day = today;
    int units = nowSeconds / 2;  // an immediate start rounds down
    if (timed) {
      const long startDay = static_cast<long>(DaysBeforeYear(s.start.year)) +
                            DaysBeforeMonth(s.start.month, s.start.year % 4 == 0 ? 1 : 0) +
                            s.start.day;
      if (startDay > kLastDayNumber) {
        result.error = "Timed start error. START day is later than the logger can count.";
        return result;
      }
      day = static_cast<int>(startDay);
      const int startSeconds = s.start.hour * 3600 + s.start.minute * 60 + s.start.second;
      units = static_cast<int>(RoundHalfEven(startSeconds / 2.0));
      const int nowUnits = static_cast<int>(RoundHalfEven(nowSeconds / 2.0));
      if (today > day) {
        result.error = "Timed start error. START day earlier than current day!";
        return result;
      }
      // The start must lie at least 60 s ahead.
      if (today == day && nowUnits + 30 > units) {
        result.error = "Timed start error. Start time has past, or is to close to current time!";
        return result;
      }
    }
    if (s.siteNumber < 0 || s.siteNumber > 255) throw std::overflow_error("Overflow");
    const int interval = s.scan.Seconds();
    const int lastSecond = interval - 1;
    StartBlockBytes b{};
    const auto set = [&b](int byte, std::uint8_t value) {
      b[static_cast<std::size_t>(byte - 1)] = value;
    };
    set(1, Low(day));
    set(2, High(day));
    set(3, Low(units));
    set(4, High(units));
    set(5, Low(interval));
    set(6, High(interval));
    set(8, static_cast<std::uint8_t>(s.siteNumber));
    set(11, 1);
    set(12, static_cast<std::uint8_t>(s.sensorsOn));
    set(13, timed ? 2 : 1);
    set(14, 0xA0);
    set(16, 0x80);
    set(18, Bcd(now.second));
    set(19, Bcd(now.minute));
    set(20, Bcd(now.hour));
    set(21, Bcd(now.day));
    set(22, Bcd(now.month));
    set(24, timed ? 0xB0 : 0);
    const DateTime& at = timed ? s.start : now;
    set(26, Bcd(at.second));
    set(27, Bcd(at.minute));
    set(28, Bcd(at.hour));
    set(29, Bcd(at.day));
    // The year is never sent: a start in a later year is flagged instead.
    set(30, timed && s.start.year > now.year ? 0x40 : Bcd(at.month));
    set(32, 0xA0);
    set(33, 0x08);
    set(34, 0x90);
    set(36, Bcd(lastSecond % 60));
    set(37, Bcd(lastSecond / 60 % 60));
    set(38, Bcd(lastSecond / 3600));
    result.block = b;
  } catch (const std::exception& e) {
    result.error =
        std::string("An error occurred while formatting the start data.The error is \r\n") +
        e.what();
  }
  return result;
}

TimeOfDay CorrectScanTime(TimeOfDay scan) {
  if (scan.hour == 12 && (scan.minute != 0 || scan.second != 0)) return {12, 0, 0};
  if (scan.hour > 12) scan = {0, 0, 0};
  if (scan.hour == 0 && scan.minute == 0 && scan.second < 30) scan.second = 30;
  return scan;
}

DateTime TimedStartDefault(const DateTime& now) {
  DateTime t = FromEpochSeconds(ToEpochSeconds(now) + 120);
  t.second = 0;
  return t;
}

}  // namespace pelvaro
