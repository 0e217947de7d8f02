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
  std::string digits;  // empty for zero
  int exponent = 0;
};

Decimal ToDecimal(double value, int significantDigits) {
  Decimal d;
  if (value == 0 || !std::isfinite(value)) return d;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*e", significantDigits - 1, value);
  const char* p = buffer;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  for (; *p != 'e'; ++p) {
    if (*p != '.') d.digits.push_back(*p);
  }
  d.exponent = std::atoi(p + 1);
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.negative = false;
  return d;
}

}  // namespace

std::string FormatNumber(double value, int significantDigits, bool spaced) {
  const Decimal d = ToDecimal(value, significantDigits);
  std::string body;
  if (d.digits.empty()) {
    body = "0";
  } else if (d.exponent >= static_cast<int>(d.digits.size()) - 1) {
    body = d.digits + std::string(d.exponent - (d.digits.size() - 1), '0');
  } else if (d.exponent >= 0) {
    body = d.digits.substr(0, d.exponent + 1) + "." + d.digits.substr(d.exponent + 1);
  } else {
    body = std::string(spaced ? "" : "0") + "." + std::string(-d.exponent - 1, '0') + d.digits;
  }
  if (d.negative) return "-" + body;
  return spaced ? " " + body : body;
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

std::string FormatTwoDecimals(double value) {
  if (!std::isfinite(value)) return "00.00";
  // Round on the 15-digit decimal form so that a value printed as 7.125
  // becomes 7.13 whatever its binary neighbour is.
  const Decimal d = ToDecimal(value, kDoubleDigits);
  // Digits as an integer count of hundredths, from the decimal form.
  std::string whole = "0";
  std::string hundredths;  // the digits after the point, up to three for rounding
  if (!d.digits.empty()) {
    const int pointAt = d.exponent + 1;  // digits before the point
    std::string padded = d.digits;
    if (pointAt <= 0) {
      padded = std::string(-pointAt, '0') + padded;
      whole = "0";
      hundredths = padded;
    } else {
      if (static_cast<int>(padded.size()) < pointAt) padded.append(pointAt - padded.size(), '0');
      whole = padded.substr(0, pointAt);
      hundredths = padded.substr(pointAt);
    }
  }
  hundredths.append(3, '0');
  std::string number = whole + hundredths.substr(0, 2);
  if (hundredths[2] >= '5') {
    int k = static_cast<int>(number.size()) - 1;
    while (k >= 0 && number[k] == '9') number[k--] = '0';
    if (k < 0) {
      number.insert(number.begin(), '1');
    } else {
      ++number[k];
    }
  }
  while (number.size() > 4 && number[0] == '0') number.erase(0, 1);
  if (number.size() < 4) number.insert(0, 4 - number.size(), '0');
  std::string text = number.substr(0, number.size() - 2) + "." + number.substr(number.size() - 2);
  const bool isZero = number.find_first_not_of('0') == std::string::npos;
  return (d.negative && !isZero) ? "-" + text : text;
}

}  // namespace pelvaro
