// A bad serial line between the host and the logger: it changes the logger's
// answer to a download command on its way, byte by byte.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/platform/SerialPort.h"

namespace pelvaro::testing {

// Gets one byte of the answer with its offset (0: the byte count's high byte,
// 2: the run header's first byte, 15: the first data byte) and gives what
// reaches the host instead.
using LineEdit = std::function<std::string(std::size_t offset, char byte)>;

// Bit 0..15 of the 16-bit byte count, bit 0 the lowest.
inline LineEdit FlipCountBit(int bit) {
  return [bit](std::size_t offset, char byte) {
    if (offset == (bit < 8 ? 1u : 0u)) byte = static_cast<char>(byte ^ (1 << (bit % 8)));
    return std::string(1, byte);
  };
}

inline LineEdit InsertBefore(std::size_t at, char extra) {
  return [=](std::size_t offset, char byte) {
    return offset == at ? std::string{extra, byte} : std::string(1, byte);
  };
}

inline LineEdit DropAt(std::size_t at) {
  return [=](std::size_t offset, char byte) {
    return offset == at ? std::string() : std::string(1, byte);
  };
}

inline LineEdit AppendAfter(std::size_t last, std::string extra) {
  return [=](std::size_t offset, char byte) {
    return offset == last ? byte + extra : std::string(1, byte);
  };
}

// Follows both directions of the line: the answer to the first download
// command goes through the edit, everything else passes unchanged.
class AnswerEditor {
 public:
  explicit AnswerEditor(LineEdit edit) : edit_(std::move(edit)) {}

  void FromHost(std::string_view bytes) {
    for (char c : bytes) {
      if (last_ == 'D' && c == '\r') {
        offset_.reset();
        if (edit_ && !edited_) offset_ = 0;
        edited_ = true;
      }
      last_ = c;
    }
  }
  std::string FromLogger(std::string_view bytes) {
    if (!offset_) return std::string(bytes);
    std::string out;
    for (char c : bytes) out += edit_((*offset_)++, c);
    return out;
  }

 private:
  LineEdit edit_;
  char last_ = 0;
  bool edited_ = false;
  std::optional<std::size_t> offset_;  // of the next answer byte, while editing
};

// A port whose received bytes pass through an AnswerEditor.
class EditedPort : public SerialPort {
 public:
  EditedPort(SerialPort& line, LineEdit edit) : line_(line), editor_(std::move(edit)) {}

  PortOpenResult Open(int portNumber) override { return line_.Open(portNumber); }
  void Close() override {
    line_.Close();
    received_.clear();
  }
  bool IsOpen() const override { return line_.IsOpen(); }
  int BytesWaiting() override {
    Collect();
    return static_cast<int>(received_.size());
  }
  std::string Read(int n) override {
    Collect();
    std::string bytes = received_.substr(0, static_cast<std::size_t>(std::max(n, 0)));
    received_.erase(0, bytes.size());
    return bytes;
  }
  void Write(std::string_view bytes) override {
    editor_.FromHost(bytes);
    line_.Write(bytes);
  }
  void ClearInput() override {
    line_.ClearInput();
    received_.clear();
  }
  void SetReceiveNotify(bool on) override { line_.SetReceiveNotify(on); }

 private:
  void Collect() { received_ += editor_.FromLogger(line_.Read(line_.BytesWaiting())); }

  SerialPort& line_;
  AnswerEditor editor_;
  std::string received_;
};

}  // namespace pelvaro::testing
