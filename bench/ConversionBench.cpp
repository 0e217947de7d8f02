// A full site (100 blocks of 32,767 readings, five sensors) converted, next to
// writing the same number of bytes sequentially on the same disk.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "FullSite.h"
#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "support/ScriptedPrompter.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

using bench::FullSite;

FullSite& Site() { return bench::SiteIn("pelvaro-bench"); }

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
    if (!ConvertSite(site.files, prompter, "FULL_01", "TVMKDATA")) state.SkipWithError("failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * OutputBytes()));
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_SequentialWriteSameBytes(benchmark::State& state) {
  FullSite& site = Site();
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
