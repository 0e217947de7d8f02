// The Outlook window over 200 sites of the sample's size: how soon the first
// row shows, when the last one does, and the longest the event loop went
// without a turn while the sites were read (what a person would feel as the
// window not answering). Then how long closing takes while a full site
// (100 blocks of 32,767 readings) is being read.
#include <benchmark/benchmark.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTableWidget>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FullSite.h"
#include "WindowBenchMain.h"
#include "support/SampleSites.h"
#include "ui/outlook/OutlookWindow.h"

namespace {

using namespace pelvaro;
namespace fs = std::filesystem;

constexpr int kSites = 200;

// 200 copies of the sample, their refill points spread from well above the
// total to well below it, so that the rows arrive in no order of urgency.
struct ManySites {
  ManySites() : root(fs::temp_directory_path() / "pelvaro-outlook-window-bench"), files(root) {
    fs::remove_all(root);
    for (int i = 0; i < kSites; ++i) {
      const std::string site = "SITE" + std::to_string(1000 + i) + "_01";
      pelvaro::testing::InstallSample(PELVARO_SAMPLE_DIR, files, site, true);
      pelvaro::testing::SetRefill(files, site, 40 + (i * 37) % 70);
    }
  }
  ~ManySites() { fs::remove_all(root); }
  fs::path root;
  Files files;
};

double Ms(const QElapsedTimer& clock) { return static_cast<double>(clock.nsecsElapsed()) / 1e6; }

void BM_OutlookWindow200Sites(benchmark::State& state) {
  static ManySites sites;
  double firstRow = 0;
  double longestGap = 0;
  double longestReadingGap = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    OutlookWindow window(sites.files);
    window.show();
    double first = -1;
    QObject::connect(window.findChild<QTableWidget*>("OutlookTable")->model(),
                     &QAbstractItemModel::rowsInserted, [&] {
                       if (first < 0) first = Ms(clock);
                     });
    // A zero timer fires once every turn of the event loop.
    double lastTurn = Ms(clock);
    double gap = 0;
    double readingGap = 0;  // once the rows come
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
      const double now = Ms(clock);
      gap = std::max(gap, now - lastTurn);
      if (first >= 0) readingGap = std::max(readingGap, now - lastTurn);
      lastTurn = now;
    });
    turn.start();
    QEventLoop loop;
    QObject::connect(&window, &OutlookWindow::readingFinished, &loop, &QEventLoop::quit);
    loop.exec();
    state.SetIterationTime(Ms(clock) / 1000);
    if (window.findChild<QTableWidget*>("OutlookTable")->rowCount() != kSites) {
      state.SkipWithError("not every site shown");
    }
    firstRow += first;
    longestGap = std::max(longestGap, gap);
    longestReadingGap = std::max(longestReadingGap, readingGap);
  }
  state.counters["first_row_ms"] = benchmark::Counter(firstRow, benchmark::Counter::kAvgIterations);
  state.counters["longest_gap_ms"] = longestGap;
  state.counters["longest_gap_after_first_row_ms"] = longestReadingGap;
}

void BM_CloseWhileReadingAFullSite(benchmark::State& state) {
  static bench::FullSite site("pelvaro-outlook-window-bench-full");
  for (auto _ : state) {
    OutlookWindow window(site.files);
    window.show();
    // Well into the site's reading.
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 30) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!window.Reading()) state.SkipWithError("read before the close");
    QElapsedTimer clock;
    clock.start();
    window.reject();
    state.SetIterationTime(Ms(clock) / 1000);
  }
}

BENCHMARK(BM_OutlookWindow200Sites)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CloseWhileReadingAFullSite)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace

int main(int argc, char** argv) { return pelvaro::bench::RunWindowBenchmarks(argc, argv); }
