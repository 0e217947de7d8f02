#include "core/site/CalibrationGrid.h"

#include <gtest/gtest.h>

#include "support/ScriptedPrompter.h"

namespace pelvaro::testing {
namespace {

void Type(CalibrationGrid& grid, int row, int column, const std::string& text) {
  bool replace = true;
  for (char c : text) grid.Type(row, column, static_cast<unsigned char>(c), replace);
}

std::string Validate(const CalibrationGrid& grid) {
  ScriptedPrompter prompter;
  if (grid.ValidateProfileData(prompter)) return "";
  return prompter.shown.back().text + "|" + prompter.shown.back().title;
}

TEST(CalibrationGrid, DepthListsCascadeDownwards) {
  CalibrationGrid grid;
  EXPECT_EQ(grid.Row(0).depths.front(), 10);
  EXPECT_EQ(grid.Row(0).depths.size(), 12u);
  grid.ChooseDepth(0, 30);
  EXPECT_EQ(grid.Row(1).depths, (std::vector<int>{40, 50, 60, 70, 80, 90, 100, 110, 120}));
  grid.ChooseDepth(1, 60);
  grid.ChooseDepth(2, 90);
  // A new depth above keeps the choices below that are still offered.
  grid.ChooseDepth(0, 50);
  EXPECT_EQ(grid.Row(1).depth, 60);
  EXPECT_EQ(grid.Row(2).depth, 90);
  grid.ChooseDepth(0, 70);
  EXPECT_EQ(grid.Row(1).depth, 0);  // 60 is no longer offered
  grid.ChooseDepth(1, 120);         // nothing lies below 120 cm; the rows above keep their lists
  EXPECT_TRUE(grid.Row(0).listEnabled && grid.Row(1).listEnabled);
  for (int k = 2; k < 5; ++k) EXPECT_FALSE(grid.Row(k).listEnabled) << k;
  grid.ChooseDepth(1, 110);  // 120 cm still lies below
  for (int k = 2; k < 5; ++k) EXPECT_TRUE(grid.Row(k).listEnabled) << k;
}

TEST(CalibrationGrid, ChoosingADepthSwitchesTheRowOnWithTheTypesDefaults) {
  CalibrationGrid grid;
  grid.ChooseDepth(0, 30);  // no type chosen yet: on, but no defaults
  EXPECT_EQ(grid.Row(0).cells[kOnOffColumn], "ON");
  EXPECT_FALSE(grid.Row(0).disabled);
  EXPECT_EQ(grid.Row(0).cells[kSlopeColumn], "");

  CalibrationGrid volumetric;
  volumetric.SetMeasurementType("Volumetric", true);
  volumetric.ChooseDepth(0, 30);
  const auto& cells = volumetric.Row(0).cells;
  EXPECT_EQ(cells[kSlopeColumn], "500");
  EXPECT_EQ(cells[kFieldCapColumn], "30");
  EXPECT_EQ(cells[kRefillColumn], "7");
  EXPECT_EQ(cells[kOffsetColumn], "");
  EXPECT_EQ(Validate(volumetric), "Invalid Offset value for the sensor at profile depth 30.|");
  Type(volumetric, 0, kOffsetColumn, "4500");
  EXPECT_EQ(Validate(volumetric), "");
  // A new site follows a change of type unless its calibration was typed.
  volumetric.SetMeasurementType("Percentage", true);
  EXPECT_EQ(volumetric.Row(0).cells[kSlopeColumn], "120");
  Type(volumetric, 0, kSlopeColumn, "99");
  volumetric.ChooseDepth(1, 40);
  Type(volumetric, 1, kSlopeColumn, "0");  // but a row without a slope takes them
  volumetric.SetMeasurementType("Volumetric", true);
  EXPECT_EQ(volumetric.Row(0).cells[kSlopeColumn] + "|" + volumetric.Row(1).cells[kSlopeColumn],
            "99|500");
}

TEST(CalibrationGrid, ProfileChecksInTheirOrder) {
  CalibrationGrid grid;
  grid.SetMeasurementType("Percentage", true);
  grid.ChooseDepth(0, 30);
  grid.ChooseDepth(1, 40);
  Type(grid, 0, kOffsetColumn, "20000");
  Type(grid, 1, kOffsetColumn, "20001");
  EXPECT_EQ(Validate(grid), "Invalid Offset value for the sensor at profile depth 40.|");
  Type(grid, 1, kOffsetColumn, "900");
  grid.MutableRow(0).cells[kFieldCapColumn] = "101";
  EXPECT_EQ(Validate(grid), "Invalid field capacity at profile depth 30.|Invalid Field Capacity");
  grid.MutableRow(0).cells[kFieldCapColumn] = "50";
  grid.MutableRow(0).cells[kRefillColumn] = "50";
  EXPECT_EQ(Validate(grid),
            "The field capacity value at profile depth 30\r\nshould be greater than the refill "
            "point.|Invalid Field Capacity");
  grid.MutableRow(0).cells[kFieldCapColumn] = "50.6";  // compared as 51
  EXPECT_EQ(Validate(grid), "");
  grid.MutableRow(0).cells[kFieldCapColumn] = "100";
  grid.MutableRow(1).cells[kRefillColumn] = "0";
  EXPECT_EQ(Validate(grid), "Invalid refill point at profile depth 40.|Invalid Field Capacity");
  grid.MutableRow(1).cells[kRefillColumn] = "60";
  grid.MutableRow(1).cells[kSlopeColumn] = "";
  EXPECT_EQ(Validate(grid), "Invalid slope value for the sensor at profile depth 40.|");
  // An "OFF" row holding nothing is not checked.
  grid.Click(1, kOnOffColumn, false);
  EXPECT_EQ(grid.Row(1).cells[kOnOffColumn], "OFF");
  EXPECT_EQ(Validate(grid), "");
  // An "ON" row without a depth names its row.
  grid.MutableRow(2).cells[kOnOffColumn] = "ON";
  EXPECT_EQ(Validate(grid), "Select the profile depth 3.|");
}

TEST(CalibrationGrid, TypingRulesOfTheCells) {
  CalibrationGrid grid;
  bool replace = false;
  EXPECT_FALSE(grid.Type(0, kOffsetColumn, '5', replace));  // a disabled row takes no key
  grid.ChooseDepth(0, 10);
  Type(grid, 0, kOffsetColumn, "123");
  grid.Type(0, kOffsetColumn, '.', replace);
  EXPECT_EQ(grid.Row(0).cells[kOffsetColumn], "12");
  Type(grid, 0, kOffsetColumn, "1234567");
  EXPECT_EQ(grid.Row(0).cells[kOffsetColumn], "12345");
  Type(grid, 0, kOffsetColumn, "-7a");
  EXPECT_EQ(grid.Row(0).cells[kOffsetColumn], "7");
  Type(grid, 0, kSoilTypeColumn, "Sandy -Loam2");
  EXPECT_EQ(grid.Row(0).cells[kSoilTypeColumn], "SANDY LOAM");
  Type(grid, 0, kSoilTypeColumn, "abcdefghijklmnop");
  EXPECT_EQ(grid.Row(0).cells[kSoilTypeColumn], "ABCDEFGHIJKLMNO");
  EXPECT_FALSE(grid.Type(0, kOnOffColumn, 'O', replace));
  EXPECT_FALSE(grid.calibrationEdited);
  Type(grid, 0, kRefillColumn, "55");
  EXPECT_TRUE(grid.calibrationEdited);
  // A disabled row cannot be switched on.
  grid.Click(3, kOnOffColumn, false);
  EXPECT_EQ(grid.Row(3).cells[kOnOffColumn], "OFF");
  EXPECT_EQ(grid.Click(0, kSlopeColumn, false), "Hint: Enter each profile details.");
}

}  // namespace
}  // namespace pelvaro::testing
