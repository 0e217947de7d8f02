#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/site/CalibrationGrid.h"
#include "core/site/DirectoryList.h"
#include "core/storage/OpenedFiles.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {
class SiteHeader;
}

namespace pelvaro {

// Rows of the site details grid.
enum DetailRow {
  kSiteNameRow = 0,
  kSiteNumberRow,
  kDataDirectoryRow,
  kSerialNumberRow,
  kRootZoneRow,
  kDetailRows
};

enum class IdentificationOption { None, SiteName, SerialNumber };

// Said when a key would make the site name longer than a file name may take it.
inline constexpr const char* kSiteNameFull = "The site name holds at most 15 characters.";

// Everything the site window knows and decides: details, identification,
// calibration rows, directory list, and the two write paths.
class SiteForm {
 public:
  SiteForm(const Files& files, Prompter& prompter, bool createFlag);

  // Reads Sitesel.dat and, for mode 2, the named site's header.
  void Load();
  const std::string& Caption() const { return caption_; }
  bool Creating() const { return create_; }

  // Details grid.
  static const char* DetailLabel(int row);
  const std::string& Detail(int row) const { return details_[row]; }
  // A value put in as a loaded header would (typing goes through TypeDetail).
  void SetDetail(int row, std::string text) { details_[row] = std::move(text); }
  void EnterCell() { firstKeyReplaces_ = true; }
  // A key typed into the details grid (8 Backspace, 13 Enter); returns the
  // row the selection moves to.
  int TypeDetail(int row, int key);
  IdentificationOption Option() const { return option_; }
  void SetOption(IdentificationOption option);
  std::string SiteIdentification() const;

  // Calibration grid and directory list.
  CalibrationGrid& Calibration() { return calibration_; }
  const CalibrationGrid& Calibration() const { return calibration_; }
  // A key typed into the calibration grid; returns the row the selection moves to.
  int TypeCalibration(int row, int column, int key);
  // Cells pasted from (row, column) on, each by the typing rule of its cell;
  // refused values leave their cells and are told once.
  void PasteCalibration(int row, int column, std::string_view text);
  void ClickCalibration(int row, int column);
  void SetMeasurementType(const std::string& type);
  DirectoryList& Directories() { return directories_; }
  void DoubleClickDirectory(int entry);
  void RemoveDirectory();

  bool ValidateSiteData();
  bool HeaderExists(const std::string& identification) const;

  // OK: Close when the window should close (saved, or nothing to save). A
  // header another program changed since it was loaded is not written over:
  // the user is offered to reload it, and the window stays.
  enum class OkResult { Stay, Close };
  OkResult Ok();
  // True when OK wrote a header whose identification the main window should select.
  bool Saved() const { return !saved_.empty(); }
  // The identification of the header OK wrote; empty when it wrote none.
  const std::string& SavedIdentification() const { return saved_; }

  bool Changed() const { return changed_ || calibration_.changed; }
  bool BlocksExist() const { return blocksExist_; }
  bool DepthsFrozen() const { return blocksExist_ && !create_; }
  const std::string& Hint() const { return hint_; }
  // Told true just before the header is written and false once it is, so the
  // window can say it is busy then and only then.
  void SetWritingNotice(std::function<void(bool)> notice) { writingNotice_ = std::move(notice); }
  void SetHint(std::string hint) { hint_ = std::move(hint); }

 private:
  void Clear();
  void LoadHeader(const std::string& identification);
  void LoadHeaderOrTell(const std::string& identification);
  // The loaded header once more, as it now is.
  void ReloadHeader();
  bool CreateSite();
  OkResult SaveSite();
  std::optional<OkResult> RefuseIdentification(const std::string& id, bool renamed);
  // Under the lock: the header is still the one loaded, else the user was asked.
  bool LoadedHeaderUnchanged();
  void WriteHeader(SiteHeader& h, const std::string& id, const std::string& directory);
  bool EnterCurrentDirectory();
  void WriteCalibrationRows(SiteHeader& header) const;

  const Files& files_;
  Prompter& prompter_;
  bool create_;
  std::string caption_;
  std::array<std::string, kDetailRows> details_;
  IdentificationOption option_ = IdentificationOption::None;
  CalibrationGrid calibration_;
  DirectoryList directories_;
  bool changed_ = false;
  bool firstKeyReplaces_ = false;
  bool blocksExist_ = false;
  std::string saved_;
  std::string loadedIdentification_;
  OpenedFiles loadedHeader_;
  std::string loadedSiteName_;
  std::string hint_;
  std::function<void(bool)> writingNotice_;
};

}  // namespace pelvaro
