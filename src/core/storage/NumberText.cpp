#include "core/storage/NumberText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pelvaro {

namespace {

// The significant digits (no trailing zeros) and the decimal exponent of the
// first digit, after rounding to the given number of significant digits.
struct Decimal {
  bool negative = false;
  char digits[24] = {};
  int length = 0;  // 0 for zero
  int exponent = 0;
  char At(int i) const { return i >= 0 && i < length ? digits[i] : '0'; }
};

Decimal ToDecimal(double value, int significantDigits) {
  Decimal d;
  if (value == 0 || !std::isfinite(value)) return d;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, value,
                                    std::chars_format::scientific, significantDigits - 1);
  *result.ptr = '\0';
  const char* p = buffer;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p != 'e' && *p != '\0'; ++p) {
    if (*p != '.' && d.length < static_cast<int>(sizeof d.digits)) d.digits[d.length++] = *p;
  }
  if (*p == 'e') {
    ++p;
    const bool negativeExponent = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    for (; *p >= '0' && *p <= '9'; ++p) d.exponent = d.exponent * 10 + (*p - '0');
    if (negativeExponent) d.exponent = -d.exponent;
  }
  // A value that is not zero has a first digit that is not 0.
  while (d.digits[d.length - 1] == '0') --d.length;
  return d;
}

}  // namespace

void AppendNumber(std::string& text, double value, int significantDigits, bool spaced) {
  const Decimal d = ToDecimal(value, significantDigits);
  if (d.negative) {
    text.push_back('-');
  } else if (spaced) {
    text.push_back(' ');
  }
  if (d.length == 0) {
    text.push_back('0');
  } else if (d.exponent >= d.length - 1) {
    text.append(d.digits, static_cast<std::size_t>(d.length));
    text.append(static_cast<std::size_t>(d.exponent - (d.length - 1)), '0');
  } else if (d.exponent >= 0) {
    text.append(d.digits, static_cast<std::size_t>(d.exponent) + 1);
    text.push_back('.');
    text.append(d.digits + d.exponent + 1, static_cast<std::size_t>(d.length - d.exponent - 1));
  } else {
    if (!spaced) text.push_back('0');
    text.push_back('.');
    text.append(static_cast<std::size_t>(-d.exponent - 1), '0');
    text.append(d.digits, static_cast<std::size_t>(d.length));
  }
}

std::string FormatNumber(double value, int significantDigits, bool spaced) {
  std::string text;
  AppendNumber(text, value, significantDigits, spaced);
  return text;
}

double ParseLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const std::size_t start = i;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  const std::size_t digitsStart = i;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
  bool anyDigit = i > digitsStart;
  if (i < text.size() && text[i] == '.') {
    const std::size_t fraction = ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    anyDigit = anyDigit || i > fraction;
  }
  if (!anyDigit) return 0.0;
  std::string number(text.substr(start, i - start));
  if (number[0] == '+') number.erase(0, 1);
  if (number.back() == '.') number.pop_back();
  double value = 0.0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec != std::errc()) return 0.0;
  return value == 0.0 ? 0.0 : value;
}

double RoundHalfEven(double value) {
  const double lower = std::floor(value);
  const double diff = value - lower;
  if (diff < 0.5) return lower;
  if (diff > 0.5) return lower + 1.0;
  return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

std::optional<std::int16_t> ToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = RoundHalfEven(value);
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

std::size_t QuickTwoDecimals(double value, char* out) {
  // Away from a half hundredth the 15-digit form rounds like the value
  // itself, so no decimal expansion is needed; NaN fails the first test.
  const double magnitude = std::abs(value);
  if (!(magnitude < 1e9)) return 0;
  const double scaled = magnitude * 100;
  const double whole = std::floor(scaled);
  const double fraction = scaled - whole;
  if (!(std::abs(fraction - 0.5) > 1e-6)) return 0;
  const auto hundredths = static_cast<std::uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
  std::size_t m = 0;
  if (value < 0 && hundredths != 0) out[m++] = '-';
  // At least two integer digits. The whole part is at most 1e9, so the loop
  // over it divides in 32 bits, which is cheaper.
  char digits[16];
  digits[0] = static_cast<char>('0' + hundredths % 10);
  digits[1] = static_cast<char>('0' + hundredths / 10 % 10);
  int n = 2;
  for (auto rest = static_cast<std::uint32_t>(hundredths / 100); rest > 0 || n < 4; rest /= 10)
    digits[n++] = static_cast<char>('0' + rest % 10);
  for (int i = n - 1; i >= 2; --i) out[m++] = digits[i];
  out[m++] = '.';
  out[m++] = digits[1];
  out[m++] = digits[0];
  return m;
}

void AppendTwoDecimals(std::string& text, double value) {
  if (!std::isfinite(value)) {
    text += "00.00";
    return;
  }
  char quick[kQuickTwoDecimalsRoom];
  if (const std::size_t n = QuickTwoDecimals(value, quick)) {
    text.append(quick, n);
    return;
  }
  // Round on the 15-digit decimal form so that a value printed as 7.125
  // becomes 7.13 whatever its binary neighbour is.
  const Decimal d = ToDecimal(value, kDoubleDigits);
  const int pointAt = d.exponent + 1;  // digits before the point; the value is not zero here
  if (pointAt > 30) {
    char wide[400];
    std::snprintf(wide, sizeof wide, "%.2f", value);
    text += wide;
    return;
  }
  const auto digitAt = [&](int i) { return d.At(i); };
  // Two leading zeros give the carry room and the two integer digits.
  char number[40] = {'0', '0'};
  int n = 2;
  for (int i = 0; i < pointAt; ++i) number[n++] = digitAt(i);
  number[n++] = digitAt(pointAt);
  number[n++] = digitAt(pointAt + 1);
  if (digitAt(pointAt + 2) >= '5') {
    int k = n - 1;
    while (k >= 0 && number[k] == '9') number[k--] = '0';
    ++number[k];
  }
  int first = 0;
  while (n - first > 4 && number[first] == '0') ++first;
  bool isZero = true;
  for (int i = first; i < n; ++i) isZero = isZero && number[i] == '0';
  if (d.negative && !isZero) text.push_back('-');
  text.append(number + first, number + n - 2);
  text.push_back('.');
  text.append(number + n - 2, number + n);
}

std::string FormatTwoDecimals(double value) {
  std::string text;
  AppendTwoDecimals(text, value);
  return text;
}

void AppendTwoDecimalsAligned(std::string& text, double value, std::size_t width) {
  char quick[kQuickTwoDecimalsRoom];
  const std::size_t n = QuickTwoDecimals(value, quick);
  if (n != 0) {
    if (n < width) text.append(width - n, ' ');
    text.append(quick, n);
    return;
  }
  const std::string slow = FormatTwoDecimals(value);
  if (slow.size() < width) text.append(width - slow.size(), ' ');
  text += slow;
}

}  // namespace pelvaro
