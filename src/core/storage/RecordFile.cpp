#include "core/storage/RecordFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace pelvaro {

namespace {
std::string ErrnoText() { return std::strerror(errno); }
constexpr std::size_t kWriteBehind = 1 << 20;
}  // namespace

RecordFile::RecordFile(const fs::path& path, std::size_t recordSize, Mode mode, char fill)
    : path_(Files::Resolve(path)), size_(recordSize), fill_(fill) {
  std::error_code ec;
  const bool exists = fs::is_regular_file(path_, ec);
  if (mode == Mode::ReadOnly) {
    if (!exists) return;  // reads as an empty file
    file_ = std::fopen(path_.string().c_str(), "rb");
  } else if (mode == Mode::Truncate || !exists) {
    file_ = std::fopen(path_.string().c_str(), "w+b");
  } else {
    file_ = std::fopen(path_.string().c_str(), "r+b");
  }
  if (file_ == nullptr) throw IoError(ErrnoText() + ": " + path_.string());
  if (std::fseek(file_, 0, SEEK_END) != 0) {
    const std::string why = ErrnoText();
    std::fclose(file_);
    file_ = nullptr;
    throw IoError(why);
  }
  length_ = static_cast<std::uint64_t>(std::ftell(file_));
}

RecordFile::~RecordFile() {
  if (file_ == nullptr) return;
  try {
    FlushPending();
  } catch (const IoError&) {
    // A writer that cares calls Close() and sees the failure.
  }
  std::fclose(file_);
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(std::move(other.path_)),
      file_(std::exchange(other.file_, nullptr)),
      size_(other.size_),
      fill_(other.fill_),
      length_(other.length_),
      pending_(std::move(other.pending_)),
      pendingOffset_(other.pendingOffset_) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    if (file_ != nullptr) {
      try {
        FlushPending();
      } catch (const IoError&) {
      }
      std::fclose(file_);
    }
    path_ = std::move(other.path_);
    file_ = std::exchange(other.file_, nullptr);
    size_ = other.size_;
    fill_ = other.fill_;
    length_ = other.length_;
    pending_ = std::move(other.pending_);
    pendingOffset_ = other.pendingOffset_;
  }
  return *this;
}

std::string RecordFile::Read(std::uint64_t record) {
  std::string bytes(size_, fill_);
  if (record == 0 || file_ == nullptr) return bytes;
  const std::uint64_t offset = (record - 1) * size_;
  if (offset >= length_) return bytes;
  FlushPending();
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) Fail();
  const std::size_t want =
      static_cast<std::size_t>(std::min<std::uint64_t>(size_, length_ - offset));
  const std::size_t got = std::fread(bytes.data(), 1, want, file_);
  (void)got;  // a short read leaves the fill bytes
  return bytes;
}

void RecordFile::Write(std::uint64_t record, std::string_view text) {
  if (file_ == nullptr) throw IoError("The file is open for reading only: " + path_.string());
  if (record == 0) throw IoError("Bad record number");
  const std::string_view kept = text.substr(0, size_);
  const std::uint64_t offset = (record - 1) * size_;
  if (offset > length_) {
    Stage(length_, {}, 0);
    pending_.append(static_cast<std::size_t>(offset - length_), fill_);
    length_ = offset;
  }
  Stage(offset, kept, size_ - kept.size());
  length_ = std::max(length_, offset + size_);
  if (pending_.size() >= kWriteBehind) FlushPending();
}

void RecordFile::Stage(std::uint64_t offset, std::string_view bytes, std::size_t pad) {
  if (pending_.empty() || offset != pendingOffset_ + pending_.size()) {
    FlushPending();
    pendingOffset_ = offset;
  }
  pending_.append(bytes);
  pending_.append(pad, ' ');
}

void RecordFile::FlushPending() {
  if (pending_.empty()) return;
  if (std::fseek(file_, static_cast<long>(pendingOffset_), SEEK_SET) != 0) Fail();
  if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size()) Fail();
  pending_.clear();
}

void RecordFile::Fail() { throw IoError(ErrnoText()); }

void RecordFile::Flush() {
  if (file_ == nullptr) return;
  FlushPending();
  if (std::fflush(file_) != 0) throw IoError(ErrnoText());
  Files::SyncFile(path_);
}

void RecordFile::Close() {
  if (file_ == nullptr) return;
  try {
    FlushPending();
  } catch (const IoError&) {
    std::fclose(file_);
    file_ = nullptr;
    throw;
  }
  const int rc = std::fclose(file_);
  file_ = nullptr;
  if (rc != 0) throw IoError(ErrnoText());
}

std::string TrimRight(std::string_view text) {
  const auto end = text.find_last_not_of(' ');
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string TrimLeft(std::string_view text) {
  const auto start = text.find_first_not_of(' ');
  return std::string(start == std::string_view::npos ? std::string_view() : text.substr(start));
}

std::string Trim(std::string_view text) { return TrimLeft(TrimRight(text)); }

}  // namespace pelvaro
