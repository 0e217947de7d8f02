#include "core/storage/PastedCells.h"

#include <vector>

#include "core/storage/RecordFile.h"

namespace pelvaro {

namespace {

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

std::string RefusedText(int refused) {
  return std::to_string(refused) + (refused == 1 ? " pasted value was" : " pasted values were") +
         " not entered: a cell takes only what could be typed into it, and keeps its value "
         "otherwise.";
}

}  // namespace

void PasteCells(std::string_view text, int row, int column, int rows, int columns,
                const PutCell& put, Prompter& prompter) {
  // The line break after the last row of a copy ends that row, not a new one.
  if (text.ends_with('\n')) text.remove_suffix(1);
  if (text.ends_with('\r')) text.remove_suffix(1);
  int refused = 0;
  const std::vector<std::string_view> lines = Split(text, '\n');
  for (std::size_t i = 0; i < lines.size() && row + static_cast<int>(i) < rows; ++i) {
    std::string_view line = lines[i];
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::vector<std::string_view> values = Split(line, '\t');
    for (std::size_t j = 0; j < values.size() && column + static_cast<int>(j) < columns; ++j) {
      const std::string value = Trim(values[j]);
      if (value.empty()) continue;
      if (!put(row + static_cast<int>(i), column + static_cast<int>(j), value)) ++refused;
    }
  }
  if (refused > 0) prompter.Message(RefusedText(refused), "Paste");
}

}  // namespace pelvaro
