#include "ui/shell/WindowOpener.h"

#include "ui/shell/MainWindow.h"
#include "ui/site/SiteWindow.h"

namespace pelvaro {

void WindowOpener::Open(NextWindow window) {
  switch (window) {
    case NextWindow::SiteWindow: {
      SiteWindow site(main_.Storage(), prompter_, main_.SiteWindowCreates(), &main_);
      site.exec();
      // An edited site is selected again under its (new) name.
      if (site.Saved() && !main_.SiteWindowCreates()) {
        main_.HighLightFile();
      } else {
        main_.RefreshSiteList();
        main_.ReselectRememberedSite();
      }
      break;
    }
    default:
      // The other windows arrive with their own operations.
      break;
  }
}

}  // namespace pelvaro
