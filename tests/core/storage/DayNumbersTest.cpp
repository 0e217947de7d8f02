#include "core/storage/DayNumbers.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/storage/TextRoutines.h"

namespace pelvaro::testing {
namespace {

TEST(DayNumbers, KnownDaysBothWays) {
  struct Case {
    int n, day, month, year;
    const char* dayMonth;
  };
  const Case cases[] = {
      {1, 1, 1, 1996, "01/01"},     {60, 29, 2, 1996, "29/02"},    {366, 31, 12, 1996, "31/12"},
      {367, 1, 1, 1997, "01/01"},   {1461, 31, 12, 1999, "31/12"}, {1462, 1, 1, 2000, "01/01"},
      {1521, 29, 2, 2000, "29/02"}, {2997, 15, 3, 2004, "15/03"},  {32767, 16, 9, 2085, "16/09"}};
  for (const Case& c : cases) {
    EXPECT_EQ(DateToDayNumber(c.day, c.month, c.year), c.n);
    EXPECT_EQ(DayNumberToYear(c.n), std::to_string(c.year)) << c.n;
    EXPECT_EQ(DayNumberToDayMonth(c.n), c.dayMonth) << c.n;
  }
}

TEST(DayNumbers, EveryDayOfTheRangeRoundTrips) {
  for (int n = 1; n <= 32767; ++n) {
    const std::string dm = DayNumberToDayMonth(n);
    const int day = std::stoi(dm.substr(0, 2));
    const int month = std::stoi(dm.substr(3, 2));
    ASSERT_EQ(DateToDayNumber(day, month, std::stoi(DayNumberToYear(n))), n) << dm;
  }
}

TEST(DayNumbers, TablesAndOverflow) {
  EXPECT_EQ(DaysBeforeYear(1996), 0);
  EXPECT_EQ(DaysBeforeYear(1997), 366);
  EXPECT_EQ(DaysBeforeMonth(2, 1), 31);
  EXPECT_EQ(DaysBeforeMonth(3, 1), 60);
  EXPECT_EQ(DaysBeforeMonth(3, 0), 59);
  EXPECT_THROW(DateToDayNumber(1, 1, 2086), std::overflow_error);
  // Out-of-range day numbers still give text, never a crash.
  EXPECT_EQ(DayNumberToDayMonth(0), "31/12");
  EXPECT_EQ(DayNumberToYear(0), "1995");
  EXPECT_FALSE(DayNumberToDayMonth(-32768).empty());
}

TEST(SmallRoutines, TwoDigitTextAndTextTests) {
  EXPECT_EQ(TwoDigitText(7), "07");
  EXPECT_EQ(TwoDigitText(0), "00");
  EXPECT_EQ(TwoDigitText(12), "12");
  EXPECT_EQ(TwoDigitText(2010), "2010");
  EXPECT_FALSE(ContainsLetter(" 123 "));
  EXPECT_TRUE(ContainsLetter("12Z3"));
  EXPECT_FALSE(IsNonBlank("   "));
  EXPECT_TRUE(IsNonBlank(" x "));
}

TEST(SmallRoutines, KeyFilters) {
  auto numeric = [](int k) {
    NumericKeyFilter(k);
    return k;
  };
  auto letter = [](int k) {
    LetterKeyFilter(k);
    return k;
  };
  auto arrow = [](int k) {
    ArrowKeyFilter(k);
    return k;
  };
  EXPECT_EQ(numeric('-'), 0);
  EXPECT_EQ(numeric('7'), '7');
  EXPECT_EQ(numeric('.'), '.');
  EXPECT_EQ(numeric(8), 8);
  EXPECT_EQ(numeric(13), 13);
  EXPECT_EQ(numeric('a'), 0);
  EXPECT_EQ(letter('z'), 'Z');
  EXPECT_EQ(letter('5'), 0);
  EXPECT_EQ(letter('&'), '&');
  EXPECT_EQ(letter('('), '(');
  EXPECT_EQ(letter(')'), 0);
  EXPECT_EQ(letter(' '), ' ');
  EXPECT_EQ(arrow(38), 38);
  EXPECT_EQ(arrow(40), 40);
  EXPECT_EQ(arrow(39), 0);
}

TEST(SmallRoutines, CodePageConversion) {
  const std::string bytes = "Caf\xe9 \x80 \x9f";
  EXPECT_EQ(Cp1252ToUtf8(bytes), "Caf\xc3\xa9 \xe2\x82\xac \xc5\xb8");
  std::string back;
  ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(bytes), back));
  EXPECT_EQ(back, bytes);
  EXPECT_FALSE(Utf8ToCp1252("\xe4\xb8\xad", back));  // a CJK character has no byte
  EXPECT_FALSE(Utf8ToCp1252("\xc3", back));          // truncated sequence
}

}  // namespace
}  // namespace pelvaro::testing
