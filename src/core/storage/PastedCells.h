#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/platform/Prompter.h"

namespace pelvaro {

// Takes one pasted value into the cell at (row, column) by the grid's own
// typing rule: true when the cell now holds it whole, false when the cell
// refused it and is as it was.
using PutCell = std::function<bool(int row, int column, const std::string& value)>;

// Cells copied from a spreadsheet, as its text: a line break (CR LF or LF)
// ends a row, a tab ends a cell. They go into a grid of `rows` by `columns`
// from (row, column) on; what falls outside the grid is left out, and a blank
// value leaves its cell as it is. When any cell refused its value the person
// is told once, through the prompter.
void PasteCells(std::string_view text, int row, int column, int rows, int columns,
                const PutCell& put, Prompter& prompter);

}  // namespace pelvaro
