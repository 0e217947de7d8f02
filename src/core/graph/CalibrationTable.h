#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/OpenedFiles.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

// The graph window's calibration grid: Offset, Slope, field
// capacity ("Full") and refill point of every enabled sensor, editable and
// saved back into the site header. Keys arrive as character codes (8
// Backspace, 13 Enter).
class CalibrationTable {
 public:
  enum Column { kDepth = 0, kOffset, kSlope, kFull, kRefill, kColumns };
  static const char* Heading(int column);
  static int WidthTwips(int column);

  struct Row {
    int slot = 0;
    std::array<std::string, kColumns> cells;
    bool disabled = false;  // coloured like the headings; typing is ignored
  };

  // One row per enabled slot, in slot order, from the
  // header of the site; `opened` was taken before the header was read.
  void Load(SiteHeader& header, const std::vector<int>& slots, OpenedFiles opened,
            SiteSelection site);
  const std::vector<Row>& Rows() const { return rows_; }

  void EnableThisRow(int depthCm) { SetDisabled(depthCm, false); }
  void DisableThisRow(int depthCm) { SetDisabled(depthCm, true); }

  // A click on a cell or moving into it: the next digit replaces the text.
  void EnterCell() { replaceOnType_ = true; }

  enum class KeyResult { Dropped, Typed, SaveAsked };
  // Enter after a change asks for the save: the caller then runs Save().
  KeyResult Key(int row, int column, int key);
  bool Changed() const { return changed_; }

  // The save question, the checks, the write-back into the header and the
  // recalculation of the site. Refused: the checks or the write failed, or
  // the header changed since it was loaded, and the typed values are still
  // in the grid. Reloaded: it had changed, and the grid now shows it.
  enum class SaveResult { Declined, Refused, Saved, Reloaded };
  SaveResult Save(const Files& files, Prompter& prompter);
  bool ValidateProfileData(Prompter& prompter) const;

 private:
  void SetDisabled(int depthCm, bool disabled);
  // The same rows from the header as it now is.
  void Reload();

  std::vector<Row> rows_;
  OpenedFiles opened_;
  SiteSelection site_;
  bool replaceOnType_ = false;
  bool changed_ = false;
};

}  // namespace pelvaro
