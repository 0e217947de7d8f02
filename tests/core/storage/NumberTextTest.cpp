#include "core/storage/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace pelvaro {
namespace {

TEST(NumberText, SpacedAndPlainNotations) {
  EXPECT_EQ(Spaced(25), " 25");
  EXPECT_EQ(Spaced(12.5), " 12.5");
  EXPECT_EQ(Spaced(0.5), " .5");
  EXPECT_EQ(Spaced(-3), "-3");
  EXPECT_EQ(Spaced(-0.5), "-.5");
  EXPECT_EQ(Spaced(0), " 0");
  EXPECT_EQ(Spaced(-0.0), " 0");
  EXPECT_EQ(Spaced(2500.5), " 2500.5");
  EXPECT_EQ(Spaced(3650.25), " 3650.25");
  EXPECT_EQ(Spaced(1e-7), " .0000001");
  EXPECT_EQ(Spaced(120000000), " 120000000");
  EXPECT_EQ(Plain(600), "600");
  EXPECT_EQ(Plain(0.5), "0.5");
  EXPECT_EQ(Plain(-0.5), "-0.5");
  EXPECT_EQ(Plain(0), "0");
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
  EXPECT_EQ(ParseLeadingNumber(""), 0);
  EXPECT_EQ(ParseLeadingNumber("   "), 0);
  EXPECT_EQ(ParseLeadingNumber("ON"), 0);
  EXPECT_EQ(ParseLeadingNumber("-"), 0);
  EXPECT_EQ(ParseLeadingNumber("."), 0);
  EXPECT_EQ(ParseLeadingNumber(std::string("\0\0\0", 3)), 0);
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
  EXPECT_EQ(ToInt16(2.5), 2);
  EXPECT_EQ(ToInt16(3.5), 4);
  EXPECT_EQ(ToInt16(-2.5), -2);
  EXPECT_EQ(ToInt16(2.4999), 2);
  EXPECT_EQ(ToInt16(32767.4), 32767);
  EXPECT_EQ(ToInt16(-32768.5), -32768);
  EXPECT_EQ(ToInt16(32767.5), std::nullopt);
  EXPECT_EQ(ToInt16(-32769), std::nullopt);
  EXPECT_EQ(ToInt16(std::nan("")), std::nullopt);
}

TEST(NumberText, TwoDecimalsKeepTwoIntegerDigitsAndRoundHalvesAway) {
  EXPECT_EQ(FormatTwoDecimals(7.5), "07.50");
  EXPECT_EQ(FormatTwoDecimals(-3.2), "-03.20");
  EXPECT_EQ(FormatTwoDecimals(123.456), "123.46");
  EXPECT_EQ(FormatTwoDecimals(7.125), "07.13");
  EXPECT_EQ(FormatTwoDecimals(-7.125), "-07.13");
  EXPECT_EQ(FormatTwoDecimals(0.005), "00.01");
  EXPECT_EQ(FormatTwoDecimals(99.995), "100.00");
  EXPECT_EQ(FormatTwoDecimals(0), "00.00");
  EXPECT_EQ(FormatTwoDecimals(-0.001), "00.00");
  EXPECT_EQ(FormatTwoDecimals(1234.5), "1234.50");
  EXPECT_EQ(FormatTwoDecimals(0.07), "00.07");
}

}  // namespace
}  // namespace pelvaro
