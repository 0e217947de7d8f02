#include "core/graph/CalibrationTable.h"

#include "core/operations/Conversion.h"
#include "core/platform/WriterLock.h"
#include "core/site/CalibrationGrid.h"
#include "core/storage/NumberText.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kBackspace = 8;
constexpr int kEnter = 13;
constexpr const char* kHeadings[CalibrationTable::kColumns] = {"Depth(cm)", "Offset", "Slope",
                                                               "Full", "Refill"};
constexpr int kWidths[CalibrationTable::kColumns] = {850, 540, 500, 380, 520};
constexpr std::size_t kLongest[CalibrationTable::kColumns] = {0, 5, 3, 3, 2};

}  // namespace

const char* CalibrationTable::Heading(int column) { return kHeadings[column]; }
int CalibrationTable::WidthTwips(int column) { return kWidths[column]; }

void CalibrationTable::Load(SiteHeader& header, const std::vector<int>& slots, OpenedFiles opened,
                            SiteSelection site) {
  opened_ = std::move(opened);
  site_ = std::move(site);
  rows_.clear();
  for (int s : slots) {
    Row row;
    row.slot = s;
    row.cells[kDepth] = Plain(10 * s);
    const int base = header::CalibrationBase(s);
    for (int c = kOffset; c <= kRefill; ++c) row.cells[c] = Trim(header.ReadRecord(base + c - 1));
    rows_.push_back(std::move(row));
  }
}

void CalibrationTable::Reload() {
  std::vector<int> slots;
  for (const Row& row : rows_) slots.push_back(row.slot);
  const std::vector<Row> before = rows_;
  OpenedFiles opened = OpenedFiles::Header(opened_.Path());
  SiteHeader header(opened.Path(), RecordFile::Mode::ReadOnly);
  Load(header, slots, std::move(opened), site_);
  // A cleared depth's row stays cleared.
  for (std::size_t r = 0; r < rows_.size(); ++r) rows_[r].disabled = before[r].disabled;
  changed_ = false;
}

void CalibrationTable::SetDisabled(int depthCm, bool disabled) {
  for (Row& row : rows_) {
    if (row.slot * 10 == depthCm) row.disabled = disabled;
  }
}

CalibrationTable::KeyResult CalibrationTable::Key(int row, int column, int key) {
  // The depth column holds the headings of the rows and takes no keys.
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column <= kDepth || column >= kColumns) {
    return KeyResult::Dropped;
  }
  NumericKeyFilter(key);
  if (key == 0 || rows_[row].disabled) return KeyResult::Dropped;
  if (key == kEnter) return changed_ ? KeyResult::SaveAsked : KeyResult::Dropped;
  changed_ = true;
  std::string& cell = rows_[row].cells[column];
  if (key == kBackspace || key == '.') {
    // The point removes a character too: the grid holds whole numbers only.
    if (!cell.empty()) cell.pop_back();
    return KeyResult::Typed;
  }
  if (Trim(cell).size() >= kLongest[column]) {
    replaceOnType_ = false;
    return KeyResult::Dropped;
  }
  TypeIntoCell(cell, static_cast<char>(key), kLongest[column], replaceOnType_);
  return KeyResult::Typed;
}

bool CalibrationTable::ValidateProfileData(Prompter& prompter) const {
  // Every row is checked, not only the cell being edited: a value typed
  // before moving on would otherwise be saved unchecked.
  for (const Row& row : rows_) {
    if (ParseLeadingNumber(row.cells[kFull]) > 100) {
      prompter.Message(
          "Field capacity at depth" + Spaced(10 * row.slot) + " exceeds the maximum value 100.",
          "Invalid Field Capacity");
      return false;
    }
    // A zero slope would stop the recalculation and leave the site without a graph.
    if (ParseLeadingNumber(row.cells[kSlope]) == 0) {
      prompter.Message(
          "Invalid slope value for the sensor at profile depth " + Plain(10 * row.slot) + ".", "");
      return false;
    }
  }
  return true;
}

CalibrationTable::SaveResult CalibrationTable::Save(const Files& files, Prompter& prompter) {
  changed_ = false;
  const Answer answer = prompter.Message(
      "Changes have been made to this site's calibration data.\n\nWould you like to save these "
      "changes?",
      "Save Calibration Data Changes", Buttons::YesNo, Icon::Question);
  if (answer != Answer::Yes) return SaveResult::Declined;
  if (!ValidateProfileData(prompter)) return SaveResult::Refused;
  const auto lock = LockForWriting(files, prompter);
  if (!lock || opened_.Empty()) return SaveResult::Refused;
  try {
    switch (CheckOpened(opened_, prompter)) {
      case OpenedCheck::Unchanged:
        break;
      case OpenedCheck::Reload:
        Reload();
        return SaveResult::Reloaded;
      case OpenedCheck::Keep:
        changed_ = true;  // still unsaved
        return SaveResult::Refused;
    }
  } catch (const IoError& e) {
    changed_ = true;
    prompter.Message(
        std::string("An error occurred while saving the calibration data.\r\nThe error is ") +
        e.what());
    return SaveResult::Refused;
  }
  // The header written is the one loaded, whatever site is selected now.
  const fs::path path = opened_.Path();
  try {
    HeaderTransaction transaction(path, path);
    for (const Row& row : rows_) {
      const int base = header::CalibrationBase(row.slot);
      // Fractions stored by the site window are kept.
      for (int c = kOffset; c <= kRefill; ++c) {
        transaction.Header().WriteRecord(base + c - 1, Spaced(ParseLeadingNumber(row.cells[c])));
      }
    }
    transaction.Commit();
  } catch (const std::exception&) {
    // A failed save ends quietly and leaves the header as it was.
    return SaveResult::Refused;
  }
  ConvertSite(files, prompter, site_.identification, site_.dataDirectory, ConversionCaller::Graph);
  // Still under the lock: what this window wrote is its new starting point.
  try {
    opened_ = OpenedFiles::Header(path);
  } catch (const IoError&) {
    // The old stamp stays: the next save is refused rather than made blind.
  }
  return SaveResult::Saved;
}

}  // namespace pelvaro
