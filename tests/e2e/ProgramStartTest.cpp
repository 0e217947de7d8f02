// The real program started as a user starts it, with an empty home folder.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include "support/TempRoot.h"

namespace {

using pelvaro::testing::ReadBytes;
using pelvaro::testing::TempRoot;

TEST(ProgramStart, FirstStartSetsUpTheWorkingRootAndKeepsRunning) {
  TempRoot home;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home.Path().string()));
  env.remove("USERPROFILE");
  env.remove("ProgramFiles");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(QString::fromStdString(home.Path().string()));
  program.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro"), {});
  ASSERT_TRUE(program.waitForStarted(10000));

  const auto root = home.Path() / "Pelvaro Data";
  const QString restart = QString::fromStdString((root / "START.DAT").string());
  // The program writes the restart file during its load; wait for it on events.
  EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(restart); }, 10000));
  EXPECT_TRUE(QDir(QString::fromStdString((root / "TVMKHEADER").string())).exists());
  EXPECT_TRUE(QDir(QString::fromStdString((root / "TVMKDATA").string())).exists());
  EXPECT_TRUE(QTest::qWaitFor([&] { return ReadBytes(root / "START.DAT") == "NO\r\n"; }, 5000));
  // Still running once its window is up: it ends only when it is closed.
  EXPECT_FALSE(program.waitForFinished(300));
  EXPECT_EQ(program.state(), QProcess::Running);
  program.terminate();
  program.waitForFinished(5000);
}

}  // namespace
