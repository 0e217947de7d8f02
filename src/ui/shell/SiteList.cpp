#include "ui/shell/SiteList.h"

#include <QEvent>

#include "core/shell/SiteCatalogue.h"
#include "core/shell/Startup.h"
#include "core/storage/StateFiles.h"
#include "ui/platform/KeyboardHabits.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

namespace {

// The text with "?" for every character the code page cannot hold.
std::string MarkedCp1252(const QString& text) {
  std::string bytes;
  for (QChar c : text) bytes += FromQt(QString(c)).value_or("?");
  return bytes;
}

}  // namespace

SiteList::ProgramChange::ProgramChange(SiteList& list) : list_(list), before_(list.rowChanges_) {
  list_.rowChanges_ = RowChanges::AreNotClicks;
}

SiteList::ProgramChange::~ProgramChange() { list_.rowChanges_ = before_; }

SiteList::SiteList(QWidget* parent) : QListWidget(parent) {
  setObjectName("File1");
  setMinimumSize(180, 150);
  connect(this, &QListWidget::currentRowChanged, this, [this] { OnCurrentRowClicked(); });
  // A click on the row that is already current changes no row, yet it is a
  // click on that site all the same.
  viewport()->installEventFilter(this);
  connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (row(item) == rowBeforePress_) OnCurrentRowClicked();
  });
  ActOnSpace(this, [this](const QModelIndex&) {
    OnCurrentRowClicked();
    return true;
  });
}

void SiteList::focusInEvent(QFocusEvent* event) {
  // Coming into focus with no row current the list makes the first row
  // current, which is no click of the user's.
  const ProgramChange focusing(*this);
  QListWidget::focusInEvent(event);
}

bool SiteList::eventFilter(QObject* watched, QEvent* event) {
  if (watched == viewport() &&
      (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick)) {
    rowBeforePress_ = currentRow();
  }
  return QListWidget::eventFilter(watched, event);
}

void SiteList::OnCurrentRowClicked() {
  if (rowChanges_ == RowChanges::AreNotClicks) return;
  QListWidgetItem* item = currentItem();
  if (item == nullptr) return;
  // A name the code page cannot hold is refused like any other unusable name.
  emit siteClicked(FromQt(item->text()).value_or(MarkedCp1252(item->text())));
}

void SiteList::Replace(const std::vector<std::string>& sites) {
  clear();
  for (const std::string& site : sites) addItem(ToQt(site));
}

void SiteList::ShowSites(const std::vector<std::string>& sites, std::optional<int> remembered) {
  setVisible(true);
  setEnabled(true);
  {
    const ProgramChange filling(*this);
    Replace(sites);
  }
  SelectQuietly(remembered);
}

void SiteList::Refresh(const Files& files, Prompter& prompter) {
  StartupResult listing;
  LoadSiteList(files, prompter, listing);
  ReplaceKeepingHighlight(listing.sites);
  setVisible(true);
  setEnabled(true);
}

void SiteList::ShowChangedSites(const Files& files) {
  std::vector<std::string> sites;
  try {
    sites = ListSites(files);
  } catch (const IoError&) {
    return;  // the list shown stays until the folder can be listed
  }
  if (sites != Entries()) ReplaceKeepingHighlight(sites);
}

void SiteList::ReplaceKeepingHighlight(const std::vector<std::string>& sites) {
  const ProgramChange filling(*this);
  const QString highlighted = currentItem() ? currentItem()->text() : QString();
  Replace(sites);
  const auto still = findItems(highlighted, Qt::MatchExactly);
  if (!highlighted.isEmpty() && !still.isEmpty()) setCurrentItem(still.front());
}

void SiteList::SelectQuietly(std::optional<int> row) {
  if (!row) return;
  const ProgramChange selecting(*this);
  setCurrentRow(*row);
}

std::vector<std::string> SiteList::Entries() const {
  std::vector<std::string> sites;
  for (int i = 0; i < count(); ++i) {
    sites.push_back(FromQt(item(i)->text()).value_or(std::string()));
  }
  return sites;
}

void SiteList::ReselectRemembered(const Files& files, Prompter& prompter) {
  if (const auto remembered = ReadSiteSelectionOrTell(files, prompter, 1)) {
    SelectQuietly(RememberedSiteIndex(Entries(), remembered->identification));
  }
}

void SiteList::ClickDownToRemembered(const Files& files, Prompter& prompter) {
  const auto remembered = ReadSiteSelectionOrTell(files, prompter, 1);
  Refresh(files, prompter);
  const auto match =
      FindSiteEntry(Entries(), remembered ? remembered->identification : std::string());
  const int last = match.value_or(count() - 1);
  for (int i = 0; i <= last; ++i) ClickRow(i);
}

void SiteList::ClickRow(int row) {
  if (currentRow() == row) {
    OnCurrentRowClicked();
  } else {
    setCurrentRow(row);
  }
}

std::optional<int> SiteList::RowOf(const std::string& entry) const {
  return FindSiteEntry(Entries(), IdentificationOf(entry));
}

std::string SiteList::HighlightedEntry() const {
  QListWidgetItem* item = currentItem();
  return item ? FromQt(item->text()).value_or("") : std::string();
}

}  // namespace pelvaro
