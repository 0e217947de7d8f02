#include <QApplication>
#include <QDir>

#include "core/shell/Startup.h"
#include "ui/link/LinkWindows.h"
#include "ui/platform/QtClock.h"
#include "ui/platform/QtPrompter.h"
#include "ui/platform/QtSerialPort.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/WindowOpener.h"

int main(int argc, char** argv) {
  using namespace pelvaro;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(kAppName));

  const QString programFolder = QCoreApplication::applicationDirPath();
  // The seed of a new working root is installed beside the program.
  const QString installedData = QDir(programFolder).filePath("../share/pelvaro");
  const auto env =
      StartupEnvironment::FromProcess(programFolder.toStdString(), installedData.toStdString());
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
  return app.exec();
}
