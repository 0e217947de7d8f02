#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"
#include "core/platform/Files.h"
#include "core/storage/GraphFile.h"

namespace pelvaro {

// An enabled sensor of a site, as the graph file holds its values.
struct SiteSensor {
  int slot = 0;
  int depthCm = 0;
  double fieldCapacity = 0;
  double refill = 0;
};

// A site's graph scans, each paired with the raw readings it was converted
// from, and the root-zone total T of each: what the outlook and the season
// export read, so both pair and add up the same way.
class SiteScans {
 public:
  // Reads the site header and opens the graph file of the data directory
  // (the header's record 2 when none is given). Throws IoError for a site
  // without a header, UnsafeNameError and GraphFileError.
  static SiteScans Open(const Files& files, const std::string& identification,
                        const std::optional<std::string>& dataDirectory = std::nullopt);

  const std::string& Identification() const { return identification_; }
  // The header's data directory (or the one given); empty when it names none.
  const std::string& DataDirectory() const { return dataDirectory_; }
  // "mm" for "Volumetric", else "%".
  const std::string& Unit() const { return unit_; }
  // The enabled sensors of the slots the graph file was made for (of the
  // header's slots when there is no graph file), in slot order.
  const std::vector<SiteSensor>& Sensors() const { return sensors_; }
  // The sensors no deeper than the root feeder zone, else all: indices into Sensors().
  const std::vector<std::size_t>& RootZone() const { return rootZone_; }
  // A graph file of at least the minimum length was found.
  bool HasGraph() const { return graph_.has_value(); }
  // Where the graph file is looked for; empty when the site names no data directory.
  const fs::path& GraphPath() const { return graphPath_; }
  std::uint64_t GraphScans() const { return graph_ ? graph_->Scans() : 0; }

  struct Scan {
    const GraphScanView& graph;
    const std::uint16_t* raw;     // one reading per sensor, as converted
    std::optional<double> total;  // none when a root-zone reading is out of range
  };
  // Calls `scan` for every graph scan in file order. The raw readings of
  // every block, the scans the graph file lacks included, also go to
  // `faults` when given. Throws GraphFileError(kOutdatedGraph) when the
  // graph file and the blocks do not pair scan for scan, IoError. False
  // when `progress` asked to stop before the end. `graphScans`, when given,
  // sees every graph scan, paired or not.
  bool ForEachScan(FaultCounter* faults, const std::function<void(const Scan&)>& scan,
                   const ReadProgress& progress = {}, GraphScanSink* graphScans = nullptr);

 private:
  SiteScans(const Files& files) : files_(&files) {}

  const Files* files_;
  std::string identification_;
  std::string dataDirectory_;
  std::string unit_ = "%";
  std::vector<SiteSensor> sensors_;
  std::vector<std::size_t> rootZone_;
  std::vector<int> blocks_;
  std::optional<GraphFileReader> graph_;
  fs::path graphPath_;
};

// Sees a site's scans as the outlook reads them, so that what else is found
// in them is found in the same pass over the files.
class SiteScanSink {
 public:
  virtual ~SiteScanSink() = default;
  // Before the first scan, once the site is open.
  virtual void Begin(const SiteScans& site) = 0;
  virtual void Scan(const SiteScans::Scan& scan) = 0;
};

}  // namespace pelvaro
