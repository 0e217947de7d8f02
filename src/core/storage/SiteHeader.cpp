#include "core/storage/SiteHeader.h"

#include <algorithm>

#include "core/storage/BlockStore.h"
#include "core/storage/NumberText.h"

namespace pelvaro {

SiteHeader::SiteHeader(const fs::path& path, RecordFile::Mode mode)
    : file_(path, header::kRecordSize, mode, ' ') {}

SiteHeader SiteHeader::Open(const Files& files, const std::string& identification,
                            RecordFile::Mode mode) {
  return SiteHeader(files.HeaderPath(identification), mode);
}

SiteHeader SiteHeader::CreateBlank(const Files& files, const std::string& identification) {
  SiteHeader h(files.HeaderPath(identification), RecordFile::Mode::Truncate);
  for (int r = 1; r <= header::kCreatedRecords; ++r) h.WriteRecord(r, "");
  return h;
}

std::string SiteHeader::ReadRecord(int record) {
  if (record < 1) return {};
  return TrimRight(file_.Read(static_cast<std::uint64_t>(record)));
}

void SiteHeader::WriteRecord(int record, std::string_view text) {
  file_.Write(static_cast<std::uint64_t>(record), text);
}

double SiteHeader::ReadNumber(int record) { return ParseLeadingNumber(ReadRecord(record)); }

void SiteHeader::WriteCalibration(int depth, const Calibration& c) {
  const int base = header::CalibrationBase(depth);
  WriteRecord(base + header::kOffset, Spaced(c.offset));
  WriteRecord(base + header::kSlope, Spaced(c.slope));
  WriteRecord(base + header::kFieldCapacity, Spaced(c.fieldCapacity));
  WriteRecord(base + header::kRefill, Spaced(c.refill));
  WriteRecord(base + header::kState, c.state);
}

int SiteHeader::LastBlockNumber() {
  double last = 0;
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
    const double value = ReadNumber(r);
    if (value == 0) break;
    last = value;
  }
  return static_cast<int>(last);
}

int SiteHeader::BlockCount() {
  int count = 0;
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r, ++count) {
    if (ReadNumber(r) == 0) break;
  }
  return count;
}

std::optional<SiteHeader::NextBlock> SiteHeader::NextBlockNumber() {
  double last = 0;
  for (int slot = 1; slot <= header::kBlockSlots; ++slot) {
    const double value = ReadNumber(header::kFirstBlockSlot + slot - 1);
    if (value == 0) return NextBlock{slot, static_cast<int>(last) + 1};
    last = value;
  }
  return std::nullopt;
}

void SiteHeader::RebuildBlockIndex(const Files& files, const std::string& identification,
                                   const std::string& dataDirectory) {
  const auto found = Files::List(files.DataFolder(dataDirectory), BlockFilePattern(identification));
  const int n = static_cast<int>(std::min<std::size_t>(found.size(), header::kBlockSlots));
  // Each slot is written once with its final value, so an interruption never
  // leaves the index emptier than the files.
  for (int slot = 1; slot <= header::kBlockSlots; ++slot) {
    WriteRecord(header::kFirstBlockSlot + slot - 1, slot <= n ? std::to_string(slot) : "0");
  }
}

HeaderTransaction::HeaderTransaction(const fs::path& target, const fs::path& from)
    : target_(Files::Resolve(target)) {
  sibling_ = target_;
  sibling_ += ".new";
  Files::Remove(sibling_);
  if (!from.empty() && Files::FileExists(from)) Files::CopyFile(from, sibling_);
  header_.emplace(sibling_, RecordFile::Mode::ReadWrite);
}

HeaderTransaction::~HeaderTransaction() {
  if (committed_) return;
  header_.reset();
  Files::Remove(sibling_);
}

void HeaderTransaction::Commit() {
  header_->Flush();
  header_->Close();
  std::error_code ec;
  fs::rename(sibling_, target_, ec);
  if (ec) throw IoError(ec.message());
  committed_ = true;
}

}  // namespace pelvaro
