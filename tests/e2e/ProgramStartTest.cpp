// The real programs, started as a user starts them.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include "core/storage/NumberText.h"
#include "e2e/Simulator.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

const fs::path kBin = PELVARO_BIN_DIR;
const fs::path kSample = kBin / ".." / "share" / "pelvaro-sample";
const fs::path kSeed = kBin / ".." / "share" / "pelvaro";
const std::string kSite = "SAMPLE SITE_01";

// The summary file is complete once its closing record names the last record.
bool SummaryComplete(const fs::path& pct) {
  const std::string bytes = ReadBytes(pct);
  return bytes.size() > 13 * 20 && ParseLeadingNumber(bytes.substr(12 * 20, 20)) > 19;
}

// pelvaro-cli on a working root, or on none for what needs none.
CliResult RunCli(const QStringList& args, const TempRoot* root = nullptr) {
  return testing::RunCli(root ? root->Path() : fs::path(), args);
}

TEST(ProgramStart, FirstStartInstallsConvertsAndKeepsRunning) {
  // The sample in the current folder as installed; the install folder holds state files only.
  TempRoot home;
  const fs::path cwd = home.Path() / "install";
  fs::create_directories(cwd);
  for (const auto& entry : fs::directory_iterator(kSample)) {
    if (entry.is_regular_file()) fs::copy_file(entry.path(), cwd / entry.path().filename());
  }
  const fs::path install = home.Path() / "Program Files" / "TVMKVelmora";
  fs::create_directories(install);
  for (const char* name : {"Sitesel.dat", "START.DAT"}) fs::copy_file(kSeed / name, install / name);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("HOME", QString::fromStdString(home.Path().string()));
  env.remove("USERPROFILE");
  env.insert("ProgramFiles", QString::fromStdString(install.parent_path().string()));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess program;
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(QString::fromStdString(cwd.string()));
  program.start(QString::fromStdString((kBin / "pelvaro").string()), {});
  ASSERT_TRUE(program.waitForStarted(10000));

  const fs::path root = home.Path() / "Pelvaro Data";
  const fs::path pct = root / "TVMKDATA" / (kSite + ".Pct");
  EXPECT_TRUE(QTest::qWaitFor([&] { return SummaryComplete(pct); }, 30000));
  EXPECT_EQ(ReadBytes(root / "START.DAT"), "NO\r\n");
  EXPECT_TRUE(fs::is_directory(root / "TVMKHEADER"));
  EXPECT_EQ(ReadBytes(root / "Sitesel.dat"), kSite + "\r\nTVMKDATA\r\n");
  EXPECT_TRUE(fs::exists(root / "TVMKHEADER" / (kSite + ".key")));
  EXPECT_GE(fs::file_size(root / "TVMKDATA" / (kSite + ".bgf")), 500u);
  EXPECT_TRUE(fs::exists(root / "TVMKDATA" / (kSite + "_003.DAT")));
  EXPECT_FALSE(fs::exists(cwd / (kSite + ".key")));  // moved, from the copy only
  EXPECT_TRUE(fs::exists(kSample / (kSite + ".key")));
  // Still running with its window up: it ends only when it is closed.
  EXPECT_FALSE(program.waitForFinished(300));
  EXPECT_EQ(program.state(), QProcess::Running);
  program.terminate();
  program.waitForFinished(5000);

  // The command line converts the same blocks into the same bytes.
  TempRoot other;
  InstallSample(kSample, Files(other.Path()));
  fs::remove(other.Path() / "TVMKDATA" / (kSite + ".bgf"));
  const CliResult run = RunCli({"convert", QString::fromStdString(kSite)}, &other);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  // Compared whole, without printing megabytes on a difference.
  const std::string graph = ReadBytes(root / "TVMKDATA" / (kSite + ".bgf"));
  EXPECT_TRUE(ReadBytes(other.Path() / "TVMKDATA" / (kSite + ".BGF")) == graph);
  EXPECT_TRUE(ReadBytes(other.Path() / "TVMKDATA" / (kSite + ".Pct")) == ReadBytes(pct));
  EXPECT_EQ(RunCli({"sites"}, &other).out, kSite + "\n");
}

TEST(CommandLine, StatusExportFailuresAndMisuse) {
  // The sample, converted from its blocks.
  TempRoot root;
  InstallSample(kSample, Files(root.Path()));
  const QString site = QString::fromStdString(kSite);
  ASSERT_EQ(RunCli({"convert", site}, &root).exitCode, 0);
  const auto tree = [&root] {
    std::vector<std::tuple<fs::path, std::uintmax_t, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(root.Path())) {
      files.emplace_back(e.path(), e.is_regular_file() ? e.file_size() : 0, e.last_write_time());
    }
    std::sort(files.begin(), files.end());
    return files;
  };
  const auto before = tree();

  const CliResult json = RunCli({"status", "--json"}, &root);
  EXPECT_EQ(json.exitCode, 0) << json.err;
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out));
  ASSERT_TRUE(doc.isArray()) << json.out;
  ASSERT_EQ(doc.array().size(), 1);
  // The sample's season reaches the outlook: mornings of 31 Oct to 2 Nov
  // fall 12.636, 11.884, 5.147.
  const QJsonObject o = doc.array().at(0).toObject();
  EXPECT_EQ(o.keys().size(), 16);
  EXPECT_EQ(o["site"].toString(), site);
  EXPECT_EQ(o["last_scan"].toString(), "2026-11-02T12:45:00");
  EXPECT_EQ(o["root_zone_depths_cm"].toArray(), (QJsonArray{10, 20, 40}));  // 500 mm root zone
  EXPECT_DOUBLE_EQ(o["total"].toDouble(), 272.25);
  EXPECT_NEAR(o["daily_use"].toDouble(), 29.667 / 3, 1e-12);
  EXPECT_EQ(o["refill_date"].toString(), "2026-11-11");
  EXPECT_EQ(o["faults"].toArray(), QJsonArray());

  const CliResult text = RunCli({"status", site}, &root);
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_NE(text.out.find("  Outlook:        refill in 9.3 days, about 11-11-2026\n"),
            std::string::npos)
      << text.out;
  EXPECT_TRUE(tree() == before) << "status wrote into the working root";

  const CliResult missing = RunCli({"status", "NONE_01", "--json"}, &root);
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("NONE_01 has no header file"), std::string::npos);

  const fs::path out = root.Path() / "season.csv";
  const QString to = QString::fromStdString(out.string());
  const CliResult run =
      RunCli({"export", site, to, "--from", "2026-11-01", "--to", "2026-11-02"}, &root);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const std::string csv = ReadBytes(out);
  const std::string head =
      "time,10cm,20cm,40cm,60cm,80cm,root_zone_total\r\n"
      "2026-11-01T00:00:00,85.58,80.00,78.50,81.42,98.00,244.08\r\n"
      "2026-11-01T00:15:00,";
  EXPECT_EQ(csv.substr(0, head.size()), head);
  EXPECT_TRUE(csv.ends_with("\n2026-11-02T12:45:00,99.58,89.25,83.42,79.08,96.83,272.25\r\n"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'),
            1 + 96 + 52);  // two days, the last one cut short

  // Refused before anything is written: the export of before stays.
  const std::pair<QStringList, const char*> refused[] = {
      {{site, to, "--from", "2026-11-02", "--to", "2026-11-01"}, "is later than --to"},
      {{site, to, "--to", "1-11-2026"}, "--to takes a date as YYYY-MM-DD"},
      {{site, to, "--from", "2026-02-29"}, "--from takes a date as YYYY-MM-DD"},
      {{site, to, "--format", "xlsx"}, "--format takes csv or json"},
      {{"NONE_01", to}, "NONE_01 has no header file"},
  };
  for (const auto& [args, why] : refused) {
    const CliResult no = RunCli(QStringList{"export"} + args, &root);
    EXPECT_EQ(no.exitCode, 1) << why;
    EXPECT_NE(no.err.find(why), std::string::npos) << no.err;
    EXPECT_EQ(ReadBytes(out), csv) << why;
  }

  // Failures and misuse.
  const CliResult none = RunCli({"convert", "NONE_01"}, &root);
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_NE(none.err.find("NONE_01"), std::string::npos);
  // A block without a sensor count needs --sensors to answer the question.
  Files files(root.Path());
  SiteBuilder site(files, "ASK_01");
  site.Header({{1, 1000, 100, 40, 20}}, 1);
  site.Block(1, {100, 0, 900, 0, {700, 690}});
  const CliResult unanswered = RunCli({"convert", "ASK_01"}, &root);
  EXPECT_EQ(unanswered.exitCode, 1);
  EXPECT_NE(
      unanswered.err.find("This file has caused a calibration error and will not be processed."),
      std::string::npos);
  EXPECT_EQ(RunCli({"convert", "ASK_01", "--sensors", "1"}, &root).exitCode, 0);
  EXPECT_TRUE(fs::exists(root.Path() / "TVMKDATA" / "ASK_01.BGF"));
  for (const QStringList& misuse :
       {QStringList{"convert"}, {"frobnicate"}, {"convert", "../up_01"}, {"status", "../up_01"}}) {
    EXPECT_EQ(RunCli(misuse, &root).exitCode, 2) << misuse.join(' ').toStdString();
  }
  const CliResult help = RunCli({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* command : {"sites", "convert", "--sensors", "--dir", "--root"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
}

}  // namespace
}  // namespace pelvaro::testing
