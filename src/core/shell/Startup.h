#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Program.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

inline constexpr char kSampleSite[] = "SAMPLE SITE_01";

// Where the program looks for its files when it starts.
struct StartupEnvironment {
  std::optional<fs::path> userProfile;   // USERPROFILE
  std::optional<fs::path> home;          // HOME, when there is no USERPROFILE
  std::optional<fs::path> programFiles;  // ProgramFiles
  fs::path installedData;                // the seed folder when ProgramFiles is not set
  fs::path programFolder;                // the folder of the executable
  fs::path currentFolder;                // where the installation leaves the sample site

  static StartupEnvironment FromProcess(const fs::path& programFolder,
                                        const fs::path& installedData);
};

fs::path WorkingRootFor(const StartupEnvironment& env);
fs::path InstallFolderFor(const StartupEnvironment& env);

// Folder set-up helpers shared with later steps.
bool CreateWorkingRoot(const Files& files);
bool CreateStorageFolder(const Files& files, const std::string& name);
bool CreateStorageFolders(const Files& files);
void CopyInstallFolders(const fs::path& source, const fs::path& destination);
void CopyStateFiles(const fs::path& source, const fs::path& destination);

// True when the path is the folder or lies inside it.
bool IsInsideFolder(const fs::path& path, const fs::path& folder);
// Moves the sample site (and any stray block files beside it) from the
// current folder into the storage folders, never over a file already there,
// and only from outside the working root while no other program writes it;
// true when its graph file moved.
bool InstallSampleSite(const Files& files, const fs::path& currentFolder);
bool MoveStrayKeyFiles(const Files& files, const fs::path& currentFolder);
bool MoveStrayDatFiles(const Files& files, const fs::path& currentFolder);

struct StartupResult {
  fs::path workingRoot;
  bool sampleInstalled = false;
  std::vector<std::string> sites;   // the site list
  std::optional<int> selectedSite;  // the remembered site's entry
};

// The start-up sequence run when the main window loads. The conversion hook
// runs when the sample site was installed.
StartupResult RunStartup(const StartupEnvironment& env, Prompter& prompter,
                         const std::function<void(const Files&)>& convertSelected = {});

// Lists the sites and finds the remembered one; a failure is tried once more
// and then leaves an empty list.
void LoadSiteList(const Files& files, Prompter& prompter, StartupResult& result);

}  // namespace pelvaro
