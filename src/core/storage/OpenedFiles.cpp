#include "core/storage/OpenedFiles.h"

#include <algorithm>

#include "core/storage/SiteHeader.h"

namespace pelvaro {

std::string FileChangedText(const std::string& fileName) {
  return fileName +
         " was changed by another Pelvaro program since it was opened here.\r\n\r\n"
         "Nothing was saved. Would you like to reload it?";
}

OpenedFiles::Watched OpenedFiles::Watch(const fs::path& path, bool timed, std::size_t from,
                                        std::size_t length) {
  Watched file;
  file.path = path;
  file.timed = timed;
  file.from = from;
  file.length = length;
  return Take(std::move(file));
}

OpenedFiles::Watched OpenedFiles::Take(Watched file) {
  file.path = Files::Resolve(file.path);
  if (file.timed) file.state = Files::State(file.path);
  if (file.length > 0) {
    file.bytes = Files::ReadFileIfPresent(file.path, file.from + file.length);
    if (file.bytes) file.bytes->erase(0, std::min(file.from, file.bytes->size()));
  }
  return file;
}

OpenedFiles OpenedFiles::Header(const fs::path& path) {
  OpenedFiles opened;
  opened.watched_.push_back(Watch(path, false, 0, header::kRecordsBytes));
  return opened;
}

OpenedFiles OpenedFiles::Block(const BlockPaths& paths) {
  OpenedFiles opened;
  // The data file first: when a block moved, its readings are what the
  // window would have written over.
  opened.watched_.push_back(Watch(paths.data, true, 0, 0));
  opened.watched_.push_back(
      Watch(paths.header, true, kBlockHeaderRecordSize, sizeof(RunHeader::b)));
  return opened;
}

std::optional<std::string> OpenedFiles::Changed() const {
  for (const Watched& file : watched_) {
    const Watched now = Take(file);
    if (now.state != file.state || now.bytes != file.bytes) return PathText(file.path.filename());
  }
  return std::nullopt;
}

OpenedCheck CheckOpened(const OpenedFiles& opened, Prompter& prompter) {
  const std::optional<std::string> changed = opened.Changed();
  if (!changed) return OpenedCheck::Unchanged;
  return prompter.Message(FileChangedText(*changed), kFileChangedTitle, Buttons::YesNo,
                          Icon::Exclamation) == Answer::Yes
             ? OpenedCheck::Reload
             : OpenedCheck::Keep;
}

bool UnchangedElseReload(const OpenedFiles& opened, Prompter& prompter,
                         const std::function<void()>& reload) {
  switch (CheckOpened(opened, prompter)) {
    case OpenedCheck::Unchanged:
      return true;
    case OpenedCheck::Reload:
      reload();
      return false;
    case OpenedCheck::Keep:
      break;
  }
  return false;
}

}  // namespace pelvaro
