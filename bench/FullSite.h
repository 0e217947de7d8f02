#pragma once

// A full site for the benchmarks: 100 blocks of 32,767 readings of five
// sensors, converted, in a temporary working root.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>

#include "core/operations/Conversion.h"
#include "core/storage/GraphFile.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"

namespace pelvaro::bench {

// `noise`: how far each raw reading strays, at random, from its sensor's
// own; the rises it makes are wetting events. None: a site without events.
// `wetEvery`: scans between irrigations that wet three sensors from
// `firstWet` down, each drying out again until the next; none: no
// irrigation. `rootZoneMm`: none, all five sensors; 100, the first alone, so
// wetting the deeper three draws as much and makes no event. That sensor
// then never strays: at one sensor a count's stray is an event's rise.
struct FullSite {
  explicit FullSite(const std::string& folder, int noise = 40, int wetEvery = 0, int firstWet = 0,
                    int rootZoneMm = 0)
      : root(std::filesystem::temp_directory_path() / folder), files(root) {
    std::filesystem::remove_all(root);
    testing::SiteBuilder site(files, "FULL_01");
    site.Header({{1, 5200, 31, 38, 22},
                 {3, 5300, 30, 36, 21},
                 {5, 5400, 29, 34, 20},
                 {7, 5500, 28, 33, 19},
                 {9, 5600, 27, 32, 18}},
                100);
    if (rootZoneMm > 0) site.Set({{header::kRootZone, std::to_string(rootZoneMm)}});
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> stray(-noise, noise);
    for (int b = 1; b <= 100; ++b) {
      std::vector<std::uint16_t> words(32767);
      for (std::size_t i = 0; i < words.size(); ++i) {
        const int sensor = static_cast<int>(i % 5);
        const int wetted = sensor - firstWet;
        const int drop = wetted >= 0 && wetted < 3 ? 200 - 60 * wetted : 0;
        int wet = 0;
        if (wetEvery > 0) {
          const auto scan = static_cast<int>((b - 1) * (words.size() / 5) + i / 5);
          wet = drop * (wetEvery - scan % wetEvery) / wetEvery;
        }
        const int strays = rootZoneMm > 0 && sensor == 0 ? 0 : stray(rng);
        words[i] = static_cast<std::uint16_t>(4400 + 100 * sensor + wet + strays);
      }
      site.Block(b, {9000 + b * 68, 0, 900, 5, words});
    }
    testing::ScriptedPrompter prompter;
    if (!ConvertSite(files, prompter, "FULL_01", "TVMKDATA")) std::abort();
    WriteSiteSelection(files, "FULL_01", "TVMKDATA");
    graph = site.Graph();
  }
  ~FullSite() { std::filesystem::remove_all(root); }
  std::filesystem::path root;
  Files files;
  std::filesystem::path graph;
};

// The site of a benchmark program, built at its first use, in its own folder.
inline FullSite& SiteIn(const char* folder) {
  static FullSite site(folder);
  return site;
}

// Reading the site's graph file whole, as the graph window does: the
// yardstick of the benchmarks that read it another way.
inline void ReadGraphFileWhole(benchmark::State& state, const FullSite& site) {
  for (auto _ : state) {
    auto data = ReadGraphFile(site.graph);
    benchmark::DoNotOptimize(data->Scans());
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * std::filesystem::file_size(site.graph)));
}

// The elapsed and processor time of one part of each iteration, summed:
// parts run in turns within one benchmark share the site, the files and the
// machine's load. Processor time as well as elapsed time: on a shared
// machine the first is the steadier.
class PartTimer {
 public:
  using Clock = std::chrono::steady_clock;
  // Times the part until it goes out of scope.
  struct Running {
    PartTimer& timer;
    Clock::time_point start = Clock::now();
    std::clock_t startCpu = std::clock();
    ~Running() {
      timer.elapsed_ += Clock::now() - start;
      timer.cpu_ += std::clock() - startCpu;
    }
  };
  Running Start() { return Running{*this}; }
  // Per iteration, in milliseconds.
  double Ms(const benchmark::State& state) const {
    return std::chrono::duration<double, std::milli>(elapsed_).count() / Iterations(state);
  }
  double CpuMs(const benchmark::State& state) const {
    return 1000.0 * static_cast<double>(cpu_) / CLOCKS_PER_SEC / Iterations(state);
  }

 private:
  static double Iterations(const benchmark::State& state) {
    return static_cast<double>(state.iterations());
  }
  Clock::duration elapsed_{};
  std::clock_t cpu_ = 0;
};

}  // namespace pelvaro::bench
