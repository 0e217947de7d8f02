#include "core/platform/WriterLock.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <share.h>
#include <sys/locking.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/file.h>
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
  return _getpid();
#else
  return static_cast<int>(::getpid());
#endif
}

fs::path KeyOf(const fs::path& root) {
  std::error_code ec;
  const fs::path canonical = fs::weakly_canonical(root, ec);
  return ec ? root : canonical;
}

}  // namespace

struct WriterLock::Holder {
  explicit Holder(int descriptor) : fd(descriptor), process(CurrentProcess()) {}
  ~Holder() {
#ifdef _WIN32
    _lseek(fd, 0, SEEK_SET);
    _locking(fd, _LK_UNLCK, 1);
    _close(fd);
#else
    ::flock(fd, LOCK_UN);
    ::close(fd);
#endif
  }
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;
  int fd;
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
  // it needs, as below.
  int fd = -1;
  const errno_t opened =
      _wsopen_s(&fd, path.c_str(), _O_RDONLY | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                _S_IREAD | _S_IWRITE);
  if (opened != 0 || fd < 0) return {Status::Failed, std::nullopt, std::strerror(opened)};
  if (_locking(fd, _LK_NBLCK, 1) != 0) {
    const int why = errno;
    _close(fd);
    if (why == EACCES) return {Status::Busy, std::nullopt, {}};
    return {Status::Failed, std::nullopt, std::strerror(why)};
  }
#else
  // Read access is all a lock needs, so a lock file made read-only still works.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return {Status::Failed, std::nullopt, std::strerror(errno)};
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
