#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>

#include "core/site/SiteForm.h"

namespace pelvaro {

// "CREATE OR EDIT SITE": the widgets over a SiteForm, which holds every rule.
class SiteWindow : public QDialog {
  Q_OBJECT

 public:
  SiteWindow(const Files& files, Prompter& prompter, bool createFlag, QWidget* parent = nullptr);
  SiteForm& Form() { return form_; }
  bool Saved() const { return form_.Saved(); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  QVBoxLayout* BuildDetails();
  QVBoxLayout* BuildDirectories();
  void BuildCalibration(QVBoxLayout* layout);
  void BuildButtonsAndStatus(QVBoxLayout* layout);
  void Render();
  void RenderCalibration();
  void RenderDirectories();
  void PlaceDepthLists();
  void OnOk();
  static int KeyCode(const QKeyEvent* event);

  SiteForm form_;
  QTableWidget* details_ = nullptr;
  QRadioButton* bySiteName_ = nullptr;
  QRadioButton* bySerialNumber_ = nullptr;
  QTableWidget* calibration_ = nullptr;
  std::array<QComboBox*, kSensorRows> profiles_{};
  QWidget* depthColumn_ = nullptr;
  QLabel* depthLabel_ = nullptr;
  QComboBox* measurementType_ = nullptr;
  QTableWidget* directories_ = nullptr;
  QPushButton* removeDirectory_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QStatusBar* status_ = nullptr;
  bool rendering_ = false;
};

}  // namespace pelvaro
