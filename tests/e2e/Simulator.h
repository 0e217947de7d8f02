// The real programs: pelvaro-sim on a pseudo-terminal, pelvaro-cli run to its end.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <filesystem>
#include <string>

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

struct CliResult {
  int exitCode;
  std::string out;
  std::string err;
};

// pelvaro-cli on a working root (none: the program's own choice).
inline void StartCli(QProcess& cli, const std::filesystem::path& root, const QStringList& args) {
  cli.start(
      QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"),
      root.empty() ? args : QStringList{"--root", QString::fromStdString(root.string())} + args);
}

inline CliResult RunCli(const std::filesystem::path& root, const QStringList& args) {
  QProcess cli;
  StartCli(cli, root, args);
  EXPECT_TRUE(cli.waitForFinished(60000));
  return {cli.exitCode(), cli.readAllStandardOutput().toStdString(),
          cli.readAllStandardError().toStdString()};
}

// pelvaro-cli run to a successful end, or what it reported.
inline CliResult RunCliOk(const std::filesystem::path& root, const QStringList& args) {
  CliResult run = RunCli(root, args);
  EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString() << ": " << run.out << run.err;
  return run;
}

// pelvaro-cli refused: its exit code, and why on its standard error, where no name can carry a
// terminal's escape.
inline void ExpectCliRefuses(const std::filesystem::path& root, const QStringList& args,
                             int exitCode, const std::string& why) {
  const CliResult run = RunCli(root, args);
  const std::string command = args.join(' ').toStdString();
  EXPECT_EQ(run.exitCode, exitCode) << command;
  EXPECT_NE(run.err.find(why), std::string::npos) << command << ": " << run.err;
  EXPECT_EQ(run.err.find('\x1b'), std::string::npos) << command;
}

}  // namespace pelvaro::testing
