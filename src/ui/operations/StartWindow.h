#pragma once

#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimeEdit>
#include <QTimer>

#include "core/link/LinkDialogs.h"
#include "core/operations/StartLogger.h"

namespace pelvaro {

// "Start Velmora Data Logger": widgets over a StartWindowModel.
class StartWindow : public QDialog {
  Q_OBJECT

 public:
  StartWindow(const Files& files, Prompter& prompter, SerialPort& port, Clock& clock,
              LinkDialogs& dialogs, QWidget* parent = nullptr);
  StartWindowModel& Model() { return model_; }
  bool Started() const { return started_; }
  // Cancel, Esc and the title bar's close. While the logger is being started
  // the window closes when the exchange has ended, as it does anyway.
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Build();
  void BuildSiteList();
  QLayout* BuildPickers();
  QLayout* BuildButtons();
  void OnSiteClicked(int row);
  void OnTimer();
  void OnStart();
  // Everything from the model.
  void Render();
  // The start date and time pickers. The clock passes over a field the user
  // is in, so a timer never undoes typing.
  void ShowStart(bool byTimer);
  void ShowClock();
  void FitSiteList();
  DateTime Now() { return clock_.WallClock(); }

  StartWindowModel model_;
  Prompter& prompter_;
  SerialPort& port_;
  Clock& clock_;
  LinkDialogs& dialogs_;
  bool started_ = false;
  bool running_ = false;
  bool closeAsked_ = false;
  int rowAtPress_ = -1;
  QListWidget* keyFileBox_ = nullptr;
  QTableWidget* siteGrid_ = nullptr;
  QTableWidget* settingsGrid_ = nullptr;
  QComboBox* modeChoice_ = nullptr;
  QDateEdit* dtStartDate_ = nullptr;
  QTimeEdit* dtStartTime_ = nullptr;
  QTimeEdit* dtScanTime_ = nullptr;
  QLabel* dateDisp_ = nullptr;
  QLabel* timeDisp_ = nullptr;
  QTimer* timerDisp_ = nullptr;
  QStatusBar* status_ = nullptr;
  QLabel* hint_ = nullptr;
  QTextEdit* picCommInfo_ = nullptr;
};

}  // namespace pelvaro
