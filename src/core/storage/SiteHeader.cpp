#include "core/storage/SiteHeader.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

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

int SiteHeader::DepthSlotCount() {
  const auto count = ToInt16(ReadNumber(header::kDepthSlotCount));
  if (!count || *count < 0 || *count > header::kMaxDepthSlots) {
    throw std::out_of_range("The site's depth slot count is out of range");
  }
  return *count == 0 ? 12 : *count;
}

void SiteHeader::WriteCalibration(int depth, const Calibration& c) {
  const int base = header::CalibrationBase(depth);
  WriteRecord(base + header::kOffset, Spaced(c.offset));
  WriteRecord(base + header::kSlope, Spaced(c.slope));
  WriteRecord(base + header::kFieldCapacity, Spaced(c.fieldCapacity));
  WriteRecord(base + header::kRefill, Spaced(c.refill));
  WriteRecord(base + header::kState, c.state);
}

namespace {

// A block number as the index stores it: the whole text is a whole number
// from 1 to 100 (" 2", "2", "2.0").
std::optional<int> IndexValue(const std::string& record) {
  const std::string text = Trim(record);
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
      text.find('.') != text.rfind('.')) {
    return std::nullopt;
  }
  const double value = ParseLeadingNumber(text);
  if (!(value >= 1 && value <= header::kMaxBlocks) || value != std::floor(value)) {
    return std::nullopt;
  }
  return static_cast<int>(value);
}

}  // namespace

SiteHeader::BlockIndex SiteHeader::ReadBlockIndex() {
  BlockIndex index;
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
    const std::string record = ReadRecord(r);
    if (ParseLeadingNumber(record) == 0) break;
    ++index.used;
    if (const auto number = IndexValue(record)) {
      index.numbers.push_back(*number);
    } else {
      index.damaged = true;
    }
  }
  return index;
}

int SiteHeader::LastBlockNumber() {
  const BlockIndex index = ReadBlockIndex();
  if (index.damaged) return index.used;
  return index.numbers.empty() ? 0 : index.numbers.back();
}

int SiteHeader::BlockCount() { return ReadBlockIndex().used; }

void SiteHeader::RebuildBlockIndex(const Files& files, const std::string& identification,
                                   const std::string& dataDirectory) {
  const auto found = BlockNumbersOnDisk(files, dataDirectory, identification);
  WriteBlockIndex(static_cast<int>(std::min<std::size_t>(found.size(), header::kBlockSlots)));
}

void SiteHeader::WriteBlockIndex(int count) {
  // Each slot is written once with its final value, so an interruption never
  // leaves the index emptier than the files.
  for (int slot = 1; slot <= header::kBlockSlots; ++slot) {
    WriteRecord(header::kFirstBlockSlot + slot - 1, slot <= count ? std::to_string(slot) : "0");
  }
}

HeaderTransaction::HeaderTransaction(const fs::path& target, const fs::path& from)
    : target_(Files::Resolve(target)) {
  sibling_ = fileops::Sibling(target_);
  Files::Remove(sibling_);
  // The records of a header, never more: whatever lies beyond is no field.
  try {
    if (!from.empty() && Files::FileExists(from)) {
      Files::CopyFile(from, sibling_, header::kRecordsBytes);
    }
    header_.emplace(sibling_, RecordFile::Mode::ReadWrite);
  } catch (const IoError&) {
    // No destructor runs for a transaction that never started: its copy goes here.
    header_.reset();
    Files::Remove(sibling_);
    throw;
  }
}

HeaderTransaction::~HeaderTransaction() {
  if (committed_) return;
  header_.reset();
  Files::Remove(sibling_);
}

void HeaderTransaction::Commit() {
  header_->Flush();
  header_->Close();
  fileops::Rename(sibling_, target_);
  committed_ = true;
  try {
    fileops::SyncFolder(target_.parent_path());
  } catch (const IoError&) {
    // The new header is in place; only its name may not be on the disk yet.
  }
}

}  // namespace pelvaro
