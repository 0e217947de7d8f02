#include "ui/outlook/OutlookReader.h"

namespace pelvaro {

OutlookReader::OutlookReader(Files files, std::vector<std::string> identifications, QObject* parent)
    : QThread(parent), files_(std::move(files)), identifications_(std::move(identifications)) {}

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
  for (std::size_t i = 0; i < identifications_.size(); ++i) {
    const SiteOutlook outlook = ReadSiteOutlook(files_, identifications_[i], readOn);
    // A stopped reading comes back incomplete: it is not shown.
    if (isInterruptionRequested()) return;
    emit siteRead(static_cast<int>(i), outlook);
  }
}

}  // namespace pelvaro
