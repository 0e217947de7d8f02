#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/Files.h"
#include "core/storage/BlockStore.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"

namespace pelvaro::testing {

struct SlotSpec {
  int depth;  // 1..12
  double offset;
  double slope;
  double fieldCapacity;
  double refill;
};

// n sensors at depths 1..n with the Percentage defaults and an offset of 4000.
inline std::vector<SlotSpec> LoggerSensors(int n) {
  std::vector<SlotSpec> sensors;
  for (int d = 1; d <= n; ++d) sensors.push_back({d, 4000, 120, 100, 60});
  return sensors;
}

struct BlockSpec {
  int day;
  int timeSeconds;  // even
  int interval;
  int sensors;
  std::vector<std::uint16_t> words;
  std::optional<double> wordCount =
      std::nullopt;  // record 3 when it differs from the words written
  int site = 1;
  int serial = 3001;
};

// Ten scans 15 minutes apart of two sensors calibrated 4600 and 100: the
// first reads 20, 30 at the last scan, but 65535 at scan 3 and 0 at scans 4
// and 5 (counted from 0), readings the logger could not take; the second 10.
inline BlockSpec MissingReadingsBlock() {
  std::vector<std::uint16_t> words;
  for (std::uint16_t first : {4400, 4400, 4400, 65535, 0, 0, 4400, 4400, 4400, 4300}) {
    words.insert(words.end(), {first, 4500});
  }
  return {10014, 0, 900, 2, words};
}

// Small sites written through the storage layer, blocks committed as a download does.
class SiteBuilder {
 public:
  SiteBuilder(const Files& files, std::string id, std::string dataDir = "TVMKDATA")
      : files_(files), id_(std::move(id)), dataDir_(std::move(dataDir)) {
    fs::create_directories(files_.Root() / "TVMKHEADER");
    fs::create_directories(files_.InRoot(dataDir_));
  }

  void Header(const std::vector<SlotSpec>& enabled, int blocks,
              const std::string& depthCount = "12") {
    auto h = SiteHeader::CreateBlank(files_, id_);
    h.WriteRecord(header::kDataDirectory, dataDir_);
    h.WriteRecord(header::kDepthSlotCount, depthCount);
    for (const SlotSpec& s : enabled) {
      h.WriteCalibration(s.depth, {s.offset, s.slope, s.fieldCapacity, s.refill, "ON"});
    }
    for (int k = 1; k <= header::kBlockSlots; ++k) {
      h.WriteRecord(header::kFirstBlockSlot + k - 1, k <= blocks ? std::to_string(k) : "0");
    }
    h.Close();
  }

  // The logger the site expects: its serial number and sensors on.
  void Logger(int serial, int sensorsOn) {
    auto h = SiteHeader::Open(files_, id_);
    h.WriteRecord(header::kSerialNumber, std::to_string(serial));
    h.WriteRecord(header::kSensorsOn, Spaced(sensorsOn));
  }

  // Header records as the site window writes them.
  void Set(std::initializer_list<std::pair<int, std::string>> records) {
    auto h = SiteHeader::Open(files_, id_);
    for (const auto& [r, text] : records) h.WriteRecord(r, text);
  }
  void Identity(const std::string& name, const std::string& number, const std::string& serial,
                const std::string& type = "Percentage") {
    Set({{header::kSiteName, name},
         {header::kSiteNumber, number},
         {header::kSerialNumber, serial},
         {header::kMeasurementType, type}});
  }

  void Block(int number, const BlockSpec& b) {
    const RunHeader run =
        MakeRunHeader(b.day, b.timeSeconds, b.interval, b.site, b.serial, b.sensors);
    TempBlock temp(files_);
    for (std::size_t i = 0; i < b.words.size(); ++i) {
      temp.WriteWord(i + 1, static_cast<std::uint8_t>(b.words[i] & 255),
                     static_cast<std::uint8_t>(b.words[i] >> 8));
    }
    temp.WriteTempHeader(b.wordCount.value_or(static_cast<double>(b.words.size())), run,
                         {2023, 6, 1, 12, 0, 0});
    temp.Close();
    CommitBlock(files_, BlockStemPath(files_, dataDir_, BlockStem(id_, number)));
  }

  // A block stored as a download stores it: its files, then the header's index.
  void Stored(int number, const BlockSpec& b) {
    Block(number, b);
    HeaderTransaction t(files_.HeaderPath(id_), files_.HeaderPath(id_));
    t.Header().WriteBlockIndex(number);
    t.Commit();
  }

  fs::path Graph() const { return CalibratedPath(files_, dataDir_, id_, kGraphExtension); }
  fs::path Summary() const { return CalibratedPath(files_, dataDir_, id_, kSummaryExtension); }

 private:
  const Files& files_;
  std::string id_;
  std::string dataDir_;
};

// Records of a site header joined by '|', to compare several with one text.
inline std::string HeaderRecords(const Files& files, const std::string& id,
                                 std::initializer_list<int> records) {
  SiteHeader header = SiteHeader::Open(files, id, RecordFile::Mode::ReadOnly);
  std::string all;
  for (int r : records) all += header.ReadRecord(r) + "|";
  return all.substr(0, all.size() - 1);
}

// Every record of a calibrated file, trailing spaces removed.
inline std::vector<std::string> RecordsOf(const fs::path& path, std::size_t size) {
  CalibratedFile file(path, size, RecordFile::Mode::ReadOnly);
  std::vector<std::string> records;
  for (std::uint64_t r = 1; r <= file.RecordCount(); ++r) {
    records.push_back(TrimRight(file.ReadRecord(r)));
  }
  return records;
}

// The same records joined by '|', to compare a file with one text.
inline std::string JoinedRecords(const fs::path& path, std::size_t size) {
  std::string all;
  for (const std::string& r : RecordsOf(path, size)) all += r + "|";
  return all.substr(0, all.size() - 1);
}

}  // namespace pelvaro::testing
