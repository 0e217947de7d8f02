#pragma once

// The logger's serial protocol, one home for the host and the simulator:
// docs/protocol.md describes the exchanges these values make up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>

// The 13-byte run header is also what a block's .KEY file keeps, so its
// layout lives with the stored formats; the protocol sends it as it is.
#include "core/storage/BlockStore.h"

namespace pelvaro::protocol {

// Waking: the host sends a wake byte until the logger greets.
inline constexpr char kWakeByte = '\x00';
inline constexpr char kStartWakeByte = '\x01';  // the start wakes with this one
inline constexpr std::string_view kGreeting = "Hi!\r";
// A reply of up to four bytes is a greeting when its second and third bytes
// are these (the first may be lost while the logger wakes).
inline constexpr std::size_t kWakeReplyBytes = 4;
inline constexpr std::string_view kGreetingMark = "i!";

// Commands: a letter, then a carriage return (trace: the sensor count).
inline constexpr char kDownload = 'D';
inline constexpr char kStart = 'S';
inline constexpr char kSerialNumber = 'N';
inline constexpr char kTrace = 'T';
inline constexpr char kCommandEnd = '\r';
inline std::string Command(char letter) { return {letter, kCommandEnd}; }
inline std::string TraceCommand(int sensors) { return {kTrace, static_cast<char>(sensors)}; }

// Download: the byte count N (high byte first), the run header (not counted
// in N), N / 2 words low byte first, then the host's closing byte.
inline constexpr std::size_t kByteCountBytes = 2;
inline constexpr std::size_t kRunHeaderBytes = std::tuple_size_v<decltype(RunHeader::b)>;
inline constexpr char kEndOfTransfer = '\x00';
// The logger's memory, in words; a full memory may end inside a scan.
inline constexpr std::uint64_t kMemoryWords = kMaxBlockWords;

// Start: the block the logger echoes back byte for byte.
inline constexpr std::size_t kStartBlockBytes = 41;

// Serial number: two bytes, low byte first.
inline constexpr std::size_t kSerialNumberBytes = 2;

// Trace: one word per sensor each second; the logger ends a trace by itself
// after this many scans and greets ("Hi"); the host's stop byte ends it early.
inline constexpr int kLoggerTraceScans = 64;
inline constexpr char kTraceStop = '\x00';

}  // namespace pelvaro::protocol
