#include <QApplication>
#include <QDir>

#include "core/shell/Startup.h"
#include "ui/platform/QtPrompter.h"
#include "ui/shell/MainWindow.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(pelvaro::kAppName));

  const QString programFolder = QCoreApplication::applicationDirPath();
  // The seed of a new working root is installed beside the program.
  const QString installedData = QDir(programFolder).filePath("../share/pelvaro");
  const auto env = pelvaro::StartupEnvironment::FromProcess(programFolder.toStdString(),
                                                            installedData.toStdString());
  pelvaro::QtPrompter prompter;
  pelvaro::MainWindow window(prompter);
  prompter.SetParent(&window);
  window.Load(env);
  window.show();
  return app.exec();
}
