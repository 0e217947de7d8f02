#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/BlockStore.h"
#include "core/storage/OpenedFiles.h"

namespace pelvaro {

// The run information of an opened block, as label/value pairs.
using InfoRows = std::vector<std::pair<std::string, std::string>>;

// "Edit Site Data": the blocks of the selected site, the readings of one of
// them, and the writes that mend them.
class BlockEditor {
 public:
  BlockEditor(const Files& files, Prompter& prompter);

  // Reads Sitesel.dat and the block index; an index that disagrees with the
  // block files on disk is first put right from the files.
  void Load();
  const std::string& Identification() const { return id_; }
  const std::vector<int>& Blocks() const { return blocks_; }
  // The status bar's two panels.
  std::string Hint() const;
  std::string SitePanel() const { return " Selected Site: " + id_ + "    "; }

  // A click on a block number: unsaved edits are offered for saving first.
  bool OpenBlock(int blockNumber);
  std::optional<int> OpenedBlock() const { return opened_; }
  const InfoRows& Info() const { return info_; }
  int SensorsPerScan() const { return sensors_; }
  int GridRows() const { return gridRows_; }
  // Readings of scan row r (0-based), as shown; empty past the block's end.
  const std::vector<std::vector<std::string>>& Readings() const { return cells_; }
  bool IsEdited(int row, int column) const { return edited_.count({row, column}) > 0; }

  // Editing a reading cell: the first key after entering it empties the cell
  // when it is a digit; digits append; 8 is Backspace. A value above 65535
  // cannot be stored in two bytes and is refused as it is typed.
  void EnterCell() { firstKey_ = true; }
  bool Type(int row, int column, int key);
  // Readings pasted from (row, column) on, each typed as into a cell just
  // entered: a value the cell would not take whole (a sign, a point, more
  // than 65535, past the block's end) leaves the cell as it was, and the
  // refused values are told once.
  void Paste(int row, int column, std::string_view text);
  bool Changed() const { return changed_; }
  bool UpdateEnabled() const { return updateEnabled_; }

  // What another program's change of the working root means for the window.
  enum class OutsideChange {
    None,   // nothing shown differs
    Shown,  // the block list, and the opened block when it changed, were read again
    // The opened block changed under unsaved edits: they stay, and saving
    // them is refused.
    EditsRefused,
  };
  // Looks at the block index and the opened block's files; without edits
  // pending the window shows them as they are now.
  OutsideChange FollowOutsideChange();

  // "Update Data" and "Close". Every write first checks, under the writer
  // lock, that the opened block's files are still the ones read: a block
  // another program changed or moved is never written over, and the user is
  // offered to reload it. Close is false when the window should stay open,
  // its save refused for that reason.
  void UpdateData();
  bool Close();
  // The start date chosen in the date dialog; rewrites block header record 2.
  bool ChangeStartDate(int day, int month, int year);
  // "Delete Selected".
  bool DeleteSelected();

  // What the CSV export and the printout need of the opened block.
  fs::path OpenedStem() const;
  const BlockHeader& OpenedHeader() const { return header_; }

 private:
  enum class SaveOutcome { Done, Refused };  // Refused: the block changed under the window
  SaveOutcome Save();
  void Recompute();
  void ShowBlockList();
  // The header's block index. Throws what the read throws.
  std::vector<int> ListedBlocks() const;
  // Under the writer lock: true when the opened block is as it was read.
  // Otherwise the user was asked (and the window reloaded on Yes), or told
  // why it could not be read back ("An error occurred while <doing>.").
  bool StillAsOpened(const char* doing);
  // The block list, and the opened block when its number is still there.
  void Reload();
  // No block open, no edits, the block list read again.
  void ForgetBlock();
  void Restamp();
  bool Put(int row, int column, const std::string& value);

  const Files& files_;
  Prompter& prompter_;
  std::string id_;
  std::string dataDirectory_;
  std::vector<int> blocks_;
  std::optional<int> opened_;
  OpenedFiles openedFiles_;
  BlockHeader header_;
  InfoRows info_;
  int sensors_ = 1;
  int gridRows_ = 0;
  std::uint64_t words_ = 0;  // readings in the data file
  std::vector<std::vector<std::string>> cells_;
  std::set<std::pair<int, int>> edited_;
  bool firstKey_ = false;
  bool changed_ = false;
  bool recompute_ = false;
  bool updateRequest_ = false;
  bool updateEnabled_ = false;
};

}  // namespace pelvaro
