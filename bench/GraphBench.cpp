// Opening the graph of a full site (100 blocks of 32,767 readings, five
// sensors): reading, decimating and filling the series, next to parsing the
// same graph file alone, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

#include "FullSite.h"
#include "WindowBenchMain.h"
#include "core/storage/GraphFile.h"
#include "report/ReportWriter.h"
#include "support/ScriptedPrompter.h"
#include "ui/graph/GraphWindow.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

using bench::FullSite;

FullSite& Site() { return bench::SiteIn("pelvaro-graph-bench"); }
// The same size of site, its readings steady: no wetting event, no band.
FullSite& SteadySite() {
  static FullSite site("pelvaro-graph-bench-steady", 0);
  return site;
}

// Resident memory now, from the kernel's page count.
double ResidentMiB() {
  std::ifstream statm("/proc/self/statm");
  double pages = 0;
  double resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void BM_ReadGraphFileBytes(benchmark::State& state) {
  const fs::path graph = Site().graph;
  std::vector<char> chunk(4 << 20);
  for (auto _ : state) {
    std::FILE* f = std::fopen(graph.c_str(), "rb");
    std::size_t total = 0;
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0;) total += got;
    std::fclose(f);
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(graph)));
}

void BM_ReadGraphFile(benchmark::State& state) { bench::ReadGraphFileWhole(state, Site()); }

void BM_OpenGraphWindow(benchmark::State& state) {
  FullSite& site = Site();
  testing::ScriptedPrompter prompter;
  double window = 0;
  int points = 0;
  for (auto _ : state) {
    const double before = ResidentMiB();
    GraphWindow w(site.files, prompter, false);
    if (!w.Loaded()) state.SkipWithError("not loaded");
    w.show();  // laid out at its size: the series are filled for the real plot width
    QApplication::processEvents();
    window = std::max(window, ResidentMiB() - before);
    points = w.SeriesAt(0)->count();
    state.counters["scans"] = static_cast<double>(w.Model().Scans());
  }
  state.counters["points_per_series"] = points;
  state.counters["window_MiB"] = window;
  state.counters["peak_rss_MiB"] = [] {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    }
    return 0.0;
  }();
}

// The window's model alone, the reading and the drawing's series, against
// parsing the graph file it opens, in turns within one benchmark so that both
// figures come from the same site, the same file and the same machine load.
// Processor time as well as elapsed time: on a shared machine the first is
// the steadier.
void BM_LoadGraphModelAgainstParse(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const FullSite& site = Site();
  testing::ScriptedPrompter prompter;
  Clock::duration loading{};
  Clock::duration parsing{};
  std::clock_t loadingCpu = 0;
  std::clock_t parsingCpu = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const std::clock_t startCpu = std::clock();
    GraphModel model(site.files, prompter);
    if (model.Load() != GraphModel::LoadResult::Drawn) state.SkipWithError("not loaded");
    const auto loaded = Clock::now();
    const std::clock_t loadedCpu = std::clock();
    const auto parsed = ReadGraphFile(site.graph);
    if (!parsed || parsed->Scans() != model.Scans()) state.SkipWithError("another file");
    loading += loaded - start;
    parsing += Clock::now() - loaded;
    loadingCpu += loadedCpu - startCpu;
    parsingCpu += std::clock() - loadedCpu;
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / n;
  };
  const auto cpuMs = [n](std::clock_t c) {
    return 1000.0 * static_cast<double>(c) / CLOCKS_PER_SEC / n;
  };
  state.counters["load_ms"] = ms(loading);
  state.counters["parse_ms"] = ms(parsing);
  state.counters["load_cpu_ms"] = cpuMs(loadingCpu);
  state.counters["parse_cpu_ms"] = cpuMs(parsingCpu);
  state.counters["load_per_parse_cpu"] = cpuMs(loadingCpu) / cpuMs(parsingCpu);
}

// The report's page of the same site: its one pass over the files, the
// page drawn and the PDF written, next to the window's opening above.
void BM_ReportPage(benchmark::State& state) {
  FullSite& site = Site();
  ReportRequest request;
  request.sites = {"FULL_01"};
  const fs::path pdf = site.root / "page.pdf";
  for (auto _ : state) {
    if (WriteReport(site.files, request, pdf).outcome != ReportResult::Outcome::Written) {
      state.SkipWithError("not written");
    }
  }
}

// The window opened and laid out on a site whose events fill the list and
// the chart with bands, and on a site as large without an event, in turns
// within one benchmark so that both figures share the machine's load.
void BM_OpenGraphWindowWithAndWithoutBands(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  FullSite& banded = Site();
  FullSite& steady = SteadySite();
  testing::ScriptedPrompter prompter;
  Clock::duration with{};
  Clock::duration without{};
  std::clock_t withCpu = 0;
  std::clock_t withoutCpu = 0;
  std::size_t events = 0;
  const auto open = [&](FullSite& site, Clock::duration& took, std::clock_t& cpu) {
    const auto start = Clock::now();
    const std::clock_t startCpu = std::clock();
    GraphWindow w(site.files, prompter, false);
    if (!w.Loaded()) state.SkipWithError("not loaded");
    w.show();
    QApplication::processEvents();
    took += Clock::now() - start;
    cpu += std::clock() - startCpu;
    return w.Events().List().events.size();
  };
  for (auto _ : state) {
    events = open(banded, with, withCpu);
    if (open(steady, without, withoutCpu) != 0) state.SkipWithError("events on the steady site");
  }
  const double n = static_cast<double>(state.iterations());
  const auto ms = [n](Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count() / n;
  };
  const auto cpuMs = [n](std::clock_t c) {
    return 1000.0 * static_cast<double>(c) / CLOCKS_PER_SEC / n;
  };
  state.counters["events"] = static_cast<double>(events);
  state.counters["bands_ms"] = ms(with);
  state.counters["no_bands_ms"] = ms(without);
  state.counters["bands_cpu_ms"] = cpuMs(withCpu);
  state.counters["no_bands_cpu_ms"] = cpuMs(withoutCpu);
}

BENCHMARK(BM_ReadGraphFileBytes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadGraphFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadGraphModelAgainstParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenGraphWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReportPage)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenGraphWindowWithAndWithoutBands)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) { return pelvaro::bench::RunWindowBenchmarks(argc, argv); }
