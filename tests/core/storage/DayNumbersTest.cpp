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

TEST(DayNumbers, DaysBeforeAYearOrMonthFollowTheLeapYears) {
  const struct {
    const char* guards;
    int days;
    int expected;
  } rows[] = {
      {"none before 1996", DaysBeforeYear(1996), 0},
      {"a leap year before 1997", DaysBeforeYear(1997), 366},
      {"January before February", DaysBeforeMonth(2, 1), 31},
      {"a leap February before March", DaysBeforeMonth(3, 1), 60},
      {"a common February before March", DaysBeforeMonth(3, 0), 59},
      {"no month beyond the table", DaysBeforeMonth(13, 1), 0},
      {"no month before the table", DaysBeforeMonth(0, 1), 0},
  };
  for (const auto& row : rows) EXPECT_EQ(row.days, row.expected) << row.guards;
}

TEST(DayNumbers, TheFirstDayAfterTheCountsReachIsRefused) {
  EXPECT_THROW(DateToDayNumber(17, 9, 2085), std::overflow_error);
}

TEST(DayNumbers, TheOtherEndOfASixteenBitCountIsTheLastDayBefore1996) {
  EXPECT_EQ(DateToDayNumber(23, 3, 1906), -32768);
  EXPECT_THROW(DateToDayNumber(22, 3, 1906), std::overflow_error);
}

// Never a crash.
TEST(DayNumbers, OutOfRangeDayNumbersStillGiveText) {
  EXPECT_EQ(DayNumberToDayMonth(0), "31/12");
  EXPECT_EQ(DayNumberToYear(0), "1995");
  EXPECT_FALSE(DayNumberToDayMonth(-32768).empty());
}

TEST(SmallRoutines, TwoDigitTextPadsOneDigitAndKeepsTheRest) {
  const struct {
    const char* guards;
    int value;
    const char* text;
  } rows[] = {
      {"a negative number as it is", -1, "-1"},
      {"zero padded", 0, "00"},
      {"one digit padded", 9, "09"},
      {"two digits as they are", 10, "10"},
      {"more digits as they are", 2010, "2010"},
  };
  for (const auto& row : rows) EXPECT_EQ(TwoDigitText(row.value), row.text) << row.guards;
}

// Each printable character between a space and a digit and a space; '.' where it is none.
TEST(SmallRoutines, ContainsLetterFindsAsciiLettersOnly) {
  std::string letters;
  for (char c = ' '; c < 127; ++c) letters += ContainsLetter(std::string(" 1") + c + " ") ? c : '.';
  EXPECT_EQ(letters.substr(32, 64),
            ".ABCDEFGHIJKLMNOPQRSTUVWXYZ......abcdefghijklmnopqrstuvwxyz....");
}

TEST(SmallRoutines, IsNonBlankIsFalseForSpacesOnly) {
  EXPECT_FALSE(IsNonBlank("   "));
  EXPECT_TRUE(IsNonBlank(" x "));
}

// Every key a filter keeps, and what it makes of it.
std::string KeptKeys(void (*filter)(int&)) {
  std::string kept;
  for (int k = 1; k < 256; ++k) {
    int key = k;
    filter(key);
    if (key != 0) kept += static_cast<char>(key);
  }
  return kept;
}

TEST(SmallRoutines, TheNumericKeyFilterKeepsDigitsPointBackspaceAndEnter) {
  EXPECT_EQ(KeptKeys(NumericKeyFilter), "\b\r.0123456789");
}

TEST(SmallRoutines, TheLetterKeyFilterKeepsLettersAsCapitalsAndTheArrows) {
  EXPECT_EQ(KeptKeys(LetterKeyFilter),
            "\b\r &(.ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJKLMNOPQRSTUVWXYZ");
}

TEST(SmallRoutines, TheArrowKeyFilterKeepsUpAndDownOnly) {
  EXPECT_EQ(KeptKeys(ArrowKeyFilter), "&(");  // the codes of Up and Down
}

TEST(SmallRoutines, CodePageConversion) {
  std::string high;
  for (int b = 0x80; b < 0xA0; ++b) high += static_cast<char>(b);
  // The five bytes the code page leaves unassigned keep their own value.
  EXPECT_EQ(Cp1252ToUtf8(high),
            "\xe2\x82\xac\xc2\x81\xe2\x80\x9a\xc6\x92\xe2\x80\x9e\xe2\x80\xa6\xe2\x80\xa0\xe2\x80"
            "\xa1\xcb\x86\xe2\x80\xb0\xc5\xa0\xe2\x80\xb9\xc5\x92\xc2\x8d\xc5\xbd\xc2\x8f\xc2\x90"
            "\xe2\x80\x98\xe2\x80\x99\xe2\x80\x9c\xe2\x80\x9d\xe2\x80\xa2\xe2\x80\x93\xe2\x80\x94"
            "\xcb\x9c\xe2\x84\xa2\xc5\xa1\xe2\x80\xba\xc5\x93\xc2\x9d\xc5\xbe\xc5\xb8");
  EXPECT_EQ(Cp1252ToUtf8("\x7f\xa0\xff"), "\x7f\xc2\xa0\xc3\xbf");
  // Every byte but those five comes back from its UTF-8.
  std::string back;
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const bool unassigned = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one), back) && back == one, !unassigned) << b;
  }
  for (const char* none : {"\xe4\xb8\xad", "\xc3", "\xc3\x41", "\xf0\x9f\x98\x80"}) {
    EXPECT_FALSE(Utf8ToCp1252(none, back)) << none;  // no byte, cut short, bad, four bytes
  }
}

TEST(SmallRoutines, NamesTypedOnACommandLineAndShownOnATerminal) {
  const std::pair<std::string, std::string> typed[] = {
      {"Caf\xc3\xa9_02", "Caf\xe9_02"},        // UTF-8 becomes the code page
      {"Caf\xe9_02", "Caf\xe9_02"},            // code-page bytes as older scripts pass them
      {"\xe4\xb8\xad_01", "\xe4\xb8\xad_01"},  // a character the code page lacks
      {"\xc1\xa1_01", "\xc1\xa1_01"},          // 'a' spelt with more bytes than it needs
  };
  for (const auto& [text, name] : typed) EXPECT_EQ(TypedName(text), name) << text;
  // An unassigned byte never reaches a terminal as a control character.
  EXPECT_EQ(Cp1252ToTerminal("\xe9\x9d]0;x"), "\xc3\xa9\\x9D]0;x");
}

}  // namespace
}  // namespace pelvaro::testing
