#include "core/site/SiteForm.h"

#include <cstring>

#include "core/operations/Conversion.h"
#include "core/platform/WriterLock.h"
#include "core/shell/SiteCatalogue.h"
#include "core/shell/Startup.h"
#include "core/storage/BlockStore.h"
#include "core/storage/NumberText.h"
#include "core/storage/PastedCells.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

constexpr std::size_t kDetailMax[kDetailRows] = {15, 2, 10, 5, 4};
constexpr const char* kDetailLabels[kDetailRows] = {
    "Site Name", "Site Number", "Current Data Directory", "Logger Serial Number",
    "Root Feeder Zone (mm)"};
constexpr int kBackspace = 8;
constexpr int kEnter = 13;

bool NumericRow(int row) {
  return row == kSiteNumberRow || row == kSerialNumberRow || row == kRootZoneRow;
}

// Characters that cannot stand in a file or folder name on any system.
bool RefusedInName(int c) { return c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", c); }

// A number as the window shows it: blank stays blank, "07" shows as "7".
std::string Shown(const std::string& record) {
  return Trim(record).empty() ? std::string() : Plain(ParseLeadingNumber(record));
}

// Brackets a header write for the window's busy caption, whichever way it ends.
class Writing {
 public:
  explicit Writing(const std::function<void(bool)>& notice) : notice_(notice) {
    if (notice_) notice_(true);
  }
  ~Writing() {
    if (notice_) notice_(false);
  }
  Writing(const Writing&) = delete;
  Writing& operator=(const Writing&) = delete;

 private:
  const std::function<void(bool)>& notice_;
};

}  // namespace

SiteForm::SiteForm(const Files& files, Prompter& prompter, bool createFlag)
    : files_(files), prompter_(prompter), create_(createFlag) {}

const char* SiteForm::DetailLabel(int row) { return kDetailLabels[row]; }

void SiteForm::Clear() {
  changed_ = false;
  calibration_ = CalibrationGrid();
  directories_ = DirectoryList();
  details_.fill(std::string());
}

void SiteForm::Load() {
  Clear();
  caption_ = create_ ? "Create New Site File" : "Edit Site File";
  const SiteSelection selection =
      ReadSiteSelectionOrTell(files_, prompter_).value_or(SiteSelection{});
  const int mode = selection.mode.value_or(0);
  if (mode == 1) {
    details_[kDataDirectoryRow] = "TVMKDATA";
  } else if (mode == 2 && !selection.identification.empty() &&
             Files::FolderExists(files_.HeaderFolder()) &&
             Files::FileExists(files_.HeaderPath(selection.identification))) {
    LoadHeaderOrTell(selection.identification);
  }
  calibration_.changed = false;
  calibration_.calibrationEdited = false;
}

void SiteForm::LoadHeaderOrTell(const std::string& id) {
  try {
    LoadHeader(id);
  } catch (const std::exception& e) {
    prompter_.Message(std::string("An error occurred while loading site details.\r\n") +
                      "Site file has errors or missing data.The error is " + e.what());
  }
}

void SiteForm::ReloadHeader() {
  const std::string id = loadedIdentification_;
  Clear();
  loadedIdentification_.clear();
  loadedSiteName_.clear();
  loadedHeader_ = {};
  LoadHeaderOrTell(id);
  calibration_.changed = false;
  calibration_.calibrationEdited = false;
}

void SiteForm::LoadHeader(const std::string& id) {
  // Before the fields are read: a change made while reading them refuses the save.
  OpenedFiles opened = OpenedFiles::Header(files_.HeaderPath(id));
  SiteHeader h(files_.HeaderPath(id), RecordFile::Mode::ReadOnly);
  if (h.IsEmpty()) return;
  const std::string dataDirectory = Trim(h.ReadRecord(header::kDataDirectory));
  details_[kSiteNameRow] = h.ReadRecord(header::kSiteName);
  details_[kSiteNumberRow] = Shown(h.ReadRecord(header::kSiteNumber));
  details_[kDataDirectoryRow] = dataDirectory;
  details_[kSerialNumberRow] = Shown(h.ReadRecord(header::kSerialNumber));
  details_[kRootZoneRow] = Shown(h.ReadRecord(header::kRootZone));
  option_ =
      ContainsLetter(id) ? IdentificationOption::SiteName : IdentificationOption::SerialNumber;
  loadedIdentification_ = id;
  loadedHeader_ = std::move(opened);
  loadedSiteName_ = Trim(details_[kSiteNameRow]);

  const std::string type = Trim(h.ReadRecord(header::kMeasurementType));
  if (type == "Percentage" || type == "Volumetric") calibration_.SetMeasurementType(type, false);

  std::vector<std::string> listed;
  for (int r = header::kFirstDirectory; r < header::kFirstDirectory + kDirectoryEntries; ++r) {
    const std::string entry = h.ReadRecord(r);
    if (Trim(entry).empty()) break;
    listed.push_back(entry);
  }
  if (listed.empty() && !dataDirectory.empty()) listed.push_back(dataDirectory);
  directories_.SetEntries(listed);

  double slots = h.ReadNumber(header::kDepthSlotCount);
  if (slots == 0) slots = 12;
  int row = 0;
  for (int d = 1; d <= 12 && d <= slots && row < kSensorRows; ++d) {
    const int base = header::CalibrationBase(d);
    if (Trim(h.ReadRecord(base + header::kState)) != "ON") continue;
    calibration_.LoadRow(row++, 10 * d,
                         {h.ReadRecord(base + header::kOffset), h.ReadRecord(base + header::kSlope),
                          h.ReadRecord(base + header::kFieldCapacity),
                          h.ReadRecord(base + header::kRefill), h.ReadRecord(header::SoilType(d))});
  }
  calibration_.FinishLoad();

  blocksExist_ = false;
  for (const std::string& entry : listed) {
    const std::string folder = Trim(entry);
    if (IsDataDirectoryName(folder) &&
        !Files::List(files_.DataFolder(folder), BlockFilePattern(id)).empty()) {
      blocksExist_ = true;
    }
  }
  if (DepthsFrozen()) calibration_.SetListsEnabled(false);
  if (IsDataDirectoryName(dataDirectory)) Files::CreateFolder(files_.DataFolder(dataDirectory));
}

int SiteForm::TypeDetail(int row, int key) {
  std::string& cell = details_[row];
  int c = key;
  if (NumericRow(row)) NumericKeyFilter(c);
  if (c == 0) return row;
  if (c > 0 && c <= 0xFF) c = static_cast<unsigned char>(Cp1252Upper(static_cast<char>(c)));
  if (c == kBackspace) {
    if (!cell.empty()) cell.pop_back();
  } else if (c == kEnter) {
    firstKeyReplaces_ = true;
    if (row == kDataDirectoryRow) {
      switch (directories_.Enter(cell, prompter_)) {
        case DirectoryList::EnterResult::Entered:
          if (IsDataDirectoryName(Trim(cell))) Files::CreateFolder(files_.DataFolder(Trim(cell)));
          break;
        case DirectoryList::EnterResult::Full: {
          const int selected = directories_.Selected();
          cell = selected >= 0 ? TrimRight(directories_.Entries()[selected]) : std::string();
          break;
        }
        default:
          break;
      }
    }
    changed_ = true;
    return row == kRootZoneRow ? row : row + 1;
  } else if (c == ' ') {
    cell += ' ';
  } else {
    // Names become file names: nothing that could leave the working root.
    const bool nameRow = row == kSiteNameRow || row == kDataDirectoryRow;
    if (nameRow && RefusedInName(c)) return row;
    if (nameRow && c == '.' && (Trim(cell).empty() || cell.back() == '.')) return row;
    if (!TypeIntoCell(cell, static_cast<char>(c), kDetailMax[row], firstKeyReplaces_)) {
      // A name cut short without a word would be stored short without anyone noticing.
      if (row == kSiteNameRow) hint_ = kSiteNameFull;
      return row;
    }
  }
  changed_ = true;
  return row;
}

void SiteForm::SetOption(IdentificationOption option) {
  option_ = option;
  changed_ = true;
}

std::string SiteForm::SiteIdentification() const {
  std::string number = Trim(details_[kSiteNumberRow]);
  if (number.size() == 1) number = "0" + number;
  switch (option_) {
    case IdentificationOption::SiteName:
      return Trim(details_[kSiteNameRow]) + "_" + number;
    case IdentificationOption::SerialNumber:
      return Trim(details_[kSerialNumberRow]) + "_" + number;
    case IdentificationOption::None:
      break;
  }
  return {};
}

int SiteForm::TypeCalibration(int row, int column, int key) {
  if (key == kEnter) {
    // As in the details grid: the entry ends and the next row's cell is entered.
    firstKeyReplaces_ = true;
    return row + 1 < kSensorRows ? row + 1 : row;
  }
  calibration_.Type(row, column, key, firstKeyReplaces_);
  return row;
}

void SiteForm::PasteCalibration(int row, int column, std::string_view text) {
  // The ON/OFF column takes clicks only: the paste stops before it.
  PasteCells(
      text, row, column, kSensorRows, kOnOffColumn,
      [this](int r, int c, const std::string& value) { return calibration_.Put(r, c, value); },
      prompter_);
  firstKeyReplaces_ = true;
}

void SiteForm::ClickCalibration(int row, int column) {
  const std::string hint = calibration_.Click(row, column, DepthsFrozen());
  if (!hint.empty()) hint_ = hint;
}

void SiteForm::SetMeasurementType(const std::string& type) {
  calibration_.SetMeasurementType(type, create_);
}

void SiteForm::DoubleClickDirectory(int entry) {
  if (auto name = directories_.DoubleClick(entry)) {
    details_[kDataDirectoryRow] = *name;
    changed_ = true;
  }
}

void SiteForm::RemoveDirectory() {
  if (directories_.RemoveSelected(details_[kDataDirectoryRow], prompter_)) changed_ = true;
}

bool SiteForm::ValidateSiteData() {
  const auto fail = [this](const std::string& title, const std::string& text) {
    prompter_.Message(text, title);
    return false;
  };
  try {
    const std::string name = Trim(details_[kSiteNameRow]);
    if (name.empty()) return fail("Site Name", "Site name is required.");
    if (!ContainsLetter(name)) {
      return fail("Invalid Site Name", "Site name should contain at least one letter.");
    }
    // The name only ever stands before "_" and the site number in a file name.
    if (!IsSafeName(name + "_01")) {
      return fail("Invalid Site Name", "Site name cannot be used as a file name.");
    }
    const double number = ParseLeadingNumber(details_[kSiteNumberRow]);
    if (number == 0) return fail("Site Number", "Site number is not valid.");
    if (number < 1) return fail("Site Number", "Site number should be a non zero value.");
    if (number > 255) {
      return fail("Site Number", "Site number should be a value between 0 and 256.");
    }
    const std::string directory = Trim(details_[kDataDirectoryRow]);
    if (directory.empty()) return fail("Data Directory", "Data directory is required.");
    if (!ContainsLetter(directory)) {
      return fail("Invalid Data Directory Name",
                  "Data directory should contain at least one letter.");
    }
    if (!IsSafeName(directory)) {
      return fail("Invalid Data Directory Name", "Data directory cannot be used as a folder name.");
    }
    if (!IsDataDirectoryName(directory)) {
      return fail("Invalid Data Directory Name", DataDirectoryError(directory).what());
    }
    const double serial = ParseLeadingNumber(details_[kSerialNumberRow]);
    if (serial == 0) return fail("Logger Serial Number", "Logger serial number is required.");
    if (serial < 100 || serial > 65535) {
      return fail("Logger Serial Number", "Logger serial number is not valid.");
    }
    const double zone = ParseLeadingNumber(details_[kRootZoneRow]);
    if (zone != 0 && zone < 100) {
      return fail("Root Feeder Zone",
                  "Root feeder zone is lower than the minimum measuring depth 100 mm.");
    }
    if (zone > 1200) {
      return fail("Root Feeder Zone",
                  "Root feeder zone exceeds the maximum measuring depth 1200 mm.");
    }
    if (calibration_.MeasurementType().empty()) {
      return fail("Measurement Type", "Select a measurement type");
    }
    return true;
  } catch (const std::exception& e) {
    prompter_.Message(
        std::string("An error occurred while validating site data\r\nThe error is ") + e.what(),
        "Site Data Error");
    return false;
  }
}

bool SiteForm::HeaderExists(const std::string& identification) const {
  // Case-blind, as every lookup: a header differing only in case is the same file.
  for (const std::string& entry : ListSites(files_)) {
    if (Files::SameNameIgnoringCase(IdentificationOf(entry), identification)) return true;
  }
  return false;
}

SiteForm::OkResult SiteForm::Ok() {
  saved_.clear();
  if (!create_ && !Changed()) return OkResult::Close;
  if (!ValidateSiteData() || !calibration_.ValidateProfileData(prompter_)) return OkResult::Stay;
  if (create_) return CreateSite() ? OkResult::Close : OkResult::Stay;
  return SaveSite();
}

bool SiteForm::EnterCurrentDirectory() {
  if (directories_.Enter(details_[kDataDirectoryRow], prompter_) ==
      DirectoryList::EnterResult::Full) {
    details_[kDataDirectoryRow].clear();
    return false;
  }
  return true;
}

void SiteForm::WriteCalibrationRows(SiteHeader& h) const {
  int on = 0;
  for (int k = 0; k < kSensorRows; ++k) {
    const SensorRow& row = calibration_.Row(k);
    if (row.depth == 0) break;
    const int d = row.depth / 10;
    const auto number = [&](int column) { return ParseLeadingNumber(row.cells[column]); };
    h.WriteCalibration(d, {number(kOffsetColumn), number(kSlopeColumn), number(kFieldCapColumn),
                           number(kRefillColumn), Trim(row.cells[kOnOffColumn])});
    h.WriteRecord(header::SoilType(d), TrimRight(row.cells[kSoilTypeColumn]));
    if (row.IsOn()) ++on;
  }
  h.WriteRecord(header::kSensorsOn, Spaced(std::min(on, 5)));
  h.WriteRecord(header::kFormatVersion, "3.0");
}

bool SiteForm::CreateSite() {
  if (!EnterCurrentDirectory()) return false;
  const std::string id = SiteIdentification();
  if (id.empty() || !IsSafeName(id)) return false;
  if (HeaderExists(id)) {
    prompter_.Message("Site file already exists with the selected site file identification.");
    return false;
  }
  const std::string directory = Trim(details_[kDataDirectoryRow]);
  if (!CreateStorageFolder(files_, directory)) return false;
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock) return false;
  try {
    const Writing writing(writingNotice_);
    HeaderTransaction t(files_.HeaderPath(id), {});
    SiteHeader& h = t.Header();
    for (int r = 1; r <= header::kCreatedRecords; ++r) h.WriteRecord(r, "");
    std::string number = Trim(details_[kSiteNumberRow]);
    if (number.size() == 1) number = "0" + number;
    h.WriteRecord(header::kDataDirectory, directory);
    h.WriteRecord(header::kSerialNumber, Trim(details_[kSerialNumberRow]));
    h.WriteRecord(header::kSiteNumber, number);
    h.WriteRecord(header::kSiteName, Trim(details_[kSiteNameRow]));
    h.WriteRecord(header::kRootZone, details_[kRootZoneRow]);
    h.WriteRecord(header::kDepthSlotCount, "12");
    h.WriteRecord(header::kMeasurementType, calibration_.MeasurementType());
    for (int i = 0; i < kDirectoryEntries; ++i) {
      h.WriteRecord(header::kFirstDirectory + i, directories_.Entries()[i]);
    }
    WriteCalibrationRows(h);
    for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) h.WriteRecord(r, "0");
    for (int r :
         {header::kStartDate, header::kStartTime, header::kLastRunDay, header::kLastRunTime}) {
      h.WriteRecord(r, "0");
    }
    h.WriteRecord(header::kStartMode, "START IMMEDIATE");
    h.WriteRecord(header::kScanInterval, "15");
    t.Commit();
  } catch (const std::exception& e) {
    prompter_.Message(std::string("An error occurred while editing the site file.The error is ") +
                      e.what());
    return false;
  }
  saved_ = id;
  return true;
}

// Why this identification cannot be saved: taken by another site, or fixed by
// the blocks already stored. Nothing when it can.
std::optional<SiteForm::OkResult> SiteForm::RefuseIdentification(const std::string& id,
                                                                 bool renamed) {
  if (renamed && HeaderExists(id)) {
    const std::string text =
        option_ == IdentificationOption::SiteName
            ? "Site File already exist with this site name and site number"
            : "Site file already exist with this serial number and site number";
    return prompter_.Message(text, "DUPLICATE SITE IDENTIFICATION", Buttons::RetryCancel) ==
                   Answer::Retry
               ? OkResult::Stay
               : OkResult::Close;
  }
  if (blocksExist_ && (Trim(details_[kSiteNameRow]) != loadedSiteName_ || renamed)) {
    prompter_.Message(
        "Site file identification cannot be changed.\r\nSaved data blocks exist for this site "
        "file.");
    return OkResult::Stay;
  }
  return std::nullopt;
}

bool SiteForm::LoadedHeaderUnchanged() {
  if (loadedIdentification_.empty()) return true;
  try {
    return UnchangedElseReload(loadedHeader_, prompter_, [this] { ReloadHeader(); });
  } catch (const IoError& e) {
    prompter_.Message(std::string("An error occurred while editing the site file.The error is ") +
                      e.what());
  }
  return false;
}

void SiteForm::WriteHeader(SiteHeader& h, const std::string& id, const std::string& directory) {
  h.WriteRecord(header::kDataDirectory, directory);
  Files::CreateFolder(files_.DataFolder(directory));
  h.WriteRecord(header::kSerialNumber, TrimRight(details_[kSerialNumberRow]));
  h.WriteRecord(header::kSiteNumber, TrimRight(details_[kSiteNumberRow]));
  h.WriteRecord(header::kSiteName, TrimRight(details_[kSiteNameRow]));
  h.WriteRecord(header::kRootZone, TrimRight(details_[kRootZoneRow]));
  if (h.ReadNumber(header::kDepthSlotCount) == 0) h.WriteRecord(header::kDepthSlotCount, "12");
  h.WriteRecord(header::kMeasurementType, Trim(calibration_.MeasurementType()));
  for (int i = 0; i < kDirectoryEntries; ++i) {
    h.WriteRecord(header::kFirstDirectory + i, directories_.Entries()[i]);
  }
  // A depth no longer used ends up "OFF".
  for (int d = 1; d <= 12; ++d) {
    const int state = header::CalibrationBase(d) + header::kState;
    if (Trim(h.ReadRecord(state)) == "ON") h.WriteRecord(state, "OFF");
  }
  WriteCalibrationRows(h);
  h.RebuildBlockIndex(files_, id, directory);
}

SiteForm::OkResult SiteForm::SaveSite() {
  if (prompter_.Message(
          "The data for this site has been changed!\r\nDo you want to update the data "
          "files?",
          "DATA FILE UPDATE", Buttons::YesNo, Icon::Question) != Answer::Yes) {
    return OkResult::Close;
  }
  if (!EnterCurrentDirectory()) return OkResult::Stay;
  const std::string id = SiteIdentification();
  if (id.empty() || !IsSafeName(id)) return OkResult::Stay;
  const bool renamed = id != loadedIdentification_;
  if (const auto refused = RefuseIdentification(id, renamed)) return *refused;
  const std::string directory = Trim(details_[kDataDirectoryRow]);
  const fs::path target = files_.HeaderPath(id);
  const fs::path loaded =
      loadedIdentification_.empty() ? fs::path() : files_.HeaderPath(loadedIdentification_);
  const auto lock = LockForWriting(files_, prompter_);
  if (!lock || !LoadedHeaderUnchanged()) return OkResult::Stay;
  try {
    const Writing writing(writingNotice_);
    // A renamed site starts from its old header, so records not edited here survive.
    HeaderTransaction t(target, Files::FileExists(target) ? target : loaded);
    WriteHeader(t.Header(), id, directory);
    t.Commit();
    WriteSiteSelection(files_, id, directory);
  } catch (const std::exception& e) {
    prompter_.Message(std::string("An error occurred while editing the site file.The error is ") +
                      e.what());
    return OkResult::Stay;
  }
  ConvertSelectedSite(files_, prompter_, ConversionCaller::SiteWindow);
  if (renamed && !loaded.empty() && Files::Resolve(loaded) != Files::Resolve(target)) {
    Files::Remove(loaded);
  }
  // What this window wrote is what it has read: its next save compares with that.
  try {
    loadedHeader_ = OpenedFiles::Header(target);
    loadedIdentification_ = id;
    loadedSiteName_ = Trim(details_[kSiteNameRow]);
  } catch (const IoError&) {
    // The old stamp stays: the next save is refused rather than made blind.
  }
  saved_ = id;
  return OkResult::Close;
}

}  // namespace pelvaro
