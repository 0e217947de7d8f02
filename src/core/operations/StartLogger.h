#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/link/LinkDialogs.h"
#include "core/operations/StartBlock.h"
#include "core/platform/Files.h"
#include "core/storage/OpenedFiles.h"

namespace pelvaro {

using GridRows = std::vector<std::pair<std::string, std::string>>;

// "Start Velmora Data Logger": the chosen site, the new start's settings as
// the pickers hold them, and the start itself. The widgets show what this
// holds.
class StartWindowModel {
 public:
  StartWindowModel(const Files& files, Prompter& prompter);

  // Opening the window: lists the sites and loads the remembered one, so that the
  // highlighted site is the one a Start starts. A restart request after a
  // download (START.DAT "YES") is answered once.
  void Load(const DateTime& now);
  const std::vector<std::string>& Sites() const { return sites_; }
  std::optional<int> SelectedSite() const { return selected_; }
  // A click on a list entry, the highlighted one as much as any other: the
  // selection names the site and its own data directory.
  void ClickSite(int index, const DateTime& now);
  bool SiteLoaded() const { return loaded_; }

  // The grids: the site's header and the settings it was last started with.
  GridRows SiteHeaderRows() const;
  GridRows StartSettingsRows() const;
  // The status bar's hint: choose a site, or press Start.
  std::string Hint() const;

  std::optional<StartMode> Mode() const { return mode_; }
  // modeChoice_Click: the mode, and the pickers' first offer for it.
  void ChooseMode(StartMode mode, const DateTime& now);
  // The pickers: the start date and time, the scan interval.
  StartSettings& Settings() { return settings_; }
  const StartSettings& Settings() const { return settings_; }
  void SetScanTime(TimeOfDay scan) { settings_.scan = CorrectScanTime(scan); }
  // The display timer: unless the start is timed, it starts now.
  void Tick(const DateTime& now);

  // start_Click: the checks in order, then the start over the link. True
  // only when the logger echoed the block exactly. A site header another
  // program changed since it was loaded is neither started nor written over:
  // the user is offered to reload the site, and the window stays.
  bool Start(LinkContext& link, const std::function<void()>& bell);
  // Whether the last Start got past its checks to the logger (the window
  // then closes, whatever the outcome).
  bool Attempted() const { return attempted_; }
  // A port given for this start alone (command line): DEF.INS is not used.
  void UseFixedPort(int port) { fixedPort_ = port; }

 private:
  void LoadSiteSettings(const std::string& identification, const DateTime& now);
  void OfferStart(const DateTime& now);
  void SiteFileError(const std::exception& e);
  // Under the writer lock: true when the header is as it was loaded.
  bool SiteStillAsLoaded(const DateTime& now);
  int LastBlockNumber();
  bool StartLogger(LinkContext& link, const std::function<void()>& bell);
  void SaveStartSettings(const StartSettings& sent);

  const Files& files_;
  Prompter& prompter_;
  std::vector<std::string> sites_;
  std::optional<int> selected_;
  std::string identification_;
  std::string dataDirectory_;
  OpenedFiles loadedHeader_;
  GridRows header_;
  GridRows lastStart_;
  std::optional<StartMode> mode_;
  StartSettings settings_;
  bool loaded_ = false;
  bool attempted_ = false;
  std::optional<int> fixedPort_;
};

// The site header's last block number: 0 when none, the value of record 214
// when every slot is used.
int LastBlockNumberOf(const Files& files, const std::string& identification);

}  // namespace pelvaro
