#include "core/platform/FolderLock.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <system_error>

#include "core/platform/FileOps.h"
#include "core/platform/PathNames.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace pelvaro {

namespace {

fs::path Folder(const fs::path& folder) { return folder.empty() ? fs::path(".") : folder; }

#ifdef _WIN32
// One name per folder however it is spelled: its full path, case folded, as a
// hash, since a mutex name takes no backslash and at most MAX_PATH characters.
// Global, so that a scheduled export in another session takes turns too.
std::wstring MutexName(const fs::path& folder) {
  std::error_code ec;
  fs::path full = fs::weakly_canonical(folder, ec);
  if (ec) full = fs::absolute(folder, ec);
  std::wstring text = (ec ? folder : full).native();
  if (!text.empty()) CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const wchar_t c : text) {
    hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
  }
  std::wstring name = L"Global\\PelvaroFolder-";
  for (int shift = 60; shift >= 0; shift -= 4) name += L"0123456789abcdef"[(hash >> shift) & 15];
  return name;
}
#endif

}  // namespace

#ifdef _WIN32

FolderLock::FolderLock(const fs::path& folder) {
  const fs::path path = Folder(folder);
  // Said as the other systems say it, and as opening a file in it would.
  std::error_code ec;
  if (!fs::is_directory(path, ec)) {
    throw IoError(std::string(std::strerror(fs::exists(path, ec) ? ENOTDIR : ENOENT)) + ": " +
                  PathText(path));
  }
  HANDLE mutex = CreateMutexW(nullptr, FALSE, MutexName(path).c_str());
  if (mutex == nullptr) {
    throw IoError(std::system_category().message(static_cast<int>(GetLastError())) + ": " +
                  PathText(path));
  }
  // An abandoned mutex is ours as well: its holder ended without releasing it.
  if (WaitForSingleObject(mutex, INFINITE) == WAIT_FAILED) {
    const DWORD why = GetLastError();
    CloseHandle(mutex);
    throw IoError(std::system_category().message(static_cast<int>(why)) + ": " + PathText(path));
  }
  mutex_ = mutex;
}

FolderLock::~FolderLock() {
  ReleaseMutex(static_cast<HANDLE>(mutex_));
  CloseHandle(static_cast<HANDLE>(mutex_));
}

#else

FolderLock::FolderLock(const fs::path& folder) {
  const fs::path path = Folder(folder);
  fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw IoError(std::string(std::strerror(errno)) + ": " + PathText(path));
  int rc = 0;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const std::string why = std::strerror(errno);
    ::close(fd_);
    throw IoError(why + ": " + PathText(path));
  }
}

FolderLock::~FolderLock() {
  // Closing the last descriptor releases the lock.
  ::close(fd_);
}

#endif

}  // namespace pelvaro
