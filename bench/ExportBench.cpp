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

const SeasonExportRequest kWhole{"FULL_01", std::nullopt, {}, ExportFormat::Csv};

void Export(benchmark::State& state, ExportFormat format, const char* name) {
  bench::FullSite& site = Site();
  SeasonExportRequest request = kWhole;
  request.format = format;
  const double peakBefore = PeakResidentMiB();
  std::uint64_t scans = 0;
  for (auto _ : state) scans = ExportSeason(site.files, request, Out(name));
  if (scans != 655400) state.SkipWithError("not every scan was exported");
  // The export's own growth of the process's peak, before anything else
  // here has read the site whole.
  state.counters["peak_growth_MiB"] = PeakResidentMiB() - peakBefore;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(Out(name))));
}

void BM_ExportCsv(benchmark::State& state) { Export(state, ExportFormat::Csv, "season.csv"); }
void BM_ExportJson(benchmark::State& state) { Export(state, ExportFormat::Json, "season.json"); }

// The yardstick: the graph file read scan by scan, and the CSV export's
// bytes written through a sibling file, flushed to disk and renamed, as
// every file that matters is written.
void BM_ReadGraphFileAndWriteTheBytes(benchmark::State& state) {
  bench::FullSite& site = Site();
  if (!fs::exists(Out("season.csv"))) ExportSeason(site.files, kWhole, Out("season.csv"));
  const std::string bytes(fs::file_size(Out("season.csv")), 'x');
  for (auto _ : state) {
    double sum = 0;
    GraphFileReader::Open(site.graph)->ForEachScan([&sum](const GraphScanView& scan) {
      sum += scan.values[0];
    });
    benchmark::DoNotOptimize(sum);
    Files::WriteWholeFile(Out("bytes.csv"), bytes);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadGraphFileAndWriteTheBytes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ExportJson)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
