#include "core/shell/Startup.h"

#include "core/platform/WriterLock.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

namespace {

constexpr const char* kStateFiles[] = {"Sitesel.dat", "START.dat", "DEF.INS"};

// The storage step ignores every failure and runs the next statement.
template <typename F>
void Ignoring(F&& step) {
  try {
    step();
  } catch (const std::exception&) {
  }
}

}  // namespace

StartupEnvironment StartupEnvironment::FromProcess(const fs::path& programFolder,
                                                   const fs::path& installedData) {
  StartupEnvironment env;
  env.userProfile = EnvironmentPath("USERPROFILE");
  env.home = EnvironmentPath("HOME");
  env.programFiles = EnvironmentPath("ProgramFiles");
  env.installedData = installedData;
  env.programFolder = programFolder;
  std::error_code ec;
  env.currentFolder = fs::current_path(ec);
  return env;
}

fs::path WorkingRootFor(const StartupEnvironment& env) {
  fs::path profile;
  if (env.userProfile && !env.userProfile->empty()) {
    profile = *env.userProfile;
  } else if (env.home) {
    profile = *env.home;
  }
  return (profile.empty() ? fs::path("/") : profile) / "Pelvaro Data";
}

fs::path InstallFolderFor(const StartupEnvironment& env) {
  if (env.programFiles && !env.programFiles->empty()) {
    return *env.programFiles / "TVMKVelmora";
  }
  return env.installedData;
}

bool CreateWorkingRoot(const Files& files) {
  if (!Files::FolderExists(files.Root())) Files::CreateFolder(files.Root());
  return Files::FolderExists(files.Root());
}

bool CreateStorageFolder(const Files& files, const std::string& name) {
  const fs::path path = files.InRoot(name);
  if (!Files::FolderExists(path)) Files::CreateFolder(path);
  return Files::FolderExists(path);
}

bool CreateStorageFolders(const Files& files) {
  const bool data = CreateStorageFolder(files, "TVMKDATA");
  const bool headers = CreateStorageFolder(files, "TVMKHEADER");
  return data && headers;
}

void CopyInstallFolders(const fs::path& source, const fs::path& destination) {
  if (source.empty() || !Files::FolderExists(source)) return;
  for (const std::string& name : Files::ListFolders(source)) {
    Files::CopyFolder(Files::Child(source, name), Files::Child(destination, name));
  }
}

void CopyStateFiles(const fs::path& source, const fs::path& destination) {
  if (source.empty()) return;
  for (const char* name : kStateFiles) {
    // The copy keeps the source's spelling, or overwrites the file already
    // there whatever its case.
    const fs::path found = Files::Resolve(source / name);
    if (Files::FileExists(found)) Files::CopyFile(found, destination / found.filename());
  }
}

namespace {

// A sample file never replaces one of the working root: what is there may be
// a season's data.
bool MoveIfAbsent(const fs::path& from, const fs::path& to) {
  if (Files::FileExists(to)) return false;
  return Files::Move(from, to);
}

fs::path Canonical(const fs::path& path) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(path, ec), ec);
  return ec ? path.lexically_normal() : canonical;
}

}  // namespace

bool IsInsideFolder(const fs::path& path, const fs::path& folder) {
  const fs::path inner = Canonical(path);
  const fs::path outer = Canonical(folder);
  auto i = inner.begin();
  for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
    // A trailing separator leaves an empty last part.
    if (o->empty() && std::next(o) == outer.end()) break;
    if (i == inner.end() || !Files::SameNameIgnoringCase(PathText(*i), PathText(*o))) return false;
  }
  return true;
}

bool MoveStrayKeyFiles(const Files& files, const fs::path& currentFolder) {
  for (const std::string& name : Files::List(currentFolder, "*.key")) {
    MoveIfAbsent(Files::Child(currentFolder, name), Files::Child(files.InRoot("TVMKDATA"), name));
  }
  return true;
}

bool MoveStrayDatFiles(const Files& files, const fs::path& currentFolder) {
  for (const std::string& name : Files::List(currentFolder, "*.dat")) {
    if (name == "Sitesel.dat" || name == "START.DAT") continue;
    MoveIfAbsent(Files::Child(currentFolder, name), Files::Child(files.InRoot("TVMKDATA"), name));
  }
  return true;
}

bool InstallSampleSite(const Files& files, const fs::path& currentFolder) {
  const std::string keyName = std::string(kSampleSite) + ".key";
  const fs::path source = currentFolder / keyName;
  if (currentFolder.empty() || !Files::FileExists(source)) return false;
  // The working root's own folders hold the site files: nothing there is a
  // sample to move in, whatever its name.
  if (IsInsideFolder(currentFolder, files.Root())) return false;
  // Moving writes the root: never beside another program's writes.
  const WriterLock::Attempt lock = WriterLock::TryAcquire(files);
  if (lock.status != WriterLock::Status::Held) return false;
  if (!MoveIfAbsent(source, files.HeaderFolder() / keyName)) return false;
  const bool keys = MoveStrayKeyFiles(files, currentFolder);
  const bool dats = MoveStrayDatFiles(files, currentFolder);
  if (!keys && !dats) return false;
  const std::string graphName = std::string(kSampleSite) + ".bgf";
  if (!Files::FileExists(currentFolder / graphName)) return false;
  return MoveIfAbsent(currentFolder / graphName, files.InRoot("TVMKDATA") / graphName);
}

void LoadSiteList(const Files& files, Prompter& prompter, StartupResult& result) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      result.sites = ListSites(files);
      result.selectedSite.reset();
      const SiteSelection remembered = ReadSiteSelection(files, 8);
      result.selectedSite = RememberedSiteIndex(result.sites, remembered.identification);
      return;
    } catch (const UnsafeNameError& e) {
      // The list stands; only the remembered site is refused.
      prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
      return;
    } catch (const std::exception&) {
      result.sites.clear();
      result.selectedSite.reset();
    }
  }
}

StartupResult RunStartup(const StartupEnvironment& env, Prompter& prompter,
                         const std::function<void(const Files&)>& convertSelected) {
  StartupResult result;
  result.workingRoot = WorkingRootFor(env);
  const Files files(result.workingRoot);

  if (!Files::FolderExists(files.Root())) {
    bool root = false;
    bool folders = false;
    Ignoring([&] { root = CreateWorkingRoot(files); });
    Ignoring([&] { folders = CreateStorageFolders(files); });
    if (root && folders) {
      const fs::path install = InstallFolderFor(env);
      Ignoring([&] { CopyInstallFolders(install, files.Root()); });
      Ignoring([&] { CopyStateFiles(install, files.Root()); });
    }
  }
  Ignoring([&] {
    if (!Files::FolderExists(files.HeaderFolder())) CreateStorageFolders(files);
  });
  Ignoring([&] {
    if (!Files::FileExists(files.InRoot("Sitesel.Dat")) ||
        !Files::FileExists(files.InRoot("START.DAT"))) {
      CopyStateFiles(env.programFolder, files.Root());
    }
  });
  Ignoring([&] { WriteRestartRequest(files, "NO"); });

  Ignoring([&] { result.sampleInstalled = InstallSampleSite(files, env.currentFolder); });
  if (result.sampleInstalled && convertSelected) convertSelected(files);

  LoadSiteList(files, prompter, result);
  return result;
}

}  // namespace pelvaro
