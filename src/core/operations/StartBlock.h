#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/link/Protocol.h"
#include "core/platform/Clock.h"

namespace pelvaro {

inline constexpr std::size_t kStartBlockSize = protocol::kStartBlockBytes;
using StartBlockBytes = std::array<std::uint8_t, kStartBlockSize>;  // bytes 1..41 at 0..40

enum class StartMode { Immediate = 1, Timed = 2 };

struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int Seconds() const { return hour * 3600 + minute * 60 + second; }
  bool operator==(const TimeOfDay&) const = default;
};

struct StartSettings {
  StartMode mode = StartMode::Immediate;
  DateTime start;  // a timed start's date and time of day
  TimeOfDay scan{0, 15, 0};
  int siteNumber = 1;
  int sensorsOn = 0;
};

// The block, or the message that refuses it.
struct StartBlockResult {
  std::optional<StartBlockBytes> block;
  std::string error;
};

// The 41 bytes the logger is started with, from one reading of the computer's
// clock and the chosen settings.
StartBlockResult BuildStartBlock(const StartSettings& settings, const DateTime& now);

// The scan interval within its limits: 30 s to 12 h.
TimeOfDay CorrectScanTime(TimeOfDay scan);
// A timed start's first offer: two minutes from now, on the minute (late in
// the evening that is tomorrow, so the offer is never refused as past).
DateTime TimedStartDefault(const DateTime& now);

}  // namespace pelvaro
