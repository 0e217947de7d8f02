// The real programs, started as a user starts them; the logger's commands over a pseudo-terminal
// from pelvaro-sim, and port errors.
#include <gtest/gtest.h>

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <cstdlib>

#include "core/storage/BlockStore.h"
#include "core/storage/DayNumbers.h"
#include "core/storage/NumberText.h"
#include "e2e/Simulator.h"
#include "support/Environment.h"
#include "support/SampleSites.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"
#include "ui/platform/QtSerialPort.h"

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

TEST(ProgramStart, FirstStartInstallsConvertsKeepsRunningAndTheCommandLineReadsItsRoot) {
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
  EXPECT_EQ(ReadBytes(root / "Sitesel.dat"), kSite + "\r\nTVMKDATA\r\n");
  EXPECT_TRUE(fs::exists(root / "TVMKHEADER" / (kSite + ".key")));
  EXPECT_TRUE(fs::exists(root / "TVMKDATA" / (kSite + "_003.DAT")));
  EXPECT_FALSE(fs::exists(cwd / (kSite + ".key")));  // moved, from the copy only
  EXPECT_TRUE(fs::exists(kSample / (kSite + ".key")));
  // Still running with its window up: it ends only when it is closed.
  EXPECT_FALSE(program.waitForFinished(300));
  EXPECT_EQ(program.state(), QProcess::Running);
  program.terminate();
  program.waitForFinished(5000);

  // The command line converts the same blocks into the same bytes, then reads that root.
  const std::string graph = ReadBytes(root / "TVMKDATA" / (kSite + ".bgf"));
  const std::string summary = ReadBytes(pct);
  fs::remove(root / "TVMKDATA" / (kSite + ".bgf"));
  const QString site = QString::fromStdString(kSite);
  RunCliOk(root, {"convert", site});
  // Compared whole, without printing megabytes on a difference.
  EXPECT_TRUE(ReadBytes(root / "TVMKDATA" / (kSite + ".BGF")) == graph);
  EXPECT_TRUE(ReadBytes(pct) == summary);

  const auto tree = [&root] {
    std::vector<std::tuple<fs::path, std::uintmax_t, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
      files.emplace_back(e.path(), e.is_regular_file() ? e.file_size() : 0, e.last_write_time());
    }
    std::sort(files.begin(), files.end());
    return files;
  };
  const auto before = tree();

  const CliResult json = RunCliOk(root, {"status", "--json"});
  const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(json.out));
  ASSERT_TRUE(doc.isArray()) << json.out;
  ASSERT_EQ(doc.array().size(), 1);
  // The sample's season reaches the outlook (the window tests hold its figures, the report's
  // tests every key's form).
  const QJsonObject o = doc.array().at(0).toObject();
  EXPECT_EQ(QStringList({QString::number(o.keys().size()), o["site"].toString(),
                         o["last_scan"].toString(), o["refill_date"].toString()})
                .join('|')
                .toStdString(),
            "17|SAMPLE SITE_01|2026-11-02T12:45:00|2026-11-11");

  // The text shows the JSON's figures: (272.25 - 180) / 9.889 = 9.33 days.
  EXPECT_NE(json.out.find("\"daily_use\": 9.889,"), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"days_to_refill\": 9.33,"), std::string::npos) << json.out;
  const CliResult text = RunCliOk(root, {"status", site});
  EXPECT_NE(text.out.find("  Daily use:      9.889 %/day over 3 dry days\n"
                          "  Outlook:        refill in 9.33 days, about 11-11-2026\n"),
            std::string::npos)
      << text.out;
  EXPECT_TRUE(tree() == before) << "status wrote into the working root";

  const fs::path out = root / "season.csv";
  const QString to = QString::fromStdString(out.string());
  RunCliOk(root, {"export", site, to, "--from", "2026-11-01", "--to", "2026-11-02"});
  const std::string csv = ReadBytes(out);
  const std::string head =
      "time,10cm,20cm,40cm,60cm,80cm,root_zone_total\r\n"
      "2026-11-01T00:00:00,85.58,80.00,78.50,81.42,98.00,244.08\r\n"
      "2026-11-01T00:15:00,";
  EXPECT_EQ(csv.substr(0, head.size()), head);
  EXPECT_TRUE(csv.ends_with("\n2026-11-02T12:45:00,99.58,89.25,83.42,79.08,96.83,272.25\r\n"));
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'),
            1 + 96 + 52);  // two days, the last one cut short

  // Failures say why; an export refused writes nothing, so the export of before stays. A block
  // without a sensor count needs --sensors to answer the question.
  Files files(root);
  SiteBuilder ask(files, "ASK_01");
  ask.Header({{1, 1000, 100, 40, 20}}, 1);
  ask.Block(1, {100, 0, 900, 0, {700, 690}});
  const auto refused = [&](const QStringList& args, const char* why, int exitCode = 1) {
    ExpectCliRefuses(root, args, exitCode, why);
    EXPECT_EQ(ReadBytes(out), csv) << why;
  };
  refused({"export", site, to, "--from", "2026-11-02", "--to", "2026-11-01"}, "is later than --to");
  refused({"export", site, to, "--to", "1-11-2026"}, "--to takes a date as YYYY-MM-DD");
  refused({"export", site, to, "--from", "2026-02-29"}, "--from takes a date as YYYY-MM-DD");
  refused({"export", site, to, "--format", "xlsx"}, "--format takes csv or json");
  refused({"export", "NONE_01", to}, "NONE_01 has no header file");
  refused({"status", "NONE_01", "--json"}, "NONE_01 has no header file");
  refused({"convert", "NONE_01"}, "NONE_01 has no header file");
  refused({"convert", "ASK_01"},
          "This file has caused a calibration error and will not be processed.");
  for (const QStringList& misuse :
       {QStringList{"convert"}, {"frobnicate"}, {"convert", "../up_01"}, {"status", "../up_01"}}) {
    refused(misuse, "", 2);
  }
  RunCliOk(root, {"convert", "ASK_01", "--sensors", "1"});
  EXPECT_TRUE(fs::exists(root / "TVMKDATA" / "ASK_01.BGF"));
  const CliResult help = RunCliOk({}, {"--help"});
  for (const char* command : {"sites", "convert", "--sensors", "--dir", "--root"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
}

TEST(ExportCli, ConcurrentCsvAndJsonExportsToOneFileLeaveOneWholeExport) {
  // The sample twice, under two names: only the sites' sidecars and JSON tell them apart.
  TempRoot root;
  Files::CopyFolder(kSeed, root.Path());
  for (const char* folder : {"TVMKHEADER", "TVMKDATA"}) {
    for (const auto& entry : fs::directory_iterator(root.Path() / folder)) {
      std::string name = entry.path().filename().string();
      fs::copy_file(entry.path(),
                    entry.path().parent_path() / name.replace(name.find("_01"), 3, "_02"));
    }
  }
  const QString sites[2] = {"SAMPLE SITE_01", "SAMPLE SITE_02"};
  const fs::path out = root.Path() / "out" / "season.csv";
  fs::create_directories(out.parent_path());
  const QString to = QString::fromStdString(out.string());
  std::string csv;
  std::string meta[2];
  std::string json[2];
  for (int s = 0; s < 2; ++s) {
    RunCliOk(root.Path(), {"export", sites[s], to});
    csv = ReadBytes(out);
    meta[s] = ReadBytes(fs::path(out) += ".meta.json");
    RunCliOk(root.Path(), {"export", sites[s], to, "--format", "json"});
    json[s] = ReadBytes(out);
  }
  ASSERT_NE(meta[0], meta[1]);

  // Each round one site's CSV and the other's JSON race: whichever comes last holds the file,
  // and the sidecar is always the CSV's.
  constexpr int kRounds = 40;
  int mixed = 0;
  for (int round = 0; round < kRounds; ++round) {
    const int c = round % 2;
    QProcess table;
    QProcess whole;
    StartCli(table, root.Path(), {"export", sites[c], to});
    StartCli(whole, root.Path(), {"export", sites[1 - c], to, "--format", "json"});
    ASSERT_TRUE(table.waitForFinished(60000));
    ASSERT_TRUE(whole.waitForFinished(60000));
    EXPECT_EQ(table.exitCode(), 0) << table.readAllStandardError().toStdString();
    EXPECT_EQ(whole.exitCode(), 0) << whole.readAllStandardError().toStdString();
    const std::string now = ReadBytes(out);
    const bool complete =
        (now == csv || now == json[1 - c]) && ReadBytes(fs::path(out) += ".meta.json") == meta[c] &&
        std::distance(fs::directory_iterator(out.parent_path()), fs::directory_iterator()) == 2;
    if (!complete) ++mixed;
  }
  EXPECT_EQ(mixed, 0) << "of " << kRounds << " rounds left something else than one whole export";
}

// A root with a site stored under a Windows-1252 name, as the program has always stored it.
struct CafeRoot : TempRoot {
  CafeRoot() { SiteBuilder(Files(Path()), "Caf\xE9_02").Header(LoggerSensors(2), 0); }
};

TEST(CliNames, SitesPrintsAWindows1252NameInUtf8) {
  EXPECT_EQ(RunCliOk(CafeRoot().Path(), {"sites"}).out, "Caf\xC3\xA9_02\n");
}

TEST(CliNames, StatusFindsASiteTypedInUtf8) {
  const CliResult run =
      RunCliOk(CafeRoot().Path(), {"status", QString::fromUtf8("Caf\xC3\xA9_02")});
  EXPECT_TRUE(run.out.starts_with("Caf\xC3\xA9_02\n  Last scan:      none\n")) << run.out;
}

TEST(CliFailures, StatusTextGivesItsOwnReasonAndNoLoggerFallback) {
  const CliResult run = RunCli(CafeRoot().Path(), {"status", "NONE_01"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(run.out.starts_with("NONE_01\n  Error:          The site NONE_01 has no header file"))
      << run.out;
}

// The site of the simulator's default run, or of a run started with fewer sensors.
void FarmSite(const TempRoot& root, const std::string& id = "FARM_01", int sensors = 4) {
  const Files files(root.Path());
  SiteBuilder site(files, id);
  site.Header(LoggerSensors(sensors), 0);
  site.Logger(3001, sensors);
}

TEST(DownloadCli, StoredBlockEqualsTheLoggersMemoryFailuresSayWhy) {
  // The logger's memory: a block written elsewhere, loaded into the simulator.
  TempRoot source;
  std::vector<std::uint16_t> words;
  for (int i = 0; i < 1200; ++i) words.push_back(static_cast<std::uint16_t>(2900 + (i * 37) % 500));
  SiteBuilder(Files(source.Path()), "LOGGER_01").Block(1, {11300, 36000, 900, 4, words});
  const fs::path stem = source.Path() / "TVMKDATA" / "LOGGER_01_001";

  Simulator sim;
  sim.Start({"--fast", "--memory", QString::fromStdString(stem.string())});
  TempRoot root;
  FarmSite(root);
  const CliResult run = RunCliOk(root.Path(), {"download", "FARM_01", "--device", sim.Pty()});
  EXPECT_NE(run.out.find("       Number of Bytes:  2400\n"), std::string::npos) << run.out;

  const fs::path stored = root.Path() / "TVMKDATA" / "FARM_01_001";
  EXPECT_TRUE(ReadBytes(fs::path(stored) += ".DAT") == ReadBytes(fs::path(stem) += ".DAT"));
  EXPECT_EQ(ReadBlockHeader(fs::path(stored) += ".KEY").run.b,
            ReadBlockHeader(fs::path(stem) += ".KEY").run.b);
  EXPECT_GE(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01.BGF"), 500u);

  // The stored block, exported headless.
  const fs::path exported = root.Path() / "block1.csv";
  RunCliOk(root.Path(), {"export-csv", "FARM_01", "1", QString::fromStdString(exported.string())});
  EXPECT_EQ(ReadBytes(exported).substr(0, 13), "Site Name:   ");

  // Every failure says why, names are shown safely, and nothing more is stored.
  Simulator cut;
  cut.Start({"--fast", "--fault", "silent-after=101"});
  ExpectCliRefuses(root.Path(), {"download", "X_01"}, 2, "");
  ExpectCliRefuses(root.Path(), {"download", "X_01", "--device", "/nonexistent/tty"}, 1,
                   "Selected port does not exist with the system.\r\n\r\nCOM1 is /nonexistent/tty "
                   "on this computer.");
  ExpectCliRefuses(root.Path(), {"download", "FARM_01", "--device", cut.Pty()}, 1,
                   "The logger stopped answering after 101 of ");
  ExpectCliRefuses(root.Path(), {"download", "A\x1b[2JB_01", "--device", cut.Pty()}, 2,
                   "A\\x1B[2JB_01");
  EXPECT_EQ(BlockNumbersOnDisk(Files(root.Path()), "TVMKDATA", "FARM_01"), std::vector<int>{1});

  // The site list holds only what can identify a site.
  for (const char* name :
       {"GOOD_01.key", "3001_07.key", "..key", ".key", "A\nB_01.key", "noNumber.key", "X_0Z.key"}) {
    WriteBytes(root.Path() / "TVMKHEADER" / name, std::string(14208, ' '));
  }
  EXPECT_EQ(RunCliOk(root.Path(), {"sites"}).out, "3001_07\nFARM_01\nGOOD_01\n");
}

TEST(DownloadCli, TwoDownloadsIntoOneRootStoreEachRunOnce) {
  // Two loggers on two ports, one working root: a window and a scheduled download.
  TempRoot root;
  FarmSite(root);
  Simulator slow;  // at 4800 baud
  slow.Start({"--start", "06-12-2026 08:00:00", "--scans", "40"});
  Simulator fast;
  fast.Start({"--fast", "--start", "07-12-2026 08:00:00", "--scans", "30"});

  QProcess first;
  StartCli(first, root.Path(), {"download", "FARM_01", "--device", slow.Pty()});
  // The first holds the working root from before it wakes its logger.
  QByteArray said;
  while (!said.contains("Logger On Line") && first.waitForReadyRead(20000)) {
    said += first.readAllStandardOutput();
  }
  ASSERT_TRUE(said.contains("Logger On Line")) << said.toStdString();
  ExpectCliRefuses(root.Path(), {"download", "FARM_01", "--device", fast.Pty()}, 1,
                   "in use by another Pelvaro program");
  ASSERT_TRUE(first.waitForFinished(60000));
  EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();

  // The second logger still holds its run: read again, it is stored after the first.
  RunCliOk(root.Path(), {"download", "FARM_01", "--device", fast.Pty()});
  EXPECT_EQ(BlockNumbersOnDisk(Files(root.Path()), "TVMKDATA", "FARM_01"),
            (std::vector<int>{1, 2}));
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_001.DAT"), 40u * 4 * 2);
  EXPECT_EQ(fs::file_size(root.Path() / "TVMKDATA" / "FARM_01_002.DAT"), 30u * 4 * 2);
}

TEST(LoggerCommands, StartDownloadSerialTraceAndPortErrors) {
  Simulator sim;
  sim.Start();
  const QString pty = sim.Pty();
  TempRoot root;
  const Files files(root.Path());
  FarmSite(root, "FARM_07", 2);
  SiteHeader::Open(files, "FARM_07").WriteRecord(header::kSiteNumber, "07");
  const auto Cli = [&](const QStringList& args) { return RunCliOk(root.Path(), args); };

  // A start, then a download carries the new run and the serial number.
  const CliResult start = Cli({"start", "FARM_07", "--device", pty, "--interval", "00:00:30"});
  EXPECT_NE(start.out.find("RECORDER TALKING"), std::string::npos);
  Cli({"download", "FARM_07", "--device", pty});
  const BlockHeader h = ReadBlockHeader(root.Path() / "TVMKDATA" / "FARM_07_001.KEY");
  EXPECT_EQ(h.run.SiteNumber(), 7);
  EXPECT_EQ(h.run.SensorCount(), 2);
  EXPECT_EQ(h.run.ScanInterval(), 30);
  const QDate today = QDate::currentDate();
  EXPECT_NEAR(h.run.StartDay(), DateToDayNumber(today.day(), today.month(), today.year()), 1);
  EXPECT_EQ(SiteHeader::Open(files, "FARM_07", RecordFile::Mode::ReadOnly).ReadRecord(219),
            "00:00:30");
  Cli({"set-serial", "4321", "--device", pty});
  // The next download reports the new number, and without --yes refuses the run.
  ExpectCliRefuses(root.Path(), {"download", "FARM_07", "--device", pty}, 1,
                   "The serial number of this recorder is  4321");
  ExpectCliRefuses(root.Path(), {"set-serial", "99", "--device", pty}, 1, "");

  // The trace shows live rows.
  const CliResult trace = Cli({"trace", "--device", pty, "--sensors", "2", "--scans", "2"});
  EXPECT_NE(trace.out.find(" Scan   Sensor 1     Sensor 2     "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("\n  02 "), std::string::npos) << trace.out;
  EXPECT_NE(trace.out.find("    Trace mode terminated."), std::string::npos);

  // A port in use and a missing device are reported as such.
  const ScopedEnvironment com3("PELVARO_COM3", pty.toStdString());
  const ScopedEnvironment com4("PELVARO_COM4", "/nonexistent/pelvaro-port");
  QtSerialPort first, second;
  EXPECT_TRUE(first.Open(3).Ok());
  EXPECT_EQ(second.Open(3).error, PortError::InUse);
  EXPECT_EQ(second.Open(4).error, PortError::DoesNotExist);
  // Stopped as a service is stopped, the simulator ends cleanly.
  sim.Process().terminate();
  ASSERT_TRUE(sim.Process().waitForFinished(5000));
  EXPECT_EQ(sim.Process().exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(sim.Process().exitCode(), 0);
}

}  // namespace
}  // namespace pelvaro::testing
