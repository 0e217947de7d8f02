#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <optional>

#include "core/link/LinkDialogs.h"

namespace pelvaro {

// "Velmora Port": the port list shown when the USB cable cannot be found.
class PortListDialog : public QDialog {
  Q_OBJECT
 public:
  PortListDialog(Prompter& prompter, QWidget* parent = nullptr);
  std::optional<int> Chosen() const { return chosen_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnOk();
  Prompter& prompter_;
  QComboBox* portList_;
  std::optional<int> chosen_;
};

// "Velmora": the logger did not answer.
class NotRespondingDialog : public QDialog {
  Q_OBJECT
 public:
  explicit NotRespondingDialog(QWidget* parent = nullptr);
  bool HelpRequested() const { return help_; }

 private:
  bool help_ = false;
};

// "Velmora Help": what to check when the logger does not answer.
class HelpWindow : public QDialog {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

 private:
  QTextEdit* text_;
  QLabel* link_;
};

inline constexpr char kHelpText[] =
    "This message is due to the following reasons:\r\n"
    "1. The recorder is not interfaced properly with the computer.So check the cable "
    "connection.\r\n\r\n"
    "2. Low Battery voltage.Measure the battery voltage and confirm that it is above 6.5 "
    "volts.\r\n\r\n"
    "3. Reset the recorder.Unscrew any of the two screws on the top of the fibre glass disk "
    "completely out from the screw socket and screw it back to the original position.";

// The three windows as the link's dialogs, over a parent window.
class QtLinkDialogs : public LinkDialogs {
 public:
  QtLinkDialogs(Prompter& prompter, QWidget* parent = nullptr)
      : prompter_(prompter), parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }
  bool NotResponding() override;
  void Help() override;
  std::optional<int> ChoosePort() override;

 private:
  Prompter& prompter_;
  QWidget* parent_;
};

}  // namespace pelvaro
