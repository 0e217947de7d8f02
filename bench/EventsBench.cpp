// The wetting events of a full site (100 blocks of 32,767 readings, five
// sensors), found with their labels in one pass over the graph file and the
// blocks (alone, and in the outlook's pass), next to reading the same graph
// file scan by scan and to the same pass pairing it with the blocks but
// finding nothing, in turns within one benchmark so that the figures share
// the machine's load.
#include <benchmark/benchmark.h>

#include "FullSite.h"
#include "core/events/SiteEvents.h"
#include "core/storage/GraphFile.h"

namespace {

using namespace pelvaro;

// A season of irrigations every four days, sensor noise of 0.03 %.
bench::FullSite& Site() {
  static bench::FullSite site("pelvaro-events-bench", 1, 384);
  return site;
}

// Takes the paired scans and does nothing with them: what reading the
// rule's inputs costs, the blocks' raw readings included, without the rule.
class IgnoredScans : public SiteScanSink {
 public:
  void Begin(const SiteScans&) override {}
  void Scan(const SiteScans::Scan& scan) override { benchmark::DoNotOptimize(scan.total); }
};

// Each of the ways, timed.
struct Parts {
  bench::PartTimer finding;
  bench::PartTimer pairing;
  bench::PartTimer reading;
  bench::PartTimer outlook;
  bench::PartTimer withOutlook;
};

void BM_SiteEventsAgainstScanByScan(benchmark::State& state) {
  const bench::FullSite& site = Site();
  std::size_t events = 0;
  const auto turn = [&](Parts& parts) {
    {
      const auto timed = parts.outlook.Start();
      const SiteOutlook read = ReadSiteOutlook(site.files, "FULL_01");
      if (!read.error.empty()) state.SkipWithError(read.error.c_str());
    }
    {
      // As the status reads them: in the outlook's pass.
      const auto timed = parts.withOutlook.Start();
      const SiteEvents found = ReadSiteEvents(site.files, "FULL_01");
      if (!found.Error().empty()) state.SkipWithError(found.Error().c_str());
    }
    {
      // As the events command and the events export read them.
      const auto timed = parts.finding.Start();
      const SiteEvents found =
          ReadSiteEvents(site.files, "FULL_01", {}, nullptr, OutlookFigures::Skipped);
      if (!found.Error().empty()) state.SkipWithError(found.Error().c_str());
      events = found.list.events.size();
    }
    {
      const auto timed = parts.pairing.Start();
      IgnoredScans ignored;
      const SiteOutlook read =
          ReadSiteOutlook(site.files, "FULL_01", {}, nullptr, &ignored, OutlookFigures::Skipped);
      if (!read.error.empty()) state.SkipWithError(read.error.c_str());
    }
    const auto timed = parts.reading.Start();
    auto reader = GraphFileReader::Open(site.graph);
    double sum = 0;
    if (!reader ||
        !reader->ForEachScan([&sum](const GraphScanView& scan) { sum += scan.values[0]; })) {
      state.SkipWithError("not read");
    }
    benchmark::DoNotOptimize(sum);
  };
  // A turn untimed first, while the system still writes out the site just made.
  Parts first;
  turn(first);
  Parts parts;
  for (auto _ : state) turn(parts);
  const auto& [finding, pairing, reading, outlook, withOutlook] = parts;
  state.counters["events"] = static_cast<double>(events);
  state.counters["events_ms"] = finding.Ms(state);
  state.counters["scan_by_scan_ms"] = reading.Ms(state);
  state.counters["events_cpu_ms"] = finding.CpuMs(state);
  state.counters["scan_by_scan_cpu_ms"] = reading.CpuMs(state);
  state.counters["outlook_alone_cpu_ms"] = outlook.CpuMs(state);
  state.counters["events_with_outlook_cpu_ms"] = withOutlook.CpuMs(state);
  state.counters["paired_scans_ms"] = pairing.Ms(state);
  state.counters["paired_scans_cpu_ms"] = pairing.CpuMs(state);
  // Elapsed, as a person waits: the rule runs beside the reading on a
  // thread of its own. Processor time counts both threads.
  state.counters["events_per_scan_by_scan"] = finding.Ms(state) / reading.Ms(state);
  state.counters["events_per_scan_by_scan_cpu"] = finding.CpuMs(state) / reading.CpuMs(state);
  state.counters["events_per_paired_scans"] = finding.Ms(state) / pairing.Ms(state);
}

BENCHMARK(BM_SiteEventsAgainstScanByScan)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
