// A full site (100 blocks of 32,767 readings, five sensors) converted, next to
// writing the same bytes sequentially on the same disk, as crash-safely.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

#include "FullSite.h"
#include "core/operations/Conversion.h"
#include "core/platform/FileOps.h"
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

// The bytes of a file, read once before the timing.
std::string FileBytes(const fs::path& path) {
  std::string bytes(fs::file_size(path), '\0');
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
  std::fclose(f);
  return bytes;
}

// Writes the bytes through the file layer in the write-behind buffer's chunks.
void WriteChunks(FileHandle& file, const std::string& bytes) {
  constexpr std::size_t kChunk = 1 << 20;
  for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
    file.WriteAt(at, std::string_view(bytes).substr(at, kChunk));
  }
}

// The conversion's output written the way the conversion writes it: both
// parts of the pair written and synced, renamed into place, the folder synced.
void BM_SequentialWriteSameBytes(benchmark::State& state) {
  FullSite& site = Site();
  fs::path summaryPath = site.graph;
  summaryPath.replace_extension(".Pct");
  const std::string graphBytes = FileBytes(site.graph);
  const std::string summaryBytes = FileBytes(summaryPath);
  const fs::path graphTarget = site.root / "sequential.BGF";
  const fs::path summaryTarget = site.root / "sequential.Pct";
  for (auto _ : state) {
    FileHandle graph(fileops::PairPart(graphTarget), FileHandle::Open::Create);
    FileHandle summary(fileops::PairPart(summaryTarget), FileHandle::Open::Create);
    WriteChunks(graph, graphBytes);
    WriteChunks(summary, summaryBytes);
    graph.Sync();
    summary.Sync();
    graph.Close();
    summary.Close();
    fileops::CommitPair(graphTarget, summaryTarget);
    fileops::SyncFolder(site.root);
  }
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * (graphBytes.size() + summaryBytes.size())));
}

BENCHMARK(BM_ConvertFullSite)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SequentialWriteSameBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
