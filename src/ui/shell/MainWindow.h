#pragma once

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <memory>
#include <optional>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/shell/Startup.h"

namespace pelvaro {

class ProportionalResizer;

// The hub: the site list, the operation groups and the status area.
class MainWindow : public QWidget {
  Q_OBJECT

 public:
  explicit MainWindow(Prompter& prompter, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The load handler: runs the start-up sequence and fills the site list.
  void Load(const StartupEnvironment& env);

  const Files& Storage() const { return *files_; }
  // Fills the site list from the header folder and selects an entry without
  // it counting as a click.
  void RefreshSiteList();
  void SelectSiteQuietly(std::optional<int> index);

 private:
  void BuildWidgets();
  void OnSiteClicked(int row);

  Prompter& prompter_;
  std::unique_ptr<Files> files_;
  QString selectionGuard_;

  QLabel* pictureLogo_ = nullptr;
  QLabel* labelAppName_ = nullptr;
  QLabel* label2_ = nullptr;
  QListWidget* file1_ = nullptr;
  QPlainTextEdit* picture1_ = nullptr;
  QPushButton* command1_ = nullptr;
  ProportionalResizer* resizer_ = nullptr;
};

}  // namespace pelvaro
