#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

inline constexpr char kLockFileName[] = "PELVARO.LCK";
inline constexpr char kDataInUseTitle[] = "Data In Use";
inline constexpr char kDataInUseText[] =
    "The data in the working folder is in use by another Pelvaro program.\r\n\r\n"
    "Nothing has been changed. Try again when the other program has finished.";

// One writer per working root: every operation that writes the root holds
// this exclusive lock while it runs. It is an advisory lock of the operating
// system on a file in the working root, so the system releases it when the
// process ends, however it ends. Readers never take it. Within one process a
// second acquisition shares the first one, so nested operations (a download
// that converts) never wait for themselves.
class WriterLock {
 public:
  enum class Status { Held, Busy, Failed };
  struct Attempt;
  // Never waits.
  static Attempt TryAcquire(const Files& files);

  WriterLock(WriterLock&&) noexcept = default;
  WriterLock& operator=(WriterLock&& other) noexcept;
  WriterLock(const WriterLock&) = delete;
  WriterLock& operator=(const WriterLock&) = delete;
  ~WriterLock();

  struct Holder;

 private:
  explicit WriterLock(std::shared_ptr<Holder> holder) : holder_(std::move(holder)) {}
  std::shared_ptr<Holder> holder_;
};

struct WriterLock::Attempt {
  Status status = Status::Failed;
  std::optional<WriterLock> lock;
  std::string error;  // why the lock file could not be used
};

// The lock, or nothing after the user was told why the data cannot be
// written now.
std::optional<WriterLock> LockForWriting(const Files& files, Prompter& prompter);

}  // namespace pelvaro
