// The season export of a full site (655,400 scans of five sensors) next to
// what it cannot do without, in the same run: reading the site's graph file
// and writing as many bytes as the export writes, crash-safe as it does.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "FullSite.h"
#include "core/export/SeasonExport.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

bench::FullSite& Site() { return bench::SiteIn("pelvaro-export-bench"); }

fs::path Out(const char* name) { return Site().root / name; }

double PeakResidentMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

struct Format {
  ExportFormat format;
  const char* name;
};
const Format kCsv{ExportFormat::Csv, "season.csv"};
const Format kJson{ExportFormat::Json, "season.json"};

std::uint64_t ExportWhole(const Format& f) {
  return ExportSeason(Site().files, {"FULL_01", std::nullopt, {}, f.format}, Out(f.name));
}

void BM_Export(benchmark::State& state, const Format& f) {
  Site();
  const double peakBefore = PeakResidentMiB();
  std::uint64_t scans = 0;
  for (auto _ : state) scans = ExportWhole(f);
  if (scans != 655400) state.SkipWithError("not every scan was exported");
  // The export's own growth of the process's peak, before anything else
  // here has read the site whole.
  state.counters["peak_growth_MiB"] = PeakResidentMiB() - peakBefore;
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * fs::file_size(Out(f.name))));
}

// The yardstick: the graph file read scan by scan, and as many bytes as the
// export writes, written through a sibling file, flushed to disk and
// renamed, as every file that matters is written.
void BM_ReadGraphFileAndWriteTheBytes(benchmark::State& state, const Format& f) {
  bench::FullSite& site = Site();
  if (!fs::exists(Out(f.name))) ExportWhole(f);
  const std::string bytes(fs::file_size(Out(f.name)), 'x');
  for (auto _ : state) {
    double sum = 0;
    GraphFileReader::Open(site.graph)->ForEachScan([&sum](const GraphScanView& scan) {
      sum += scan.values[0];
    });
    benchmark::DoNotOptimize(sum);
    Files::WriteWholeFile(Out("bytes"), bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK_CAPTURE(BM_Export, csv, kCsv)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_ReadGraphFileAndWriteTheBytes, csv, kCsv)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Export, json, kJson)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_CAPTURE(BM_ReadGraphFileAndWriteTheBytes, json, kJson)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_Export, csv, kCsv)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
