#include "core/storage/RecordFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace pelvaro {

namespace {
std::string ErrnoText() { return std::strerror(errno); }
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
  position_ = length_;
  positionKnown_ = true;
}

RecordFile::~RecordFile() {
  if (file_ != nullptr) std::fclose(file_);
}

RecordFile::RecordFile(RecordFile&& other) noexcept
    : path_(std::move(other.path_)),
      file_(std::exchange(other.file_, nullptr)),
      size_(other.size_),
      fill_(other.fill_),
      length_(other.length_),
      position_(other.position_),
      positionKnown_(other.positionKnown_),
      lastWasWrite_(other.lastWasWrite_) {}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    if (file_ != nullptr) std::fclose(file_);
    path_ = std::move(other.path_);
    file_ = std::exchange(other.file_, nullptr);
    size_ = other.size_;
    fill_ = other.fill_;
    length_ = other.length_;
    position_ = other.position_;
    positionKnown_ = other.positionKnown_;
    lastWasWrite_ = other.lastWasWrite_;
  }
  return *this;
}

void RecordFile::SeekTo(std::uint64_t offset) {
  // Sequential access skips the seek, which would flush the stream buffer.
  if (positionKnown_ && position_ == offset) return;
  if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
    positionKnown_ = false;
    throw IoError(ErrnoText());
  }
  position_ = offset;
  positionKnown_ = true;
}

std::string RecordFile::Read(std::uint64_t record) {
  std::string bytes(size_, fill_);
  if (record == 0 || file_ == nullptr) return bytes;
  const std::uint64_t offset = (record - 1) * size_;
  if (offset >= length_) return bytes;
  if (lastWasWrite_) positionKnown_ = false;  // a read after a write needs a seek
  SeekTo(offset);
  const std::size_t want =
      static_cast<std::size_t>(std::min<std::uint64_t>(size_, length_ - offset));
  const std::size_t got = std::fread(bytes.data(), 1, want, file_);
  lastWasWrite_ = false;
  position_ += got;
  if (got < want) positionKnown_ = false;
  return bytes;
}

void RecordFile::Write(std::uint64_t record, std::string_view text) {
  if (file_ == nullptr) throw IoError("The file is open for reading only: " + path_.string());
  if (record == 0) throw IoError("Bad record number");
  std::string bytes(text.substr(0, size_));
  bytes.resize(size_, ' ');
  const std::uint64_t offset = (record - 1) * size_;
  if (!lastWasWrite_) positionKnown_ = false;  // a write after a read needs a seek
  if (offset > length_) {
    SeekTo(length_);
    const std::string gap(static_cast<std::size_t>(offset - length_), fill_);
    if (std::fwrite(gap.data(), 1, gap.size(), file_) != gap.size()) {
      positionKnown_ = false;
      throw IoError(ErrnoText());
    }
    position_ += gap.size();
    length_ = offset;
  }
  SeekTo(offset);
  lastWasWrite_ = true;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
    positionKnown_ = false;
    throw IoError(ErrnoText());
  }
  position_ += bytes.size();
  length_ = std::max(length_, position_);
}

void RecordFile::Flush() {
  if (file_ == nullptr) return;
  if (std::fflush(file_) != 0) throw IoError(ErrnoText());
  Files::SyncFile(path_);
}

void RecordFile::Close() {
  if (file_ == nullptr) return;
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
