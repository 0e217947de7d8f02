#pragma once

#include <functional>

#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/BlockStore.h"

namespace pelvaro {

inline constexpr char kFileChangedTitle[] = "File Changed";
// The question of a save refused because the file changed under the window.
std::string FileChangedText(const std::string& fileName);

// What a window read of the files it may later write back. It is taken when
// the window reads them and compared, holding the writer lock, before the
// window writes: a window never writes over what another program wrote in
// the meantime. Take it before reading what the window shows, so that a
// change made in between is one the save notices.
class OpenedFiles {
 public:
  // Nothing opened: nothing is compared.
  OpenedFiles() = default;
  // The records of a site header, byte for byte.
  static OpenedFiles Header(const fs::path& path);
  // A data block: the run header in its .KEY's record 2, and the size and
  // modification time of its .DAT and .KEY. A block moved into another
  // number, or rewritten, differs in one of them.
  static OpenedFiles Block(const BlockPaths& paths);

  bool Empty() const { return watched_.empty(); }
  // The first file watched, as it was found when taken; not for an empty one.
  const fs::path& Path() const { return watched_.front().path; }
  // The name of the first file that is no longer as it was taken (changed,
  // gone or come), as the file layer names it; nothing when all are as they
  // were. Throws IoError when one is there but cannot be read.
  std::optional<std::string> Changed() const;

 private:
  struct Watched {
    fs::path path;
    bool timed = false;      // its size and modification time are kept
    std::size_t from = 0;    // the bytes kept start here,
    std::size_t length = 0;  // and run this far (none when 0)
    // As taken:
    std::optional<Files::FileState> state;
    std::optional<std::string> bytes;  // nothing: no file there
  };
  // A file taken now: a new one to watch, or one taken again to compare.
  static Watched Watch(const fs::path& path, bool timed, std::size_t from, std::size_t length);
  static Watched Take(Watched file);

  std::vector<Watched> watched_;
};

enum class OpenedCheck {
  Unchanged,  // the save may write
  Reload,     // changed: the user asked for the files again
  Keep,       // changed: the window stays as it is
};
// The comparison at a save, under the writer lock and before anything is
// written; on a change the user is asked whether to reload. Throws IoError
// when a file cannot be read back, which refuses the save as well.
OpenedCheck CheckOpened(const OpenedFiles& opened, Prompter& prompter);
// The same, for a window about to write: true when unchanged; on a change
// `reload` runs when the user asked for the files again.
bool UnchangedElseReload(const OpenedFiles& opened, Prompter& prompter,
                         const std::function<void()>& reload);

}  // namespace pelvaro
