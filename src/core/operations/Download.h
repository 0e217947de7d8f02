#pragma once

#include <functional>
#include <string>

#include "core/link/LinkDialogs.h"
#include "core/platform/Files.h"
#include "core/shell/MainMenu.h"

namespace pelvaro {

enum class DownloadOutcome {
  Stored,         // the block is on disk, in the header and converted
  NotStored,      // refused, abandoned or failed; the user has been told where there is a message
  MissingHeader,  // the site had no header: a default one was written for the site window
};

struct DownloadResult {
  DownloadOutcome outcome = DownloadOutcome::NotStored;
  int blockNumber = 0;
};

struct DownloadRequest {
  CurrentSite site;    // the site clicked in the list
  int portNumber = 0;  // the program's port number, for DEF.INS when it cannot be read
  // A port given for this download alone (command line): DEF.INS is not used.
  std::optional<int> fixedPort;
  // Bytes of data received so far out of the announced count.
  std::function<void(long received, long total)> progress;
};

// Reads the logger's run over the link and stores it as the site's next data
// block, then converts the site. Status lines go to link.print, indented as
// the status area shows them. The block's files are in place before the site
// header records them; a store that fails records nothing and keeps the
// download in the working folder.
DownloadResult Download(const Files& files, LinkContext& link, const DownloadRequest& request);

// Asks whether to restart the logger and writes START.DAT; true for Yes.
bool AskRestart(const Files& files, Prompter& prompter);

// A complete download left in the temporary files (a store that failed or was
// interrupted) is renamed out of the way before a new download empties them.
// Returns the kept files' stem, or nothing when there was none.
std::optional<std::string> KeepUnstoredDownload(const Files& files);

}  // namespace pelvaro
