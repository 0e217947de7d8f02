#include "core/editor/BlockEditor.h"

#include <algorithm>
#include <cmath>

#include "core/operations/Conversion.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr int kBackspace = 8;
constexpr double kLargestReading = 65535;

std::string StartDateText(int dayNumber) {
  return DayNumberToDayMonth(dayNumber) + "/" + DayNumberToYear(dayNumber);
}

std::string ClockText(long seconds) {
  return TwoDigitText(static_cast<int>(seconds / 3600)) + ":" +
         TwoDigitText(static_cast<int>(seconds % 3600 / 60)) + ":" +
         TwoDigitText(static_cast<int>(seconds % 60));
}

}  // namespace

std::vector<int> BlockNumbersOnDisk(const Files& files, const std::string& dataDirectory,
                                    const std::string& identification) {
  std::vector<int> numbers;
  for (const std::string& name :
       Files::List(files.DataFolder(dataDirectory), BlockFilePattern(identification))) {
    const std::string digits = name.substr(identification.size() + 1, 3);
    if (digits.find_first_not_of("0123456789") == std::string::npos) {
      numbers.push_back(std::stoi(digits));
    }
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

BlockEditor::BlockEditor(const Files& files, Prompter& prompter)
    : files_(files), prompter_(prompter) {}

std::string BlockEditor::Hint() const {
  return opened_ ? "Hint: Select the cell to enter new value."
                 : " Hint: Click the block number to view or update data.";
}

void BlockEditor::Load() {
  try {
    const SiteSelection selection = ReadSiteSelection(files_);
    id_ = selection.identification;
    dataDirectory_ = selection.dataDirectory;
    CheckSafeName(id_);
    CheckSafeName(dataDirectory_);
  } catch (const UnsafeNameError& e) {
    prompter_.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
    id_.clear();
    return;
  }
  if (!IndexAgreesWithFiles()) RenumberBlockFiles();
  ShowBlockList();
}

void BlockEditor::ShowBlockList() {
  blocks_.clear();
  SiteHeader header(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
    const double value = header.ReadNumber(r);
    if (value == 0) break;
    blocks_.push_back(static_cast<int>(value));
  }
}

bool BlockEditor::IndexAgreesWithFiles() {
  ShowBlockList();
  const std::vector<int> disk = BlockNumbersOnDisk(files_, dataDirectory_, id_);
  // A folder without any of the site's files is more likely the wrong folder
  // than a site whose blocks all vanished: the index is then left alone.
  return disk.empty() || disk == blocks_;
}

void BlockEditor::RenumberBlockFiles() {
  // Ascending, so a block only ever moves down into a number already free.
  const std::vector<int> disk = BlockNumbersOnDisk(files_, dataDirectory_, id_);
  for (std::size_t j = 0; j < disk.size(); ++j) {
    const int wanted = static_cast<int>(j) + 1;
    if (disk[j] == wanted) continue;
    const BlockPaths from =
        MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, disk[j])));
    const BlockPaths to =
        MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, wanted)));
    for (const auto& [source, target] : {std::pair{from.data, to.data}, {from.header, to.header}}) {
      std::error_code ec;
      if (Files::FileExists(source) && !Files::FileExists(target)) fs::rename(source, target, ec);
    }
  }
  try {
    HeaderTransaction t(files_.HeaderPath(id_), files_.HeaderPath(id_));
    t.Header().RebuildBlockIndex(files_, id_, dataDirectory_);
    t.Commit();
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while accessing the site file.\r\nThe error is ") +
        e.what());
  }
}

fs::path BlockEditor::OpenedStem() const {
  return opened_ ? BlockStemPath(files_, dataDirectory_, BlockStem(id_, *opened_)) : fs::path();
}

bool BlockEditor::OpenBlock(int blockNumber) {
  if (changed_) Save();
  const fs::path stem = BlockStemPath(files_, dataDirectory_, BlockStem(id_, blockNumber));
  const BlockPaths paths = MakeBlockPaths(stem);
  BlockData data(paths.data, RecordFile::Mode::ReadOnly);
  if (data.Length() < 4) {
    prompter_.Message("SITE " + stem.string() + " IS EMPTY, LOAD DATA FROM VELMORA");
    opened_.reset();
    cells_.clear();
    return false;
  }
  header_ = ReadBlockHeader(paths.header);
  const RunHeader& run = header_.run;
  // A block whose count was never given shows as the site's sensors.
  sensors_ = std::clamp(run.SensorCount(), 0, 5);
  if (sensors_ == 0) {
    SiteHeader site(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
    sensors_ = std::clamp(static_cast<int>(site.ReadNumber(header::kSensorsOn)), 1, 5);
  }
  const std::vector<std::uint16_t> words = data.ReadAllWords();
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
  SiteHeader site(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
  info_ = {{"Start Date", StartDateText(run.StartDay())},
           {"Start Time", ClockText(2L * run.StartTimeUnits())},
           {"Profile Pts.", site.ReadRecord(header::kDepthSlotCount)},
           {"Root Zone", site.ReadRecord(header::kRootZone)},
           {"Sensors", Spaced(sensors_)},
           {"Site No.", Spaced(run.SiteNumber())},
           {"Scan Time Seconds", Spaced(run.ScanInterval())},
           {"Serial Number", Spaced(run.SerialNumber())},
           {"Data Blocks", Spaced(static_cast<double>(blocks_.size()))},
           {"Selected Block", Spaced(blockNumber)},
           {"End Date", header_.dateText},
           {"End Time", header_.timeText},
           {"Sensor Scans", Spaced(std::floor(w / sensors_))}};
  opened_ = blockNumber;
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

void BlockEditor::Save() {
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
    return;
  }
  const BlockPaths paths = MakeBlockPaths(OpenedStem());
  try {
    std::string bytes = Files::ReadWholeFile(paths.data).value_or(std::string());
    for (std::size_t r = 0; r < cells_.size(); ++r) {
      for (int c = 0; c < sensors_; ++c) {
        const std::uint64_t reading = r * sensors_ + c + 1;
        if (reading > words_ || 2 * reading > bytes.size()) continue;
        const double v = ParseLeadingNumber(cells_[r][c]);
        const int high = static_cast<int>(std::floor(v / 256));
        const int low = static_cast<int>(v) - 256 * high;
        bytes[2 * (reading - 1)] = static_cast<char>(low);
        bytes[2 * reading - 1] = static_cast<char>(high);
      }
    }
    // Every reading lands in its own record, and the file is replaced whole.
    Files::WriteWholeFile(paths.data, bytes);
    recompute_ = true;
    updateEnabled_ = false;
    edited_.clear();
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while saving the data values.\r\nThe error is ") + e.what());
  }
}

void BlockEditor::Recompute() {
  recompute_ = false;
  TimedDat(files_, prompter_, id_, dataDirectory_, ConversionCaller::Editor);
}

void BlockEditor::UpdateData() {
  updateRequest_ = true;
  if (changed_) Save();
  if (recompute_) Recompute();
  changed_ = false;
  updateRequest_ = false;
}

void BlockEditor::Close() {
  if (changed_) Save();
  if (recompute_) Recompute();
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
  record.resize(kBlockHeaderRecordSize, ' ');
  const fs::path headerFile = MakeBlockPaths(OpenedStem()).header;
  try {
    std::string bytes = Files::ReadWholeFile(headerFile).value_or(std::string());
    bytes.resize(std::max<std::size_t>(bytes.size(), 3 * kBlockHeaderRecordSize), ' ');
    bytes.replace(kBlockHeaderRecordSize, kBlockHeaderRecordSize, record);
    Files::WriteWholeFile(headerFile, bytes);
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while saving the start date.\r\nThe error is ") + e.what());
    return false;
  }
  header_ = ReadBlockHeader(headerFile);
  info_[0].second = StartDateText(dayNumber);
  // The graph follows the block's new dates.
  recompute_ = true;
  return true;
}

bool BlockEditor::DeleteSelected() {
  if (!opened_) return false;
  if (prompter_.Message("Are you sure you want to delete the selected data block?",
                        "Confirm Delete", Buttons::YesNoDefaultNo, Icon::Question) != Answer::Yes) {
    return false;
  }
  const int selected = *opened_;
  int last = 0;
  int lastSlot = 0;
  {
    SiteHeader header(files_.HeaderPath(id_), RecordFile::Mode::ReadOnly);
    for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
      const double value = header.ReadNumber(r);
      if (value == 0) break;
      last = static_cast<int>(value);
      lastSlot = r;
    }
  }
  // The files first, each later block moving down into a number just freed,
  // so an interruption leaves every block on disk; the next opening puts the
  // index right from the files.
  const BlockPaths gone = MakeBlockPaths(OpenedStem());
  Files::Remove(gone.data);
  Files::Remove(gone.header);
  for (int n = selected; n < last; ++n) {
    const BlockPaths from =
        MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, n + 1)));
    const BlockPaths to = MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(id_, n)));
    std::error_code ec;
    if (!Files::FileExists(to.data)) fs::rename(from.data, to.data, ec);
    if (!Files::FileExists(to.header)) fs::rename(from.header, to.header, ec);
  }
  try {
    HeaderTransaction t(files_.HeaderPath(id_), files_.HeaderPath(id_));
    if (lastSlot != 0) t.Header().WriteRecord(lastSlot, "");
    if (selected == last) {
      // The same run may then be downloaded again.
      t.Header().WriteRecord(header::kLastRunDay, "");
      t.Header().WriteRecord(header::kLastRunTime, "");
    }
    t.Commit();
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while accessing the site file.\r\nThe error is ") +
        e.what());
  }
  // The edits went with the block: nothing is left to update.
  opened_.reset();
  cells_.clear();
  edited_.clear();
  changed_ = false;
  updateEnabled_ = false;
  ShowBlockList();
  return true;
}

}  // namespace pelvaro
