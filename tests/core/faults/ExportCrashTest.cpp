// The k-th file operation of a CSV export fails or kills: the table and its sidecar stay a pair.
#include <gtest/gtest.h>

#include <map>

#include "core/export/SeasonExport.h"
#include "core/operations/Conversion.h"
#include "support/ChangedFiles.h"
#include "support/FaultPlans.h"
#include "support/ScriptedPrompter.h"
#include "support/SiteBuilder.h"
#include "support/TempRoot.h"

namespace pelvaro::testing {
namespace {

// Every file of the export's folder: nothing else may lie beside the pair.
using Folder = std::map<std::string, std::string>;

// An export that stops at the first file it creates, after its repair of what came before.
class NoWrites : public FaultAt {
  Verdict Before(FileOp op, const fs::path&) override {
    return op == FileOp::Write ? Verdict::Fail : Verdict::Proceed;
  }
};

TEST(ExportCrash, EveryOperationOfACsvExportLeavesTheOldPairOrTheNewOne) {
  FaultAt noWait;  // syncs counted, not waited for
  InstalledPlan installed(noWait);
  TempRoot root;
  const Files files(root.Path());
  SiteBuilder site(files, "FARM_01");
  site.Header({{1, 60000, 1000, 31, 11}, {2, 60000, 1000, 32, 12}}, 1);
  site.Block(1, {11000, 0, 3600, 2, {59000, 58000, 59100, 58100}});
  ScriptedPrompter prompter;
  ASSERT_TRUE(ConvertSite(files, prompter, "FARM_01", "TVMKDATA"));
  SeasonExportRequest request;
  request.identification = "FARM_01";
  const fs::path target = root.Path() / "out" / "season.csv";
  const auto Export = [&] { ExportSeason(files, request, target); };

  const Folder old = {{"season.csv", "old table"}, {"season.csv.meta.json", "old sidecar"}};
  for (const auto& [name, bytes] : old) WriteBytes(target.parent_path() / name, bytes);
  FaultAt counter;
  {
    InstalledPlan counting(counter);
    Export();
  }
  ASSERT_GE(counter.count, 11) << "two files written and synced, two parts, the pair, the folder";
  ExpectDurableOrder(counter.ops);
  const Folder fresh = RootFiles(target.parent_path());

  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= counter.count; ++k) {
      fs::remove_all(target.parent_path());
      for (const auto& [name, bytes] : old) WriteBytes(target.parent_path() / name, bytes);
      FaultAt plan(mode, k);
      bool threw = false;
      {
        InstalledPlan faulty(plan);
        try {
          Export();
        } catch (const IoError&) {
          threw = true;
        }
      }
      SCOPED_TRACE(std::string(mode == FaultAt::Mode::Die ? "killed" : "failed") + " at " +
                   counter.ops[static_cast<std::size_t>(k - 1)]);
      if (threw && mode == FaultAt::Mode::Die) {
        // The next export first finishes or undoes the pair, then writes its own.
        NoWrites stop;
        {
          InstalledPlan stopped(stop);
          EXPECT_THROW(Export(), IoError);
        }
        const Folder repaired = RootFiles(target.parent_path());
        EXPECT_TRUE(repaired == old || repaired == fresh) << ::testing::PrintToString(repaired);
        Export();
      }
      const Folder after = RootFiles(target.parent_path());
      EXPECT_TRUE(after == (threw && mode == FaultAt::Mode::Fail ? old : fresh))
          << ::testing::PrintToString(after);
      if (::testing::Test::HasFailure()) return;  // one trace is enough to read
    }
  }
}

}  // namespace
}  // namespace pelvaro::testing
