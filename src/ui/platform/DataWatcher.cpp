#include "ui/platform/DataWatcher.h"

#include <QApplication>
#include <memory>
#include <utility>

#include "core/platform/PathNames.h"
#include "ui/platform/QtText.h"

namespace pelvaro {

DataWatcher::DataWatcher(Files files, QObject* parent)
    : QObject(parent), files_(std::move(files)), root_(QtPath(files_.Root())) {
  settled_.setSingleShot(true);
  connect(&settled_, &QTimer::timeout, this, &DataWatcher::OnSettled);
  connect(&folders_, &QFileSystemWatcher::directoryChanged, this, &DataWatcher::OnFolderChanged);
  WatchFolders();
}

bool DataWatcher::WatchFolders() {
  QStringList wanted = {root_};
  try {
    for (const std::string& folder : Files::ListFolders(files_.Root())) {
      wanted << QtPath(files_.Root() / NamePath(folder));
    }
  } catch (const IoError&) {
    // The folders already watched stay so; the next change lists them again.
  }
  // A folder removed is dropped by the watcher itself; one made again under
  // the same name is new to it.
  const QStringList watched = folders_.directories();
  QStringList missing;
  for (const QString& folder : wanted) {
    if (!watched.contains(folder)) missing << folder;
  }
  // One that cannot be watched (no permission) is tried again, but is no change.
  return !missing.isEmpty() && folders_.addPaths(missing).size() < missing.size();
}

void DataWatcher::OnFolderChanged(const QString& folder) {
  // In the root itself only a folder that came is a change of the data.
  const bool data = folder != root_ || WatchFolders();
  if (!data) return;
  changed_ = true;
  settled_.start(settle_);
}

void DataWatcher::OnSettled() {
  if (std::exchange(changed_, false)) {
    emit dataChanged();
  } else {
    emit retryDue();
  }
}

void DataWatcher::RetryLater() {
  if (!settled_.isActive()) settled_.start(kSettleMilliseconds);
}

bool DataWatcher::FollowersTakeInput() const {
  QWidget* top = QApplication::activeModalWidget();
  return top == nullptr || followers_.contains(top);
}

void DataWatcher::Follow(QWidget* window, std::function<bool()> refresh) {
  followers_.removeAll(nullptr);
  followers_.append(window);
  auto due = std::make_shared<bool>(false);
  const auto attempt = [this, due, refresh = std::move(refresh)] {
    if (!*due) return;
    if (FollowersTakeInput() && refresh()) {
      *due = false;
    } else {
      RetryLater();
    }
  };
  connect(this, &DataWatcher::dataChanged, window, [due, attempt] {
    *due = true;
    attempt();
  });
  connect(this, &DataWatcher::retryDue, window, attempt);
}

}  // namespace pelvaro
