#pragma once

#include <QObject>
#include <QTableWidget>
#include <functional>

#include "core/graph/GraphModel.h"

namespace pelvaro {

// The graph window's calibration grid: one row per enabled sensor, typed
// into key by key through the model's calibration table. A key that saved
// (or reloaded a changed header) redraws through `drawingChanged`.
class CalibrationTableGrid : public QObject {
  Q_OBJECT

 public:
  CalibrationTableGrid(GraphModel& model, std::function<void()> drawingChanged, QWidget* parent);

  QTableWidget* Widget() const { return grid_; }
  // Rows and headings for the loaded table; the grid is hidden until then.
  void SetUp();
  // The cells' texts and colours as the table has them.
  void Render();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  GraphModel& model_;
  std::function<void()> drawingChanged_;
  QTableWidget* grid_ = nullptr;
};

}  // namespace pelvaro
