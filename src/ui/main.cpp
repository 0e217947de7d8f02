#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QTimer>
#include <iostream>
#include <string_view>

#include "core/shell/Startup.h"
#include "ui/link/LinkWindows.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtPrompter.h"
#include "ui/platform/QtSerialPort.h"
#include "ui/platform/QtText.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/WindowOpener.h"

namespace {

constexpr char kHelp[] =
    R"(Usage: pelvaro [--quit-after-start] [Qt options such as -platform NAME]
       pelvaro --help | --version
Manages a soil-moisture data logger: its sites and their calibration, logger
start and download over the serial line, graphs, corrections and export.

The working root is "Pelvaro Data" in $USERPROFILE, else in $HOME. A new one
is seeded from $ProgramFiles/TVMKVelmora when that is set, else from
share/pelvaro beside the program, which holds the sample site.

  --quit-after-start  set up the working root, show the main window and end
                      (checks an installation without a person at the screen)
  --help              show this text
  --version           show the version
)";

bool HasWord(int argc, char** argv, std::string_view word) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == word) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pelvaro;
  // Answered before a display is needed, so they work over a plain shell.
  if (HasWord(argc, argv, "--help")) {
    std::cout << kHelp;
    return 0;
  }
  if (HasWord(argc, argv, "--version")) {
    std::cout << "pelvaro " << kVersion << "\n";
    return 0;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppName));
  QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
  // Ties the windows to the installed menu entry and its icon.
  QGuiApplication::setDesktopFileName("pelvaro");
  QApplication::setWindowIcon(QIcon::fromTheme("pelvaro"));

  const QString programFolder = QCoreApplication::applicationDirPath();
  // The seed of a new working root is installed beside the program.
  const QString installedData = QDir(programFolder).filePath("../share/pelvaro");
  const auto env = StartupEnvironment::FromProcess(ToPath(programFolder), ToPath(installedData));
  QtPrompter prompter;
  QtClock clock;
  QtSerialPort port;
  DevicePortFinder finder(ListSerialDevices);
  QtLinkDialogs dialogs(prompter);
  MainWindow window({prompter, port, clock, finder, dialogs});
  prompter.SetParent(&window);
  dialogs.SetParent(&window);
  WindowOpener opener(window, prompter);
  window.SetWindowOpener([&opener](NextWindow next) { opener.Open(next); });
  window.Load(env);
  window.show();
  if (HasWord(argc, argv, "--quit-after-start")) {
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
  }
  return app.exec();
}
