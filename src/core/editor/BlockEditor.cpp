#include "core/editor/BlockEditor.h"

#include <algorithm>
#include <cmath>

#include "core/operations/Conversion.h"
#include "core/platform/FileOps.h"
#include "core/platform/WriterLock.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"
#include "core/storage/PastedCells.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/SiteRepair.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kBackspace = 8;
constexpr double kLargestReading = 65535;

std::string StartDateText(int dayNumber) {
  return DayNumberToDayMonth(dayNumber) + "/" + DayNumberToYear(dayNumber);
}

// The download date as the editor shows its other dates, "DD/MM/YYYY"; the
// block header holds it as "DD-MM-YYYY".
std::string DownloadDateText(std::string text) {
  if (text.size() == 10 && text[2] == '-' && text[5] == '-') text[2] = text[5] = '/';
  return text;
}

std::string ClockText(long seconds) {
  return TwoDigitText(static_cast<int>(seconds / 3600)) + ":" +
         TwoDigitText(static_cast<int>(seconds % 3600 / 60)) + ":" +
         TwoDigitText(static_cast<int>(seconds % 60));
}

}  // namespace

BlockEditor::BlockEditor(const Files& files, Prompter& prompter)
    : files_(files), prompter_(prompter) {}

std::string BlockEditor::Hint() const {
  return opened_ ? "Hint: Select the cell to enter new value."
                 : " Hint: Click the block number to view or update data.";
}

void BlockEditor::Load() {
  id_.clear();
  const auto selection = ReadSiteSelectionOrTell(files_, prompter_);
  if (!selection) return;
  try {
    CheckSafeName(selection->identification);
    CheckSafeName(selection->dataDirectory);
  } catch (const UnsafeNameError& e) {
    prompter_.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
    return;
  }
  id_ = selection->identification;
  dataDirectory_ = selection->dataDirectory;
  // Opening only reads: what an earlier operation left half done is put
  // right when no other program is writing, else left for later.
  WriterLock::Attempt attempt = WriterLock::TryAcquire(files_);
  if (attempt.status == WriterLock::Status::Held) {
    try {
      if (RepairSite(files_, id_, dataDirectory_).indexDamaged) {
        prompter_.Message(IndexRebuiltText(id_), "Site File Repaired", Buttons::Ok,
                          Icon::Exclamation);
      }
    } catch (const std::exception& e) {
      prompter_.Message(
          std::string("An error occurred while accessing the site file.\r\nThe error is ") +
          e.what());
    }
  }
  ShowBlockList();
}

std::vector<int> BlockEditor::ListedBlocks() const {
  SiteHeader header(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
  return header.ReadBlockIndex().numbers;
}

void BlockEditor::ShowBlockList() {
  blocks_.clear();
  try {
    blocks_ = ListedBlocks();
  } catch (const std::exception& e) {
    // No list rather than one that may not be the site's.
    blocks_.clear();
    prompter_.Message(
        std::string("An error occurred while accessing the site file.\r\nThe error is ") +
        e.what());
  }
}

BlockEditor::OutsideChange BlockEditor::FollowOutsideChange() {
  if (id_.empty()) return OutsideChange::None;
  bool blockChanged = false;
  try {
    blockChanged = opened_ && openedFiles_.Changed().has_value();
  } catch (const IoError&) {
    blockChanged = true;  // it cannot be read back: a save would be refused as well
  }
  if (blockChanged && changed_) return OutsideChange::EditsRefused;
  if (blockChanged) {
    Reload();
    return OutsideChange::Shown;
  }
  std::vector<int> listed;
  try {
    listed = ListedBlocks();
  } catch (const std::exception&) {
    return OutsideChange::None;  // the list shown stays until the header reads again
  }
  if (listed == blocks_) return OutsideChange::None;
  blocks_ = std::move(listed);
  return OutsideChange::Shown;
}

fs::path BlockEditor::OpenedStem() const {
  return opened_ ? BlockStemPath(files_, dataDirectory_, BlockStem(id_, *opened_)) : fs::path();
}

bool BlockEditor::OpenBlock(int blockNumber) {
  if (id_.empty()) return false;
  if (changed_ && Save() == SaveOutcome::Refused) return false;
  const fs::path stem = BlockStemPath(files_, dataDirectory_, BlockStem(id_, blockNumber));
  const BlockPaths paths = MakeBlockPaths(stem);
  // Everything shown is read first: a file that cannot be read opens nothing.
  std::vector<std::uint16_t> words;
  double siteSensors = 0;
  std::string depthSlots;
  std::string rootZone;
  OpenedFiles stamp;
  try {
    stamp = OpenedFiles::Block(paths);
    BlockData data(paths.data, RecordFile::Mode::ReadOnly);
    if (data.Length() < 4) {
      prompter_.Message("SITE " + PathText(stem) + " IS EMPTY, LOAD DATA FROM VELMORA");
      opened_.reset();
      cells_.clear();
      return false;
    }
    header_ = ReadBlockHeader(paths.header);
    CheckWordCount(header_, paths.header);
    words = data.ReadAllWords();
    SiteHeader site(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
    siteSensors = site.ReadNumber(header::kSensorsOn);
    depthSlots = site.ReadRecord(header::kDepthSlotCount);
    rootZone = site.ReadRecord(header::kRootZone);
  } catch (const std::exception& e) {
    const bool name = dynamic_cast<const UnsafeNameError*>(&e) != nullptr;
    prompter_.Message(e.what(), name ? "Site File Error" : "Damaged Data Block", Buttons::Ok,
                      Icon::Critical);
    opened_.reset();
    cells_.clear();
    return false;
  }
  const RunHeader& run = header_.run;
  // A block whose count was never given shows as the site's sensors.
  sensors_ = std::clamp(run.SensorCount(), 0, 5);
  if (sensors_ == 0) {
    const auto on = ToInt16(siteSensors);
    sensors_ = std::clamp<int>(on ? *on : 0, 1, 5);
  }
  words_ = words.size();
  const double w = header_.words;
  gridRows_ = static_cast<int>(std::lround(w / sensors_ + 7));
  cells_.clear();
  for (double i = 1; i <= w; i += sensors_) {
    std::vector<std::string> row;
    for (int c = 0; c < sensors_; ++c) {
      const auto reading = static_cast<std::uint64_t>(i) + static_cast<std::uint64_t>(c);
      // Readings the file does not hold are not shown, so never written back.
      row.push_back(reading <= words_ ? Spaced(words[reading - 1]) : std::string());
    }
    cells_.push_back(std::move(row));
  }
  info_ = {{"Start Date", StartDateText(run.StartDay())},
           {"Start Time", ClockText(2L * run.StartTimeUnits())},
           {"Profile Pts.", depthSlots},
           {"Root Zone", rootZone},
           {"Sensors", Spaced(sensors_)},
           {"Site No.", Spaced(run.SiteNumber())},
           {"Scan Time Seconds", Spaced(run.ScanInterval())},
           {"Serial Number", Spaced(run.SerialNumber())},
           {"Data Blocks", Spaced(static_cast<double>(blocks_.size()))},
           {"Selected Block", Spaced(blockNumber)},
           {"End Date", DownloadDateText(header_.dateText)},
           {"End Time", header_.timeText},
           {"Sensor Scans", Spaced(std::floor(w / sensors_))}};
  opened_ = blockNumber;
  openedFiles_ = std::move(stamp);
  edited_.clear();
  changed_ = false;
  updateEnabled_ = false;
  firstKey_ = false;
  return true;
}

bool BlockEditor::Type(int row, int column, int key) {
  if (!opened_ || row < 0 || row >= static_cast<int>(cells_.size()) || column < 0 ||
      column >= sensors_) {
    return false;
  }
  const auto reading = static_cast<std::uint64_t>(row) * sensors_ + column + 1;
  if (reading > words_) return false;
  const bool digit = key >= '0' && key <= '9';
  if (!digit && key != kBackspace) return false;
  std::string& cell = cells_[row][column];
  if (firstKey_) {
    edited_.insert({row, column});
    if (digit) cell.clear();
    firstKey_ = false;
  }
  if (digit) {
    const std::string longer = Trim(cell) + static_cast<char>(key);
    // Two bytes hold no more than 65535: such a digit is refused, not wrapped.
    if (ParseLeadingNumber(longer) > kLargestReading) return false;
    cell = longer;
  } else if (!cell.empty()) {
    cell.pop_back();
  }
  changed_ = true;
  updateEnabled_ = true;
  return true;
}

void BlockEditor::Paste(int row, int column, std::string_view text) {
  if (!opened_ || row < 0 || column < 0) return;
  PasteCells(
      text, row, column, static_cast<int>(cells_.size()), sensors_,
      [this](int r, int c, const std::string& value) { return Put(r, c, value); }, prompter_);
  firstKey_ = true;
}

bool BlockEditor::Put(int row, int column, const std::string& value) {
  const std::string before = cells_[row][column];
  const bool editedBefore = IsEdited(row, column);
  const bool changedBefore = changed_;
  const bool updateBefore = updateEnabled_;
  firstKey_ = true;
  bool taken = true;
  for (const char c : value) taken = taken && Type(row, column, static_cast<unsigned char>(c));
  if (taken && cells_[row][column] == value) return true;
  cells_[row][column] = before;
  if (!editedBefore) edited_.erase({row, column});
  changed_ = changedBefore;
  updateEnabled_ = updateBefore;
  return false;
}

BlockEditor::SaveOutcome BlockEditor::Save() {
  changed_ = false;
  const Answer answer =
      updateRequest_
          ? prompter_.Message("Would you like to proceed with updating data values?\n\n",
                              "Update Data Values", Buttons::YesNo)
          : prompter_.Message(
                "Changes have been made to this site.\n\nDo you want to save these changes?",
                "Data Changes", Buttons::YesNo);
  if (answer != Answer::Yes) {
    // The edits are dropped: the grid shows the file again.
    if (opened_) OpenBlock(*opened_);
    return SaveOutcome::Done;
  }
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock) {
    changed_ = true;  // the edits stay on screen, to be saved later
    return SaveOutcome::Done;
  }
  changed_ = true;  // until written, or reloaded
  if (!StillAsOpened("saving the data values")) return SaveOutcome::Refused;
  changed_ = false;
  const BlockPaths paths = MakeBlockPaths(OpenedStem());
  try {
    if (Files::FileLength(paths.data) > kMaxBlockBytes) {
      throw DamagedFileError(paths.data, "it is larger than a data block can be.");
    }
    std::string bytes = Files::ReadFile(paths.data, kMaxBlockBytes);
    for (std::size_t r = 0; r < cells_.size(); ++r) {
      for (int c = 0; c < sensors_; ++c) {
        const std::uint64_t reading = r * sensors_ + c + 1;
        if (reading > words_ || 2 * reading > bytes.size()) continue;
        const double v = std::clamp(ParseLeadingNumber(cells_[r][c]), 0.0, kLargestReading);
        const int high = static_cast<int>(std::floor(v / 256));
        const int low = static_cast<int>(v) - 256 * high;
        bytes[2 * (reading - 1)] = static_cast<char>(low);
        bytes[2 * reading - 1] = static_cast<char>(high);
      }
    }
    // Every reading lands in its own record, and the file is replaced whole.
    Files::WriteWholeFile(paths.data, bytes);
    Restamp();
    recompute_ = true;
    updateEnabled_ = false;
    edited_.clear();
  } catch (const std::exception& e) {
    changed_ = true;  // nothing was written: the edits stay on screen
    prompter_.Message(
        std::string("An error occurred while saving the data values.\r\nThe error is ") + e.what());
  }
  return SaveOutcome::Done;
}

bool BlockEditor::StillAsOpened(const char* doing) {
  try {
    return UnchangedElseReload(openedFiles_, prompter_, [this] { Reload(); });
  } catch (const IoError& e) {
    prompter_.Message(std::string("An error occurred while ") + doing + ".\r\nThe error is " +
                      e.what());
  }
  return false;
}

void BlockEditor::ForgetBlock() {
  opened_.reset();
  openedFiles_ = {};
  cells_.clear();
  edited_.clear();
  changed_ = false;
  updateEnabled_ = false;
  ShowBlockList();
}

void BlockEditor::Reload() {
  const std::optional<int> number = opened_;
  ForgetBlock();
  if (number && std::find(blocks_.begin(), blocks_.end(), *number) != blocks_.end()) {
    OpenBlock(*number);
  }
}

void BlockEditor::Restamp() {
  try {
    openedFiles_ = OpenedFiles::Block(MakeBlockPaths(OpenedStem()));
  } catch (const IoError&) {
    // The old stamp stays: the next save is refused rather than made blind.
  }
}

void BlockEditor::Recompute() {
  recompute_ = false;
  ConvertSite(files_, prompter_, id_, dataDirectory_, ConversionCaller::Editor);
}

void BlockEditor::UpdateData() {
  updateRequest_ = true;
  const bool refused = changed_ && Save() == SaveOutcome::Refused;
  updateRequest_ = false;
  // Refused, the edits stay on screen and unsaved.
  if (refused) return;
  if (recompute_) Recompute();
  changed_ = false;
}

bool BlockEditor::Close() {
  if (changed_ && Save() == SaveOutcome::Refused) return false;
  if (recompute_) Recompute();
  return true;
}

bool BlockEditor::ChangeStartDate(int day, int month, int year) {
  if (!opened_) return false;
  int dayNumber = 0;
  try {
    dayNumber = DateToDayNumber(day, month, year);
  } catch (const std::overflow_error&) {
    prompter_.Message("Date format error, should be DD/MM/YYYY");
    return false;
  }
  RunHeader run = header_.run;
  run.b[0] = static_cast<std::uint8_t>(dayNumber & 255);
  run.b[1] = static_cast<std::uint8_t>((dayNumber >> 8) & 255);
  std::string record(run.b.begin(), run.b.end());
  record += header_.timeText + header_.dateText + "00";
  const fs::path headerFile = MakeBlockPaths(OpenedStem()).header;
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock || !StillAsOpened("saving the start date")) return false;
  try {
    WriteBlockHeaderRecord(headerFile, 2, record);
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while saving the start date.\r\nThe error is ") + e.what());
    return false;
  }
  Restamp();
  // What was written is what the file now holds: no second read that could fail.
  header_.run = run;
  header_.record2 = record;
  header_.record2.resize(kBlockHeaderRecordSize, ' ');
  info_[0].second = StartDateText(dayNumber);
  // The graph follows the block's new dates.
  recompute_ = true;
  return true;
}

bool BlockEditor::DeleteSelected() {
  if (!opened_) return false;
  // Which block, so that a click on the wrong row shows before it costs a season.
  const std::string which = "Block " + std::to_string(*opened_) + ", started " + info_[0].second +
                            " " + info_[1].second + ", " + Trim(info_.back().second) + " scans.";
  if (prompter_.Message("Are you sure you want to delete the selected data block?\r\n\r\n" + which,
                        "Confirm Delete", Buttons::YesNoDefaultNo, Icon::Question) != Answer::Yes) {
    return false;
  }
  const auto lock = LockForWriting(files_, prompter_);
  // The number may now be another block's: only the block read is deleted.
  if (!lock || !StillAsOpened("deleting the data block")) return false;
  const int selected = *opened_;
  try {
    // The index first, in one write, as the block is then gone; the files
    // follow, each later block moving down into the number just freed. An
    // interruption before the files are touched gives the block back, one
    // after leaves every other block on disk: the repair that ends the
    // deletion, and the next opening, put index and files right either way.
    const fs::path headerPath = files_.HeaderPath(id_);
    int last = 0;
    {
      SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
      const SiteHeader::BlockIndex index = header.ReadBlockIndex();
      if (index.damaged) throw IoError("The block index of the site file is damaged.");
      last = index.numbers.empty() ? 0 : index.numbers.back();
    }
    HeaderTransaction t(headerPath, headerPath);
    if (last > 0) t.Header().WriteRecord(header::kFirstBlockSlot + last - 1, "");
    if (selected == last) {
      // The same run may then be downloaded again.
      t.Header().WriteRecord(header::kLastRunDay, "");
      t.Header().WriteRecord(header::kLastRunTime, "");
    }
    t.Commit();
    const BlockPaths gone = MakeBlockPaths(OpenedStem());
    if (!Files::Remove(gone.data) && Files::FileExists(gone.data)) {
      throw IoError("The data block file could not be deleted.");
    }
    Files::Remove(gone.header);
    for (int n = selected; n < last; ++n) {
      const BlockPaths from =
          MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, n + 1)));
      const BlockPaths to =
          MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, n)));
      if (Files::FileExists(from.header)) Files::Rename(from.header, to.header);
      Files::Rename(from.data, to.data);
    }
    // The deletion is on the disk before the person goes on.
    fileops::SyncFolder(gone.data.parent_path());
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while deleting the data block.\r\nThe error is ") +
        e.what());
  }
  try {
    RepairSite(files_, id_, dataDirectory_);
  } catch (const std::exception&) {
    // Put right at the next opening.
  }
  // The edits went with the block: nothing is left to update. The graph,
  // the outlook and the export read the calibrated files, which must follow.
  ForgetBlock();
  recompute_ = true;
  return true;
}

}  // namespace pelvaro
