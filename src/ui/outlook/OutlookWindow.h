#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"

namespace pelvaro {

class OutlookReader;

// "Outlook": every site's irrigation outlook in one table, the most urgent
// first. The sites are read in the background and each row shows as soon as
// its site is read; the window answers meanwhile. A double click on a row
// opens that site's graph.
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
  bool Reading() const;
  // The outlooks in the order of the table's rows.
  const std::vector<SiteOutlook>& Rows() const { return rows_; }
  // Closing stops the reading.
  void done(int result) override;

 signals:
  // Every site has been read.
  void readingFinished();

 private:
  void Build();
  void InsertRow(int index, const SiteOutlook& outlook);
  void ShowProgress();
  // Widens the columns to the row's texts.
  void WidenColumnsFor(int row);

  std::vector<std::string> entries_;  // the site list entries, "<site>.key"
  std::vector<SiteOutlook> rows_;
  std::vector<int> rowEntries_;  // the entry of each row
  std::function<void(const std::string&)> openGraph_;
  bool stopped_ = false;
  bool progressDue_ = false;

  QTableWidget* table_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* close_ = nullptr;
  OutlookReader* reader_ = nullptr;
};

}  // namespace pelvaro
