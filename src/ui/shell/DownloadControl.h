#pragma once

#include <QObject>

#include "core/operations/Download.h"
#include "ui/shell/MainWindowServices.h"
#include "ui/shell/OperationHost.h"
#include "ui/shell/SiteList.h"
#include "ui/shell/StatusArea.h"

namespace pelvaro {

// DOWNLOAD DATA on the main window: the status area asks for a site, and the
// site clicked next receives the logger's run as its next block.
class DownloadControl : public QObject {
  Q_OBJECT

 public:
  enum class Stage {
    Idle,
    WaitingForSite,  // asked for a site; the stop button abandons the download
    Storing,         // reading the line, then storing: the stop button ends only the reading
  };

  DownloadControl(QWidget& window, OperationHost& host, MainWindowServices services,
                  StatusArea& status, SiteList& sites);

  Stage CurrentStage() const { return stage_; }
  // Hides the menu and asks, in the status area, for the site to download into.
  void WaitForSite();
  // The download ends before it started: the menu comes back.
  void Abandon();
  // Reads the logger's run into the site and stores it, brings the menu back
  // and lets the window go on to what follows. The window paints and answers
  // a close meanwhile, but takes no other input, until what follows is done.
  void Run(const Files& files, int portNumber, const CurrentSite& site);
  // Ends the transfer at the next word, with nothing stored.
  void AskStop();
  // Says, without stopping the download, that the program closes after it.
  void ShowRunningNotice();

 private:
  void ShowProgress(long received, long total);

  QWidget& window_;
  OperationHost& host_;
  MainWindowServices services_;
  StatusArea& status_;
  SiteList& sites_;
  Stage stage_ = Stage::Idle;
  bool stopAsked_ = false;
};

}  // namespace pelvaro
