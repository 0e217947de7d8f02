#include "ui/shell/DownloadControl.h"

#include <QCoreApplication>
#include <QMessageBox>

#include "core/shell/Startup.h"
#include "ui/platform/BusyWindow.h"

namespace pelvaro {

DownloadControl::DownloadControl(QWidget& window, OperationHost& host, MainWindowServices services,
                                 StatusArea& status, SiteList& sites)
    : QObject(&window),
      window_(window),
      host_(host),
      services_(services),
      status_(status),
      sites_(sites) {}

void DownloadControl::WaitForSite() {
  host_.HideMainMenu();
  host_.RefreshSiteList();
  stage_ = Stage::WaitingForSite;
  status_.Show();
  status_.Print("", 12);
  status_.Print("", 12);
  status_.Print("    Please select a site file from ", 12);
  status_.Print("    the list opposite.", 12);
  status_.OfferStop(tr("A&bort Download"));
  // The list is where the person is asked to choose; DOWNLOAD DATA, which had
  // the focus, is hidden.
  sites_.setFocus();
}

void DownloadControl::Abandon() {
  host_.ReselectRememberedSite();
  status_.Hide();
  host_.ShowMainMenu();
  stage_ = Stage::Idle;
}

void DownloadControl::Run(const Files& files, int portNumber, const CurrentSite& site) {
  status_.Clear();
  const BusyWindow busy(&window_, status_.StopButton());
  stage_ = Stage::Storing;
  stopAsked_ = false;
  // Until the last byte is in, the person may stop the transfer.
  status_.StopButton()->setEnabled(true);
  sites_.setEnabled(false);
  status_.Progress()->setRange(0, 1);
  status_.Progress()->setValue(0);
  LinkContext link = status_.Link(services_);
  DownloadRequest request;
  request.site = site;
  request.portNumber = portNumber;
  request.progress = [this](long received, long total) { ShowProgress(received, total); };
  request.stopAsked = [this] { return stopAsked_; };
  const DownloadResult result = Download(files, link, request);
  status_.StopButton()->setEnabled(false);
  // What went wrong on the line is said, not just ended; a stop was asked for.
  if (result.outcome == DownloadOutcome::NotStored && !result.reason.empty() && !result.stopped) {
    link.prompter.Message(result.reason, "Download Not Stored", Buttons::Ok, Icon::Exclamation);
  }
  // A close asked for while the block was stored and converted is answered
  // now, before any question of what comes next.
  QCoreApplication::processEvents();
  stage_ = Stage::Idle;
  sites_.setEnabled(true);
  if (result.outcome == DownloadOutcome::Stored) {
    host_.RefreshSiteList();
    host_.ReselectRememberedSite();
  }
  status_.Hide();
  host_.ShowMainMenu();
  host_.FollowDownload(result.outcome);
}

void DownloadControl::AskStop() {
  stopAsked_ = true;
  status_.StopButton()->setEnabled(false);
}

void DownloadControl::ShowProgress(long received, long total) {
  // Everything is in: from here the block is stored, which nothing may cut short.
  if (received == total) status_.StopButton()->setEnabled(false);
  // About every half second of the line, and at the end.
  if (received != total && received % 240 > 1) return;
  QProgressBar* bar = status_.Progress();
  bar->setVisible(true);
  bar->setRange(0, static_cast<int>(total));
  bar->setValue(static_cast<int>(received));
  const long secondsLeft = (total - received + 479) / 480;
  bar->setFormat(tr("%1 of %2 bytes, about %3 s left").arg(received).arg(total).arg(secondsLeft));
}

void DownloadControl::ShowRunningNotice() {
  // Not modal to the program: the download goes on reading the line meanwhile.
  auto* notice = new QMessageBox(QMessageBox::Information, QString::fromLatin1(kAppName),
                                 tr("The data is being downloaded from the logger and stored.\n"
                                    "Close the program when the download has ended."),
                                 QMessageBox::Ok, &window_);
  notice->setObjectName("DownloadRunningNotice");
  notice->setAttribute(Qt::WA_DeleteOnClose);
  notice->open();
}

}  // namespace pelvaro
