#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>

extern char** environ;

namespace {

// Reads from fd until `done` holds or five seconds pass.
template <typename Done>
std::string ReadUntil(int fd, Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string text;
  while (!done(text)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    text += c;
  }
  return text;
}

// Stops the program however the test ends.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

TEST(PelvaroSimProgram, GreetsOverItsPseudoTerminalAndStopsOnSigterm) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, out[1]);
  std::string program = PELVARO_BIN_DIR "/pelvaro-sim";
  std::string fast = "--fast";
  char* argv[] = {program.data(), fast.data(), nullptr};
  Child child;
  const int spawned = posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  ASSERT_EQ(spawned, 0);

  std::string path = ReadUntil(out[0], [](const std::string& s) { return s.ends_with('\n'); });
  close(out[0]);
  ASSERT_TRUE(path.starts_with("/dev/")) << path;
  path.pop_back();

  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0) << path;
  termios raw{};
  ASSERT_EQ(tcgetattr(fd, &raw), 0);
  cfmakeraw(&raw);
  ASSERT_EQ(tcsetattr(fd, TCSANOW, &raw), 0);
  const char wake = 0;
  ASSERT_EQ(write(fd, &wake, 1), 1);
  EXPECT_EQ(ReadUntil(fd, [](const std::string& s) { return s.size() >= 4; }), "Hi!\r");
  close(fd);

  kill(child.pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
  child.pid = -1;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
