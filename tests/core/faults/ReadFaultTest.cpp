// The k-th open or read of an operation fails, or fails with every one after it: the operation
// either says so and leaves each file as it was (or as a faultless run leaves it, step by
// step), or it succeeds with what a faultless run gives. A success with other output is the
// defect these tests exist for. Beside them, what each operation writes is checked against the
// order a power cut needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iomanip>
#include <map>
#include <optional>
#include <sstream>

#include "core/editor/BlockEditor.h"
#include "core/events/EventReport.h"
#include "core/export/SeasonExport.h"
#include "core/graph/GraphModel.h"
#include "core/operations/Conversion.h"
#include "core/outlook/Outlook.h"
#include "core/outlook/OutlookReport.h"
#include "core/shell/MainMenu.h"
#include "core/storage/CalibratedFiles.h"
#include "support/ChangedFiles.h"
#include "support/DownloadRig.h"
#include "support/Environment.h"
#include "support/FaultPlans.h"
#include "support/RowNames.h"

namespace pelvaro::testing {
namespace {

constexpr int kDay = DownloadRig::kDay;

using Snapshot = std::map<std::string, std::string>;

std::optional<std::string> At(const Snapshot& s, const std::string& path) {
  const auto it = s.find(path);
  return it == s.end() ? std::nullopt : std::optional<std::string>(it->second);
}

// What an operation reported, and what it gave beside the files of the root.
struct Outcome {
  bool failed = false;
  std::string output;
};

struct Operation {
  const char* name;
  std::function<Outcome(DownloadRig&, const fs::path& exportTarget)> run;
  bool writes = true;
};

bool Complained(const DownloadRig& rig, std::size_t asked = 0) {
  return rig.prompter.shown.size() > asked;
}

// Block 2 of three opened in the editor; `change` then edits it and `finish` ends the visit.
Outcome InEditor(DownloadRig& rig, const std::function<bool(BlockEditor&)>& change) {
  BlockEditor editor(rig.files, rig.prompter);
  editor.Load();
  const std::vector<int>& blocks = editor.Blocks();
  // A person clicks a block the list shows.
  if (std::find(blocks.begin(), blocks.end(), 2) == blocks.end() || !editor.OpenBlock(2)) {
    return {true, {}};
  }
  const bool changed = change(editor);
  editor.Close();
  return {!changed, {}};
}

// What a drawing puts on the chart, every figure to the last bit.
std::string Drawn(const GraphModel& model) {
  std::ostringstream out;
  out << std::setprecision(17);
  for (double x : model.X()) out << x << ' ';
  for (int i = 0; i < kGraphSeries; ++i) {
    const GraphSeries& series = model.Series(i);
    out << '\n' << series.active << series.title << ' ' << series.level.value_or(-1) << ':';
    for (double y : series.y) out << ' ' << y;
  }
  return out.str();
}

const Operation kOperations[] = {
    {"convert",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       const bool ok = ConvertSite(rig.files, rig.prompter, "FARM_01", "TVMKDATA");
       return {!ok || Complained(rig), {}};
     }},
    {"status",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       const SiteOutlook o = ReadSiteOutlook(rig.files, "FARM_01");
       return {!o.error.empty(), StatusJson(std::span(&o, 1))};
     },
     false},
    {"events with their labels",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       // Written around the fault plan: only the reading is under test.
       WriteBytes(rig.Data("FARM_01.EVT"), "2026-09-07T10:00:00\train\tbefore the season\n");
       const SiteEvents read = ReadSiteEvents(rig.files, "FARM_01");
       return {!read.Error().empty(),
               EventsText(read.list) + StatusJson(std::span(&read.outlook, 1))};
     },
     false},
    {"the graph drawn",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       GraphModel model(rig.files, rig.prompter);
       // The window shows the outlook's error beside the chart.
       const bool drawn = model.Load() == GraphModel::LoadResult::Drawn;
       return {!drawn || Complained(rig) || !model.Outlook().error.empty(),
               Drawn(model) + StatusJson(std::span(&model.Outlook(), 1))};
     },
     false},
    {"export",
     [](DownloadRig& rig, const fs::path& target) -> Outcome {
       try {
         ExportSeason(rig.files, {"FARM_01", std::nullopt, {}, ExportFormat::Csv}, target);
       } catch (const std::exception&) {
         return {true, {}};
       }
       return {false, ReadBytes(target) + ReadBytes(MetaPath(target))};
     }},
    {"an edited reading saved",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       rig.prompter.answers = {Answer::Yes};
       Outcome o = InEditor(rig, [&rig](BlockEditor& e) {
         e.EnterCell();
         if (!e.Type(1, 2, '7')) return false;
         e.UpdateData();
         return true;
       });
       // The one question asked is whether to update.
       o.failed = o.failed || Complained(rig, 1);
       return o;
     }},
    {"a block's start date changed",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       Outcome o = InEditor(rig, [](BlockEditor& e) { return e.ChangeStartDate(3, 4, 2027); });
       o.failed = o.failed || Complained(rig);
       return o;
     }},
    {"a download stored and converted",
     [](DownloadRig& rig, const fs::path&) -> Outcome {
       const DownloadResult r = rig.RunDownload(DownloadRig::Memory(9, kDay + 30));
       return {r.outcome != DownloadOutcome::Stored || Complained(rig), {}};
     }},
};

// A file the operation writes is its old bytes or the new ones; the download's temporary files
// are checked on their own.
bool IsTemporary(const std::string& path) {
  return path == kTempHeaderName || path == kTempDataName;
}

// The files a faultless run changes together: the same side of the change for both.
const std::pair<const char*, const char*> kPairs[] = {
    {"TVMKDATA/FARM_01.BGF", "TVMKDATA/FARM_01.Pct"},
    {"TVMKDATA/FARM_01_002.DAT", "TVMKDATA/FARM_01_002.KEY"},
    {"TVMKDATA/FARM_01_004.DAT", "TVMKDATA/FARM_01_004.KEY"},
};

void ExpectOldOrNew(const Snapshot& before, const Snapshot& after, const Snapshot& now,
                    const Outcome& outcome, const Outcome& faultless) {
  std::map<std::string, bool> changed;  // by the faultless run; true when changed here too
  bool allNew = outcome.output == faultless.output;
  for (const Snapshot* s : {&before, &after, &now}) {
    for (const auto& [path, bytes] : *s) {
      if (IsTemporary(path)) continue;
      const auto was = At(before, path);
      const auto will = At(after, path);
      const auto is = At(now, path);
      EXPECT_TRUE(is == was || is == will) << path << " is neither its old nor its new bytes";
      allNew = allNew && is == will;
      if (was != will) changed[path] = is == will;
    }
  }
  for (const auto& [first, second] : kPairs) {
    if (changed.count(first) > 0 && changed.count(second) > 0) {
      EXPECT_EQ(changed[first], changed[second]) << first << " and " << second << " were parted";
    }
  }
  const bool tempLeft = At(now, kTempDataName) || At(now, kTempHeaderName);
  if (!allNew || tempLeft) {
    EXPECT_TRUE(outcome.failed) << "a success that is not the faultless one";
  }
  if (!outcome.failed) {
    EXPECT_EQ(outcome.output, faultless.output);
  }
}

class ReadFault : public ::testing::TestWithParam<Operation> {
 protected:
  // FARM_01 with three converted blocks; its selection names block 2's site.
  static void Prepare(DownloadRig& rig) {
    for (int i = 0; i < 3; ++i) {
      ASSERT_EQ(rig.RunDownload(DownloadRig::Memory(6 + i, kDay + 10 * i)).outcome,
                DownloadOutcome::Stored);
    }
    // The site is clicked as a person starts each of these operations.
    ASSERT_TRUE(ClickSite(rig.files, rig.prompter, "FARM_01.key").has_value());
    rig.prompter.shown.clear();
  }

  // Roots in memory where the system has it: a walk copies one per step.
  const ScopedEnvironment tmp_{"TMPDIR", fs::is_directory("/dev/shm")
                                             ? std::optional<fs::path>("/dev/shm")
                                             : EnvironmentPath("TMPDIR")};
};

TEST_P(ReadFault, AtEveryOpenAndReadIsReportedOrHarmless) {
  const Operation& op = GetParam();
  DownloadRig before;
  Prepare(before);
  const Snapshot old = RootFiles(before.root.Path());
  TempRoot out;

  DownloadRig reference;
  Files::CopyFolder(before.root.Path(), reference.root.Path());
  FaultAt counter(FaultAt::Mode::Count, 0, FaultAt::Kinds::Reads);
  Outcome faultless;
  {
    InstalledPlan installed(counter);
    faultless = op.run(reference, out.Path() / "reference.csv");
  }
  ASSERT_FALSE(faultless.failed) << reference.Shown();
  const Snapshot done = RootFiles(reference.root.Path());
  ASSERT_GE(counter.count, 5) << "the walk must reach the operation's reads";
  RecordProperty("reads", counter.count);

  for (const FaultAt::Mode mode : {FaultAt::Mode::Fail, FaultAt::Mode::Die}) {
    for (int k = 1; k <= counter.count; ++k) {
      DownloadRig rig;
      Files::CopyFolder(before.root.Path(), rig.root.Path());
      const fs::path target = out.Path() / ("k" + std::to_string(k) + ".csv");
      FaultAt plan(mode, k, FaultAt::Kinds::Reads);
      Outcome outcome;
      try {
        InstalledPlan installed(plan);
        outcome = op.run(rig, target);
      } catch (const std::exception& e) {
        ADD_FAILURE() << "escaped the operation: " << e.what();
      }
      SCOPED_TRACE(
          std::string(mode == FaultAt::Mode::Die ? "every read failing from " : "failing ") +
          plan.ops[static_cast<std::size_t>(k - 1)] + " (read " + std::to_string(k) + ")\n" +
          rig.Shown());
      ExpectOldOrNew(old, done, RootFiles(rig.root.Path()), outcome, faultless);
      if (outcome.failed) {
        EXPECT_FALSE(fs::exists(target)) << "a failed export left its file";
      }
      if (::testing::Test::HasFailure()) return;  // one trace is enough to read
    }
  }
}

// A reading writes nothing; what a change writes, it syncs before renaming into place, and
// syncs the folder after.
TEST_P(ReadFault, WritesInTheOrderAPowerCutNeeds) {
  DownloadRig rig;
  Prepare(rig);
  TempRoot out;
  FaultAt writes;
  {
    InstalledPlan installed(writes);
    ASSERT_FALSE(GetParam().run(rig, out.Path() / "season.csv").failed) << rig.Shown();
  }
  EXPECT_EQ(writes.count > 0, GetParam().writes) << writes.count << " changes";
  ExpectDurableOrder(writes.ops);
}

INSTANTIATE_TEST_SUITE_P(Operations, ReadFault, ::testing::ValuesIn(kOperations),
                         [](const auto& row) { return RowName(row.param.name); });

}  // namespace
}  // namespace pelvaro::testing
