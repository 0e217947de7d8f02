#pragma once

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <future>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace pelvaro {

namespace fs = std::filesystem;

// A file-system failure, with the description the user is shown after
// "The error is ".
class IoError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Every change the program makes on the disk, and every open and read of a
// file, is one of these, and each goes through this layer: storage and
// operations never call the system for them. A test can so fail or cut off
// the k-th one and check that the data survives whatever happens at that
// point, and that a read that failed is never taken for data.
enum class FileOp {
  Write,   // creating or emptying a file, or writing bytes into it
  Sync,    // flushing a file or a folder to the disk
  Rename,  // replacing a name with another file
  Remove,  // deleting a file
  Open,    // opening an existing file to read or update it, or a folder to list it
  Read,    // reading bytes of an open file
};

// A test's hand on the layer: asked before each operation.
class FaultPlan {
 public:
  enum class Verdict {
    Proceed,
    Fail,  // the operation does nothing and reports an I/O error
    Die,   // as Fail, but a write stops half way, as when the process is killed
  };
  virtual ~FaultPlan() = default;
  virtual Verdict Before(FileOp op, const fs::path& path) = 0;
  // A plan may count syncs without waiting for the disk.
  virtual bool RealSync() const { return true; }
};

// Installs the plan for the whole process (nullptr removes it) and returns
// the one it replaces.
FaultPlan* InstallFaultPlan(FaultPlan* plan);

// One open file. Opening it, creating or emptying it on opening, reading,
// writing and syncing are operations of the layer.
class FileHandle {
 public:
  enum class Open {
    Read,    // an existing file, read only
    Update,  // an existing file, or a new empty one
    Create,  // a new empty file, emptying one that exists
  };

  FileHandle() = default;
  // Throws IoError.
  FileHandle(const fs::path& path, Open how);
  ~FileHandle();
  FileHandle(FileHandle&& other) noexcept;
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  const fs::path& Path() const { return path_; }
  std::uint64_t Size() const;
  // Up to `count` bytes from an offset; fewer only at the end of the file.
  // Throws IoError when the bytes cannot be read.
  std::size_t ReadAt(std::uint64_t offset, char* to, std::size_t count);
  void WriteAt(std::uint64_t offset, std::string_view bytes);
  // Writes `bytes` at `offset` while the caller goes on making the next ones:
  // the string is taken and given back empty, with the room of an earlier one.
  // Every other call waits for that write first and throws its failure, so a
  // failed write is never synced or closed as if it had succeeded.
  void WriteAtBehind(std::uint64_t offset, std::string& bytes);
  void Sync();
  void Close();

 private:
  [[noreturn]] void Fail(const std::string& what) const;
  void Put(std::uint64_t offset, std::string_view bytes) const;
  // Waits for the write behind, and throws its failure.
  void Wait() const;

  fs::path path_;
  std::FILE* file_ = nullptr;
  mutable std::future<void> behind_;
  mutable std::exception_ptr behindFailure_;
  std::string behindBytes_;
};

namespace fileops {
// The entries of a folder, name and kind; none for a folder that does not
// exist. Throws IoError when it cannot be listed: a listing that failed is
// never taken for an empty folder.
struct Entry {
  fs::path name;
  bool isFile = false;
  bool isFolder = false;
};
std::vector<Entry> ListFolder(const fs::path& folder);
// Each throws IoError when the operation fails.
void Rename(const fs::path& from, const fs::path& to);
// False when there was nothing to remove or it could not be removed.
bool Remove(const fs::path& path) noexcept;
void SyncFolder(const fs::path& folder);
// A sibling name that no reader takes for a file of the program.
fs::path Sibling(const fs::path& target);
// A sibling name of one writer alone, "<target>.<process>-<n>.new", n counted
// within the process: writers of one target never share a file.
fs::path UniqueSibling(const fs::path& target);
// Removes the unique siblings that writers killed while writing left beside
// the target. Only for a caller that keeps every other writer of the target
// out (FolderLock), so that no live writer owns one of them.
void RemoveUniqueSiblings(const fs::path& target) noexcept;
// Writes a sibling, syncs it and renames it over the target, so that the
// target holds either the old bytes or the new ones whatever happens.
void ReplaceFile(const fs::path& target, std::string_view bytes);

// Two files replaced together (a block's .KEY and .DAT, a site's graph and
// summary files). The new contents are written to the parts of the pair,
// the first part created before the second, both synced; then the first is
// renamed into place and the second after it. A second part whose first part
// has gone was therefore complete when the first was renamed, so an
// interruption can always be finished or undone by RecoverPair.
fs::path PairPart(const fs::path& target);
// Syncs nothing: the parts must be synced already. Renames first, then second.
void CommitPair(const fs::path& first, const fs::path& second);
// Finishes a pair whose first part is already in place, else removes the
// parts left by an interrupted write (the second part first). True when the
// pair was finished.
bool RecoverPair(const fs::path& first, const fs::path& second);
// Removes both parts, the second first.
void DiscardPair(const fs::path& first, const fs::path& second) noexcept;
}  // namespace fileops

}  // namespace pelvaro
