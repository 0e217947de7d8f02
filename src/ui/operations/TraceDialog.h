#pragma once

#include <QComboBox>
#include <QDialog>

namespace pelvaro {

// "Probe Trace Mode": how many sensors to trace, 1 to 5.
class TraceSensorsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TraceSensorsDialog(QWidget* parent = nullptr);
  // The chosen number after OK, 0 after Cancel.
  int SensorCount() const { return count_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnOk();
  QComboBox* comboSensors_;
  int count_ = 0;
};

}  // namespace pelvaro
