#include "core/site/CalibrationGrid.h"

#include "core/storage/NumberText.h"
#include "core/storage/RecordFile.h"

namespace pelvaro {

namespace {

constexpr std::size_t kMaxLength[kCalibrationColumns] = {5, 3, 3, 2, 15, 0};
constexpr int kBackspace = 8;

std::vector<int> DepthsFrom(int fromCm) {
  std::vector<int> depths;
  for (int d = fromCm; d <= kHighestDepthCm; d += 10) depths.push_back(d);
  return depths;
}

bool Offers(const std::vector<int>& depths, int cm) {
  for (int d : depths) {
    if (d == cm) return true;
  }
  return false;
}

double Number(const std::string& text) { return ParseLeadingNumber(text); }

}  // namespace

bool TypeIntoCell(std::string& cell, char c, std::size_t maximum, bool& firstKeyReplaces) {
  if (firstKeyReplaces && !cell.empty()) {
    cell = std::string(1, c);
  } else if (Trim(cell).size() < maximum) {
    cell += c;
  } else {
    return false;
  }
  // The first key decides replace or append; the next ones append.
  firstKeyReplaces = false;
  return true;
}

bool SensorRow::IsOn() const { return Trim(cells[kOnOffColumn]) == "ON"; }

CalibrationGrid::CalibrationGrid() {
  for (SensorRow& row : rows_) row.cells[kOnOffColumn] = "OFF";
  rows_[0].depths = DepthsFrom(10);
}

void CalibrationGrid::LoadRow(int k, int depthCm, const std::array<std::string, 5>& values) {
  SensorRow& row = rows_[k];
  for (int c = 0; c < 5; ++c) row.cells[c] = Trim(values[c]);
  row.cells[kOnOffColumn] = "ON";
  row.depths = DepthsFrom(depthCm);
  row.depth = depthCm;
  row.listEnabled = depthCm < kHighestDepthCm;
  row.disabled = false;
}

void CalibrationGrid::FinishLoad() {
  for (SensorRow& row : rows_) {
    if (Trim(row.cells[kOnOffColumn]).empty()) row.cells[kOnOffColumn] = "OFF";
    row.disabled = Trim(row.cells[kOnOffColumn]) == "OFF";
  }
}

void CalibrationGrid::SetListsEnabled(bool enabled) {
  for (SensorRow& row : rows_) row.listEnabled = enabled;
}

void CalibrationGrid::ChooseDepth(int k, int depthCm) {
  SensorRow& row = rows_[k];
  row.depth = depthCm;
  if (k + 1 < kSensorRows) {
    for (int j = 1; j < kSensorRows; ++j) rows_[j].listEnabled = true;
    if (depthCm + 10 > kHighestDepthCm) {
      for (int j = k + 1; j < kSensorRows; ++j) rows_[j].listEnabled = false;
    } else {
      SensorRow& next = rows_[k + 1];
      const int previous = next.depth;
      next.depths = DepthsFrom(depthCm + 10);
      next.depth = 0;
      // The choice below stands when it is still offered, and counts as made again.
      if (previous != 0 && Offers(next.depths, previous)) ChooseDepth(k + 1, previous);
    }
  }
  const std::string state = Trim(row.cells[kOnOffColumn]);
  if (state.empty() || state == "OFF") {
    row.cells[kOnOffColumn] = "ON";
    EnableRow(k);
    ApplyDefaults(k);
  }
  changed = true;
}

void CalibrationGrid::ApplyDefaults(int k) {
  // The offset belongs to the sensor and is never defaulted.
  if (measurementType_ == "Percentage") {
    rows_[k].cells[kSlopeColumn] = "120";
    rows_[k].cells[kFieldCapColumn] = "100";
    rows_[k].cells[kRefillColumn] = "60";
  } else if (measurementType_ == "Volumetric") {
    rows_[k].cells[kSlopeColumn] = "500";
    rows_[k].cells[kFieldCapColumn] = "30";
    rows_[k].cells[kRefillColumn] = "7";
  }
}

void CalibrationGrid::SetMeasurementType(const std::string& type, bool creating) {
  measurementType_ = type;
  changed = true;
  if (!creating) return;
  for (int k = 0; k < kSensorRows; ++k) {
    if (rows_[k].IsOn() && (!calibrationEdited || Number(rows_[k].cells[kSlopeColumn]) == 0)) {
      ApplyDefaults(k);
    }
  }
}

std::string CalibrationGrid::Click(int k, int column, bool frozen) {
  if (column != kOnOffColumn) return "Hint: Enter each profile details.";
  if (frozen) return "Hint:Data blocks exist for this site file.Profile depth cannot be removed.";
  changed = true;
  std::string& state = rows_[k].cells[kOnOffColumn];
  const std::string now = Trim(state);
  // Anything but "OFF" turns off; "OFF" turns on where the depth may be used.
  if (now == "OFF") {
    if (!rows_[k].disabled) state = "ON";
  } else {
    state = "OFF";
  }
  return {};
}

bool CalibrationGrid::Type(int k, int column, int key, bool& firstKeyReplaces) {
  SensorRow& row = rows_[k];
  if (row.disabled || column == kOnOffColumn || column < 0 || column >= kCalibrationColumns) {
    return false;
  }
  std::string& cell = row.cells[column];
  const bool soil = column == kSoilTypeColumn;
  if (key == kBackspace || key == '.') {
    if (!cell.empty()) cell.pop_back();
  } else if (soil && key == ' ') {
    cell += ' ';
  } else {
    int c = key;
    if (soil && c >= 'a' && c <= 'z') c = c - 'a' + 'A';
    const bool accepted = soil ? (c >= 'A' && c <= 'Z') : (c >= '0' && c <= '9');
    if (!accepted ||
        !TypeIntoCell(cell, static_cast<char>(c), kMaxLength[column], firstKeyReplaces)) {
      return false;
    }
  }
  changed = true;
  if (column == kSlopeColumn || column == kFieldCapColumn || column == kRefillColumn) {
    calibrationEdited = true;
  }
  return true;
}

bool CalibrationGrid::Put(int k, int column, const std::string& value) {
  const SensorRow before = rows_[k];
  const bool changedBefore = changed;
  const bool editedBefore = calibrationEdited;
  bool firstKeyReplaces = true;
  bool taken = true;
  for (const char c : value) {
    taken = taken && Type(k, column, static_cast<unsigned char>(c), firstKeyReplaces);
  }
  std::string expected = value;
  for (char& c : expected) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  // "." and Backspace type as deletions: a value holding them is refused whole.
  if (taken && rows_[k].cells[column] == expected) return true;
  rows_[k] = before;
  changed = changedBefore;
  calibrationEdited = editedBefore;
  return false;
}

bool CalibrationGrid::ValidateProfileData(Prompter& prompter) const {
  const auto fail = [&](const std::string& text, const std::string& title) {
    prompter.Message(text, title);
    return false;
  };
  for (int k = 0; k < kSensorRows; ++k) {
    const SensorRow& row = rows_[k];
    if (!row.IsOn()) continue;
    const std::string d = Plain(row.depth);
    if (row.depth == 0) return fail("Select the profile depth" + Spaced(k + 1) + ".", "");
    const double offset = Number(row.cells[kOffsetColumn]);
    if (offset == 0 || offset > 20000) {
      return fail("Invalid Offset value for the sensor at profile depth " + d + ".", "");
    }
    if (Number(row.cells[kSlopeColumn]) == 0) {
      return fail("Invalid slope value for the sensor at profile depth " + d + ".", "");
    }
  }
  for (int k = 0; k < kSensorRows; ++k) {
    const SensorRow& row = rows_[k];
    if (!row.IsOn()) continue;
    const std::string d = Plain(row.depth);
    const double fieldCapacity = Number(row.cells[kFieldCapColumn]);
    if (fieldCapacity == 0 || fieldCapacity > 100) {
      return fail("Invalid field capacity at profile depth " + d + ".", "Invalid Field Capacity");
    }
    if (Number(row.cells[kRefillColumn]) >= RoundHalfEven(fieldCapacity)) {
      return fail("The field capacity value at profile depth " + d +
                      "\r\nshould be greater than the refill point.",
                  "Invalid Field Capacity");
    }
  }
  for (int k = 0; k < kSensorRows; ++k) {
    const SensorRow& row = rows_[k];
    if (!row.IsOn()) continue;
    const double refill = Number(row.cells[kRefillColumn]);
    if (refill == 0 || refill > 100) {
      return fail("Invalid refill point at profile depth " + Plain(row.depth) + ".",
                  "Invalid Field Capacity");
    }
  }
  return true;
}

}  // namespace pelvaro
