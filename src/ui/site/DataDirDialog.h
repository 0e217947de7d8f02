#pragma once

#include <QDialog>
#include <QRadioButton>
#include <vector>

#include "core/site/DirectoryList.h"

namespace pelvaro {

// "Site Data Directories": which of the site's folders the graph reads.
class DataDirDialog : public QDialog {
  Q_OBJECT

 public:
  DataDirDialog(const Files& files, Prompter& prompter, std::vector<std::string> names,
                std::string current, QWidget* parent = nullptr);
  const std::string& CurrentDirectory() const { return choice_.CurrentDirectory(); }
  bool DirectoryChosen() const { return choice_.DirectoryChosen(); }

 private:
  void Render();

  Prompter& prompter_;
  DataDirChoice choice_;
  std::vector<QRadioButton*> options_;
};

}  // namespace pelvaro
