#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <tuple>

#include "core/platform/Prompter.h"
#include "core/platform/WriterLock.h"
#include "support/ScriptedPrompter.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {

// Every file under a folder by its path there, with its bytes: what a refused save must leave
// alone. The lock file, empty, is made by the first program that writes; a test may leave out
// one file more (the selection a click writes).
inline std::map<std::string, std::string> RootFiles(const std::filesystem::path& root,
                                                    const std::string& alsoLeftOut = "") {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_regular_file() && name != kLockFileName && name != alsoLeftOut) {
      files[std::filesystem::relative(entry.path(), root).string()] = ReadBytes(entry.path());
    }
  }
  return files;
}

// A rewrite made a while after the file was opened, as another program's would be: its time
// moves on whatever the file system's clock resolution.
inline void WrittenLater(const std::filesystem::path& file) {
  std::filesystem::last_write_time(
      file, std::filesystem::last_write_time(file) + std::chrono::seconds(2));
}

// The question a save refused over a changed file asks, as text, title, buttons and icon.
using Question = std::tuple<std::string, std::string, Buttons, Icon>;
inline Question FileChangedQuestion(const std::string& name) {
  return {name +
              " was changed by another Pelvaro program since it was opened here.\r\n\r\n"
              "Nothing was saved. Would you like to reload it?",
          "File Changed", Buttons::YesNo, Icon::Exclamation};
}
inline Question LastQuestion(const ScriptedPrompter& prompter) {
  if (prompter.shown.empty()) return {};
  const auto& m = prompter.shown.back();
  return {m.text, m.title, m.buttons, m.icon};
}

}  // namespace pelvaro::testing
