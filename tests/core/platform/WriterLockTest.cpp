// One writer per working root, against a real second process (forked, or on Windows spawned).
#include "core/platform/WriterLock.h"

#include <gtest/gtest.h>

#include <map>

#include "core/editor/BlockEditor.h"
#include "core/operations/Conversion.h"
#include "core/operations/StartLogger.h"
#include "core/shell/MainMenu.h"
#include "support/DownloadRig.h"

#ifdef _WIN32
#include "support/Environment.h"
// After the program's headers: its macros rename functions such as CopyFile.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace pelvaro::testing {
namespace {

#ifdef _WIN32

constexpr char kChildRoot[] = "PELVARO_LOCK_CHILD_ROOT";

// The other program's side: reports whether it took the lock, holds it until input ends.
TEST(WriterLockChild, HoldsTheLockUntilItsInputEnds) {
  const auto root = EnvironmentPath(kChildRoot);
  if (!root) GTEST_SKIP() << "started by the other lock tests";
  const WriterLock::Attempt attempt = WriterLock::TryAcquire(Files(*root));
  std::printf("\nlock:%c\n", attempt.status == WriterLock::Status::Held ? 'H' : 'B');
  std::fflush(stdout);
  while (std::getchar() != EOF) {
  }
}

// Another program: this test program again, running only the test above.
class OtherProgram {
 public:
  explicit OtherProgram(const Files& files) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inputRead = nullptr;
    HANDLE outputWrite = nullptr;
    if (!CreatePipe(&inputRead, &input_, &inherit, 0) ||
        !CreatePipe(&output_, &outputWrite, &inherit, 0)) {
      return;
    }
    SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    std::wstring line = L"\"" + program + L"\" --gtest_filter=WriterLockChild.*";
    {
      const ScopedEnvironment root(kChildRoot, files.Root());
      // Not one shard of a run split in two: the test it runs is its whole run.
      const ScopedEnvironment shards("GTEST_TOTAL_SHARDS", std::nullopt);
      const ScopedEnvironment shard("GTEST_SHARD_INDEX", std::nullopt);
      if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process_)) {
        process_ = {};
      }
    }
    CloseHandle(inputRead);
    CloseHandle(outputWrite);
    std::string said;
    char c = 0;
    DWORD got = 0;
    while (process_.hProcess != nullptr && ReadFile(output_, &c, 1, &got, nullptr) && got == 1) {
      if (said.size() >= 5 && said.compare(said.size() - 5, 5, "lock:") == 0) {
        answer_ = c;
        break;
      }
      said += c;
    }
  }
  ~OtherProgram() { End(); }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  bool HoldsTheLock() const { return answer_ == 'H'; }
  void Kill() {
    if (process_.hProcess != nullptr) TerminateProcess(process_.hProcess, 1);
    End();
  }
  void End() {
    Close(input_);
    if (process_.hProcess != nullptr) {
      // What it still writes is read, so it never waits on a full pipe.
      char buffer[256];
      DWORD got = 0;
      while (ReadFile(output_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      }
      WaitForSingleObject(process_.hProcess, INFINITE);
      Close(process_.hProcess);
      Close(process_.hThread);
    }
    Close(output_);
  }

 private:
  static void Close(HANDLE& handle) {
    if (handle != nullptr) CloseHandle(handle);
    handle = nullptr;
  }

  PROCESS_INFORMATION process_{};
  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
  char answer_ = '?';
};

#else

// Another program: a child holding the lock until its pipe closes or it is killed.
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

#endif

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
  }
  OtherProgram after(files);
  ASSERT_TRUE(after.HoldsTheLock());
  EXPECT_EQ(Try(files), WriterLock::Status::Busy);
  after.Kill();  // nothing stays stuck
  EXPECT_EQ(Try(files), WriterLock::Status::Held);

  // A folder that cannot hold the lock is said.
  ScriptedPrompter prompter;
  EXPECT_FALSE(LockForWriting(Files(root.Path() / "missing"), prompter).has_value());
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
