#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/platform/Files.h"

namespace pelvaro {

// A file of fixed-length records numbered from 1. A text written to a record
// is padded with spaces or cut, so it never spills into the next record.
// Bytes that lie beyond the end of the file read as the fill byte, and a
// record written past the end fills the skipped bytes with it.
class RecordFile {
 public:
  enum class Mode {
    ReadOnly,   // a missing file reads as empty
    ReadWrite,  // a missing file is created empty
    Truncate,   // the file is created or emptied
  };

  RecordFile(const fs::path& path, std::size_t recordSize, Mode mode, char fill = ' ');
  ~RecordFile();
  RecordFile(RecordFile&&) noexcept = default;
  RecordFile& operator=(RecordFile&& other) noexcept;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  std::size_t RecordSize() const { return size_; }
  const fs::path& Path() const { return path_; }
  // The whole record, always RecordSize() bytes.
  std::string Read(std::uint64_t record);
  void Write(std::uint64_t record, std::string_view text);
  // Consecutive records from `record` on, in one piece: `bytes` holds whole
  // records. A piece of kWriteBehind bytes or more goes to the file at once,
  // after what is buffered. Throws IoError.
  void WriteRecords(std::uint64_t record, std::string_view bytes);
  // The same, for a piece the caller need not keep: a large one is written
  // while the caller goes on, and `bytes` comes back empty either way.
  void WriteRecordsBehind(std::uint64_t record, std::string& bytes);
  static constexpr std::size_t kWriteBehind = 1 << 20;
  std::uint64_t Length() const { return length_; }
  std::uint64_t RecordCount() const { return length_ / size_; }
  // Pushes buffered writes to the disk. Throws IoError.
  void Flush();
  void Close();

 private:
  // Adds bytes at an offset to the write-behind buffer, which holds one run
  // of consecutive bytes; anything else flushes it first.
  // `handOver`, when given, holds `bytes` and may be taken for a write behind.
  void Put(std::uint64_t record, std::string_view bytes, std::size_t pad,
           std::string* handOver = nullptr);
  void Stage(std::uint64_t offset, std::string_view bytes, std::size_t pad);
  void FlushPending();
  void FlushQuietly() noexcept;

  fs::path path_;
  FileHandle file_;
  bool writable_ = false;
  std::size_t size_;
  char fill_;
  std::uint64_t length_ = 0;  // including what is still buffered
  std::string pending_;
  std::uint64_t pendingOffset_ = 0;
};

// Removes trailing spaces only, as every record reader does.
std::string TrimRight(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string Trim(std::string_view text);

}  // namespace pelvaro
