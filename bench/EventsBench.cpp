// The wetting events of a full site (100 blocks of 32,767 readings, five
// sensors), found with their labels in the outlook's one pass over the graph
// file and the blocks, next to reading the same graph file scan by scan, in
// turns within one benchmark so that both figures share the machine's load.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>

#include "FullSite.h"
#include "core/events/SiteEvents.h"
#include "core/storage/GraphFile.h"

namespace {

using namespace pelvaro;

bench::FullSite& Site() { return bench::SiteIn("pelvaro-events-bench"); }

void BM_SiteEventsAgainstScanByScan(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const bench::FullSite& site = Site();
  Clock::duration finding{};
  Clock::duration reading{};
  std::clock_t findingCpu = 0;
  std::clock_t readingCpu = 0;
  std::size_t events = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::clock_t startCpu = std::clock();
    const SiteEvents found = ReadSiteEvents(site.files, "FULL_01");
    if (!found.outlook.error.empty()) state.SkipWithError(found.outlook.error.c_str());
    events = found.list.events.size();
    const auto foundAt = Clock::now();
    const std::clock_t foundCpu = std::clock();
    auto reader = GraphFileReader::Open(site.graph);
    double sum = 0;
    if (!reader ||
        !reader->ForEachScan([&sum](const GraphScanView& scan) { sum += scan.values[0]; })) {
      state.SkipWithError("not read");
    }
    benchmark::DoNotOptimize(sum);
    finding += foundAt - start;
    reading += Clock::now() - foundAt;
    findingCpu += foundCpu - startCpu;
    readingCpu += std::clock() - foundCpu;
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / n;
  };
  const auto cpuMs = [n](std::clock_t c) {
    return 1000.0 * static_cast<double>(c) / CLOCKS_PER_SEC / n;
  };
  state.counters["events"] = static_cast<double>(events);
  state.counters["events_ms"] = ms(finding);
  state.counters["scan_by_scan_ms"] = ms(reading);
  state.counters["events_cpu_ms"] = cpuMs(findingCpu);
  state.counters["scan_by_scan_cpu_ms"] = cpuMs(readingCpu);
  state.counters["events_per_scan_by_scan_cpu"] = cpuMs(findingCpu) / cpuMs(readingCpu);
}

BENCHMARK(BM_SiteEventsAgainstScanByScan)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
