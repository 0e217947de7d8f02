// What a person does in the site window, shared by the windows that open it.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QRadioButton>
#include <QTableWidget>

#include "core/site/SiteForm.h"
#include "ui/PersonDriver.h"

namespace pelvaro::testing {

// Keys typed into a grid cell entered from another cell.
inline void TypeInto(QTableWidget* grid, int row, int column, const QString& keys) {
  grid->setCurrentCell(row, column == 0 ? 1 : 0);
  grid->setCurrentCell(row, column);
  QTest::keyClicks(grid, keys);
}

inline void Choose(QComboBox* list, const QString& item) {
  list->setCurrentIndex(list->findText(item));
  emit list->activated(list->currentIndex());
}

// A new site NORTH_07 with one sensor at 30 cm, typed as a person does.
inline void FillNewSite(QDialog& window) {
  auto* details = Child<QTableWidget>(window, "FgDetails");
  TypeInto(details, kSiteNameRow, 1, "north");
  TypeInto(details, kSiteNumberRow, 1, "7");
  TypeInto(details, kSerialNumberRow, 1, "3001");
  Click(Child<QRadioButton>(window, "optSiteName"), QPoint(8, 8));
  Choose(Child<QComboBox>(window, "cmbMeasurementType"), "Percentage");
  Choose(Child<QComboBox>(window, "ComboProfile1"), "30");
  TypeInto(Child<QTableWidget>(window, "FgCalibration"), 0, kOffsetColumn, "1000");
}

}  // namespace pelvaro::testing
