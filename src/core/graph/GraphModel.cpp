#include "core/graph/GraphModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/graph/GraphReading.h"
#include "core/platform/FileOps.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/NumberText.h"
#include "core/storage/SiteHeader.h"
#include "core/storage/StateFiles.h"

namespace pelvaro {

namespace {

static_assert(header::kMaxDepthSlots <= kMaxGraphSlots, "a header's depth slots fit the chart");
constexpr double kAxisMargin = 2;

std::string DepthTitle(int slot) { return Spaced(10 * slot) + "cm"; }

}  // namespace

GraphModel::GraphModel(const Files& files, Prompter& prompter)
    : files_(files), prompter_(prompter) {}

void GraphModel::Clear() {
  for (GraphSeries& s : series_) s = GraphSeries{};
  x_ = {};
}

SiteSelection GraphModel::SelectedSite() const {
  return shownSite_ ? *shownSite_ : ReadSiteSelection(files_);
}

GraphModel::LoadResult GraphModel::Load(const Progress& progress) {
  loading_ = true;
  firstDrawing_ = true;
  Clear();
  const GraphReadResult read = ReadSite(progress);
  if (!read.Read()) {
    Tell(read);
    return read.outcome == GraphReadResult::Outcome::NoGraph ? LoadResult::Empty
                                                             : LoadResult::Failed;
  }
  loading_ = false;
  if (!Draw()) return LoadResult::Failed;
  firstDrawing_ = false;
  return LoadResult::Drawn;
}

GraphReadResult GraphModel::ReadSite(const Progress& progress) {
  return ReadForGraph([&]() {
    const SiteSelection site = SelectedSite();
    identification_ = site.identification;
    selectedDirectory_ = site.dataDirectory;
    const fs::path path =
        CalibratedPath(files_, selectedDirectory_, identification_, kGraphExtension);
    if (Files::FileLength(path) < kGraphFileMinimum) {
      return GraphReadResult::NoGraph("This site is empty ");
    }
    // One pass over the graph file serves the outlook and the chart; when the
    // outlook cannot read it to its end, the chart reads it on its own.
    const FileStamp stamp = StampOf(path);
    GraphScansBuilder shared;
    ReadOutlook(Following(progress), &shared);
    slotCount_ = ScansOf(stamp, selectedDirectory_, progress, &shared).head.slotCount;
    // Taken before the header is read, for the grid's save to compare with.
    OpenedFiles opened = OpenedFiles::Header(files_.HeaderPath(identification_));
    SiteHeader header(files_.HeaderPath(identification_), RecordFile::Mode::ReadOnly);
    const std::string type = header.ReadRecord(header::kMeasurementType);
    unit_ = type == "Volumetric" ? "mm" : "%";
    LoadSlots(header);
    table_.Load(header, EnabledSlots(), std::move(opened), site);
    return GraphReadResult{};
  });
}

void GraphModel::ReadOutlook(const ReadProgress& progress, GraphScansBuilder* shared) {
  outlook_ = ReadSiteOutlook(files_, identification_, progress, shared, scanSink_);
  ++outlookReads_;
}

void GraphModel::Tell(const GraphReadResult& read) {
  prompter_.Message(read.text, read.title, Buttons::Ok);
}

void GraphModel::LoadSlots(SiteHeader& header) {
  int j = 0;
  for (int s = 1; s <= slotCount_; ++s) {
    if (header.ReadRecord(header::CalibrationBase(s) + header::kState) != "ON") continue;
    ++j;
    enabledIndex_[s] = j;
    seriesShown_[j] = 1;
    depthChosen_[s] = s;
    if (s <= kDepthBoxes) boxes_[s] = {true, true, true};
  }
  ReloadCalibration();
}

void GraphModel::ReloadCalibration() {
  SiteHeader header(files_.HeaderPath(identification_), RecordFile::Mode::ReadOnly);
  for (int s = 1; s <= slotCount_; ++s) {
    if (enabledIndex_[s] == 0) continue;
    const int base = header::CalibrationBase(s);
    fieldCapacity_[s] = header.ReadNumber(base + header::kFieldCapacity);
    refill_[s] = header.ReadNumber(base + header::kRefill);
  }
}

std::vector<int> GraphModel::EnabledSlots() const {
  std::vector<int> slots;
  for (int s = 1; s <= slotCount_; ++s) {
    if (enabledIndex_[s] != 0) slots.push_back(s);
  }
  return slots;
}

GraphModel::FileStamp GraphModel::StampOf(const fs::path& path) {
  return {path, Files::State(path)};
}

const GraphScans& GraphModel::ScansOf(const FileStamp& stamp, const std::string& directory,
                                      const Progress& progress, GraphScansBuilder* shared) {
  if (scans_ && stamp == scansStamp_) return *scans_;
  scans_.reset();
  std::optional<GraphScans> read = shared != nullptr ? shared->Take(stamp.path) : std::nullopt;
  if (!read) {
    // A shared pass that began on this file and ended short would end so again.
    read = shared != nullptr && shared->Began(stamp.path)
               ? ReadGraphScans(stamp.path, progress)
               : ReadGraphScans(files_, identification_, directory, stamp.path, progress);
  }
  if (!read) throw GraphFileError("The graph file is too short");
  scans_ = std::move(read);
  scansStamp_ = stamp;
  return *scans_;
}

bool GraphModel::Draw(const Progress& progress) {
  Clear();
  DrawingInput input;
  const GraphReadResult read = ReadDrawing(progress, input);
  if (!read.Read()) {
    Clear();
    Tell(read);
    return false;
  }
  return Compute(input);
}

bool GraphModel::RedrawIfGraphFileChanged() {
  if (scansStamp_.path.empty()) return false;  // nothing drawn yet
  FileStamp now;
  try {
    now = StampOf(scansStamp_.path);
  } catch (const IoError&) {
    return false;  // it cannot be looked at now; a later change looks again
  }
  if (now == scansStamp_ || now == lookedAt_) return false;
  lookedAt_ = now;
  // One pass over the file serves the outlook and the chart, as at load.
  GraphScansBuilder shared;
  ReadOutlook({}, &shared);
  if (std::optional<GraphScans> scans = shared.Take(now.path)) {
    scans_ = std::move(scans);
    scansStamp_ = now;
  }
  Draw();
  return true;
}

GraphReadResult GraphModel::ReadDrawing(const Progress& progress, DrawingInput& input) {
  return ReadForGraph([&]() {
    const SiteSelection site = SelectedSite();
    identification_ = site.identification;
    dataDirectory_ = chosenDirectory_.value_or(site.dataDirectory);
    {
      SiteHeader header(files_.HeaderPath(identification_), RecordFile::Mode::ReadOnly);
      input.titleName = Trim(header.ReadRecord(header::kSiteName));
      if (input.titleName.empty() || input.titleName[0] == '\0') input.titleName = identification_;
      input.slotCount = header.DepthSlotCount();
    }
    const fs::path path = CalibratedPath(files_, dataDirectory_, identification_, kGraphExtension);
    if (Files::FileLength(path) < kGraphFileMinimum) {
      return GraphReadResult::NoGraph("Couldn't find the graph file.");
    }
    input.scans = &ScansOf(StampOf(path), dataDirectory_, progress);
    return GraphReadResult{};
  });
}

bool GraphModel::Compute(const DrawingInput& input) {
  const GraphScans& scans = *input.scans;
  const int enabled = scans.head.enabledCount;
  for (int j = 0; j < std::min(enabled, kDepthSeries); ++j) series_[j].active = true;
  series_[kFieldCapacitySeries].active = series_[kRefillSeries].active = limitChecked_;
  mode_ = scans.mode;
  header_ = "Velmora Pelvaro Soil Moisture Site '" + input.titleName + "'";
  subtitle_ = "Start Date " + scans.head.dayMonthText + "/" + scans.head.yearText + "    File " +
              identification_;

  const std::optional<Limits> limits = ChosenLimits(input.slotCount);
  if (!limits) {
    limitChecked_ = limitEnabled_ = false;
    sumChecked_ = sumEnabled_ = false;
    Clear();
    return false;
  }
  x_ = scans.x;
  xMin_ = scans.xMin;
  xMax_ = scans.xMax;
  FillValues(scans, *limits);
  NameSeries(input.slotCount, *limits);
  return true;
}

std::optional<GraphModel::Limits> GraphModel::ChosenLimits(int slotCount) {
  Limits limits;
  limitLabel_.clear();
  bool chosen = false;
  for (int s = 1; s <= slotCount; ++s) {
    if (depthChosen_[s] < 1) continue;
    chosen = true;
    if (s > kDepthBoxes || !boxes_[s].checked) continue;
    limits.fieldCapacitySum += fieldCapacity_[s];
    limits.refillSum += refill_[s];
    // A depth without a value hands its line on to the next chosen depth.
    if (limits.fieldCapacityLine == 0) {
      limits.fieldCapacityLine = fieldCapacity_[s];
      limitLabel_ = Plain(10 * s);
    }
    if (limits.refillLine == 0) limits.refillLine = refill_[s];
  }
  if (!chosen) return std::nullopt;
  return limits;
}

void GraphModel::FillValues(const GraphScans& scans, const Limits& limits) {
  const std::size_t count = scans.Scans();
  const int enabled = scans.head.enabledCount;
  ValueRange axis;
  if (limitChecked_ && !sumChecked_) {
    series_[kFieldCapacitySeries].level = limits.fieldCapacityLine;
    series_[kRefillSeries].level = limits.refillLine;
    if (count > 0 && enabled > 0) {
      axis.high = std::max(axis.high, limits.fieldCapacityLine);
      axis.low = std::min(axis.low, limits.refillLine);
    }
  }
  // A sum is missing where one of its values is: NaN carries through.
  if (sumChecked_) sum_.assign(count, 0.0);
  for (int j = 1; j <= enabled; ++j) {
    if (seriesShown_[j] < 1) continue;
    const auto column = static_cast<std::size_t>(j - 1);
    if (sumChecked_) {
      const std::vector<double>& values = scans.values[column];
      for (std::size_t k = 0; k < count; ++k) sum_[k] += values[k];
    } else if (j <= kDepthSeries) {
      axis.Add(scans.ranges[column]);
      series_[j - 1].y = scans.values[column];
    }
  }
  if (sumChecked_) {
    for (double v : sum_) axis.Add(v);
    series_[0].y = sum_;
    if (limitChecked_) {
      series_[kFieldCapacitySeries].level = limits.fieldCapacitySum;
      series_[kRefillSeries].level = limits.refillSum;
      // The summed lines are kept inside the axis like the single-depth ones.
      if (count > 0) {
        axis.Add(limits.fieldCapacitySum);
        axis.Add(limits.refillSum);
      }
    }
  }
  // Nothing plotted: an axis around zero rather than an inverted one.
  if (axis.Empty()) axis.low = axis.high = 0;
  axisMin_ = axis.low - kAxisMargin;
  axisMax_ = axis.high + kAxisMargin;
}

void GraphModel::NameSeries(int slotCount, const Limits& limits) {
  if (firstDrawing_ && !sumChecked_) {
    depthTitles_.fill("");
    std::size_t k = 0;
    for (int s = 1; s <= slotCount && k < depthTitles_.size(); ++s) {
      if (depthChosen_[s] >= 1) depthTitles_[k++] = DepthTitle(s);
    }
  }
  for (int j = 0; j < kDepthSeries; ++j) series_[j].title = depthTitles_[j];
  if (sumChecked_) {
    series_[0].title = "Sum";
    series_[kFieldCapacitySeries].title = "Sum F.C" + Spaced(limits.fieldCapacitySum) + unit_;
    series_[kRefillSeries].title = "Sum Refill" + Spaced(limits.refillSum) + unit_;
  } else {
    series_[kFieldCapacitySeries].title = "F.C." + Spaced(limits.fieldCapacityLine) + unit_;
    series_[kRefillSeries].title = "Refill" + Spaced(limits.refillLine) + unit_;
  }
  for (int j = 0; j < kDepthSeries; ++j) {
    if (!series_[j].title.empty() && SeriesFaulty(j)) series_[j].title += kFaultMark;
  }
}

std::optional<std::pair<double, double>> GraphModel::DateTimesBetween(double from,
                                                                      double to) const {
  std::optional<std::pair<double, double>> times;
  if (!scans_ || scans_->dateTimes.size() != x_.size()) return std::nullopt;
  for (std::size_t k = 0; k < x_.size(); ++k) {
    if (x_[k] < from || x_[k] > to) continue;
    const double t = scans_->dateTimes[k];
    times =
        times ? std::pair{std::min(times->first, t), std::max(times->second, t)} : std::pair{t, t};
  }
  return times;
}

std::string GraphModel::ReadoutText(double x, double y) const {
  // A point's X is its scan's own, so the scan is found by it.
  const auto at = std::find(x_.begin(), x_.end(), x);
  const bool found = at != x_.end() && scans_ && scans_->dateTimes.size() == x_.size();
  const double dateTime = found ? scans_->dateTimes[static_cast<std::size_t>(at - x_.begin())] : x;
  return pelvaro::ReadoutText(y, unit_, dateTime);
}

std::string GraphModel::LimitCaption() const {
  if (limitChecked_ && !sumChecked_ && !limitLabel_.empty()) {
    return std::string(kLimitCaptionBase) + " at " + limitLabel_ + " cm";
  }
  return kLimitCaptionBase;
}

void GraphModel::ClickDepth(int slot, bool checked) {
  if (CheckDepth(slot, checked)) Draw();
}

void GraphModel::ChooseDepths(const std::vector<int>& depthsCm, bool sum, bool limitLines) {
  if (loading_) return;
  for (int s = 1; s <= kDepthBoxes; ++s) {
    CheckDepth(s, std::find(depthsCm.begin(), depthsCm.end(), 10 * s) != depthsCm.end());
  }
  if (sumEnabled_) sumChecked_ = sum;
  if (limitEnabled_) limitChecked_ = limitLines;
  Draw();
}

bool GraphModel::CheckDepth(int slot, bool checked) {
  if (loading_ || slot < 1 || slot > kDepthBoxes || !boxes_[slot].enabled) return false;
  const int j = enabledIndex_[slot];
  boxes_[slot].checked = checked;
  if (checked) {
    limitEnabled_ = sumEnabled_ = true;
    table_.EnableThisRow(10 * slot);
  } else {
    table_.DisableThisRow(10 * slot);
  }
  depthChosen_[slot] = checked ? 1 : 0;
  // An enabled box always has its series: j is at least 1.
  seriesShown_[j] = checked ? 1 : 0;
  if (j <= kDepthSeries) depthTitles_[j - 1] = checked ? DepthTitle(slot) : "";
  return true;
}

void GraphModel::SetSum(bool on) {
  if (!sumEnabled_) return;
  sumChecked_ = on;
  Draw();
}

void GraphModel::SetLimitLines(bool on) {
  if (!limitEnabled_) return;
  limitChecked_ = on;
  Draw();
}

void GraphModel::ChooseDirectory(const std::string& directory) {
  chosenDirectory_ = directory;
  Draw();
}

std::vector<std::string> GraphModel::DirectoryNames() const {
  std::vector<std::string> names;
  const GraphReadResult read = ReadForGraph([&]() {
    SiteHeader header(files_.HeaderPath(identification_), RecordFile::Mode::ReadOnly);
    for (int i = 0; i < header::kDirectoryCount; ++i) {
      names.push_back(Trim(header.ReadRecord(header::kFirstDirectory + i)));
    }
    return GraphReadResult{};
  });
  // A header that cannot be read offers empty entries.
  if (!read.Read()) names.assign(header::kDirectoryCount, "");
  // A list never filled still offers the site's own directory.
  if (names[0].empty()) names[0] = selectedDirectory_;
  return names;
}

bool GraphModel::TypeInTable(int row, int column, int key) {
  if (table_.Key(row, column, key) != CalibrationTable::KeyResult::SaveAsked) return false;
  const CalibrationTable::SaveResult result = SaveTable();
  return result == CalibrationTable::SaveResult::Saved ||
         result == CalibrationTable::SaveResult::Reloaded;
}

CalibrationTable::SaveResult GraphModel::SaveTable() {
  using Result = CalibrationTable::SaveResult;
  const Result result = table_.Save(files_, prompter_);
  if (result != Result::Saved && result != Result::Reloaded) return result;
  // The lines keep their last values when the header cannot be read; the
  // redraw then still shows the new data.
  ReadForGraph([this] {
    ReloadCalibration();
    return GraphReadResult{};
  });
  if (result == Result::Saved) {
    scans_.reset();
    // New refill points move the forecast.
    ReadOutlook();
  }
  Draw();
  return result;
}

bool GraphModel::SeriesFaulty(int index) const {
  const auto faulty = [this](int slot) {
    return std::any_of(outlook_.faults.begin(), outlook_.faults.end(),
                       [slot](const SensorFault& f) { return f.depthCm == 10 * slot; });
  };
  // Series j - 1 carries the j-th enabled slot; the sum carries every shown one.
  const std::vector<int> slots = EnabledSlots();
  if (!sumChecked_) {
    return index >= 0 && static_cast<std::size_t>(index) < slots.size() &&
           faulty(slots[static_cast<std::size_t>(index)]);
  }
  return index == 0 && std::any_of(slots.begin(), slots.end(), [&](int s) {
           return seriesShown_[enabledIndex_[s]] >= 1 && faulty(s);
         });
}

std::optional<RefillProjection> GraphModel::Projection() const {
  const auto projection = ProjectRefill(outlook_);
  const std::optional<double> refillLine = series_[kRefillSeries].level;
  if (!projection || !sumChecked_ || !limitChecked_ || mode_ != AxisMode::DateTime || !refillLine) {
    return std::nullopt;
  }
  // Only the root zone's own sum and refill line meet the forecast's ends.
  std::vector<int> summed;
  for (int s : EnabledSlots()) {
    if (seriesShown_[enabledIndex_[s]] >= 1) summed.push_back(10 * s);
  }
  if (summed != outlook_.rootZoneDepthsCm) return std::nullopt;
  // And only when the chart is drawn from the site's own graph file, whose
  // last total is a point of the sum.
  const auto same = [](double a, double b) {
    return std::abs(a - b) <= 1e-9 * std::max(1.0, std::abs(b));
  };
  const auto at = std::find(x_.rbegin(), x_.rend(), projection->fromDateTime);
  if (at == x_.rend()) return std::nullopt;
  const auto k = static_cast<std::size_t>(x_.rend() - at - 1);
  if (k >= sum_.size() || !same(sum_[k], projection->fromValue) ||
      !same(*refillLine, projection->toValue)) {
    return std::nullopt;
  }
  return projection;
}

bool GraphModel::DrawsOutlookFile() const {
  return !x_.empty() && scans_ && scans_->dateTimes.size() == x_.size() &&
         !outlook_.graphFile.empty() &&
         Files::Resolve(outlook_.graphFile) == Files::Resolve(scansStamp_.path);
}

double GraphModel::XOfDateTime(double dateTime) const {
  if (mode_ == AxisMode::DateTime) return dateTime;
  // Elapsed time: the X of the scan nearest that time, the scans being in
  // order of time.
  const std::vector<double>& times = scans_->dateTimes;
  auto at = std::lower_bound(times.begin(), times.end(), dateTime);
  if (at == times.end() || (at != times.begin() && dateTime - *std::prev(at) < *at - dateTime)) {
    at = std::prev(at);
  }
  return x_[static_cast<std::size_t>(at - times.begin())];
}

double GraphModel::XEnd() const {
  const auto projection = Projection();
  return projection ? std::max(xMax_, projection->toDateTime) : xMax_;
}

}  // namespace pelvaro
