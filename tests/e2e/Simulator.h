// pelvaro-sim on a pseudo-terminal for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

namespace pelvaro::testing {

class Simulator {
 public:
  // Starts the simulator with the options given; Pty() is then the device to open.
  void Start(const QStringList& options = {"--fast"}) {
    process_.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-sim"), options);
    ASSERT_TRUE(process_.waitForStarted(10000));
    ASSERT_TRUE(process_.waitForReadyRead(10000));
    pty_ = QString::fromUtf8(process_.readLine()).trimmed();
    ASSERT_TRUE(pty_.startsWith("/")) << pty_.toStdString();
  }
  ~Simulator() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  const QString& Pty() const { return pty_; }
  // What the simulator reports on its standard output.
  QProcess& Process() { return process_; }

 private:
  QProcess process_;
  QString pty_;
};

}  // namespace pelvaro::testing
