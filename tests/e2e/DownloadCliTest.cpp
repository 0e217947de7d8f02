// pelvaro-cli download over a pseudo-terminal from pelvaro-sim.
#include <gtest/gtest.h>

#include <QProcess>

#include "core/storage/BlockStore.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro {
namespace {

using testing::ReadBytes;
using testing::SiteBuilder;
using testing::TempRoot;

TEST(DownloadCli, StoredBlockEqualsTheLoggersMemory) {
  // The logger's memory: a block written elsewhere, loaded into the simulator.
  TempRoot source;
  const Files sourceFiles(source.Path());
  SiteBuilder logger(sourceFiles, "LOGGER_01");
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 1200; ++i) words.push_back(static_cast<std::uint16_t>(2900 + (i * 37) % 500));
  logger.Block(1, {11300, 36000, 900, 4, words});
  const fs::path stem = source.Path() / "TVMKDATA" / "LOGGER_01_001";

  QProcess sim;
  sim.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-sim"),
            {"--fast", "--memory", QString::fromStdString(stem.string())});
  ASSERT_TRUE(sim.waitForStarted(10000));
  ASSERT_TRUE(sim.waitForReadyRead(10000));
  const QString pty = QString::fromUtf8(sim.readLine()).trimmed();

  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "FARM_01");
  site.Header(testing::LoggerSensors(4), 0);
  site.Logger(3001, 4);
  QProcess cli;
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"),
            {"--root", QString::fromStdString(root.Path().string()), "download", "FARM_01",
             "--device", pty});
  ASSERT_TRUE(cli.waitForFinished(60000));
  const std::string out = cli.readAllStandardOutput().toStdString();
  EXPECT_EQ(cli.exitCode(), 0) << out << cli.readAllStandardError().toStdString();
  EXPECT_NE(out.find("       Number of Bytes:  2400\n"), std::string::npos) << out;
  sim.kill();
  sim.waitForFinished(5000);

  const fs::path stored = root.Path() / "TVMKDATA" / "FARM_01_001";
  EXPECT_TRUE(ReadBytes(fs::path(stored) += ".DAT") == ReadBytes(fs::path(stem) += ".DAT"));
  EXPECT_EQ(ReadBlockHeader(fs::path(stored) += ".KEY").run.b,
            ReadBlockHeader(fs::path(stem) += ".KEY").run.b);
  EXPECT_GE(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01.BGF"), 500u);

  // The stored block, exported headless.
  QProcess csv;
  const fs::path exported = root.Path() / "block1.csv";
  csv.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"),
            {"--root", QString::fromStdString(root.Path().string()), "export-csv", "FARM_01", "1",
             QString::fromStdString(exported.string())});
  ASSERT_TRUE(csv.waitForFinished(20000));
  EXPECT_EQ(csv.exitCode(), 0) << csv.readAllStandardError().toStdString();
  EXPECT_EQ(ReadBytes(exported).substr(0, 13), "Site Name:   ");
}

TEST(DownloadCli, NoPortOrNoLoggerIsAFailure) {
  TempRoot root;
  const QString r = QString::fromStdString(root.Path().string());
  QProcess cli;
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"), {"--root", r, "download", "X_01"});
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.exitCode(), 2);
  cli.start(QStringLiteral(PELVARO_BIN_DIR "/pelvaro-cli"),
            {"--root", r, "download", "X_01", "--device", "/nonexistent/tty"});
  ASSERT_TRUE(cli.waitForFinished(10000));
  EXPECT_EQ(cli.exitCode(), 1);
  EXPECT_NE(cli.readAllStandardError().indexOf("Selected port does not exist"), -1);
}

}  // namespace
}  // namespace pelvaro
