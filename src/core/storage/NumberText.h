#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pelvaro {

// Numbers are stored as text. The spaced notation has one leading space when
// the number is not negative and no "0" before the point of a fraction
// (" 25", " 12.5", " .5", "-3", "-.5"); the plain notation has neither
// ("600", "0.5", "-0.5"). Both give the shortest decimal form with at most
// the given number of significant digits and never an exponent.
inline constexpr int kSingleDigits = 7;
inline constexpr int kDoubleDigits = 15;

std::string FormatNumber(double value, int significantDigits, bool spaced);
// The same text added to the end of `text`, for a writer that reuses one buffer.
void AppendNumber(std::string& text, double value, int significantDigits, bool spaced);

inline std::string Spaced(double value) { return FormatNumber(value, kDoubleDigits, true); }
inline std::string SpacedSingle(float value) { return FormatNumber(value, kSingleDigits, true); }
inline std::string Plain(double value) { return FormatNumber(value, kDoubleDigits, false); }
inline std::string PlainSingle(float value) { return FormatNumber(value, kSingleDigits, false); }

// The lenient reader of every stored number: leading blanks are skipped, the
// longest leading decimal number is taken, and text that starts with no
// number (a blank record included) reads as 0.
double ParseLeadingNumber(std::string_view text);

// Halves go to the even neighbour, as every reader that needs a whole number
// rounds.
double RoundHalfEven(double value);
// As std::llround (half away from zero), inline: for rounding done once per
// reading of a season, where the library call shows.
inline std::int64_t RoundHalfAway(double value) {
  const double magnitude = std::abs(value);
  // Beyond 2^52 every double is whole; NaN and the infinities too are llround's.
  if (!(magnitude < 4503599627370496.0)) return std::llround(value);
  auto whole = static_cast<std::int64_t>(magnitude);
  // Exact: the whole part is zero or at least half the magnitude. Added,
  // not branched on: a value of two decimals times 100 lies a hair either
  // side of a whole number, at random.
  whole += static_cast<std::int64_t>(magnitude - static_cast<double>(whole) >= 0.5);
  const auto negative = static_cast<std::int64_t>(value < 0);
  return (whole ^ -negative) + negative;
}
// A 16-bit integer, or nothing when the value does not fit.
std::optional<std::int16_t> ToInt16(double value);

// Fixed two decimals with at least two integer digits ("07.50", "-03.20",
// "123.46"); halves round away from zero on the 15-digit decimal form.
std::string FormatTwoDecimals(double value);
void AppendTwoDecimals(std::string& text, double value);
// The text of most values written into `out`, without a string: its length,
// or 0 for a value that needs FormatTwoDecimals (one near a half hundredth,
// beyond 1e9 or not finite). `out` has room for kQuickTwoDecimalsRoom.
inline constexpr std::size_t kQuickTwoDecimalsRoom = 24;
std::size_t QuickTwoDecimals(double value, char* out);
// The same text right-aligned in `width` characters; a longer one is kept whole.
void AppendTwoDecimalsAligned(std::string& text, double value, std::size_t width);

}  // namespace pelvaro
