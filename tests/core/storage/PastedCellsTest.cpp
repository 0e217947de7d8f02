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

}  // namespace
}  // namespace pelvaro::testing
