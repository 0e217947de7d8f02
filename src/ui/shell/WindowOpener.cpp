#include "ui/shell/WindowOpener.h"

#include <QApplication>

#include "ui/editor/EditorWindow.h"
#include "ui/graph/GraphWindow.h"
#include "ui/operations/StartWindow.h"
#include "ui/outlook/OutlookWindow.h"
#include "ui/platform/DataWatcher.h"
#include "ui/shell/MainWindow.h"
#include "ui/site/SiteWindow.h"

namespace pelvaro {

void WindowOpener::Open(NextWindow window) {
  switch (window) {
    case NextWindow::SiteWindow: {
      SiteWindow site(main_.Storage(), prompter_, main_.SiteWindowCreates(), &main_);
      site.exec();
      // A new site is chosen as a person's click chooses it; an edited site
      // is selected again under its (new) name.
      if (site.Saved() && main_.SiteWindowCreates()) {
        main_.ChooseCreatedSite(site.Form().SavedIdentification());
      } else if (site.Saved()) {
        main_.SelectSavedSite();
      } else {
        main_.RefreshSiteList();
        main_.ReselectRememberedSite();
      }
      break;
    }
    case NextWindow::StartWindow: {
      const MainWindowServices& s = main_.Services();
      StartWindow start(main_.Storage(), prompter_, s.port, s.clock, s.dialogs, &main_);
      start.exec();
      break;
    }
    case NextWindow::Editor: {
      EditorWindow editor(main_.Storage(), prompter_, &main_);
      if (DataWatcher* watcher = main_.Watcher()) editor.Follow(*watcher);
      editor.exec();
      break;
    }
    case NextWindow::Graph: {
      // Over the window it was asked from: the main window or the outlook.
      QWidget* over = QApplication::activeModalWidget();
      GraphWindow graph(main_.Storage(), prompter_, main_.GraphAfterDownload(),
                        over != nullptr ? over : &main_);
      if (DataWatcher* watcher = main_.Watcher()) graph.Follow(*watcher);
      graph.exec();
      main_.ClearGraphAfterDownload();
      break;
    }
    case NextWindow::Outlook: {
      OutlookWindow outlook(main_.Storage(), &main_);
      outlook.SetGraphOpener([this](const std::string& entry) { main_.ViewGraphOf(entry); });
      if (DataWatcher* watcher = main_.Watcher()) outlook.Follow(*watcher);
      outlook.exec();
      break;
    }
    default:
      // The other windows arrive with their own operations.
      break;
  }
}

}  // namespace pelvaro
