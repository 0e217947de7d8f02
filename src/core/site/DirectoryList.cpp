#include "core/site/DirectoryList.h"

#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

void DirectoryList::SetEntries(const std::vector<std::string>& entries) {
  entries_.fill(std::string());
  for (std::size_t i = 0; i < entries.size() && i < entries_.size(); ++i) entries_[i] = entries[i];
}

DirectoryList::EnterResult DirectoryList::Enter(const std::string& name, Prompter& prompter) {
  const std::string trimmed = TrimRight(name);
  if (!ContainsLetter(trimmed)) return EnterResult::NoLetter;
  for (std::string& entry : entries_) {
    if (TrimRight(entry) == trimmed) return EnterResult::AlreadyListed;
    if (TrimRight(entry).empty()) {
      entry = trimmed;
      return EnterResult::Entered;
    }
  }
  prompter.Message(kDirectoryFullMessage);
  return EnterResult::Full;
}

void DirectoryList::Click(int entry) {
  if (entry < 0 || entry >= kDirectoryEntries) return;
  selected_ = entry;
  removeEnabled_ = !TrimRight(entries_[entry]).empty();
}

std::optional<std::string> DirectoryList::DoubleClick(int entry) {
  Click(entry);
  if (entry < 0 || entry >= kDirectoryEntries || TrimRight(entries_[entry]).empty()) {
    return std::nullopt;
  }
  return TrimRight(entries_[entry]);
}

bool DirectoryList::RemoveSelected(const std::string& currentDirectory, Prompter& prompter) {
  if (selected_ < 0) return false;
  if (TrimRight(entries_[selected_]) == TrimRight(currentDirectory)) {
    prompter.Message("This directory is in use, change the site directory to remove.",
                     "Directory is in use");
    return false;
  }
  entries_[selected_].clear();
  // One pass: each removal closes its own gap.
  for (int i = 0; i + 1 < kDirectoryEntries; ++i) {
    if (entries_[i].empty()) {
      entries_[i] = entries_[i + 1];
      entries_[i + 1].clear();
    }
  }
  removeEnabled_ = !entries_[selected_].empty();
  return true;
}

DataDirChoice::DataDirChoice(const Files& files, std::vector<std::string> names,
                             std::string current)
    : files_(files), names_(std::move(names)), current_(std::move(current)) {
  names_.resize(9);
  LoadDataDirList();
}

void DataDirChoice::LoadDataDirList() {
  const auto caption = [](int number, const std::string& name) {
    return " " + Spaced(number) + "     " + name;
  };
  const auto makeFolder = [this](const std::string& name) {
    if (IsDataDirectoryName(name)) Files::CreateFolder(files_.DataFolder(name));
  };
  options_.clear();
  options_.push_back({caption(1, names_[0]), false});
  makeFolder(names_[0]);
  for (int i = 1; i <= 7 && !names_[i].empty(); ++i) {
    makeFolder(names_[i]);
    options_.push_back({caption(i + 1, names_[i]), false});
    if (names_[i] == current_) Click(i);
  }
  if (names_[0] == current_) Click(0);
}

void DataDirChoice::Click(int option) {
  if (option < 0 || option >= static_cast<int>(options_.size())) return;
  for (Option& o : options_) o.highlighted = false;
  options_[option].highlighted = true;
  selectedOption_ = option;
}

bool DataDirChoice::Ok(Prompter& prompter) {
  if (!selectedOption_) {
    prompter.Message("Select a data directory from the list.");
    return false;
  }
  const std::string& selection = names_[*selectedOption_];
  if (selection != current_) {
    current_ = selection;
    chosen_ = true;
  }
  return true;
}

}  // namespace pelvaro
