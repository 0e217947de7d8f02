#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

inline constexpr int kDirectoryEntries = 8;
inline constexpr char kDirectoryFullMessage[] =
    "New directory cannot be added to the list.\r\nThe number of directories exceeds the maximum "
    "value of 8.";

// The site window's list of the folders a site's data has lived in.
class DirectoryList {
 public:
  enum class EnterResult { Entered, AlreadyListed, NoLetter, Full };

  const std::array<std::string, kDirectoryEntries>& Entries() const { return entries_; }
  void SetEntries(const std::vector<std::string>& entries);
  // Puts a folder name into the first free entry unless it is listed; tells
  // the user when the list is full.
  EnterResult Enter(const std::string& name, Prompter& prompter);

  void Click(int entry);
  int Selected() const { return selected_; }
  bool RemoveEnabled() const { return removeEnabled_; }
  // The name a double click makes current, if the entry holds one.
  std::optional<std::string> DoubleClick(int entry);
  // Empties the selected entry and closes the gap in one pass; refuses the
  // directory in use. True when the list changed.
  bool RemoveSelected(const std::string& currentDirectory, Prompter& prompter);

 private:
  std::array<std::string, kDirectoryEntries> entries_;
  int selected_ = -1;
  bool removeEnabled_ = false;
};

// The "Site Data Directories" dialog: which of a site's folders the graph
// window reads.
class DataDirChoice {
 public:
  // names: the site's directory list (up to 9, the first may be the only one).
  DataDirChoice(const Files& files, std::vector<std::string> names, std::string current);

  struct Option {
    std::string caption;
    bool highlighted = false;
  };
  const std::vector<Option>& Options() const { return options_; }
  void Click(int option);
  std::optional<int> Selected() const { return selectedOption_; }
  // OK: false (and a message) while nothing is selected.
  bool Ok(Prompter& prompter);
  const std::string& CurrentDirectory() const { return current_; }
  bool DirectoryChosen() const { return chosen_; }

 private:
  void LoadDataDirList();

  const Files& files_;
  std::vector<std::string> names_;
  std::string current_;
  std::vector<Option> options_;
  std::optional<int> selectedOption_;
  bool chosen_ = false;
};

}  // namespace pelvaro
