#pragma once

#include "core/operations/Download.h"

namespace pelvaro {

// What the main window's logger operations (the download and the trace) ask
// of the window around them: the menu goes while one runs and comes back
// when it ends, and the site list is read again when the logger may have
// changed a site.
class OperationHost {
 public:
  virtual void HideMainMenu() = 0;
  virtual void ShowMainMenu() = 0;
  // Lists the header folder again; the highlighted site stays highlighted.
  virtual void RefreshSiteList() = 0;
  // Highlights the site named in Sitesel.dat without it counting as a click.
  virtual void ReselectRememberedSite() = 0;
  // What follows a download that ran: the start window when the logger is to
  // start again, else the graph; the site window for a site without a header.
  virtual void FollowDownload(DownloadOutcome outcome) = 0;

 protected:
  ~OperationHost() = default;
};

}  // namespace pelvaro
