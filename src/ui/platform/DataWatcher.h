#pragma once

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "core/platform/Files.h"

namespace pelvaro {

// Tells the open windows that the sites or their data changed under the
// working root, whoever changed them: the header folder and the data folders
// beside it are watched, and a burst of changes (a download writes many
// files) is told once, when it has settled. The root's own state files (the
// selected site, the port) are not told: no window shows what they hold, and
// every click on a site rewrites one.
class DataWatcher : public QObject {
  Q_OBJECT

 public:
  // How long a burst stays quiet before it is told, and how soon a window
  // that could not refresh is asked again.
  static constexpr int kSettleMilliseconds = 400;

  explicit DataWatcher(Files files, QObject* parent = nullptr);
  // 0: a burst is told at the next turn of the event loop.
  void SetSettleTime(int milliseconds) { settle_ = milliseconds; }

  // After each told change `window` refreshes what it shows with `refresh`,
  // once it takes input: while a message or a dialog not following the data
  // is open over it, or `refresh` answers false (busy), it is asked again
  // later. A window shown over it that follows the data is no hindrance.
  void Follow(QWidget* window, std::function<bool()> refresh);

 signals:
  // The sites or their data changed; each window looks at what it shows.
  void dataChanged();
  // Windows that could not refresh at the last change try again.
  void retryDue();

 private:
  // Watches the root, the header folder and every data folder; true when a
  // folder came that was not watched yet.
  bool WatchFolders();
  void OnFolderChanged(const QString& folder);
  void OnSettled();
  void RetryLater();
  // No dialog but the followers' windows is open: they may refresh.
  bool FollowersTakeInput() const;

  Files files_;
  QString root_;
  QFileSystemWatcher folders_;
  QTimer settled_;
  int settle_ = kSettleMilliseconds;
  bool changed_ = false;
  QList<QPointer<QWidget>> followers_;
};

}  // namespace pelvaro
