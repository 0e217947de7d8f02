#include "ui/outlook/OutlookReader.h"

namespace pelvaro {

namespace {
// Leaves a site's reading early. Not a std::exception: the reading passes
// it on rather than reporting it as the site's error.
struct Stopped {};
}  // namespace

OutlookReader::OutlookReader(Files files, std::vector<std::string> identifications, QObject* parent)
    : QThread(parent), files_(std::move(files)), identifications_(std::move(identifications)) {}

OutlookReader::~OutlookReader() { Stop(); }

void OutlookReader::Stop() {
  requestInterruption();
  wait();
}

void OutlookReader::run() {
  // A large site takes a while: every percent of it checks for a stop.
  const auto checkStop = [this](int) {
    if (isInterruptionRequested()) throw Stopped{};
  };
  for (std::size_t i = 0; i < identifications_.size(); ++i) {
    try {
      const SiteOutlook outlook = ReadSiteOutlook(files_, identifications_[i], checkStop);
      if (isInterruptionRequested()) return;
      emit siteRead(static_cast<int>(i), outlook);
    } catch (const Stopped&) {
      return;
    }
  }
}

}  // namespace pelvaro
