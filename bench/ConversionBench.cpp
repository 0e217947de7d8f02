// A full site (100 blocks of 32,767 readings, five sensors) converted, next to
// writing the same number of bytes sequentially on the same disk.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

struct FullSite {
  FullSite() : root(fs::temp_directory_path() / "pelvaro-bench"), files(root) {
    fs::remove_all(root);
    testing::SiteBuilder site(files, "FULL_01");
    site.Header({{1, 5200, 31, 38, 22}, {3, 5300, 30, 36, 21}, {5, 5400, 29, 34, 20},
                 {7, 5500, 28, 33, 19}, {9, 5600, 27, 32, 18}},
                100);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> noise(-40, 40);
    for (int b = 1; b <= 100; ++b) {
      std::vector<std::uint16_t> words(32767);
      for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(4400 + 100 * (i % 5) + noise(rng));
      }
      site.Block(b, {9000 + b * 68, 0, 900, 5, words});
    }
    graph = site.Graph();
  }
  ~FullSite() { fs::remove_all(root); }
  fs::path root;
  Files files;
  fs::path graph;
};

FullSite& Site() {
  static FullSite site;
  return site;
}

std::uintmax_t OutputBytes() {
  FullSite& site = Site();
  fs::path summary = site.graph;
  summary.replace_extension(".Pct");
  return fs::file_size(site.graph) + fs::file_size(summary);
}

void BM_ConvertFullSite(benchmark::State& state) {
  FullSite& site = Site();
  testing::ScriptedPrompter prompter;
  for (auto _ : state) {
    if (!TimedDat(site.files, prompter, "FULL_01", "TVMKDATA")) state.SkipWithError("failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * OutputBytes()));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_SequentialWriteSameBytes(benchmark::State& state) {
  FullSite& site = Site();
  TimedDat(site.files, *new testing::ScriptedPrompter, "FULL_01", "TVMKDATA");
  const std::uintmax_t total = OutputBytes();
  const fs::path target = site.root / "sequential.bin";
  std::vector<char> chunk(56, 'x');
  for (auto _ : state) {
    std::FILE* f = std::fopen(target.c_str(), "wb");
    for (std::uintmax_t written = 0; written < total; written += chunk.size()) {
      std::fwrite(chunk.data(), 1, chunk.size(), f);
    }
    std::fclose(f);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * total));
}

BENCHMARK(BM_ConvertFullSite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SequentialWriteSameBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
