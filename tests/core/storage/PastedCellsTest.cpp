#include "core/storage/PastedCells.h"

#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"

namespace pelvaro::testing {
namespace {

// Where each value lands in a grid of 3 by 3; a cell refuses "x".
TEST(PastedCells, ARectangleLandsFromTheCurrentCellWithinTheGrid) {
  const struct {
    const char* name;
    const char* copied;
    int row;
    int column;
    const char* put;
  } rows[] = {
      {"a spreadsheet's copy: a line break after every row", "1\t2\r\n3\t4\r\n", 0, 0,
       "0,0=1 0,1=2 1,0=3 1,1=4 "},
      {"lines ended by LF alone", "1\n2", 1, 2, "1,2=1 2,2=2 "},
      {"a copy ending in LF alone", "1\t2\n", 0, 0, "0,0=1 0,1=2 "},
      {"what passes the grid's edges is left out", "1\t2\t3\n4\t5\t6\n7", 1, 1,
       "1,1=1 1,2=2 2,1=4 2,2=5 "},
      {"a blank value leaves its cell", "1\t\t 3 ", 0, 0, "0,0=1 0,2=3 "},
  };
  for (const auto& r : rows) {
    ScriptedPrompter prompter;
    std::string put;
    PasteCells(
        r.copied, r.row, r.column, 3, 3,
        [&put](int row, int column, const std::string& value) {
          put += std::to_string(row) + "," + std::to_string(column) + "=" + value + " ";
          return true;
        },
        prompter);
    EXPECT_EQ(put, r.put) << r.name;
  }
}

// The cells refuse "x"; the person is told once, in as many words as refused.
TEST(PastedCells, RefusedValuesAreToldOnceAndCounted) {
  const struct {
    const char* name;
    const char* copied;
    const char* told;
  } rows[] = {
      {"one", "x\t2", "1 pasted value was not entered"},
      {"two", "x\nx", "2 pasted values were not entered"},
  };
  for (const auto& r : rows) {
    ScriptedPrompter prompter;
    PasteCells(
        r.copied, 0, 0, 3, 3, [](int, int, const std::string& value) { return value != "x"; },
        prompter);
    ASSERT_EQ(prompter.shown.size(), 1u) << r.name;
    EXPECT_TRUE(prompter.shown[0].text.starts_with(r.told))
        << r.name << ": " << prompter.shown[0].text;
  }
}

}  // namespace
}  // namespace pelvaro::testing
