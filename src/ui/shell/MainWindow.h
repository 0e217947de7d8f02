#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "core/link/PortSelection.h"
#include "core/operations/SerialNumber.h"
#include "core/operations/Trace.h"
#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/shell/MainMenu.h"
#include "core/shell/Startup.h"
#include "ui/shell/DownloadControl.h"
#include "ui/shell/MainWindowServices.h"
#include "ui/shell/OperationHost.h"

namespace pelvaro {

class DataWatcher;
class SiteList;
class StatusArea;
class TraceControl;

// The hub: the site list, the operation groups, the port choice and the status
// area. Rules and texts live in the core; this class wires widgets to them.
class MainWindow : public QWidget, private OperationHost {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The load handler: runs the start-up sequence and fills the site list.
  void Load(const StartupEnvironment& env);

  const Files& Storage() const { return *files_; }
  const std::optional<CurrentSite>& Current() const { return current_; }
  DownloadControl::Stage DownloadStage() const { return download_->CurrentStage(); }
  PortSelection& Ports() { return *ports_; }
  const MainWindowServices& Services() const { return services_; }
  bool GraphAfterDownload() const { return graphAfterDownload_; }
  void ClearGraphAfterDownload() { graphAfterDownload_ = false; }

  void HideMainMenu() override;
  void ShowMainMenu() override;
  // Called by the site window after it saved a site: every entry up to the
  // saved one is handled as a click, so the selection file ends naming it.
  void SelectSavedSite();
  // Called by the site window after it created a site: the list is read
  // again and the new site's row clicked, so that it is the chosen site.
  void ChooseCreatedSite(const std::string& identification);
  // Selects the site named in Sitesel.dat without it counting as a click.
  void ReselectRememberedSite() override;
  // Lists the header folder again (after another window changed the sites).
  void RefreshSiteList() override;
  // Whether the site window opens for a new site (CREATE NEW) or an edit.
  bool SiteWindowCreates() const { return siteWindowCreates_; }
  // Opens the window an operation asked for; without one, only the signal tells.
  void SetWindowOpener(std::function<void(NextWindow)> opener) { opener_ = std::move(opener); }
  const TraceSession* Trace() const;
  // Tells the windows when the data changes under the working root; none
  // before Load.
  DataWatcher* Watcher() const { return watcher_.get(); }
  // A site chosen in another window: clicked in the site list as a person
  // clicks it, then VIEW GRAPH.
  void ViewGraphOf(const std::string& entry);
  // F12: the serial-number service.
  void RunSerialNumberService();

 signals:
  // An operation whose checks passed asks for its window.
  void windowRequested(pelvaro::NextWindow window);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // What becomes of the site list when the window an operation opened closes.
  enum class AfterWindow {
    KeepSiteList,
    ReadSiteList,  // the other window may have changed the sites or the selection
  };

  void BuildWidgets();
  QLayout* BuildHeading();
  void BuildMenu();
  // An option button of the menu, and the member that holds it.
  struct MenuOption {
    QPushButton* MainWindow::*button;
    const char* objectName;
    QString caption;
    void (MainWindow::*handler)();
  };
  QGroupBox* AddFrame(const char* name, const QString& title,
                      std::initializer_list<MenuOption> options);
  void BuildPortFrame();
  void LayOut(QLayout* heading);
  void BuildKeys();
  // Fonts, logo and button heights at this multiple of their default size.
  void Scale(double scale);
  void Open(NextWindow window, AfterWindow after = AfterWindow::KeepSiteList);
  void FollowDownload(DownloadOutcome outcome) override;
  // The site list as another program left the header folder; false while a
  // download stores, which lists the sites itself when it ends.
  bool FollowDataChange();

  void ClickEntry(const std::string& entry);
  void OnCreateNew();
  void OnEdit();
  void OnDelete();
  void OnStart();
  void OnEditData();
  void OnViewGraph();
  void OnOutlook();
  void ShowPortOption(PortOption option);
  void OnDownloadData();
  void OnTraceMode();
  // The stop button: abandons a download that waits for its site, or ends a trace.
  void OnStop();
  void OnEscape();

  MainWindowServices services_;
  Prompter& prompter_;
  std::unique_ptr<Files> files_;
  std::unique_ptr<PortSelection> ports_;
  std::unique_ptr<DataWatcher> watcher_;
  std::optional<CurrentSite> current_;
  bool graphAfterDownload_ = false;  // the graph window is opened by a download
  bool siteWindowCreates_ = false;
  std::function<void(NextWindow)> opener_;
  SerialNumberService serialNumber_;

  QLabel* logo_ = nullptr;
  QLabel* appName_ = nullptr;
  SiteList* sites_ = nullptr;
  QGroupBox* menu_ = nullptr;
  QGroupBox* siteFiles_ = nullptr;
  QGroupBox* loggerOperations_ = nullptr;
  QGroupBox* dataAnalysis_ = nullptr;
  QGroupBox* portFrame_ = nullptr;
  QRadioButton* com1_ = nullptr;
  QRadioButton* com2_ = nullptr;
  QRadioButton* usb_ = nullptr;
  QList<QPushButton*> options_;
  QList<QWidget*> optionRows_;  // the option buttons and the empty places beside them
  QFont baseFont_;
  double scale_ = 0;
  QPushButton* createNew_ = nullptr;
  QPushButton* editSite_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* downloadData_ = nullptr;
  QPushButton* traceMode_ = nullptr;
  QPushButton* editData_ = nullptr;
  QPushButton* viewGraph_ = nullptr;
  QPushButton* outlook_ = nullptr;
  QPushButton* exit_ = nullptr;
  StatusArea* status_ = nullptr;
  DownloadControl* download_ = nullptr;
  TraceControl* trace_ = nullptr;
};

}  // namespace pelvaro
