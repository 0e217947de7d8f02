// A pseudo-terminal between pelvaro-cli and pelvaro-sim: bytes pass both ways,
// the logger's answer to the first download command through a line edit.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

#include "support/LineEdits.h"

namespace pelvaro::testing {

class Relay {
 public:
  Relay(const std::string& loggerDevice, LineEdit edit) : editor_(std::move(edit)) {
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B4800);
    cfsetospeed(&raw, B4800);
    char name[256] = {};
    // The relay keeps its own end of the program's terminal open, so the
    // terminal lives on while the program closes and reopens it.
    if (openpty(&host_, &hostSide_, name, &raw, nullptr) != 0) return;
    device_ = name;
    logger_ = open(loggerDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (logger_ < 0 || pipe(stop_) != 0) return;
    fcntl(host_, F_SETFL, fcntl(host_, F_GETFL) | O_NONBLOCK);
    thread_ = std::thread([this] { Run(); });
  }
  Relay(const Relay&) = delete;
  Relay& operator=(const Relay&) = delete;
  ~Relay() {
    if (thread_.joinable()) {
      [[maybe_unused]] const ssize_t n = write(stop_[1], "x", 1);
      thread_.join();
    }
    for (int fd : {host_, hostSide_, logger_, stop_[0], stop_[1]}) {
      if (fd >= 0) close(fd);
    }
  }
  // The device the program opens; empty when the relay could not be set up.
  const std::string& Device() const { return device_; }
  bool Running() const { return thread_.joinable(); }

 private:
  static void Pass(int fd, std::string& pending) {
    const ssize_t n = write(fd, pending.data(), pending.size());
    if (n > 0) pending.erase(0, static_cast<std::size_t>(n));
  }

  void Run() {
    std::string toLogger;
    std::string toHost;
    char buffer[4096];
    for (;;) {
      pollfd fds[3] = {
          {host_, static_cast<short>(POLLIN | (toHost.empty() ? 0 : POLLOUT)), 0},
          {logger_, static_cast<short>(POLLIN | (toLogger.empty() ? 0 : POLLOUT)), 0},
          {stop_[0], POLLIN, 0},
      };
      if (poll(fds, 3, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[2].revents != 0) return;
      if ((fds[0].revents & POLLIN) != 0) {
        const ssize_t n = read(host_, buffer, sizeof buffer);
        if (n > 0) {
          const std::string_view bytes(buffer, static_cast<std::size_t>(n));
          editor_.FromHost(bytes);
          toLogger += bytes;
        }
      }
      if ((fds[1].revents & POLLIN) != 0) {
        const ssize_t n = read(logger_, buffer, sizeof buffer);
        if (n > 0) toHost += editor_.FromLogger({buffer, static_cast<std::size_t>(n)});
      }
      if (!toLogger.empty()) Pass(logger_, toLogger);
      if (!toHost.empty()) Pass(host_, toHost);
    }
  }

  AnswerEditor editor_;
  int host_ = -1;
  int hostSide_ = -1;
  int logger_ = -1;
  int stop_[2] = {-1, -1};
  std::string device_;
  std::thread thread_;
};

}  // namespace pelvaro::testing
