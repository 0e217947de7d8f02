#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "core/link/LinkDialogs.h"
#include "core/link/PortMap.h"
#include "core/platform/Clock.h"
#include "core/platform/SerialPort.h"

namespace pelvaro::testing {

// A serial port on the virtual clock whose far end is the test.
class ScriptedPort : public SerialPort {
 public:
  explicit ScriptedPort(VirtualClock& clock) : clock_(clock) {}

  PortOpenResult Open(int port) override {
    opened.push_back(port);
    if (!openResults.empty()) {
      PortOpenResult r = openResults.front();
      openResults.pop_front();
      if (!r.Ok()) return r;
    }
    open_ = true;
    return {};
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int BytesWaiting() override {
    int n = 0;
    for (const auto& [at, byte] : incoming_) n += at <= clock_.Now() ? 1 : 0;
    return n;
  }
  std::string Read(int n) override {
    if (gone) throw std::runtime_error("The device is no longer available");
    std::string out;
    while (n-- > 0 && !incoming_.empty() && incoming_.front().first <= clock_.Now()) {
      out += incoming_.front().second;
      incoming_.pop_front();
    }
    return out;
  }
  void Write(std::string_view bytes) override {
    writes.emplace_back(clock_.Now(), std::string(bytes));
    if (onWrite) onWrite(std::string(bytes), clock_.Now());
  }
  void ClearInput() override { incoming_.clear(); }
  void SetReceiveNotify(bool on) override { notify = on; }

  // Bytes that reach the host at a time, after those already on their way.
  void Arrive(const std::string& bytes, double at) {
    for (char c : bytes) incoming_.emplace_back(at, c);
  }
  // Everything the host sent, in order.
  std::string Sent() const {
    std::string all;
    for (const auto& w : writes) all += w.second;
    return all;
  }

  std::function<void(const std::string& bytes, double now)> onWrite;
  std::vector<std::pair<double, std::string>> writes;
  std::deque<PortOpenResult> openResults;
  std::vector<int> opened;
  bool notify = false;
  bool gone = false;  // a device unplugged: every read fails

 private:
  VirtualClock& clock_;
  std::deque<std::pair<double, char>> incoming_;
  bool open_ = false;
};

// A port finder that finds what the test says.
class FixedFinder : public PortFinder {
 public:
  std::optional<int> UsbCablePort() override { return cable; }
  std::optional<int> OtherUsbSerialPort() override { return otherUsbSerial; }
  std::optional<int> cable;
  std::optional<int> otherUsbSerial;
};

// The link's small windows, answered from a script.
class ScriptedDialogs : public LinkDialogs {
 public:
  bool NotResponding() override {
    ++notResponding;
    return answerHelp;
  }
  void Help() override { ++help; }
  std::optional<int> ChoosePort() override {
    ++portLists;
    return chosenPort;
  }
  bool answerHelp = false;
  std::optional<int> chosenPort;
  int notResponding = 0;
  int help = 0;
  int portLists = 0;
};

}  // namespace pelvaro::testing
