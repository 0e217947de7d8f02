#pragma once

// Runs the benchmarks of windows in an application on the offscreen
// platform, unless a display was chosen.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

namespace pelvaro::bench {

inline int RunWindowBenchmarks(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

}  // namespace pelvaro::bench
