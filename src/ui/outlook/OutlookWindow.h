#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"
#include "ui/outlook/OutlookReader.h"
#include "ui/platform/QtPrompter.h"
#include "ui/report/ReportSaving.h"

namespace pelvaro {

class DataWatcher;

// "Outlook": every site's irrigation outlook in one table, the most urgent
// first. The sites are read in the background and each row shows as soon as
// its site is read; the window answers meanwhile. A double click on a row
// opens that site's graph. A site another program changed is read again.
class OutlookWindow : public QDialog {
  Q_OBJECT

 public:
  // Lists the sites of the header folder and starts reading them.
  explicit OutlookWindow(const Files& files, QWidget* parent = nullptr);
  ~OutlookWindow() override;

  // What a double click on a row does with its site list entry.
  void SetGraphOpener(std::function<void(const std::string& entry)> opener) {
    openGraph_ = std::move(opener);
  }
  // Rows read again when another program changed their sites, new rows for
  // new sites, none for sites gone.
  void Follow(DataWatcher& watcher);
  bool Reading() const;
  // The outlooks in the order of the table's rows.
  const std::vector<SiteOutlook>& Rows() const { return rows_; }
  // Closing stops the reading.
  void done(int result) override;
  // Tests answer the report's save dialog without a dialog.
  void SetReportNameAsker(ReportNameAsker asker) { askReportName_ = std::move(asker); }
  void SetPrompter(Prompter& prompter) { prompter_ = &prompter; }

 signals:
  // Every site has been read.
  void readingFinished();

 private:
  void Build();
  // "Report...": every site, or the selected rows when the person says so.
  void Report();
  std::vector<std::string> ReportSites();
  // Lists the sites and reads those new or changed since they were read.
  // False while a reading runs: the change is looked at when it has ended.
  bool ReadChangedSites();
  void StartReading(std::vector<std::string> entries);
  void InsertRow(int index, const SiteOutlook& outlook, const OutlookSources& sources);
  void RemoveRow(int row);
  std::string SelectedEntry() const;
  void ShowProgress();
  // Widens the columns to the row's texts.
  void WidenColumnsFor(int row);

  // What a row was read from.
  struct ReadFrom {
    fs::path graphFile;
    OutlookSources sources;
  };

  const Files files_;
  std::vector<std::string> entries_;  // the site list entries, "<site>.key"
  std::vector<std::string> reading_;  // the entries the reader reads
  std::vector<SiteOutlook> rows_;
  std::vector<std::string> rowEntries_;  // the entry of each row
  std::map<std::string, ReadFrom> readFrom_;
  std::function<void(const std::string&)> openGraph_;
  QtPrompter ownPrompter_{this};
  Prompter* prompter_ = &ownPrompter_;
  ReportNameAsker askReportName_ = ReportDialogAsker(this);
  bool stopped_ = false;
  bool readerDone_ = false;
  bool progressDue_ = false;

  QTableWidget* table_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* close_ = nullptr;
  OutlookReader* reader_ = nullptr;
};

}  // namespace pelvaro
