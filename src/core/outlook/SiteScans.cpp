#include "core/outlook/SiteScans.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro {

namespace {

// The raw readings of a site's blocks, scan by scan, in the order the
// conversion reads them, so the n-th scan here is the n-th scan of the graph
// file. Every reading that lies in a block file is also given to the fault
// counter.
class BlockWalker {
 public:
  BlockWalker(const Files& files, const std::string& identification,
              const std::string& dataDirectory, const std::vector<int>& blocks, std::size_t sensors,
              FaultCounter* faults)
      : files_(files),
        identification_(identification),
        dataDirectory_(dataDirectory),
        blocks_(blocks),
        sensors_(sensors),
        faults_(faults) {}

  // One reading per enabled sensor in slot order; nullptr after the last scan.
  const std::uint16_t* Next() {
    while (scansLeft_ == 0) {
      if (!OpenNext()) return nullptr;
    }
    --scansLeft_;
    const std::uint16_t* whole = words_.data() + pointer_;
    if (pointer_ + sensors_ <= words_.size()) {
      pointer_ += sensors_;
      return whole;
    }
    for (std::size_t j = 0; j < sensors_; ++j, ++pointer_) {
      // A reading the block lacks (an incomplete last scan) is 0, as converted.
      scan_[j] = pointer_ < words_.size() ? words_[pointer_] : 0;
    }
    return scan_.data();
  }

 private:
  bool OpenNext() {
    if (ended_ || next_ >= blocks_.size()) return false;
    const int number = blocks_[next_++];
    const BlockPaths paths =
        MakeBlockPaths(BlockStemPath(files_, dataDirectory_, BlockStem(identification_, number)));
    BlockData data(paths.data, RecordFile::Mode::ReadOnly);
    const BlockHeader header = ReadBlockHeader(paths.header);
    // The conversion ends at an empty block, and refuses a block whose count
    // is not what its data file holds: so is it reported here.
    if (data.Length() < 4) {
      ended_ = true;
      return false;
    }
    CheckBlockAgrees(header, data.Length(), paths.header);
    // The first block is stepped by the enabled sensors, later ones by the
    // count their logger recorded (the enabled sensors when it was never given).
    const int recorded = header.run.SensorCount();
    const double step = first_ || recorded == 0 ? static_cast<double>(sensors_) : recorded;
    first_ = false;
    scansLeft_ = header.words >= 1
                     ? static_cast<std::uint64_t>(std::floor((header.words - 1) / step)) + 1
                     : 0;
    words_ = data.ReadAllWords();
    pointer_ = 0;
    if (faults_ != nullptr) {
      // Every reading of the block's scans: the reader takes them all, the
      // scans the graph file lacks included.
      faults_->StartBlock(header.run.ScanInterval());
      const std::uint64_t readings = std::min<std::uint64_t>(words_.size(), scansLeft_ * sensors_);
      faults_->AddReadings(std::span<const std::uint16_t>(words_.data(), readings));
    }
    return true;
  }

  const Files& files_;
  const std::string& identification_;
  const std::string& dataDirectory_;
  const std::vector<int>& blocks_;
  std::size_t sensors_;
  FaultCounter* faults_;
  std::size_t next_ = 0;
  bool first_ = true;
  bool ended_ = false;
  std::vector<std::uint16_t> words_;
  std::uint64_t pointer_ = 0;
  std::uint64_t scansLeft_ = 0;
  std::array<std::uint16_t, kMaxGraphSlots> scan_{};
};

}  // namespace

SiteScans SiteScans::Open(const Files& files, const std::string& identification,
                          const std::optional<std::string>& dataDirectory) {
  CheckSafeName(identification);
  const fs::path path = files.HeaderPath(identification);
  if (!Files::FileExists(path)) {
    throw IoError("The site " + identification + " has no header file in " +
                  PathText(files.HeaderFolder()));
  }
  SiteScans site(files);
  site.identification_ = identification;
  SiteHeader header(path, RecordFile::Mode::ReadOnly);
  site.dataDirectory_ = dataDirectory.value_or(Trim(header.ReadRecord(header::kDataDirectory)));
  // Blank or zero means the full probe.
  int slotCount = 12;
  const double count = header.ReadNumber(header::kDepthSlotCount);
  if (count != 0) slotCount = static_cast<int>(std::clamp(RoundHalfEven(count), 0.0, 16.0));
  const double rootZoneMm = header.ReadNumber(header::kRootZone);
  site.unit_ = header.ReadRecord(header::kMeasurementType) == "Volumetric" ? "mm" : "%";
  for (int r = header::kFirstBlockSlot; r <= header::kLastBlockSlot; ++r) {
    const auto number = ToInt16(header.ReadNumber(r));
    if (!number || *number == 0) break;
    site.blocks_.push_back(*number);
  }

  // Without a data directory there is no graph file and no block.
  if (!site.dataDirectory_.empty()) {
    site.graphPath_ =
        CalibratedPath(files, CheckSafeName(site.dataDirectory_), identification, kGraphExtension);
    site.graph_ = GraphFileReader::Open(site.graphPath_);
  }
  // As the graph window: the slots the graph file was made for.
  if (site.graph_) slotCount = site.graph_->Head().slotCount;
  for (int s = 1; s <= std::min(slotCount, kMaxGraphSlots); ++s) {
    const int base = header::CalibrationBase(s);
    if (header.ReadRecord(base + header::kState) != "ON") continue;
    site.sensors_.push_back({s, 10 * s, header.ReadNumber(base + header::kFieldCapacity),
                             header.ReadNumber(base + header::kRefill)});
  }
  // A sensor at 10 x slot cm lies within a root feeder zone of 100 x slot mm.
  for (std::size_t j = 0; j < site.sensors_.size(); ++j) {
    if (rootZoneMm != 0 && 100.0 * site.sensors_[j].slot <= rootZoneMm) site.rootZone_.push_back(j);
  }
  if (site.rootZone_.empty()) {
    for (std::size_t j = 0; j < site.sensors_.size(); ++j) site.rootZone_.push_back(j);
  }
  return site;
}

bool SiteScans::ForEachScan(FaultCounter* faults, const std::function<void(const Scan&)>& scan,
                            const ReadProgress& progress, GraphScanSink* graphScans) {
  const std::size_t sensors = sensors_.size();
  if (sensors == 0) return true;
  // Blocks without a graph file to pair them with are no "no data".
  if (!blocks_.empty() && dataDirectory_.empty()) throw IoError(kNoDataDirectory);
  if (!blocks_.empty() && !graph_) throw GraphFileError(kMissingGraph);
  const bool scans = GraphScans() > 0;
  if (scans && graph_->Head().enabledCount != static_cast<int>(sensors)) {
    throw GraphFileError(kOutdatedGraph);
  }
  if (dataDirectory_.empty()) return true;
  BlockWalker walker(*files_, identification_, dataDirectory_, blocks_, sensors, faults);
  bool paired = true;
  if (scans) {
    if (graphScans != nullptr) graphScans->Begin(graphPath_, graph_->Head(), graph_->Scans());
    const bool read = graph_->ForEachScan(
        [&](const GraphScanView& view) {
          const std::uint16_t* raw = walker.Next();
          if (graphScans != nullptr) graphScans->Scan(view, raw);
          if (raw == nullptr) {
            paired = false;
            return;
          }
          std::optional<double> total = 0.0;
          for (std::size_t j : rootZone_) {
            if (OutOfRange(raw[j])) {
              total.reset();
              break;
            }
            *total += view.values[j];
          }
          scan({view, raw, total});
        },
        progress, graphScans != nullptr ? ScanFields::All : ScanFields::WithoutInterval);
    if (!read) return false;
  }
  // Scans the graph file lacks still count for the faults.
  bool unpaired = false;
  while (walker.Next() != nullptr) unpaired = true;
  paired = paired && !unpaired;
  if (scans && graphScans != nullptr) graphScans->End(paired);
  if (scans && !paired) throw GraphFileError(kOutdatedGraph);
  return true;
}

}  // namespace pelvaro
