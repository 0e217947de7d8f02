#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/platform/Files.h"

namespace pelvaro {

// What a person says a wetting event was. Every event is Unknown until
// labelled.
enum class EventKind { Unknown, Rain, Irrigation };
// "unknown", "rain", "irrigation".
const char* EventKindText(EventKind kind);
std::optional<EventKind> ParseEventKind(std::string_view text);

// A label, keyed by its event's start as ISO 8601 local time
// ("2026-09-07T10:00:00"); the note is UTF-8 text, never empty.
struct EventLabel {
  std::string start;
  EventKind kind = EventKind::Unknown;
  std::optional<std::string> note;
  bool operator==(const EventLabel&) const = default;
};

inline constexpr char kLabelsExtension[] = ".EVT";
// The longest note kept; a longer one is cut at a character boundary.
inline constexpr std::size_t kLongestNote = 2000;

// The labels of one site, kept in "<site>.EVT" in its data directory: UTF-8
// text, one label per line. A label outlives its event: when data is edited
// or deleted, it stays in the file and is shown as a note without an event.
class EventLabels {
 public:
  EventLabels() = default;
  // The file's labels; none when there is no file. Throws IoError when it
  // cannot be read and DamagedFileError when a line is not a label, so that
  // a save never writes over labels it could not read.
  static EventLabels Read(const fs::path& path);
  // The file as written: a comment line, then the labels by start.
  static std::string Text(const std::vector<EventLabel>& labels);

  const fs::path& Path() const { return path_; }
  // By start.
  const std::vector<EventLabel>& All() const { return labels_; }
  const EventLabel* Find(std::string_view start) const;
  // Sets a label; an unknown kind without a note removes it.
  void Set(EventLabel label);

  // Writes the labels crash-safely. The caller holds the writer lock. False,
  // and nothing written, when the file is no longer as it was read: the
  // person must see the other program's labels before overwriting them.
  // Throws IoError.
  bool Save();

 private:
  fs::path path_;
  std::optional<std::string> read_;  // the bytes read; nothing: there was no file
  std::vector<EventLabel> labels_;
};

// A note as it is kept: valid UTF-8 (text that is not is taken as
// Windows-1252), line breaks and tabs as spaces, outer spaces trimmed, at
// most kLongestNote bytes; nothing when empty.
std::optional<std::string> CleanNote(std::string_view text);

// "2026-09-07T10:00:00" checked: four-digit year, a calendar date, a time of day.
bool IsEventStart(std::string_view text);

}  // namespace pelvaro
