#pragma once

#include <functional>
#include <string>

#include "core/link/LinkDialogs.h"
#include "core/platform/Files.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {

enum class DownloadOutcome {
  Stored,         // the block is on disk, in the header and converted
  NotStored,      // refused, abandoned or failed; the user has been told where there is a message
  MissingHeader,  // the site had no header: a default one was written for the site window
};

struct DownloadResult {
  DownloadOutcome outcome = DownloadOutcome::NotStored;
  int blockNumber = 0;
  // Why nothing was stored where the window shows no message (a line that
  // fell silent, wrong replies), for a caller without a status area.
  std::string reason;
  // The person stopped the transfer: nothing was stored, as they asked.
  bool stopped = false;
};

struct DownloadRequest {
  CurrentSite site;    // the site clicked in the list
  int portNumber = 0;  // the program's port number, for DEF.INS when it cannot be read
  // A port given for this download alone (command line): DEF.INS is not used.
  std::optional<int> fixedPort;
  // Bytes of data received so far out of the announced count.
  std::function<void(long received, long total)> progress;
  // Asked between words of the transfer; true ends it with nothing stored.
  std::function<bool()> stopAsked;
};

// Reads the logger's run over the link and stores it as the site's next data
// block, then converts the site. Status lines go to link.print, indented as
// the status area shows them. It holds the working root's writer lock from
// before the port is opened to the end, and first puts right what an earlier
// download or deletion left half done. The block's files are in place before
// the site header records them, in one write with the last download marker;
// a store that fails before the files are in place records nothing and keeps
// the download in the working folder.
DownloadResult Download(const Files& files, LinkContext& link, const DownloadRequest& request);

// Asks whether to restart the logger and writes START.DAT; true for Yes.
bool AskRestart(const Files& files, Prompter& prompter);

}  // namespace pelvaro
