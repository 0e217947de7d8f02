// The k-th file operation of a store or deletion fails or kills: every run stays, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "core/editor/BlockEditor.h"
#include "core/operations/Conversion.h"
#include "core/storage/CalibratedFiles.h"
#include "core/storage/SiteRepair.h"
#include "support/DownloadRig.h"
#include "support/Environment.h"
#include "support/FaultPlans.h"

namespace pelvaro::testing {
namespace {

using Stored = DownloadRig::Stored;

constexpr int kDay = DownloadRig::kDay;
const char kSite[] = "FARM_01";
const char kDir[] = "TVMKDATA";

// The graph and summary files, side by side; compared whole, never printed.
using Pair = std::pair<std::string, std::string>;
Pair CalibratedPair(const DownloadRig& rig) {
  return {ReadBytes(CalibratedPath(rig.files, kDir, kSite, kGraphExtension)),
          ReadBytes(CalibratedPath(rig.files, kDir, kSite, kSummaryExtension))};
}

// Index and files agree, and no part of an interrupted write is left.
void ExpectIndexEqualsFiles(DownloadRig& rig) {
  const std::vector<int> disk = BlockNumbersOnDisk(rig.files, kDir, kSite);
  std::vector<int> oneToN(disk.size());
  for (std::size_t i = 0; i < oneToN.size(); ++i) oneToN[i] = static_cast<int>(i) + 1;
  EXPECT_EQ(disk, oneToN);
  const SiteHeader::BlockIndex index =
      SiteHeader::Open(rig.files, kSite, RecordFile::Mode::ReadOnly).ReadBlockIndex();
  EXPECT_FALSE(index.damaged);
  EXPECT_EQ(index.numbers, disk);
  for (const auto& entry : fs::directory_iterator(rig.root.Path() / kDir)) {
    const std::string ext = entry.path().extension().string();
    EXPECT_TRUE(ext != ".part" && ext != ".new") << entry.path();
  }
}

// `attack` on a copy of `before`, failing then killing its k-th operation; `check` the rest.
template <typename Attack, typename Check>
void AtEveryOperation(const DownloadRig& before, int count, Attack attack, Check check) {
  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= count; ++k) {
      DownloadRig rig;
      Files::CopyFolder(before.root.Path(), rig.root.Path());
      FaultAt plan(mode, k);
      {
        InstalledPlan installed(plan);
        attack(rig);
      }
      SCOPED_TRACE(std::string(mode == FaultAt::Mode::Die ? "killed" : "failed") +
                   " at operation " + std::to_string(k) + ": " +
                   (k <= plan.count ? plan.ops[k - 1] : "?"));
      check(rig, mode);
      if (::testing::Test::HasFailure()) return;  // one trace is enough to read
    }
  }
}

// A few hundred stores: syncs are counted, not waited for; roots in memory where possible.
class StoreCrash : public ::testing::Test {
 protected:
  const ScopedEnvironment tmp_{"TMPDIR", fs::is_directory("/dev/shm")
                                             ? std::optional<fs::path>("/dev/shm")
                                             : EnvironmentPath("TMPDIR")};
  FaultAt noWait;
  InstalledPlan installed{noWait};
};

TEST_F(StoreCrash, EveryStepOfADownloadAndStore) {
  const sim::Run first = DownloadRig::Memory(8, kDay);
  const sim::Run run = DownloadRig::Memory(12, kDay + 10);
  const sim::Run next = DownloadRig::Memory(6, kDay + 20);

  DownloadRig before;
  ASSERT_EQ(before.RunDownload(first).outcome, DownloadOutcome::Stored);
  const Pair oldPair = CalibratedPair(before);

  // The walk's length and the pairs a faultless program writes.
  DownloadRig reference;
  Files::CopyFolder(before.root.Path(), reference.root.Path());
  FaultAt counter;
  {
    InstalledPlan counting(counter);
    ASSERT_EQ(reference.RunDownload(run).outcome, DownloadOutcome::Stored);
  }
  const Pair newPair = CalibratedPair(reference);
  ASSERT_EQ(reference.RunDownload(next).outcome, DownloadOutcome::Stored);
  const Pair finalPair = CalibratedPair(reference);
  ASSERT_GE(counter.count, 25) << "the walk must cover temporary files, store, header, conversion";
  ExpectDurableOrder(counter.ops);

  DownloadResult result;
  AtEveryOperation(
      before, counter.count, [&](DownloadRig& rig) { result = rig.RunDownload(run); },
      [&](DownloadRig& rig, FaultAt::Mode mode) {
        const auto blocks = rig.Blocks();
        const bool stored =
            std::count(blocks.begin(), blocks.end(), DownloadRig::AsStored(run)) == 1;
        if (mode == FaultAt::Mode::Fail) {
          // What the user is told is true.
          if (result.outcome == DownloadOutcome::Stored) {
            EXPECT_TRUE(stored) << rig.Shown();
          }
          if (rig.Shown().find("was not stored") != std::string::npos) {
            EXPECT_FALSE(stored) << rig.Shown();
          }
        }

        RecoverCalibratedFiles(rig.files, kDir, kSite);  // what every writer does first
        RepairSite(rig.files, kSite, kDir);
        ExpectIndexEqualsFiles(rig);
        const Pair recovered = CalibratedPair(rig);
        EXPECT_TRUE(recovered == oldPair || recovered == newPair);

        // The same memory read again, then the logger's next run.
        const DownloadResult again = rig.RunDownload(run);
        if (again.outcome != DownloadOutcome::Stored) {
          EXPECT_EQ(rig.prompter.shown.back().text,
                    "This block has already been downloaded. Download will be aborted.");
        }
        EXPECT_EQ(rig.RunDownload(next).outcome, DownloadOutcome::Stored) << rig.Shown();
        EXPECT_EQ(rig.Blocks(),
                  (std::vector<Stored>{DownloadRig::AsStored(first), DownloadRig::AsStored(run),
                                       DownloadRig::AsStored(next)}));
        ExpectIndexEqualsFiles(rig);
        EXPECT_TRUE(CalibratedPair(rig) == finalPair);
        EXPECT_EQ(rig.HeaderRecord(header::kLastRunDay), Spaced(next.startDay));
        EXPECT_FALSE(fs::exists(rig.root.Path() / kTempDataName));
      });
}

// Deletes block 2 of four in the editor.
bool DeleteSecondBlock(DownloadRig& rig) {
  BlockEditor editor(rig.files, rig.prompter);
  editor.Load();
  if (!editor.OpenBlock(2)) return false;
  rig.prompter.answers = {Answer::Yes};
  return editor.DeleteSelected();
}

TEST_F(StoreCrash, EveryStepOfABlockDeletion) {
  std::vector<sim::Run> runs;
  for (int i = 0; i < 4; ++i) runs.push_back(DownloadRig::Memory(5 + i, kDay + 10 * i));
  const sim::Run fifth = DownloadRig::Memory(7, kDay + 50);

  DownloadRig before;
  for (const sim::Run& r : runs) ASSERT_EQ(before.RunDownload(r).outcome, DownloadOutcome::Stored);
  const Pair oldPair = CalibratedPair(before);

  // The pairs after the next download, with the block deleted and without.
  DownloadRig kept;
  Files::CopyFolder(before.root.Path(), kept.root.Path());
  ASSERT_EQ(kept.RunDownload(fifth).outcome, DownloadOutcome::Stored);
  DownloadRig deleted;
  Files::CopyFolder(before.root.Path(), deleted.root.Path());
  FaultAt counter;
  {
    InstalledPlan counting(counter);
    ASSERT_TRUE(DeleteSecondBlock(deleted));
  }
  ASSERT_EQ(deleted.Blocks().size(), 3u);
  ASSERT_EQ(deleted.RunDownload(fifth).outcome, DownloadOutcome::Stored);
  ASSERT_GE(counter.count, 8) << "header, removal and the moves of two blocks";
  ExpectDurableOrder(counter.ops);

  AtEveryOperation(
      before, counter.count, [](DownloadRig& rig) { DeleteSecondBlock(rig); },
      [&](DownloadRig& rig, FaultAt::Mode) {
        // The next opening of the editor puts things right.
        BlockEditor(rig.files, rig.prompter).Load();
        ExpectIndexEqualsFiles(rig);
        EXPECT_TRUE(CalibratedPair(rig) == oldPair);
        std::vector<Stored> expected;
        for (const sim::Run& r : runs) expected.push_back(DownloadRig::AsStored(r));
        const bool gone = rig.Blocks().size() == 3;
        if (gone) expected.erase(expected.begin() + 1);
        EXPECT_EQ(rig.Blocks(), expected);

        EXPECT_EQ(rig.RunDownload(fifth).outcome, DownloadOutcome::Stored) << rig.Shown();
        expected.push_back(DownloadRig::AsStored(fifth));
        EXPECT_EQ(rig.Blocks(), expected);
        ExpectIndexEqualsFiles(rig);
        EXPECT_TRUE(CalibratedPair(rig) == CalibratedPair(gone ? deleted : kept));
      });
}

}  // namespace
}  // namespace pelvaro::testing
