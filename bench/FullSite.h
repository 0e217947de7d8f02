#pragma once

// A full site for the benchmarks: 100 blocks of 32,767 readings of five
// sensors, converted, in a temporary working root.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "core/operations/Conversion.h"
#include "core/storage/GraphFile.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"

namespace pelvaro::bench {

// `noise`: how far each raw reading strays, at random, from its sensor's
// own; the rises it makes are wetting events. None: a site without events.
struct FullSite {
  explicit FullSite(const std::string& folder, int noise = 40)
      : root(std::filesystem::temp_directory_path() / folder), files(root) {
    std::filesystem::remove_all(root);
    testing::SiteBuilder site(files, "FULL_01");
    site.Header({{1, 5200, 31, 38, 22},
                 {3, 5300, 30, 36, 21},
                 {5, 5400, 29, 34, 20},
                 {7, 5500, 28, 33, 19},
                 {9, 5600, 27, 32, 18}},
                100);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> stray(-noise, noise);
    for (int b = 1; b <= 100; ++b) {
      std::vector<std::uint16_t> words(32767);
      for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(4400 + 100 * (i % 5) + stray(rng));
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

}  // namespace pelvaro::bench
