#pragma once

#include <string>
#include <vector>

#include "core/editor/BlockEditor.h"

namespace pelvaro {

// The whole text of a block's CSV file, or the message that stops it.
struct CsvText {
  std::string text;
  std::string error;
};

// A block as comma-separated lines: the site and logger, two heading rows,
// then per scan its spreadsheet date number and, per sensor in use, the raw
// value and the water value.
CsvText BlockCsv(const Files& files, const std::string& identification, const fs::path& stemPath);

// Writes the CSV file whole (through a temporary file), adding ".csv" to a
// name without an extension; false after a message.
bool SaveBlockCsv(const Files& files, Prompter& prompter, const std::string& identification,
                  const fs::path& stemPath, const fs::path& target);

// The printout of the opened block, line by line, with the readings as the
// grid shows them (unsaved edits included).
std::vector<std::string> PrintoutLines(const Files& files, const BlockEditor& editor);

}  // namespace pelvaro
