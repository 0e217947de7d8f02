#pragma once

#include <filesystem>
#include <string>

#include "core/platform/Files.h"
#include "core/shell/Startup.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {

// The sample's sensors; the root zone (50 cm) holds the first three.
inline constexpr int kSampleSlots[] = {1, 2, 4, 6, 8};

// The sample under any identification; linked data files spare the disk, headers are copied.
inline void InstallSample(const std::filesystem::path& sampleFolder, const Files& files,
                          const std::string& identification = kSampleSite, bool linked = false) {
  namespace fs = std::filesystem;
  fs::create_directories(files.Root() / "TVMKHEADER");
  fs::create_directories(files.Root() / "TVMKDATA");
  const std::string stem = kSampleSite;
  for (const auto& entry : fs::directory_iterator(sampleFolder)) {
    const std::string name = entry.path().filename().string();
    const bool header = name == stem + ".key";
    const fs::path to = files.Root() / (header ? "TVMKHEADER" : "TVMKDATA") /
                        (identification + name.substr(stem.size()));
    if (linked && !header) {
      fs::create_hard_link(entry.path(), to);
    } else {
      fs::copy_file(entry.path(), to);
    }
  }
}

// Gives every sensor of a site the same refill point, which moves its outlook;
// the header is replaced as a save replaces it.
inline void SetRefill(const Files& files, const std::string& identification, double refill) {
  HeaderTransaction t(files.HeaderPath(identification), files.HeaderPath(identification));
  for (int slot : kSampleSlots) {
    t.Header().WriteRecord(header::CalibrationBase(slot) + header::kRefill, Spaced(refill));
  }
  t.Commit();
}

// Twelve out-of-range readings of one sensor (0 to 4) of a block, from its 100th scan.
inline void BreakSensor(const Files& files, const std::string& identification, int block,
                        int sensor) {
  const std::filesystem::path path =
      files.Root() / "TVMKDATA" / (identification + "_00" + std::to_string(block) + ".DAT");
  std::string words = ReadBytes(path);
  constexpr int kSensors = std::size(kSampleSlots);
  for (int scan = 100; scan < 112; ++scan)
    words.replace((scan * kSensors + sensor) * 2, 2, "\xFF\xFF");
  // A linked copy keeps the sample as it is.
  std::filesystem::remove(path);
  WriteBytes(path, words);
}

}  // namespace pelvaro::testing
