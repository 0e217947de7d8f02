#include "core/storage/RecordFile.h"

#include <algorithm>
#include <utility>

namespace pelvaro {

RecordFile::RecordFile(const fs::path& path, std::size_t recordSize, Mode mode, char fill)
    : path_(Files::Resolve(path)), size_(recordSize), fill_(fill) {
  std::error_code ec;
  if (mode == Mode::ReadOnly) {
    if (!fs::is_regular_file(path_, ec)) return;  // reads as an empty file
    file_ = FileHandle(path_, FileHandle::Open::Read);
  } else {
    file_ = FileHandle(
        path_, mode == Mode::Truncate ? FileHandle::Open::Create : FileHandle::Open::Update);
    writable_ = true;
  }
  length_ = file_.Size();
}

RecordFile::~RecordFile() { FlushQuietly(); }

void RecordFile::FlushQuietly() noexcept {
  try {
    FlushPending();
  } catch (const IoError&) {
    // A writer that cares calls Close() and sees the failure.
  }
}

RecordFile& RecordFile::operator=(RecordFile&& other) noexcept {
  if (this != &other) {
    FlushQuietly();
    path_ = std::move(other.path_);
    file_ = std::move(other.file_);
    writable_ = other.writable_;
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
  if (record == 0 || !file_.IsOpen()) return bytes;
  const std::uint64_t offset = (record - 1) * size_;
  if (offset >= length_) return bytes;
  FlushPending();
  const std::size_t want =
      static_cast<std::size_t>(std::min<std::uint64_t>(size_, length_ - offset));
  file_.ReadAt(offset, bytes.data(), want);  // a short read leaves the fill bytes
  return bytes;
}

void RecordFile::Write(std::uint64_t record, std::string_view text) {
  const std::string_view kept = text.substr(0, size_);
  Put(record, kept, size_ - kept.size());
}

void RecordFile::WriteRecords(std::uint64_t record, std::string_view bytes) {
  if (bytes.size() % size_ != 0) throw IoError("Not whole records: " + PathText(path_));
  Put(record, bytes, 0);
}

void RecordFile::WriteRecordsBehind(std::uint64_t record, std::string& bytes) {
  if (bytes.size() % size_ != 0) throw IoError("Not whole records: " + PathText(path_));
  Put(record, bytes, 0, &bytes);
  bytes.clear();
}

void RecordFile::Put(std::uint64_t record, std::string_view bytes, std::size_t pad,
                     std::string* handOver) {
  if (!writable_ || !file_.IsOpen()) {
    throw IoError("The file is open for reading only: " + PathText(path_));
  }
  if (record == 0) throw IoError("Bad record number");
  const std::uint64_t offset = (record - 1) * size_;
  if (offset > length_) {
    Stage(length_, {}, 0);
    pending_.append(static_cast<std::size_t>(offset - length_), fill_);
    length_ = offset;
  }
  if (pad == 0 && bytes.size() >= kWriteBehind) {
    // Copied into the buffer it would only fill it again.
    FlushPending();
    if (handOver != nullptr) {
      const std::uint64_t end = offset + bytes.size();  // `bytes` goes with the hand-over
      file_.WriteAtBehind(offset, *handOver);
      length_ = std::max(length_, end);
      return;
    }
    file_.WriteAt(offset, bytes);
  } else {
    Stage(offset, bytes, pad);
  }
  length_ = std::max(length_, offset + bytes.size() + pad);
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
  // The buffer is emptied even when the write fails, so a failure is
  // reported once and never written again later. It keeps its room: a long
  // writer fills it again at once.
  struct Emptied {
    std::string& bytes;
    ~Emptied() { bytes.clear(); }
  } emptied{pending_};
  file_.WriteAt(pendingOffset_, pending_);
}

void RecordFile::Flush() {
  if (!file_.IsOpen()) return;
  FlushPending();
  file_.Sync();
}

void RecordFile::Close() {
  if (!file_.IsOpen()) return;
  try {
    FlushPending();
  } catch (const IoError&) {
    file_ = FileHandle();
    throw;
  }
  file_.Close();
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
