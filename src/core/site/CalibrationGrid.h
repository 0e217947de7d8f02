#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/platform/Prompter.h"

namespace pelvaro {

inline constexpr int kSensorRows = 5;
inline constexpr int kHighestDepthCm = 120;

// Columns of the calibration grid.
enum CalibrationColumn {
  kOffsetColumn = 0,
  kSlopeColumn,
  kFieldCapColumn,
  kRefillColumn,
  kSoilTypeColumn,
  kOnOffColumn,
  kCalibrationColumns
};

// A character typed into a grid cell: the first key after entering the cell
// replaces a filled cell, later keys append while the trimmed text is shorter
// than the maximum. False when the key was refused.
bool TypeIntoCell(std::string& cell, char c, std::size_t maximum, bool& firstKeyReplaces);

// One sensor row: its cells and its depth list.
struct SensorRow {
  std::array<std::string, kCalibrationColumns> cells;
  bool disabled = true;     // shown like the header cells; typing is ignored
  std::vector<int> depths;  // the depth list's items, in cm
  int depth = 0;            // the chosen depth in cm, 0 when none
  bool listEnabled = true;
  bool IsOn() const;
};

// The lower half of the site window: which sensors sit where, and their
// calibration. Keys arrive as character codes (8 Backspace, 13 Enter).
class CalibrationGrid {
 public:
  // Every row off and disabled, list 1 offering 10..120.
  CalibrationGrid();

  const SensorRow& Row(int k) const { return rows_[k]; }  // k = 0..4
  SensorRow& MutableRow(int k) { return rows_[k]; }
  // A loaded row: its values, its list from its own depth, state "ON".
  void LoadRow(int k, int depthCm, const std::array<std::string, 5>& values);
  // After loading: empty states become "OFF" and every "OFF" row is disabled.
  void FinishLoad();

  void ChooseDepth(int k, int depthCm);
  void SetListsEnabled(bool enabled);
  void SetMeasurementType(const std::string& type, bool creating);
  const std::string& MeasurementType() const { return measurementType_; }
  // A click on a cell; returns the hint for the status bar (may be empty).
  std::string Click(int k, int column, bool frozen);
  // A key typed into a cell; true when it was accepted.
  bool Type(int k, int column, int key, bool& firstKeyReplaces);
  // A pasted value, typed key by key into the cell as just entered; kept only
  // when the cell then holds that value (a soil type in capitals), else the
  // row is as it was and the result false.
  bool Put(int k, int column, const std::string& value);

  bool ValidateProfileData(Prompter& prompter) const;

  bool changed = false;
  bool calibrationEdited = false;

 private:
  void EnableRow(int k) { rows_[k].disabled = false; }
  void ApplyDefaults(int k);

  std::array<SensorRow, kSensorRows> rows_;
  std::string measurementType_;  // empty while the list shows "Measurement Type"
};

}  // namespace pelvaro
