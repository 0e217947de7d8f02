#include "core/storage/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <iomanip>
#include <random>
#include <vector>

namespace pelvaro::testing {
namespace {

// Each value as `format` writes it, joined by '|'.
std::string Each(std::string (*format)(double), std::initializer_list<double> values) {
  std::string all;
  for (double v : values) all += (all.empty() ? "" : "|") + format(v);
  return all;
}

TEST(NumberText, SpacedAndPlainNotations) {
  EXPECT_EQ(Each(Spaced, {25, 12.5, 0.5, -3, -0.5, 0, -0.0, 2500.5, 3650.25, 1e-7, 120000000}),
            " 25| 12.5| .5|-3|-.5| 0| 0| 2500.5| 3650.25| .0000001| 120000000");
  EXPECT_EQ(Each(Plain, {600, 0.5, -0.5, 0}), "600|0.5|-0.5|0");
}

TEST(NumberText, SignificantDigitsFollowThePrecision) {
  EXPECT_EQ(Spaced(1.0 / 3), " .333333333333333");
  EXPECT_EQ(SpacedSingle(1.0f / 3), " .3333333");
  EXPECT_EQ(PlainSingle(0.1f), "0.1");  // not 0.100000001490116
  EXPECT_EQ(PlainSingle(3650.2501f), "3650.25");
  EXPECT_EQ(Spaced(123456789012345678.0), " 123456789012346000");
  EXPECT_EQ(Plain(2.0 / 3 * 100), "66.6666666666667");
  EXPECT_EQ(PlainSingle(99.99999f), "99.99999");
  EXPECT_EQ(PlainSingle(9.9999999f), "10");
}

TEST(NumberText, LenientParseTakesTheLongestLeadingNumber) {
  EXPECT_DOUBLE_EQ(ParseLeadingNumber(" .5"), 0.5);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber("-3"), -3);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber(" 12.5"), 12.5);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber("  -.5x"), -0.5);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber(" 2500 SOIL MOISTURE TECHNOLOGY"), 2500);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber("1.2.3"), 1.2);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber("+7"), 7);
  EXPECT_DOUBLE_EQ(ParseLeadingNumber("12."), 12);
  for (const std::string& none :
       std::initializer_list<std::string>{"", "   ", "ON", "-", ".", std::string("\0\0\0", 3)}) {
    EXPECT_EQ(ParseLeadingNumber(none), 0) << none;  // no number: zero
  }
}

TEST(NumberText, EveryFormattedNumberReadsBackToItself) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-6, 12);
  for (int i = 0; i < 5000; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
    for (bool spaced : {true, false}) {
      const std::string text = FormatNumber(v, kDoubleDigits, spaced);
      const double back = ParseLeadingNumber(text);
      ASSERT_NEAR(back, v, std::abs(v) * 1e-14) << text;
      ASSERT_EQ(FormatNumber(back, kDoubleDigits, spaced), text);
      ASSERT_EQ(text.find('e'), std::string::npos) << text;
    }
    // Seven digits are what single precision shows; they need not round-trip.
    const float f = static_cast<float>(v);
    const double single = ParseLeadingNumber(SpacedSingle(f));
    ASSERT_NEAR(single, f, std::abs(f) * 1e-6) << SpacedSingle(f);
    ASSERT_EQ(SpacedSingle(static_cast<float>(single)), SpacedSingle(f));
  }
}

TEST(NumberText, SixteenBitRoundingSendsHalvesToEven) {
  std::string rounded;
  for (double v : {2.5, 3.5, -2.5, 2.4999, 32767.4, -32768.5, 32767.5, -32769.0, std::nan("")}) {
    const auto r = ToInt16(v);
    rounded += (r ? std::to_string(*r) : "none") + "|";
  }
  EXPECT_EQ(rounded, "2|4|-2|2|32767|-32768|none|none|none|");
}

TEST(NumberText, InlineRoundingSendsHalvesAwayFromZero) {
  // Given, not taken from llround: some C libraries round the largest double
  // under a half up.
  const struct {
    const char* guards;
    double value;
    std::int64_t rounded;
  } rows[] = {
      {"a half up", 0.5, 1},
      {"a negative half down", -0.5, -1},
      {"an odd half up, not to even", 2.5, 3},
      {"the largest double under a half", 0.49999999999999994, 0},
      {"its negative", -0.49999999999999994, 0},
      {"a half just under 2^52", 4503599627370495.5, 4503599627370496},
      {"a whole number over 2^52", 4503599627370497.0, 4503599627370497},
      {"far beyond", -1e17, -100000000000000000},
      {"negative zero", -0.0, 0},
  };
  for (const auto& row : rows) EXPECT_EQ(RoundHalfAway(row.value), row.rounded) << row.guards;
}

TEST(NumberText, InlineRoundingAgreesWithLlroundOnRandomValues) {
  std::mt19937_64 rng(7);
  std::uniform_int_distribution<int> hundredths(-9999999, 9999999);
  std::uniform_real_distribution<double> any(-1e6, 1e6);
  for (int i = 0; i < 20000; ++i) {
    const double scaled = hundredths(rng) / 100.0 * 100.0;  // two decimals scaled, a hair off whole
    EXPECT_EQ(RoundHalfAway(scaled), std::llround(scaled)) << std::setprecision(17) << scaled;
    const double value = any(rng);
    EXPECT_EQ(RoundHalfAway(value), std::llround(value)) << std::setprecision(17) << value;
  }
}

TEST(NumberText, TwoDecimalsKeepTwoIntegerDigitsAndRoundHalvesAway) {
  EXPECT_EQ(Each(FormatTwoDecimals,
                 {7.5, -3.2, 123.456, 7.125, -7.125, 0.005, 99.995, 0, -0.001, 1234.5, 0.07}),
            "07.50|-03.20|123.46|07.13|-07.13|00.01|100.00|00.00|00.00|1234.50|00.07");
  EXPECT_EQ(FormatTwoDecimals(-1e31), "-9999999999999999635896294965248.00");  // beyond 30 digits
  EXPECT_EQ(FormatTwoDecimals(std::nan("")), "00.00");  // never "nan" in a stored file
}

// Rounds the 15-significant-digit decimal form half away from zero at the
// hundredths, on the digit string itself: the rule the fast path must keep.
std::string ReferenceTwoDecimals(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", v);
  const bool negative = buf[0] == '-';
  std::string digits;
  const char* p = buf + (negative ? 1 : 0);
  for (; *p != 'e'; ++p) {
    if (*p != '.') digits += *p;
  }
  const int exponent = std::atoi(p + 1);
  // Scale to hundredths: the digit string with the point after exponent + 3 digits.
  const int keep = exponent + 3;
  std::string whole = keep <= 0 ? "0" : digits.substr(0, std::min<int>(keep, digits.size()));
  if (keep > static_cast<int>(digits.size())) whole.append(keep - digits.size(), '0');
  const char next = keep >= 0 && keep < static_cast<int>(digits.size()) ? digits[keep] : '0';
  long long hundredths = std::stoll(whole);
  if (next >= '5') ++hundredths;
  char out[64];
  std::snprintf(out, sizeof out, "%s%02lld.%02lld", negative && hundredths ? "-" : "",
                hundredths / 100, hundredths % 100);
  return out;
}

TEST(NumberText, TwoDecimalsAgreeWithTheDecimalRuleEverywhere) {
  std::mt19937_64 rng(11);
  std::uniform_int_distribution<int> raw(0, 65535);
  std::uniform_int_distribution<int> slope(1, 400);
  std::uniform_real_distribution<double> any(-5000, 5000);
  for (int i = 0; i < 40000; ++i) {
    // Values as the conversion makes them, and arbitrary ones, and exact halves.
    const double made = std::floor((1000.0 - raw(rng)) * 10.0) / slope(rng);
    const double half = std::round(any(rng) * 100) / 100 + 0.005;
    for (double v : {made, any(rng), half}) {
      ASSERT_EQ(FormatTwoDecimals(v), ReferenceTwoDecimals(v)) << std::setprecision(17) << v;
    }
  }
}

}  // namespace
}  // namespace pelvaro::testing
