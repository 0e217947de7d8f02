#include "core/shell/MainMenu.h"

#include "core/platform/WriterLock.h"
#include "core/shell/SiteCatalogue.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

namespace {

void TellUnsafe(Prompter& prompter, const UnsafeNameError& e) {
  prompter.Message(e.what(), "Site File Error", Buttons::Ok, Icon::Critical);
}

std::optional<SiteSelection> Selection(const Files& files, Prompter& prompter) {
  return ReadSiteSelectionOrTell(files, prompter);
}

bool HeaderExists(const Files& files, const std::string& identification) {
  return !identification.empty() && Files::FileExists(files.HeaderPath(identification));
}

// Rewrites the selection with its own two values and a site window mode.
void RewriteSelectionMode(const Files& files, const SiteSelection& s, int mode) {
  WriteSiteSelection(files, s.identification, s.dataDirectory, mode);
}

bool IsBlockFile(const std::string& name, const std::string& identification) {
  // <identification>_NNN.DAT or .KEY with three digits.
  const std::size_t n = identification.size();
  if (name.size() != n + 8) return false;
  for (std::size_t i = n + 1; i < n + 4; ++i) {
    if (name[i] < '0' || name[i] > '9') return false;
  }
  return true;
}

}  // namespace

std::optional<CurrentSite> ClickSite(const Files& files, Prompter& prompter,
                                     const std::string& entry) {
  CurrentSite site;
  site.identification = IdentificationOf(entry);
  if (!IsSafeName(site.identification)) {
    TellUnsafe(prompter, UnsafeNameError(site.identification));
    return std::nullopt;
  }
  const std::string& id = site.identification;
  site.siteNumber =
      id.size() >= 2 ? static_cast<int>(ParseLeadingNumber(id.substr(id.size() - 2))) : 0;
  fs::path headerPath;
  try {
    headerPath = files.HeaderPath(id);
  } catch (const UnsafeNameError& e) {
    TellUnsafe(prompter, e);  // two headers that only the case tells apart
    return std::nullopt;
  }
  SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
  const std::string dataDirectory = header.ReadRecord(header::kDataDirectory);
  site.serialNumber = static_cast<float>(header.ReadNumber(header::kSerialNumber));
  site.sensorsOn = ToInt16(header.ReadNumber(header::kSensorsOn)).value_or(0);
  if (!Trim(dataDirectory).empty() && !IsDataDirectoryName(Trim(dataDirectory))) {
    TellUnsafe(prompter, DataDirectoryError(Trim(dataDirectory)));
    return std::nullopt;
  }
  WriteSiteSelection(files, id, dataDirectory, 2);
  return site;
}

int CountBlocks(const fs::path& headerPath) {
  SiteHeader header(headerPath, RecordFile::Mode::ReadOnly);
  return header.BlockCount();
}

NextWindow CheckCreateNew(const Files& files, Prompter& prompter, bool siteListEmpty) {
  if (Files::FileExists(files.InRoot(kSiteSelectionName)) && !siteListEmpty) {
    const auto selection = Selection(files, prompter);
    if (!selection) return NextWindow::None;
    const Answer a =
        prompter.Message("Would you like to create a site file by editing the selected site file?",
                         "New Site File", Buttons::YesNoCancel, Icon::Question);
    if (a == Answer::Cancel) return NextWindow::None;
    RewriteSelectionMode(files, *selection, a == Answer::Yes ? 2 : 1);
  }
  return NextWindow::SiteWindow;
}

NextWindow CheckEditSite(const Files& files, Prompter& prompter, bool siteListEmpty) {
  SiteSelection selection;
  if (Files::FileExists(files.InRoot(kSiteSelectionName))) {
    const auto read = Selection(files, prompter);
    if (!read) return NextWindow::None;
    selection = *read;
    RewriteSelectionMode(files, selection, 2);
  }
  if (!siteListEmpty && !selection.identification.empty()) return NextWindow::SiteWindow;
  prompter.Message("Select a site file to edit.", "Edit Site File");
  return NextWindow::None;
}

NextWindow CheckStart(const Files& files, Prompter& prompter) {
  const auto selection = Selection(files, prompter);
  if (!selection) return NextWindow::None;
  if (HeaderExists(files, selection->identification)) return NextWindow::StartWindow;
  prompter.Message("Select a site file to start the logger", "Site File Error");
  return NextWindow::None;
}

NextWindow CheckEditData(const Files& files, Prompter& prompter) {
  const auto selection = Selection(files, prompter);
  if (!selection) return NextWindow::None;
  if (!HeaderExists(files, selection->identification)) {
    prompter.Message("Select a site file to edit data", "Site File Error");
    return NextWindow::None;
  }
  if (CountBlocks(files.HeaderPath(selection->identification)) >= 1) return NextWindow::Editor;
  prompter.Message("No data blocks exist for this site file.");
  return NextWindow::None;
}

NextWindow CheckViewGraph(const Files& files, Prompter& prompter) {
  const auto selection = Selection(files, prompter);
  if (!selection) return NextWindow::None;
  if (!HeaderExists(files, selection->identification)) {
    prompter.Message("Select a site file to graph data", "Site File Error");
    return NextWindow::None;
  }
  fs::path graph;
  if (IsDataDirectoryName(selection->dataDirectory)) {
    graph =
        CalibratedPath(files, selection->dataDirectory, selection->identification, kGraphExtension);
  }
  if (graph.empty() || !Files::FileExists(graph)) {
    prompter.Message("No data blocks exist for this site.", "No Data Blocks");
    return NextWindow::None;
  }
  if (Files::FileLength(graph) < kGraphFileMinimum) {
    prompter.Message("Calibrated data does not exist for this site to graph.", "Empty Graph File");
    return NextWindow::None;
  }
  return NextWindow::Graph;
}

bool DeleteSite(const Files& files, Prompter& prompter, const std::string& entry) {
  const std::string name = TrimRight(entry);
  if (name.empty()) {
    prompter.Message("Select a site file to delete.", "File is not selected ");
    return false;
  }
  if (prompter.Message("Are you sure you want to delete the selected site file?", "Confirm Delete",
                       Buttons::YesNoDefaultNo, Icon::Question) != Answer::Yes) {
    return false;
  }
  const std::string id = IdentificationOf(name);
  if (!IsSafeName(id)) return false;
  const auto lock = LockForWriting(files, prompter);
  if (!lock) return false;
  std::vector<std::string> directories;
  {
    SiteHeader header(files.HeaderPath(id), RecordFile::Mode::ReadOnly);
    for (int r = header::kFirstDirectory; r < header::kFirstDirectory + header::kDirectoryCount;
         ++r) {
      const std::string d = header.ReadRecord(r);
      if (d.empty() || d[0] == '\0') break;
      directories.push_back(d);
    }
  }
  for (const std::string& d : directories) {
    // A name that would lead outside the working root is never followed.
    if (!IsDataDirectoryName(d)) continue;
    const fs::path folder = files.DataFolder(d);
    for (const char* pattern : {"_???.DAT", "_???.KEY"}) {
      for (const std::string& file : Files::List(folder, id + pattern)) {
        if (IsBlockFile(file, id)) Files::Remove(Files::Child(folder, file));
      }
    }
    Files::Remove(CalibratedPath(files, d, id, kGraphExtension));
    Files::Remove(CalibratedPath(files, d, id, kSummaryExtension));
  }
  Files::Remove(files.HeaderPath(id));
  return true;
}

}  // namespace pelvaro
