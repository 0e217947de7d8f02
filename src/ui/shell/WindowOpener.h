#pragma once

#include "core/platform/Prompter.h"
#include "core/shell/MainMenu.h"

namespace pelvaro {

class MainWindow;

// Opens, modally, the window an operation of the main window asked for, and
// brings the main window up to date when it closes.
class WindowOpener {
 public:
  WindowOpener(MainWindow& main, Prompter& prompter) : main_(main), prompter_(prompter) {}
  void Open(NextWindow window);

 private:
  MainWindow& main_;
  Prompter& prompter_;
};

}  // namespace pelvaro
