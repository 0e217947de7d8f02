#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/graph/CalibrationTable.h"
#include "core/graph/GraphAxis.h"
#include "core/outlook/OutlookReport.h"
#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/GraphFile.h"

namespace pelvaro {

// Series 0 to 8 carry the enabled depths (series 0 the sum in sum mode),
// 9 the field-capacity line and 10 the refill line.
inline constexpr int kGraphSeries = 11;
inline constexpr int kDepthSeries = 9;
inline constexpr int kFieldCapacitySeries = 9;
inline constexpr int kRefillSeries = 10;
inline constexpr int kDepthBoxes = 12;
inline constexpr char kLimitCaptionBase[] = "Field Capacity + Refill";
// Ends the legend title of a series that a faulty sensor feeds.
inline constexpr char kFaultMark[] = " (fault)";

struct GraphSeries {
  bool active = false;
  std::string title;
  std::span<const double> y;    // one value per scan
  std::optional<double> level;  // a limit line: the same value at every scan
};

struct DepthBox {
  bool enabled = false;
  bool checked = false;
  bool highlighted = false;
};

// The graph window without its widgets: what DrawGraph puts on the chart,
// and the state of the check boxes and the calibration grid that decide it.
class GraphModel {
 public:
  using Progress = std::function<void(int percent)>;

  GraphModel(const Files& files, Prompter& prompter);

  enum class LoadResult { Drawn, Empty, Failed };
  // Form_Load: the window state from the graph file and the site header,
  // then the first drawing. Both Empty and Failed have told the user why.
  LoadResult Load(const Progress& progress = {});
  // DrawGraph: true when the chart was filled.
  bool Draw(const Progress& progress = {});

  // The controls beside the chart; each redraws.
  void ClickDepth(int slot, bool checked);
  void SetSum(bool on);
  void SetLimitLines(bool on);
  // A directory chosen in DialogDataDir: drawn from from now on.
  void ChooseDirectory(const std::string& directory);
  // The site's directory list for DialogDataDir.
  std::vector<std::string> DirectoryNames() const;
  // The directory drawn from (txtDataDir).
  const std::string& DataDirectory() const { return dataDirectory_; }
  const std::string& Identification() const { return identification_; }

  CalibrationTable& Table() { return table_; }
  const CalibrationTable& Table() const { return table_; }
  // A key typed into the grid; true when it saved, recalculated and redrew,
  // or reloaded a header another program changed and redrew.
  bool TypeInTable(int row, int column, int key);
  // The save question for the grid's changes; a save recalculates the site
  // and redraws, as does a reload.
  CalibrationTable::SaveResult SaveTable();

  const DepthBox& Box(int slot) const { return boxes_.at(static_cast<std::size_t>(slot)); }
  bool LimitEnabled() const { return limitEnabled_; }
  bool LimitChecked() const { return limitChecked_; }
  bool SumEnabled() const { return sumEnabled_; }
  bool SumChecked() const { return sumChecked_; }
  std::string LimitCaption() const;

  // The drawing.
  AxisMode Mode() const { return mode_; }
  std::span<const double> X() const { return x_; }
  std::size_t Scans() const { return x_.size(); }
  const GraphSeries& Series(int index) const { return series_.at(static_cast<std::size_t>(index)); }
  double AxisMin() const { return axisMin_; }
  double AxisMax() const { return axisMax_; }
  double XMin() const { return xMin_; }
  double XMax() const { return xMax_; }
  // The earliest and latest date-time of the scans drawn from X `from` to
  // `to`: the time a zoomed chart shows. Nothing when no scan lies there.
  std::optional<std::pair<double, double>> DateTimesBetween(double from, double to) const;
  const std::string& Header() const { return header_; }
  const std::string& Subtitle() const { return subtitle_; }
  std::string LeftTitle() const { return "Water " + unit_; }
  std::string BottomTitle() const { return AxisTitle(mode_); }

  // The site's irrigation outlook, read at load and again after a saved
  // calibration: the line under the chart. Series fed by a faulty sensor
  // carry kFaultMark in their titles.
  const SiteOutlook& Outlook() const { return outlook_; }
  // The forecast from the last total down to the refill line, on the time
  // axis; only while the chart shows the root zone's own sum and refill line.
  std::optional<RefillProjection> Projection() const;
  // The time axis ends at the last scan, or at the forecast's end.
  double XEnd() const;

 private:
  // A file that could not be read, or whose counts no file can hold: the file and the cause.
  void ShowReadError(const std::exception& e);
  void LoadSlots(SiteHeader& header);
  void ReloadCalibration();
  // Reads the graph file unless the one in memory is still the same file.
  const GraphFileData& Data(const fs::path& path, const Progress& progress);
  void Clear();
  std::vector<int> EnabledSlots() const;
  bool SeriesFaulty(int index) const;

  const Files& files_;
  Prompter& prompter_;
  bool loading_ = false;
  bool firstDrawing_ = false;
  std::string identification_;
  std::string selectedDirectory_;  // from Sitesel.dat
  std::optional<std::string> chosenDirectory_;
  std::string dataDirectory_;

  // Indexed from 1, as slots and enabled indices are counted.
  using SlotArray = std::array<int, kMaxGraphSlots + 1>;
  int slotCount_ = 0;
  SlotArray enabledIndex_{};
  SlotArray depthChosen_{};
  SlotArray seriesShown_{};
  std::array<double, kMaxGraphSlots + 1> fieldCapacity_{};
  std::array<double, kMaxGraphSlots + 1> refill_{};
  std::array<DepthBox, kDepthBoxes + 1> boxes_{};
  std::array<std::string, kDepthSeries> depthTitles_{};
  std::string unit_ = "%";
  std::string limitLabel_;
  bool limitEnabled_ = true;
  bool limitChecked_ = false;
  bool sumEnabled_ = true;
  bool sumChecked_ = false;

  std::optional<GraphFileData> data_;
  fs::path dataPath_;
  std::uint64_t dataLength_ = 0;
  fs::file_time_type dataTime_{};

  AxisMode mode_ = AxisMode::Minutes;
  std::vector<double> x_;
  std::vector<double> sum_;
  std::array<GraphSeries, kGraphSeries> series_{};
  double axisMin_ = 0;
  double axisMax_ = 0;
  double xMin_ = 0;
  double xMax_ = 0;
  std::string header_;
  std::string subtitle_;
  SiteOutlook outlook_;

  CalibrationTable table_;
};

}  // namespace pelvaro
