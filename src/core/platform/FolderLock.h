#pragma once

#include <filesystem>

namespace pelvaro {

namespace fs = std::filesystem;

// An exclusive lock on a folder for as long as the object lives, shared by
// every process and thread that writes there through one: holders take turns.
// Not the working root's WriterLock, which refuses a second writer rather than
// making it wait: this is for short writes outside the root, such as exports.
// The system releases it when the process ends, however it ends.
class FolderLock {
 public:
  // Waits for the lock. Throws IoError, with the cause, when the folder
  // cannot be locked.
  explicit FolderLock(const fs::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
#ifdef _WIN32
  void* mutex_ = nullptr;  // a named mutex: Windows cannot lock a folder itself
#else
  int fd_ = -1;
#endif
};

}  // namespace pelvaro
