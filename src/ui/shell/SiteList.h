#pragma once

#include <QListWidget>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

// The main window's list of sites, one header file a row. A person's click
// on a row (also on the row already current) is a site click; the rows the
// program fills in or highlights itself, and the row that becomes current
// when the list comes into focus, are none.
class SiteList : public QListWidget {
  Q_OBJECT

 public:
  explicit SiteList(QWidget* parent);

  // The start-up listing, with the remembered site highlighted.
  void ShowSites(const std::vector<std::string>& sites, std::optional<int> remembered);
  // Lists the header folder again; the highlighted site stays highlighted
  // while it is listed.
  void Refresh(const Files& files, Prompter& prompter);
  // Lists the header folder again when its sites are no longer those shown,
  // as Refresh does; quietly, as another program's change is no error here.
  void ShowChangedSites(const Files& files);
  // Highlights the site named in Sitesel.dat.
  void ReselectRemembered(const Files& files, Prompter& prompter);
  // Lists the header folder again and clicks every row up to the site named
  // in Sitesel.dat (the last row when it is not listed), as a person walking
  // down the list, so that the selection file ends naming it.
  void ClickDownToRemembered(const Files& files, Prompter& prompter);
  // Clicks a row as a person does, also when it is the current row.
  void ClickRow(int row);
  // The row that lists the site of a "<site>.key" entry, if any.
  std::optional<int> RowOf(const std::string& entry) const;
  // The highlighted row's entry; empty when none is highlighted.
  std::string HighlightedEntry() const;

 signals:
  // A person clicked the row of this entry.
  void siteClicked(const std::string& entry);

 protected:
  void focusInEvent(QFocusEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Whether a change of the current row is a person's click.
  enum class RowChanges { AreClicks, AreNotClicks };
  // The program's own changes of the rows, for as long as it lives.
  class ProgramChange {
   public:
    explicit ProgramChange(SiteList& list);
    ~ProgramChange();
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

   private:
    SiteList& list_;
    RowChanges before_;
  };

  void OnCurrentRowClicked();
  void Replace(const std::vector<std::string>& sites);
  // Replaces the rows, the highlighted site staying highlighted while listed.
  void ReplaceKeepingHighlight(const std::vector<std::string>& sites);
  void SelectQuietly(std::optional<int> row);
  std::vector<std::string> Entries() const;

  RowChanges rowChanges_ = RowChanges::AreClicks;
  int rowBeforePress_ = -1;  // the current row when the mouse went down
};

}  // namespace pelvaro
