#pragma once

#include <QThread>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"

namespace pelvaro {

// Reads the outlook of one site after another on a thread of its own and
// hands each to the window by a queued signal. It shares nothing with the
// windows: the working root and the names are its own copies, and it only
// reads, so it takes no lock of the working root.
class OutlookReader : public QThread {
  Q_OBJECT

 public:
  OutlookReader(Files files, std::vector<std::string> identifications, QObject* parent = nullptr);
  // Stops the reading and waits for the thread.
  ~OutlookReader() override;
  // Ends the reading soon, within the site being read, and waits for it:
  // nothing more is read. A site handed over just before may still be on
  // its way to the window.
  void Stop();

 signals:
  // The outlook of identifications[index].
  void siteRead(int index, const pelvaro::SiteOutlook& outlook);

 protected:
  void run() override;

 private:
  Files files_;
  std::vector<std::string> identifications_;
};

}  // namespace pelvaro
