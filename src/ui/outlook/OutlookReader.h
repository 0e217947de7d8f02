#pragma once

#include <QThread>
#include <optional>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"

namespace pelvaro {

// The files a site's outlook was read from, as they were then: a site whose
// files look otherwise now is read again.
struct OutlookSources {
  std::optional<Files::FileState> header;
  std::optional<Files::FileState> graph;
  std::optional<Files::FileState> labels;  // the wetting events' labels
  bool operator==(const OutlookSources&) const = default;
};
// The site header, graph file and event labels (kept beside the graph file)
// as they are now; a file that cannot be looked at counts as missing.
OutlookSources LookAtSources(const fs::path& header, const fs::path& graph,
                             const std::string& identification);

// Reads the outlook and last wetting event of one site after another on a thread of its own and
// hands each to the window by a queued signal. It shares nothing with the
// windows: the working root and the names are its own copies, and it only
// reads, so it takes no lock of the working root.
class OutlookReader : public QThread {
  Q_OBJECT

 public:
  // `entries` are site list entries, "<site>.key".
  OutlookReader(Files files, std::vector<std::string> entries, QObject* parent = nullptr);
  // Stops the reading and waits for the thread.
  ~OutlookReader() override;
  // Ends the reading soon, within the site being read, and waits for it:
  // nothing more is read. A site handed over just before may still be on
  // its way to the window.
  void Stop();

 signals:
  // The outlook of entries[index], and what it was read from.
  void siteRead(int index, const pelvaro::SiteOutlook& outlook,
                const pelvaro::OutlookSources& sources);

 protected:
  void run() override;

 private:
  Files files_;
  std::vector<std::string> entries_;
};

}  // namespace pelvaro
