#include "ui/outlook/OutlookReader.h"

#include "core/events/SiteEvents.h"
#include "core/platform/PathNames.h"
#include "core/shell/SiteCatalogue.h"

namespace pelvaro {

namespace {

std::optional<Files::FileState> StateOf(const fs::path& path) {
  if (path.empty()) return std::nullopt;
  try {
    return Files::State(path);
  } catch (const IoError&) {
    return std::nullopt;
  }
}

}  // namespace

OutlookSources LookAtSources(const fs::path& header, const fs::path& graph,
                             const std::string& identification) {
  const fs::path labels =
      graph.empty() ? fs::path()
                    : Files::Child(graph.parent_path(), identification + kLabelsExtension);
  return {StateOf(header), StateOf(graph), StateOf(labels)};
}

OutlookReader::OutlookReader(Files files, std::vector<std::string> entries, QObject* parent)
    : QThread(parent), files_(std::move(files)), entries_(std::move(entries)) {}

OutlookReader::~OutlookReader() { Stop(); }

void OutlookReader::Stop() {
  requestInterruption();
  wait();
}

void OutlookReader::run() {
  // A large site takes a while: every percent of it checks for a stop.
  const ReadProgress readOn = [this](int) {
    return isInterruptionRequested() ? ReadOn::Stop : ReadOn::Continue;
  };
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    // The header is looked at before it is read, so that a change made
    // meanwhile is one a later look sees.
    const fs::path header = files_.HeaderFolder() / NamePath(entries_[i]);
    const std::string site = IdentificationOf(entries_[i]);
    const std::optional<Files::FileState> headerState = StateOf(header);
    const SiteOutlook outlook = ReadSiteEvents(files_, site, readOn).outlook;
    // A stopped reading comes back incomplete: it is not shown.
    if (isInterruptionRequested()) return;
    OutlookSources sources = LookAtSources(header, outlook.graphFile, site);
    sources.header = headerState;
    emit siteRead(static_cast<int>(i), outlook, sources);
  }
}

}  // namespace pelvaro
