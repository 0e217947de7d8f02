// One writer per working root, with real processes holding the real lock.
// The second process is made by fork, so these tests are for POSIX systems.
#include "core/platform/WriterLock.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "core/editor/BlockEditor.h"
#include "core/operations/Conversion.h"
#include "core/operations/StartLogger.h"
#include "core/shell/MainMenu.h"
#include "support/DownloadRig.h"

namespace pelvaro::testing {
namespace {

// Another program: a child process that takes the lock and keeps it until
// it is told to end (its pipe closes) or is killed.
class OtherProgram {
 public:
  explicit OtherProgram(const Files& files) {
    int ready[2];
    int hold[2];
    if (pipe(ready) != 0 || pipe(hold) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      close(hold[1]);
      const WriterLock::Attempt attempt = WriterLock::TryAcquire(files);
      const char held = attempt.status == WriterLock::Status::Held ? 'H' : 'B';
      if (write(ready[1], &held, 1) != 1) _exit(2);
      char none;
      while (read(hold[0], &none, 1) > 0) {
      }
      _exit(0);
    }
    close(ready[1]);
    close(hold[0]);
    holdOpen_ = hold[1];
    if (read(ready[0], &answer_, 1) != 1) answer_ = '?';
    close(ready[0]);
  }
  ~OtherProgram() { End(); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  bool HoldsTheLock() const { return answer_ == 'H'; }
  void Kill() {
    if (pid_ > 0) kill(pid_, SIGKILL);
    End();
  }
  void End() {
    if (holdOpen_ >= 0) close(holdOpen_);
    holdOpen_ = -1;
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int holdOpen_ = -1;
  char answer_ = '?';
};

WriterLock::Status Try(const Files& files) { return WriterLock::TryAcquire(files).status; }

TEST(WriterLock, NestedAcquisitionsShareOneLockThatOthersCannotTake) {
  TempRoot root;
  const Files files(root.Path());
  {
    auto outer = WriterLock::TryAcquire(files);
    ASSERT_EQ(outer.status, WriterLock::Status::Held);
    // The same process again, as a download that converts: no wait.
    EXPECT_EQ(Try(files), WriterLock::Status::Held);
    OtherProgram other(files);
    EXPECT_FALSE(other.HoldsTheLock());
  }
  OtherProgram after(files);
  EXPECT_TRUE(after.HoldsTheLock());
  EXPECT_EQ(Try(files), WriterLock::Status::Busy);
}

TEST(WriterLock, AKilledHolderLeavesNothingStuck) {
  TempRoot root;
  const Files files(root.Path());
  OtherProgram other(files);
  ASSERT_TRUE(other.HoldsTheLock());
  EXPECT_EQ(Try(files), WriterLock::Status::Busy);
  other.Kill();
  EXPECT_EQ(Try(files), WriterLock::Status::Held);
}

TEST(WriterLock, AFolderThatCannotHoldTheLockIsSaid) {
  TempRoot root;
  const Files files(root.Path() / "missing");
  ScriptedPrompter prompter;
  EXPECT_FALSE(LockForWriting(files, prompter).has_value());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text.rfind("An error occurred while locking", 0), 0u);
}

// Every file of the root but the lock file and the selection a click writes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string name = e.path().filename().string();
    if (!e.is_regular_file() || name == kLockFileName || name == "Sitesel.dat") continue;
    files[fs::relative(e.path(), root).string()] = ReadBytes(e.path());
  }
  return files;
}

TEST(WriterLock, EveryWriterRefusesWhileAnotherProgramWrites) {
  DownloadRig rig;
  ASSERT_EQ(rig.RunDownload(DownloadRig::Memory(6)).outcome, DownloadOutcome::Stored);
  ASSERT_EQ(rig.RunDownload(DownloadRig::Memory(6, DownloadRig::kDay + 9)).outcome,
            DownloadOutcome::Stored);
  OtherProgram other(rig.files);
  ASSERT_TRUE(other.HoldsTheLock());
  const auto before = Snapshot(rig.root.Path());
  ScriptedPrompter& p = rig.prompter;

  const std::vector<std::pair<const char*, std::function<bool()>>> writers = {
      {"download",
       [&] {
         const bool stored =
             rig.RunDownload(DownloadRig::Memory(6, DownloadRig::kDay + 20)).outcome ==
             DownloadOutcome::Stored;
         EXPECT_EQ(rig.opened, 0) << "the logger is never woken";
         return stored;
       }},
      {"convert", [&] { return TimedDat(rig.files, p, "FARM_01", "TVMKDATA"); }},
      {"delete a block",
       [&] {
         BlockEditor editor(rig.files, p);
         editor.Load();
         editor.OpenBlock(1);
         p.answers = {Answer::Yes};
         return editor.DeleteSelected();
       }},
      {"save a reading",
       [&] {
         BlockEditor editor(rig.files, p);
         editor.Load();
         editor.OpenBlock(1);
         editor.EnterCell();
         editor.Type(0, 0, '7');
         p.answers = {Answer::Yes};
         editor.UpdateData();
         return !editor.UpdateEnabled();
       }},
      {"delete the site",
       [&] {
         p.answers = {Answer::Yes};
         return DeleteSite(rig.files, p, "FARM_01.key");
       }},
      {"start the logger",
       [&] {
         StartWindowModel model(rig.files, p);
         model.Load(rig.clock.WallClock());
         model.ClickSite(0, rig.clock.WallClock());
         model.ChooseMode(StartMode::Immediate, rig.clock.WallClock());
         ScriptedPort port(rig.clock);
         LinkContext link{port, rig.clock, p, rig.dialogs, [](const std::string&) {}};
         const bool started = model.Start(link, {});
         EXPECT_TRUE(port.writes.empty()) << "the logger is never woken";
         return started;
       }},
  };
  for (const auto& [what, write] : writers) {
    p.shown.clear();
    EXPECT_FALSE(write()) << what;
    ASSERT_FALSE(p.shown.empty()) << what;
    EXPECT_EQ(p.shown.back().text, kDataInUseText) << what;
    EXPECT_EQ(Snapshot(rig.root.Path()), before) << what;
  }
  other.End();
  EXPECT_EQ(rig.RunDownload(DownloadRig::Memory(6, DownloadRig::kDay + 20)).outcome,
            DownloadOutcome::Stored);
}

}  // namespace
}  // namespace pelvaro::testing
#endif
