#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/graph/GraphModel.h"
#include "core/storage/StateFiles.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {

struct GraphScan {
  double interval;
  double dateTime;
  std::vector<double> values;
};

// A site "X_01" whose graph file is written record by record, so that spans,
// counts and values can be exactly what a test needs.
class GraphFixture : public ::testing::Test {
 protected:
  GraphFixture() : files(root.Path()), site(files, "X_01") {
    WriteSiteSelection(files, "X_01", "TVMKDATA");
  }

  void Slots(const std::vector<SlotSpec>& enabled, const std::string& type = "Percentage") {
    site.Header(enabled, 1);
    SiteHeader::Open(files, "X_01").WriteRecord(header::kMeasurementType, type);
    enabled_ = static_cast<int>(enabled.size());
  }

  // Records 1 to 10, then one group per scan. The reading count and the last
  // date-time follow the scans unless given.
  void Graph(const std::vector<GraphScan>& scans, std::optional<double> readings = std::nullopt,
             std::optional<int> enabled = std::nullopt) {
    const int e = enabled.value_or(enabled_);
    auto file = CalibratedFile::CreateEmpty(site.Graph(), kGraphRecordSize);
    const double last = scans.empty() ? 0 : scans.back().dateTime;
    const std::string head[10] = {" 3001",
                                  Spaced(last),
                                  " 12",
                                  Spaced(e),
                                  Spaced(readings.value_or(scans.size() * (1.0 + e))),
                                  "2023",
                                  "01/06",
                                  "06:00:00",
                                  " 10014",
                                  " 21600"};
    for (int r = 0; r < 10; ++r) file.WriteRecord(r + 1, head[r]);
    std::uint64_t record = 11;
    for (const GraphScan& scan : scans) {
      file.WriteRecord(record++, Spaced(scan.interval));
      file.WriteRecord(record++, Spaced(scan.dateTime));
      for (double v : scan.values) file.WriteRecord(record++, SensorLine(v, 0, 0));
    }
    file.Close();
  }

  GraphModel::LoadResult Load() { return model.Load(); }
  std::vector<double> Y(int series) const {
    const GraphSeries& s = model.Series(series);
    return {s.y.begin(), s.y.end()};
  }
  std::vector<double> X() const { return {model.X().begin(), model.X().end()}; }
  std::string LastMessage() const {
    return prompter.shown.empty() ? "" : prompter.shown.back().text;
  }

  TempRoot root;
  Files files;
  ScriptedPrompter prompter;
  SiteBuilder site;
  GraphModel model{files, prompter};

 private:
  int enabled_ = 0;
};

}  // namespace pelvaro::testing
