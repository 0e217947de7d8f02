#pragma once

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/graph/CalibrationTable.h"
#include "core/graph/GraphAxis.h"
#include "core/graph/GraphReading.h"
#include "core/outlook/OutlookReport.h"
#include "core/platform/Files.h"
#include "core/platform/Prompter.h"
#include "core/storage/GraphFile.h"
#include "core/storage/StateFiles.h"

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

// The graph window without its widgets: what a drawing puts on the chart,
// and the state of the check boxes and the calibration grid that decide it.
// Each drawing is a read of the site selection, the site header and the
// graph file (the last kept while it is unchanged), then a computation from
// what was read.
class GraphModel {
 public:
  using Progress = std::function<void(int percent)>;

  GraphModel(const Files& files, Prompter& prompter);

  enum class LoadResult { Drawn, Empty, Failed };
  // The window state from the graph file and the site header, and the
  // site's outlook, then the first drawing. Both Empty and Failed have told
  // the user why.
  LoadResult Load(const Progress& progress = {});
  // Reads and draws again: true when the chart was filled, else the user
  // was told why.
  bool Draw(const Progress& progress = {});
  // Another program may have converted the site since: when the graph file
  // drawn from is no longer as it was read, the outlook and the drawing are
  // read again (a failure told once for each state of the file). True when
  // it drew again.
  bool RedrawIfGraphFileChanged();

  // A sink of the caller's that sees the site's scans in every pass that
  // reads the outlook (at load, after a saved calibration, after another
  // program changed the graph file), so that what it finds there costs no
  // second reading of the files. Set before Load.
  void SetScanSink(SiteScanSink* sink) { scanSink_ = sink; }
  // Shows this site and data directory instead of the one the program's
  // state files select, as a report on a site that is not open does.
  void ShowSite(SiteSelection site) { shownSite_ = std::move(site); }
  // How many such passes have run: the sink saw a new one when this changed.
  int OutlookReads() const { return outlookReads_; }

  // The controls beside the chart; each redraws.
  void ClickDepth(int slot, bool checked);
  void SetSum(bool on);
  void SetLimitLines(bool on);
  // The boxes of these depths checked and the others cleared, then the sum
  // and the limit lines as asked: what clicking them would leave, drawn once
  // instead of once a click.
  void ChooseDepths(const std::vector<int>& depthsCm, bool sum, bool limitLines);
  // A directory chosen in the data directory dialog: drawn from from now on.
  void ChooseDirectory(const std::string& directory);
  // The site's directory list for the data directory dialog.
  std::vector<std::string> DirectoryNames() const;
  // The directory drawn from.
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
  // The readout of the point (x, y) of a depth or sum series: its value with
  // the unit and the date and time of its scan, whatever the bottom axis.
  std::string ReadoutText(double x, double y) const;
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
  // Scans are drawn from the graph file the outlook read: what was found in
  // the outlook's pass has its place on the chart.
  bool DrawsOutlookFile() const;
  // Where a scan's date-time lies on the bottom axis: the X of the scan
  // drawn nearest that time. Only while scans are drawn.
  double XOfDateTime(double dateTime) const;

 private:
  SiteSelection SelectedSite() const;
  // A click on an enabled box, without the drawing; false when it does nothing.
  bool CheckDepth(int slot, bool checked);
  // What a drawing is computed from.
  struct DrawingInput {
    std::string titleName;  // the site's name, else its identification
    int slotCount = 0;      // the header's depth slot count
    const GraphScans* scans = nullptr;
  };
  // The limit lines of the chosen depths: the first one's and the sums.
  struct Limits {
    double fieldCapacityLine = 0;
    double refillLine = 0;
    double fieldCapacitySum = 0;
    double refillSum = 0;
  };
  // A file as last read: the graph file is read again only when it changed.
  struct FileStamp {
    fs::path path;
    std::optional<Files::FileState> state;
    bool operator==(const FileStamp&) const = default;
  };

  GraphReadResult ReadSite(const Progress& progress);
  void ReadOutlook(const ReadProgress& progress = {}, GraphScansBuilder* shared = nullptr);
  GraphReadResult ReadDrawing(const Progress& progress, DrawingInput& input);
  void Tell(const GraphReadResult& read);
  void LoadSlots(SiteHeader& header);
  void ReloadCalibration();
  static FileStamp StampOf(const fs::path& path);
  // The graph file's scans: those in memory while the file is unchanged,
  // else those the shared pass saw in full, else read now with the blocks of
  // `directory`.
  const GraphScans& ScansOf(const FileStamp& stamp, const std::string& directory,
                            const Progress& progress, GraphScansBuilder* shared = nullptr);
  // The drawing from what was read; false when no depth is chosen.
  bool Compute(const DrawingInput& input);
  std::optional<Limits> ChosenLimits(int slotCount);
  void FillValues(const GraphScans& scans, const Limits& limits);
  void NameSeries(int slotCount, const Limits& limits);
  void Clear();
  std::vector<int> EnabledSlots() const;
  bool SeriesFaulty(int index) const;

  const Files& files_;
  Prompter& prompter_;
  bool loading_ = false;
  bool firstDrawing_ = false;
  std::optional<SiteSelection> shownSite_;
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

  std::optional<GraphScans> scans_;
  FileStamp scansStamp_;
  std::optional<FileStamp> lookedAt_;  // the graph file as the last redraw for a change found it

  AxisMode mode_ = AxisMode::Minutes;
  std::span<const double> x_;
  std::vector<double> sum_;
  std::array<GraphSeries, kGraphSeries> series_{};
  double axisMin_ = 0;
  double axisMax_ = 0;
  double xMin_ = 0;
  double xMax_ = 0;
  std::string header_;
  std::string subtitle_;
  SiteOutlook outlook_;
  SiteScanSink* scanSink_ = nullptr;
  int outlookReads_ = 0;

  CalibrationTable table_;
};

}  // namespace pelvaro
