#include "core/platform/FileOps.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "core/platform/PathNames.h"

#ifdef _WIN32
#include <io.h>
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// The system's own ReplaceFile is a macro that would rename ours.
#undef ReplaceFile
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace pelvaro {

namespace {

std::atomic<FaultPlan*> gPlan{nullptr};

std::string ErrnoText() { return std::strerror(errno); }

// Asks the plan; true when the operation is to be cut off half way.
bool Allowed(FileOp op, const fs::path& path) {
  FaultPlan* plan = gPlan.load();
  if (plan == nullptr) return true;
  switch (plan->Before(op, path)) {
    case FaultPlan::Verdict::Proceed:
      return true;
    case FaultPlan::Verdict::Fail:
      throw IoError("Input/output error (injected): " + PathText(path.filename()));
    case FaultPlan::Verdict::Die:
      return false;
  }
  return true;
}

[[noreturn]] void Died(const fs::path& path) {
  throw IoError("The program stopped (injected): " + PathText(path.filename()));
}

#ifdef _WIN32
unsigned long ProcessId() { return GetCurrentProcessId(); }
#else
long ProcessId() { return static_cast<long>(::getpid()); }
#endif

// "<target>.<digits>-<digits>.new", as UniqueSibling names them.
bool IsUniqueSiblingName(const fs::path::string_type& name, const fs::path::string_type& target) {
  using Char = fs::path::value_type;
  const fs::path::string_type suffix = fs::path(".new").native();
  if (name.size() < target.size() + 4 + suffix.size() ||
      name.compare(0, target.size(), target) != 0 || name[target.size()] != Char('.') ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) {
    return false;
  }
  const fs::path::string_type middle =
      name.substr(target.size() + 1, name.size() - target.size() - 1 - suffix.size());
  const std::size_t dash = middle.find(Char('-'));
  if (dash == fs::path::string_type::npos || dash == 0 || dash + 1 == middle.size()) return false;
  for (std::size_t i = 0; i < middle.size(); ++i) {
    if (i != dash && (middle[i] < Char('0') || middle[i] > Char('9'))) return false;
  }
  return true;
}

bool RealSync() {
  FaultPlan* plan = gPlan.load();
  return plan == nullptr || plan->RealSync();
}

int Seek(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET);
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}

int SyncDescriptor(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f));
#else
  return ::fsync(fileno(f));
#endif
}

// Large writes start going to the disk at once, so the sync that ends a long
// write waits only for its last part. A hint: it neither fails nor makes
// anything durable.
void StartWriteback(std::FILE* f, std::uint64_t offset, std::size_t size) {
#ifdef __linux__
  constexpr std::size_t kLargeWrite = std::size_t{1} << 20;
  if (size < kLargeWrite || !RealSync() || std::fflush(f) != 0) return;
  ::sync_file_range(fileno(f), static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
#else
  (void)f, (void)offset, (void)size;
#endif
}

}  // namespace

FaultPlan* InstallFaultPlan(FaultPlan* plan) { return gPlan.exchange(plan); }

FileHandle::FileHandle(const fs::path& path, Open how) : path_(path) {
  std::error_code ec;
  const bool exists = fs::is_regular_file(path, ec);
  const char* mode = "rb";
  if (how == Open::Create || (how == Open::Update && !exists)) {
    if (!Allowed(FileOp::Write, path)) Died(path);
    mode = "w+b";
  } else {
    if (!Allowed(FileOp::Open, path)) Died(path);
    if (how == Open::Update) mode = "r+b";
  }
  file_ = OpenFile(path, mode);
  if (file_ == nullptr) throw IoError(ErrnoText() + ": " + PathText(path));
  // Every write reaches the system at once, so each is one operation.
  std::setvbuf(file_, nullptr, _IONBF, 0);
}

FileHandle::~FileHandle() {
  if (behind_.valid()) behind_.wait();
  if (file_ != nullptr) std::fclose(file_);
}

FileHandle::FileHandle(FileHandle&& other) noexcept { *this = std::move(other); }

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    // The write behind refers to the handle it was started on.
    if (other.behind_.valid()) other.behind_.wait();
    if (behind_.valid()) behind_.wait();
    if (file_ != nullptr) std::fclose(file_);
    path_ = std::move(other.path_);
    file_ = std::exchange(other.file_, nullptr);
    behindFailure_ = std::exchange(other.behindFailure_, nullptr);
    behindBytes_ = std::move(other.behindBytes_);
  }
  return *this;
}

void FileHandle::Wait() const {
  if (behind_.valid()) behind_.get();
  if (behindFailure_) std::rethrow_exception(std::exchange(behindFailure_, nullptr));
}

void FileHandle::Fail(const std::string& what) const {
  throw IoError(what + ": " + PathText(path_));
}

std::uint64_t FileHandle::Size() const {
  Wait();
  if (file_ == nullptr) return 0;
#ifdef _WIN32
  if (_fseeki64(file_, 0, SEEK_END) != 0) Fail(ErrnoText());
  const __int64 size = _ftelli64(file_);
#else
  if (fseeko(file_, 0, SEEK_END) != 0) Fail(ErrnoText());
  const off_t size = ftello(file_);
#endif
  if (size < 0) Fail(ErrnoText());
  return static_cast<std::uint64_t>(size);
}

std::size_t FileHandle::ReadAt(std::uint64_t offset, char* to, std::size_t count) {
  Wait();
  if (file_ == nullptr) Fail("The file is not open for reading");
  if (count == 0) return 0;
  if (!Allowed(FileOp::Read, path_)) Died(path_);
  if (Seek(file_, offset) != 0) Fail(ErrnoText());
  std::size_t got = 0;
  // fread may stop short of the end (a signal, a pipe): only the end of the
  // file or an error ends the read.
  while (got < count) {
    const std::size_t part = std::fread(to + got, 1, count - got, file_);
    got += part;
    if (part == 0) break;
  }
  if (got < count && std::ferror(file_)) {
    std::clearerr(file_);
    Fail(ErrnoText());
  }
  std::clearerr(file_);
  return got;
}

void FileHandle::Put(std::uint64_t offset, std::string_view bytes) const {
  if (Seek(file_, offset) != 0) Fail(ErrnoText());
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    std::clearerr(file_);
    Fail(ErrnoText());
  }
  StartWriteback(file_, offset, bytes.size());
}

void FileHandle::WriteAt(std::uint64_t offset, std::string_view bytes) {
  Wait();
  if (file_ == nullptr) Fail("The file is not open for writing");
  if (bytes.empty()) return;
  if (Allowed(FileOp::Write, path_)) return Put(offset, bytes);
  Put(offset, bytes.substr(0, bytes.size() / 2));
  Died(path_);
}

void FileHandle::WriteAtBehind(std::uint64_t offset, std::string& bytes) {
  Wait();
  if (file_ == nullptr) Fail("The file is not open for writing");
  if (bytes.empty()) return;
  // Asked here, not on the writing thread, so the operations keep their order.
  if (!Allowed(FileOp::Write, path_)) {
    Put(offset, std::string_view(bytes).substr(0, bytes.size() / 2));
    Died(path_);
  }
  std::swap(behindBytes_, bytes);
  bytes.clear();
  try {
    behind_ = std::async(std::launch::async, [this, offset] {
      try {
        Put(offset, behindBytes_);
      } catch (...) {
        behindFailure_ = std::current_exception();
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: the write is made here instead.
    Put(offset, behindBytes_);
  }
}

void FileHandle::Sync() {
  Wait();
  if (file_ == nullptr) return;
  if (!Allowed(FileOp::Sync, path_)) Died(path_);
  if (std::fflush(file_) != 0) Fail(ErrnoText());
  if (RealSync() && SyncDescriptor(file_) != 0) Fail(ErrnoText());
}

void FileHandle::Close() {
  Wait();
  if (file_ == nullptr) return;
  const int rc = std::fclose(file_);
  file_ = nullptr;
  if (rc != 0) Fail(ErrnoText());
}

namespace fileops {

std::vector<Entry> ListFolder(const fs::path& folder) {
  std::error_code ec;
  const fs::path where = folder.empty() ? fs::path(".") : folder;
  if (!fs::exists(fs::symlink_status(where, ec))) return {};
  if (!Allowed(FileOp::Open, where)) Died(where);
  std::vector<Entry> entries;
  fs::directory_iterator it(where, ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    entries.push_back(
        {it->path().filename(), it->is_regular_file(typeEc), it->is_directory(typeEc)});
  }
  if (ec) throw IoError(ec.message() + ": " + PathText(folder));
  return entries;
}

void Rename(const fs::path& from, const fs::path& to) {
  if (!Allowed(FileOp::Rename, to)) Died(to);
  std::error_code ec;
#ifdef _WIN32
  // Written through: the new name is on the disk when the call returns, which
  // is what syncing the folder gives elsewhere.
  if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ec.assign(static_cast<int>(GetLastError()), std::system_category());
  }
#else
  fs::rename(from, to, ec);
#endif
  if (ec) throw IoError(ec.message() + ": " + PathText(from.filename()));
}

bool Remove(const fs::path& path) noexcept {
  try {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(path, ec))) return false;
    if (!Allowed(FileOp::Remove, path)) return false;
    return fs::remove(path, ec);
  } catch (const std::exception&) {
    return false;
  }
}

void SyncFolder(const fs::path& folder) {
  if (!Allowed(FileOp::Sync, folder)) Died(folder);
#ifdef _WIN32
    // Windows cannot sync a folder; its renames are written through instead.
#else
  if (!RealSync()) return;
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) throw IoError(ErrnoText() + ": " + PathText(folder));
  const int rc = ::fsync(fd);
  const std::string why = rc != 0 ? ErrnoText() : std::string();
  ::close(fd);
  if (rc != 0) throw IoError(why + ": " + PathText(folder));
#endif
}

fs::path Sibling(const fs::path& target) {
  fs::path sibling = target;
  sibling += ".new";
  return sibling;
}

fs::path UniqueSibling(const fs::path& target) {
  static std::atomic<unsigned long long> written{0};
  fs::path sibling = target;
  sibling += "." + std::to_string(ProcessId()) + "-" + std::to_string(++written) + ".new";
  return sibling;
}

void RemoveUniqueSiblings(const fs::path& target) noexcept {
  try {
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const fs::path::string_type name = target.filename().native();
    std::vector<fs::path> left;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
      if (IsUniqueSiblingName(it->path().filename().native(), name)) left.push_back(it->path());
    }
    for (const fs::path& path : left) Remove(path);
  } catch (const std::exception&) {
    // What stays is removed by the next writer.
  }
}

void ReplaceFile(const fs::path& target, std::string_view bytes) {
  const fs::path sibling = Sibling(target);
  try {
    FileHandle out(sibling, FileHandle::Open::Create);
    out.WriteAt(0, bytes);
    out.Sync();
    out.Close();
    Rename(sibling, target);
  } catch (const IoError&) {
    Remove(sibling);
    throw;
  }
  try {
    SyncFolder(target.parent_path());
  } catch (const IoError&) {
    // The new content is in place; only its name may not yet be on the disk.
  }
}

fs::path PairPart(const fs::path& target) {
  fs::path part = target;
  part += ".part";
  return part;
}

namespace {
bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}
}  // namespace

void CommitPair(const fs::path& first, const fs::path& second) {
  Rename(PairPart(first), first);
  Rename(PairPart(second), second);
}

bool RecoverPair(const fs::path& first, const fs::path& second) {
  if (Exists(PairPart(second)) && !Exists(PairPart(first))) {
    Rename(PairPart(second), second);
    return true;
  }
  DiscardPair(first, second);
  return false;
}

void DiscardPair(const fs::path& first, const fs::path& second) noexcept {
  Remove(PairPart(second));
  Remove(PairPart(first));
}

}  // namespace fileops

}  // namespace pelvaro
