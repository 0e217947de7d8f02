// The k-th file operation of a season export fails or kills: the table and its sidecar stay a
// pair, and nothing of the export is left beside them.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "core/export/SeasonExport.h"
#include "core/operations/Conversion.h"
#include "core/storage/DayNumbers.h"
#include "support/Environment.h"
#include "support/FaultPlans.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

constexpr char kSite[] = "FARM_01";

// Every file of a folder with its bytes.
using Folder = std::map<std::string, std::string>;
Folder FilesIn(const fs::path& folder) {
  Folder files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    files[entry.path().filename().string()] = ReadBytes(entry.path());
  }
  return files;
}

// The next export stops at the first file it creates, after its repair of what came before.
class NoWrites : public FaultPlan {
 public:
  Verdict Before(FileOp op, const fs::path&) override {
    return op == FileOp::Write ? Verdict::Fail : Verdict::Proceed;
  }
  bool RealSync() const override { return false; }
};

class ExportCrash : public ::testing::Test {
 protected:
  ExportCrash() : files(root.Path()) {
    SiteBuilder site(files, kSite);
    site.Header({{1, 60000, 1000, 31, 11}, {2, 60000, 1000, 32, 12}}, 1);
    site.Block(1, {DateToDayNumber(7, 9, 2026), 0, 3600, 2, {59000, 58000, 59100, 58100}});
    ScriptedPrompter prompter;
    EXPECT_TRUE(TimedDat(files, prompter, kSite, "TVMKDATA"));
  }

  void Export(const fs::path& target) const {
    SeasonExportRequest request;
    request.identification = kSite;
    ExportSeason(files, request, target);
  }

  // Syncs counted, not waited for; roots in memory where possible.
  const ScopedEnvironment tmp_{"TMPDIR", fs::is_directory("/dev/shm")
                                             ? std::optional<fs::path>("/dev/shm")
                                             : EnvironmentPath("TMPDIR")};
  FaultAt noWait;
  InstalledPlan installed{noWait};
  TempRoot root;
  Files files;
};

TEST_F(ExportCrash, EveryOperationOfACsvExportLeavesTheOldPairOrTheNewOne) {
  const fs::path reference = root.Path() / "reference" / "season.csv";
  fs::create_directories(reference.parent_path());
  FaultAt counter;
  {
    InstalledPlan counting(counter);
    Export(reference);
  }
  ASSERT_GE(counter.count, 11) << "two files written and synced, two parts, the pair, the folder";
  const Folder fresh = {{"season.csv", ReadBytes(reference)},
                        {"season.csv.meta.json", ReadBytes(MetaPath(reference))}};
  const Folder old = {{"season.csv", "old table"}, {"season.csv.meta.json", "old sidecar"}};

  const fs::path folder = root.Path() / "out";
  const fs::path target = folder / "season.csv";
  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= counter.count; ++k) {
      fs::remove_all(folder);
      for (const auto& [name, bytes] : old) WriteBytes(folder / name, bytes);
      FaultAt plan(mode, k);
      bool threw = false;
      {
        InstalledPlan faulty(plan);
        try {
          Export(target);
        } catch (const IoError&) {
          threw = true;
        }
      }
      SCOPED_TRACE(std::string(mode == FaultAt::Mode::Die ? "killed" : "failed") + " at " +
                   counter.ops[static_cast<std::size_t>(k - 1)]);
      if (!threw || mode == FaultAt::Mode::Fail) {
        EXPECT_TRUE(FilesIn(folder) == (threw ? old : fresh))
            << ::testing::PrintToString(FilesIn(folder));
      } else {
        // The next export first finishes or undoes the pair, whatever else it does.
        NoWrites stop;
        {
          InstalledPlan stopped(stop);
          EXPECT_THROW(Export(target), IoError);
        }
        const Folder repaired = FilesIn(folder);
        EXPECT_TRUE(repaired == old || repaired == fresh) << ::testing::PrintToString(repaired);
        Export(target);
        EXPECT_TRUE(FilesIn(folder) == fresh) << ::testing::PrintToString(FilesIn(folder));
      }
      if (::testing::Test::HasFailure()) return;  // one trace is enough to read
    }
  }
}

}  // namespace
}  // namespace pelvaro::testing
