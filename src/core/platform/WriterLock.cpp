#include "core/platform/WriterLock.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace pelvaro {

namespace {

std::mutex gMutex;
// The lock this process holds on each working root, shared by its users.
std::map<fs::path, std::weak_ptr<WriterLock::Holder>>& Held() {
  static std::map<fs::path, std::weak_ptr<WriterLock::Holder>> held;
  return held;
}

int CurrentProcess() {
#ifdef _WIN32
  return static_cast<int>(GetCurrentProcessId());
#else
  return static_cast<int>(::getpid());
#endif
}

#ifndef _WIN32
std::string NotARegularFile() {
  return std::string("The lock file ") + kLockFileName + " is not a regular file.";
}
#endif

fs::path KeyOf(const fs::path& root) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(root, ec);
  return ec ? root : canonical;
}

}  // namespace

struct WriterLock::Holder {
#ifdef _WIN32
  using Descriptor = HANDLE;
#else
  using Descriptor = int;
#endif
  explicit Holder(Descriptor descriptor) : fd(descriptor), process(CurrentProcess()) {}
  ~Holder() {
#ifdef _WIN32
    OVERLAPPED first{};
    UnlockFileEx(fd, 0, 1, 0, &first);
    CloseHandle(fd);
#else
    ::flock(fd, LOCK_UN);
    ::close(fd);
#endif
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  Descriptor fd;
  int process;  // a child made by fork is another program
};

WriterLock::~WriterLock() {
  if (!holder_) return;
  const std::lock_guard<std::mutex> guard(gMutex);
  holder_.reset();
}

WriterLock& WriterLock::operator=(WriterLock&& other) noexcept {
  if (this != &other) {
    const std::lock_guard<std::mutex> guard(gMutex);
    holder_ = std::move(other.holder_);
  }
  return *this;
}

WriterLock::Attempt WriterLock::TryAcquire(const Files& files) {
  const std::lock_guard<std::mutex> guard(gMutex);
  const fs::path key = KeyOf(files.Root());
  if (auto held = Held()[key].lock(); held && held->process == CurrentProcess()) {
    return {Status::Held, WriterLock(held), {}};
  }

  const fs::path path = files.Root() / kLockFileName;
#ifdef _WIN32
  // A lock on the file's first byte, held by this handle; read access is all
  // it needs, as below. Others may open the file meanwhile, only not lock it.
  const HANDLE fd = CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (fd == INVALID_HANDLE_VALUE) {
    return {Status::Failed, std::nullopt, std::system_category().message(GetLastError())};
  }
  OVERLAPPED first{};
  if (!LockFileEx(fd, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &first)) {
    const DWORD why = GetLastError();
    CloseHandle(fd);
    if (why == ERROR_LOCK_VIOLATION) return {Status::Busy, std::nullopt, {}};
    return {Status::Failed, std::nullopt, std::system_category().message(why)};
  }
#else
  // Read access is all a lock needs, so a lock file made read-only still works.
  // Opened without waiting and without following a link, so that a FIFO or a
  // device put in its place is refused at once instead of blocking every writer.
  const int fd =
      ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0644);
  if (fd < 0) {
    if (errno == ELOOP || errno == EISDIR) return {Status::Failed, std::nullopt, NotARegularFile()};
    return {Status::Failed, std::nullopt, std::strerror(errno)};
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return {Status::Failed, std::nullopt, NotARegularFile()};
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int why = errno;
    ::close(fd);
    if (why == EWOULDBLOCK) return {Status::Busy, std::nullopt, {}};
    return {Status::Failed, std::nullopt, std::strerror(why)};
  }
#endif
  auto holder = std::make_shared<Holder>(fd);
  Held()[key] = holder;
  return {Status::Held, WriterLock(std::move(holder)), {}};
}

std::optional<WriterLock> LockForWriting(const Files& files, Prompter& prompter) {
  WriterLock::Attempt attempt = WriterLock::TryAcquire(files);
  switch (attempt.status) {
    case WriterLock::Status::Held:
      return std::move(attempt.lock);
    case WriterLock::Status::Busy:
      prompter.Message(kDataInUseText, kDataInUseTitle, Buttons::Ok, Icon::Exclamation);
      break;
    case WriterLock::Status::Failed:
      prompter.Message(
          "An error occurred while locking the working folder for writing.\r\n"
          "The error is " +
              attempt.error,
          kDataInUseTitle, Buttons::Ok, Icon::Critical);
      break;
  }
  return std::nullopt;
}

}  // namespace pelvaro
