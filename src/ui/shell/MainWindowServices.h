#pragma once

#include "core/link/LinkDialogs.h"
#include "core/link/PortMap.h"
#include "core/platform/Clock.h"
#include "core/platform/Prompter.h"
#include "core/platform/SerialPort.h"

namespace pelvaro {

// What the main window works with beyond its widgets: the seams.
struct MainWindowServices {
  Prompter& prompter;
  SerialPort& port;
  Clock& clock;
  PortFinder& finder;
  LinkDialogs& dialogs;
};

}  // namespace pelvaro
