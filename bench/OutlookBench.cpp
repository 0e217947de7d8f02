// The irrigation outlook of a full site (100 blocks of 32,767 readings, five
// sensors) next to reading the same graph file alone, in the same run: one
// pass over the graph file and one over the blocks should cost little more
// than the graph file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "FullSite.h"
#include "core/outlook/Outlook.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

bench::FullSite& Site() { return bench::SiteIn("pelvaro-outlook-bench"); }

void BM_ReadGraphFile(benchmark::State& state) { bench::ReadGraphFileWhole(state, Site()); }

void BM_SiteOutlook(benchmark::State& state) {
  bench::FullSite& site = Site();
  for (auto _ : state) {
    const SiteOutlook outlook = ReadSiteOutlook(site.files, "FULL_01");
    if (!outlook.error.empty() || !outlook.total) state.SkipWithError("no outlook");
    benchmark::DoNotOptimize(outlook.total);
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * fs::file_size(site.graph)));
}

BENCHMARK(BM_ReadGraphFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_SiteOutlook)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadGraphFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
