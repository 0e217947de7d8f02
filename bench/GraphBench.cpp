// Opening the graph of a full site (100 blocks of 32,767 readings, five
// sensors): reading, decimating and filling the series, next to parsing the
// same graph file alone, in the same run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "FullSite.h"
#include "WindowBenchMain.h"
#include "core/events/SiteEvents.h"
#include "core/storage/GraphFile.h"
#include "report/ReportWriter.h"
#include "support/ScriptedPrompter.h"
#include "ui/graph/GraphWindow.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

using bench::FullSite;

FullSite& Site() { return bench::SiteIn("pelvaro-graph-bench"); }
// A season of irrigations every four days, sensor noise of 0.03 %.
FullSite& SeasonSite() {
  static FullSite site("pelvaro-graph-bench-season", 1, 384);
  return site;
}
// The same season with the irrigations wetting only the deeper sensors: its
// chart has as many rises to draw, and four of its five lines as much noise,
// but the root zone never wets, so there is no event and no band.
FullSite& DeepWetSite() {
  static FullSite site("pelvaro-graph-bench-deep-wet", 1, 384, 2, 100);
  return site;
}
// The same size of site, its readings steady: no event, and flat lines to draw.
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
// parsing the graph file it opens, in turns within one benchmark.
void BM_LoadGraphModelAgainstParse(benchmark::State& state) {
  const FullSite& site = Site();
  testing::ScriptedPrompter prompter;
  bench::PartTimer loading;
  bench::PartTimer parsing;
  for (auto _ : state) {
    std::size_t scans = 0;
    {
      const auto timed = loading.Start();
      GraphModel model(site.files, prompter);
      if (model.Load() != GraphModel::LoadResult::Drawn) state.SkipWithError("not loaded");
      scans = model.Scans();
    }
    const auto timed = parsing.Start();
    const auto parsed = ReadGraphFile(site.graph);
    if (!parsed || parsed->Scans() != scans) state.SkipWithError("another file");
  }
  state.counters["load_ms"] = loading.Ms(state);
  state.counters["parse_ms"] = parsing.Ms(state);
  state.counters["load_cpu_ms"] = loading.CpuMs(state);
  state.counters["parse_cpu_ms"] = parsing.CpuMs(state);
  state.counters["load_per_parse_cpu"] = loading.CpuMs(state) / parsing.CpuMs(state);
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

// The window's model on the season's site, with the events found in its
// one pass and without, in turns within one benchmark: what finding them
// adds to the reading on one and the same site.
void BM_LoadGraphModelWithAndWithoutEvents(benchmark::State& state) {
  FullSite& site = SeasonSite();
  testing::ScriptedPrompter prompter;
  bench::PartTimer with;
  bench::PartTimer without;
  std::size_t events = 0;
  for (auto _ : state) {
    {
      const auto timed = with.Start();
      GraphModel model(site.files, prompter);
      EventsOfScans found(site.files);
      model.SetScanSink(&found);
      if (model.Load() != GraphModel::LoadResult::Drawn) state.SkipWithError("not loaded");
      events = found.Finish().size();
    }
    const auto timed = without.Start();
    GraphModel model(site.files, prompter);
    if (model.Load() != GraphModel::LoadResult::Drawn) state.SkipWithError("not loaded");
  }
  state.counters["events"] = static_cast<double>(events);
  state.counters["with_events_cpu_ms"] = with.CpuMs(state);
  state.counters["without_events_cpu_ms"] = without.CpuMs(state);
  state.counters["with_per_without_cpu"] = with.CpuMs(state) / without.CpuMs(state);
}

// The window opened and laid out on a site whose events fill the list and
// the chart with bands, on the same season wetting only below the root zone
// (as much to draw, no event), and on a steady site, in turns within one
// benchmark.
void BM_OpenGraphWindowWithAndWithoutBands(benchmark::State& state) {
  FullSite& banded = SeasonSite();
  testing::ScriptedPrompter prompter;
  bench::PartTimer with;
  bench::PartTimer deepWet;
  bench::PartTimer steady;
  std::size_t events = 0;
  const auto open = [&](FullSite& site, bench::PartTimer& timer) {
    const auto timed = timer.Start();
    GraphWindow w(site.files, prompter, false);
    if (!w.Loaded()) state.SkipWithError("not loaded");
    w.show();
    QApplication::processEvents();
    return w.Events().List().events.size();
  };
  // Whichever opens first in a turn pays for what the last one left behind:
  // each site comes first in one turn of three.
  const std::array<std::function<void()>, 3> opens = {
      [&] { events = open(banded, with); },
      [&] {
        if (open(DeepWetSite(), deepWet) != 0) state.SkipWithError("events on the deep-wet site");
      },
      [&] {
        if (open(SteadySite(), steady) != 0) state.SkipWithError("events on the steady site");
      }};
  // The first opening of each, before the timed turns, comes while the
  // system still writes out the sites just made, and sets up what a process
  // does once: timed apart.
  bench::PartTimer firstWith;
  bench::PartTimer firstDeepWet;
  {
    bench::PartTimer steadyFirst;
    open(SteadySite(), steadyFirst);
    open(DeepWetSite(), firstDeepWet);
    events = open(banded, firstWith);
  }
  std::size_t turn = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < opens.size(); ++i) opens[(turn + i) % opens.size()]();
    ++turn;
  }
  state.counters["events"] = static_cast<double>(events);
  state.counters["bands_ms"] = with.Ms(state);
  state.counters["deep_wet_ms"] = deepWet.Ms(state);
  state.counters["steady_ms"] = steady.Ms(state);
  state.counters["bands_cpu_ms"] = with.CpuMs(state);
  state.counters["deep_wet_cpu_ms"] = deepWet.CpuMs(state);
  state.counters["steady_cpu_ms"] = steady.CpuMs(state);
  state.counters["bands_per_deep_wet"] = with.Ms(state) / deepWet.Ms(state);
  // Summed once, not per turn.
  state.counters["first_bands_ms"] = firstWith.Ms(state) * static_cast<double>(state.iterations());
  state.counters["first_deep_wet_ms"] =
      firstDeepWet.Ms(state) * static_cast<double>(state.iterations());
}

BENCHMARK(BM_ReadGraphFileBytes)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadGraphFile)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadGraphModelAgainstParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_OpenGraphWindow)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReportPage)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadGraphModelWithAndWithoutEvents)->Unit(benchmark::kMillisecond)->Iterations(5);
// Twenty turns: the bands' margin is a tenth, and six turns strayed by half of it.
BENCHMARK(BM_OpenGraphWindowWithAndWithoutBands)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) { return pelvaro::bench::RunWindowBenchmarks(argc, argv); }
