#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
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

namespace pelvaro {

// What the main window works with beyond its widgets: the seams.
struct MainWindowServices {
  Prompter& prompter;
  SerialPort& port;
  Clock& clock;
  PortFinder& finder;
  LinkDialogs& dialogs;
};

// The hub: the site list, the operation groups, the port choice and the status
// area. Rules and texts live in the core; this class wires widgets to them.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The load handler: runs the start-up sequence and fills the site list.
  void Load(const StartupEnvironment& env);

  const Files& Storage() const { return *files_; }
  const std::optional<CurrentSite>& Current() const { return current_; }
  const QString& Mode() const { return mode_; }
  PortSelection& Ports() { return *ports_; }
  const MainWindowServices& Services() const { return services_; }
  bool GraphAfterDownload() const { return graphAfterDownload_; }
  void ClearGraphAfterDownload() { graphAfterDownload_ = false; }

  void HideMainMenu();
  void ShowMainMenu();
  // Called by the site window after it saved a site: every entry up to the
  // saved one is handled as a click, so the selection file ends naming it.
  void HighLightFile();
  // Selects the site named in Sitesel.dat without it counting as a click.
  void ReselectRememberedSite();
  // Lists the header folder again (after another window changed the sites).
  void RefreshSiteList();
  // Whether the site window opens for a new site (CREATE NEW) or an edit.
  bool SiteWindowCreates() const { return siteWindowCreates_; }
  // Opens the window an operation asked for; without one, only the signal tells.
  void SetWindowOpener(std::function<void(NextWindow)> opener) { opener_ = std::move(opener); }
  // Asks how many sensors to trace (0 = cancelled); the trace dialog by default.
  void SetTraceSensorsAsker(std::function<int()> asker) { askTraceSensors_ = std::move(asker); }
  const TraceSession* Trace() const { return trace_.get(); }
  // A site chosen in another window: clicked in the site list as a person
  // clicks it, then VIEW GRAPH.
  void ViewGraphOf(const std::string& entry);
  // F12: the serial-number service.
  void RunSerialNumberService();
  // While the logger's data is read and stored, the window cannot be closed.
  bool DownloadRunning() const { return downloadRunning_; }

 signals:
  // An operation whose checks passed asks for its window.
  void windowRequested(pelvaro::NextWindow window);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildWidgets();
  // Fonts, logo and button heights at this multiple of their default size.
  void Scale(double scale);
  QGroupBox* AddFrame(const char* name, const QString& title,
                      std::initializer_list<std::pair<const char*, QString>> options);
  void BuildPortFrame();
  QPushButton* Option(const char* name) const;
  void FillSiteList();
  std::vector<std::string> SiteEntries() const;
  void SelectSiteQuietly(std::optional<int> index);
  // Selects a row as a click on it does, also when it is the current row.
  void ClickRow(int row);
  bool SiteListEmpty() const { return file1_->count() == 0; }
  void Open(NextWindow window);

  void OnSiteClicked();
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
  void OnCommand2();
  void OnEscape();
  void ShowDownloadRunningNotice();
  void OnTraceMode();
  void AfterTraceEvent();
  void EndTrace();
  LinkContext StatusLink();
  void RunDownload();
  void ShowProgress(long received, long total);
  // One line into the status area, in the given point size.
  void PrintStatus(const std::string& line, int pointSize = 8);
  void AppendStatusLine(std::size_t index);
  void ClearStatus();
  void ShowStatusArea();
  void HideStatusArea();

  MainWindowServices services_;
  Prompter& prompter_;
  std::unique_ptr<Files> files_;
  std::unique_ptr<PortSelection> ports_;
  std::optional<CurrentSite> current_;
  QString selectionGuard_;
  QString pendingSite_;
  QString mode_;
  bool graphAfterDownload_ = false;  // the graph window is opened by a download
  bool downloadRunning_ = false;
  // The lines printed since the status area was cleared, with their sizes.
  std::vector<std::pair<QString, int>> statusLines_;
  int rowBeforePress_ = -1;  // the site list's current row when the mouse went down
  bool siteWindowCreates_ = false;
  std::function<void(NextWindow)> opener_;
  std::function<int()> askTraceSensors_;
  std::unique_ptr<LinkContext> traceLink_;
  std::unique_ptr<TraceSession> trace_;
  SerialNumberService serialNumber_;

  QLabel* pictureLogo_ = nullptr;
  QLabel* labelAppName_ = nullptr;
  QLabel* label2_ = nullptr;
  QListWidget* file1_ = nullptr;
  QGroupBox* frameMain_ = nullptr;
  QGroupBox* frameSite_ = nullptr;
  QGroupBox* frameLogger_ = nullptr;
  QGroupBox* frameData_ = nullptr;
  QGroupBox* frmSelPort_ = nullptr;
  QRadioButton* optCom1_ = nullptr;
  QRadioButton* optCom2_ = nullptr;
  QRadioButton* optUsb_ = nullptr;
  QList<QPushButton*> options_;
  QList<QWidget*> optionRows_;  // the option buttons and the empty places beside them
  QFont baseFont_;
  double scale_ = 0;
  QPushButton* optionDelete_ = nullptr;
  QTextEdit* picture1_ = nullptr;
  QProgressBar* progressBar1_ = nullptr;
  QPushButton* command1_ = nullptr;
  QPushButton* command2_ = nullptr;
};

}  // namespace pelvaro
