// One writer per working root, against a real second program: this test program again.
#include "core/platform/WriterLock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

#include "core/editor/BlockEditor.h"
#include "core/operations/Conversion.h"
#include "core/operations/StartLogger.h"
#include "core/shell/MainMenu.h"
#include "support/ChangedFiles.h"
#include "support/DownloadRig.h"
#include "support/Environment.h"

#ifdef _WIN32
// After the program's headers: its macros rename functions such as CopyFile.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pelvaro::testing {
namespace {

constexpr char kChildRoot[] = "PELVARO_LOCK_CHILD_ROOT";
constexpr char kChildTest[] = "WriterLockChild.HoldsTheLockUntilItsReaderGoes";

// The other program's side: reports whether it took the lock, then writes until the pipe is
// full and waits there. When the reader goes it dies holding the lock, as a crash would.
TEST(WriterLockChild, HoldsTheLockUntilItsReaderGoes) {
  const auto root = EnvironmentPath(kChildRoot);
  if (!root) GTEST_SKIP() << "started by the other lock tests";
  const WriterLock::Attempt attempt = WriterLock::TryAcquire(Files(*root));
  std::printf("\nlock:%c\n", attempt.status == WriterLock::Status::Held ? 'H' : 'B');
  while (std::fputc('.', stdout) != EOF) {
  }
  std::_Exit(1);
}

// Another program: this test program again, running only the test above.
class OtherProgram {
 public:
  explicit OtherProgram(const Files& files) {
    const ScopedEnvironment root(kChildRoot, files.Root());
    // Not one shard of a run split in two: the test it runs is its whole run.
    const ScopedEnvironment shards("GTEST_TOTAL_SHARDS", std::nullopt);
    const ScopedEnvironment shard("GTEST_SHARD_INDEX", std::nullopt);
#ifdef _WIN32
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    const std::wstring line =
        L"\"" + program + L"\" --gtest_filter=" + fs::path(kChildTest).wstring();
    output_ = _wpopen(line.c_str(), L"r");
#else
    const std::string line =
        "\"" + fs::read_symlink("/proc/self/exe").string() + "\" --gtest_filter=" + kChildTest;
    output_ = popen(line.c_str(), "r");
#endif
    std::string said;
    while (output_ != nullptr && !said.ends_with("lock:")) {
      const int c = std::fgetc(output_);
      if (c == EOF) return;
      said += static_cast<char>(c);
    }
    if (output_ != nullptr) answer_ = std::fgetc(output_);
  }
  ~OtherProgram() { End(); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  bool HoldsTheLock() const { return answer_ == 'H'; }
  // Closes the pipe and waits for the other program to die.
  void End() {
#ifdef _WIN32
    if (output_ != nullptr) _pclose(output_);
#else
    if (output_ != nullptr) pclose(output_);
#endif
    output_ = nullptr;
  }

 private:
  FILE* output_ = nullptr;
  int answer_ = EOF;
};

WriterLock::Status Try(const Files& files) { return WriterLock::TryAcquire(files).status; }

TEST(WriterLock, NestedAcquisitionsShareOneLockThatOthersCannotTakeDeathReleasesNoFolderIsSaid) {
  TempRoot root;
  const Files files(root.Path());
  {
    auto outer = WriterLock::TryAcquire(files);
    ASSERT_EQ(outer.status, WriterLock::Status::Held);
    // The same process again, as a download that converts: no wait.
    EXPECT_EQ(Try(files), WriterLock::Status::Held);
    OtherProgram other(files);
    EXPECT_FALSE(other.HoldsTheLock());
#ifndef _WIN32
    // A child made by fork without a new program is another program all the same.
    const pid_t child = fork();
    if (child == 0) _exit(Try(files) == WriterLock::Status::Busy ? 0 : 1);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0) << "a forked child took its parent's lock";
#endif
  }
  OtherProgram after(files);
  ASSERT_TRUE(after.HoldsTheLock());
  EXPECT_EQ(Try(files), WriterLock::Status::Busy);
  after.End();  // nothing stays stuck
  EXPECT_EQ(Try(files), WriterLock::Status::Held);

  // A folder that cannot hold the lock is said.
  ScriptedPrompter prompter;
  EXPECT_FALSE(LockForWriting(Files(root.Path() / "missing"), prompter).has_value());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text.rfind("An error occurred while locking", 0), 0u);
}

#ifndef _WIN32
// A FIFO or a link put where the lock file belongs blocked every writer forever in open().
TEST(WriterLock, ALockFileThatIsNoRegularFileIsRefusedAtOnce) {
  struct Row {
    const char* name;
    std::function<void(const fs::path&)> make;
  };
  const Row rows[] = {
      {"a FIFO", [](const fs::path& p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }},
      {"a link to a file",
       [](const fs::path& p) {
         WriteBytes(p.parent_path() / "elsewhere", "");
         fs::create_symlink(p.parent_path() / "elsewhere", p);
       }},
      {"a folder", [](const fs::path& p) { fs::create_directory(p); }},
  };
  for (const Row& row : rows) {
    TempRoot root;
    const Files files(root.Path());
    row.make(root.Path() / kLockFileName);
    ScriptedPrompter prompter;
    EXPECT_FALSE(LockForWriting(files, prompter).has_value()) << row.name;
    ASSERT_EQ(prompter.shown.size(), 1u) << row.name;
    EXPECT_EQ(prompter.shown[0].text,
              "An error occurred while locking the working folder for writing.\r\nThe error is The "
              "lock file PELVARO.LCK is not a regular file.")
        << row.name;
  }
}
#endif

TEST(WriterLock, EveryWriterRefusesWhileAnotherProgramWrites) {
  DownloadRig rig;
  ASSERT_EQ(rig.RunDownload(DownloadRig::Memory(6)).outcome, DownloadOutcome::Stored);
  ASSERT_EQ(rig.RunDownload(DownloadRig::Memory(6, DownloadRig::kDay + 9)).outcome,
            DownloadOutcome::Stored);
  OtherProgram other(rig.files);
  ASSERT_TRUE(other.HoldsTheLock());
  const auto before = RootFiles(rig.root.Path(), "Sitesel.dat");
  ScriptedPrompter& p = rig.prompter;
  const sim::Run third = DownloadRig::Memory(6, DownloadRig::kDay + 20);

  const std::vector<std::pair<const char*, std::function<bool()>>> writers = {
      {"download",
       [&] {
         const bool stored = rig.RunDownload(third).outcome == DownloadOutcome::Stored;
         EXPECT_EQ(rig.opened, 0) << "the logger is never woken";
         return stored;
       }},
      {"convert", [&] { return ConvertSite(rig.files, p, "FARM_01", "TVMKDATA"); }},
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
    EXPECT_EQ(RootFiles(rig.root.Path(), "Sitesel.dat"), before) << what;
  }
  other.End();
  EXPECT_EQ(rig.RunDownload(third).outcome, DownloadOutcome::Stored);
}

}  // namespace
}  // namespace pelvaro::testing
