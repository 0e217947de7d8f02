#include "core/events/EventLabels.h"

#include <algorithm>
#include <array>
#include <chrono>

#include "core/outlook/Outlook.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {
namespace {

constexpr char kComment[] = "# Pelvaro wetting event labels: start, kind, note (UTF-8)";
// Far more than a season's labels; a larger file is not read on trust.
constexpr std::size_t kLargestFile = 8u << 20;

constexpr std::array<std::pair<EventKind, const char*>, 3> kKinds = {{
    {EventKind::Unknown, "unknown"},
    {EventKind::Rain, "rain"},
    {EventKind::Irrigation, "irrigation"},
}};

// The length of the UTF-8 character at `i`, or 0 when none starts there.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
  const auto lead = static_cast<unsigned char>(text[i]);
  std::size_t length = 0;
  char32_t cp = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    cp = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    cp = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(text[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (next & 0x3F);
  }
  constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

bool Digits(std::string_view text, std::size_t from, std::size_t count, int& value) {
  value = 0;
  for (std::size_t i = from; i < from + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t from = 0;;) {
    const std::size_t tab = line.find('\t', from);
    fields.push_back(line.substr(from, tab == std::string_view::npos ? tab : tab - from));
    if (tab == std::string_view::npos) return fields;
    from = tab + 1;
  }
}

EventLabel ParseLine(const fs::path& path, std::string_view line, std::size_t number) {
  const auto damaged = [&](const std::string& why) {
    return DamagedFileError(path, "line " + std::to_string(number) + " " + why);
  };
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() < 2 || fields.size() > 3) throw damaged("is not a start, a kind and a note");
  if (!IsEventStart(fields[0])) throw damaged("does not start with a date and time");
  const auto kind = ParseEventKind(fields[1]);
  if (!kind) throw damaged("names no kind of event");
  EventLabel label{std::string(fields[0]), *kind, std::nullopt};
  if (fields.size() == 3) {
    if (!IsUtf8(fields[2])) throw damaged("holds a note that is not UTF-8");
    label.note = CleanNote(fields[2]);
  }
  return label;
}

}  // namespace

const char* EventKindText(EventKind kind) {
  for (const auto& [k, text] : kKinds)
    if (k == kind) return text;
  return "unknown";
}

std::optional<EventKind> ParseEventKind(std::string_view text) {
  for (const auto& [kind, name] : kKinds)
    if (text == name) return kind;
  return std::nullopt;
}

bool IsEventStart(std::string_view text) {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':')
    return false;
  if (!Digits(text, 0, 4, year) || !Digits(text, 5, 2, month) || !Digits(text, 8, 2, day) ||
      !Digits(text, 11, 2, hour) || !Digits(text, 14, 2, minute) || !Digits(text, 17, 2, second))
    return false;
  using namespace std::chrono;
  const year_month_day date{std::chrono::year(year), std::chrono::month(month),
                            std::chrono::day(day)};
  return year > 0 && date.ok() && hour < 24 && minute < 60 && second < 60;
}

std::optional<std::string> CleanNote(std::string_view text) {
  const std::string typed = IsUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
  // Control characters, C1 ones (U+0080 to U+009F) included, would break the
  // file's lines or be acted on by a terminal that shows the note.
  std::string utf8;
  for (std::size_t i = 0; i < typed.size();) {
    const std::size_t length = Utf8Length(typed, i);
    const auto lead = static_cast<unsigned char>(typed[i]);
    const bool control =
        (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
        (length == 2 && lead == 0xC2 && static_cast<unsigned char>(typed[i + 1]) < 0xA0);
    utf8 += control ? std::string(" ") : typed.substr(i, length);
    i += length;
  }
  const auto first = utf8.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  utf8 = utf8.substr(first, utf8.find_last_not_of(' ') - first + 1);
  if (utf8.size() > kLongestNote) {
    std::size_t cut = 0;
    while (cut < utf8.size()) {
      const std::size_t length = Utf8Length(utf8, cut);
      if (cut + length > kLongestNote) break;
      cut += length;
    }
    utf8.resize(cut);
  }
  return utf8;
}

EventLabels EventLabels::Read(const fs::path& path) {
  EventLabels labels;
  labels.path_ = path;
  labels.read_ = Files::ReadFileIfPresent(path, kLargestFile + 1);
  if (!labels.read_) return labels;
  const std::string& text = *labels.read_;
  if (text.size() > kLargestFile) throw DamagedFileError(path, "it is larger than labels can be");
  std::size_t number = 0;
  // A byte order mark, as Notepad puts before UTF-8 it saves, is no label.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  const std::size_t first = text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  for (std::size_t from = first; from < text.size();) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    std::string_view line(text.data() + from, end - from);
    from = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    EventLabel label = ParseLine(path, line, number);
    if (labels.Find(label.start) != nullptr)
      throw DamagedFileError(
          path, "line " + std::to_string(number) + " labels " + label.start + " a second time");
    labels.Set(std::move(label));
  }
  return labels;
}

std::string EventLabels::Text(const std::vector<EventLabel>& labels) {
  std::string text = std::string(kComment) + "\n";
  for (const EventLabel& label : labels) {
    text += label.start + "\t" + EventKindText(label.kind);
    if (label.note) text += "\t" + *label.note;
    text += "\n";
  }
  return text;
}

const EventLabel* EventLabels::Find(std::string_view start) const {
  const auto at =
      std::lower_bound(labels_.begin(), labels_.end(), start,
                       [](const EventLabel& l, std::string_view s) { return l.start < s; });
  return at != labels_.end() && at->start == start ? &*at : nullptr;
}

void EventLabels::Set(EventLabel label) {
  const auto at =
      std::lower_bound(labels_.begin(), labels_.end(), label.start,
                       [](const EventLabel& l, const std::string& s) { return l.start < s; });
  const bool found = at != labels_.end() && at->start == label.start;
  if (label.kind == EventKind::Unknown && !label.note) {
    if (found) labels_.erase(at);
  } else if (found) {
    *at = std::move(label);
  } else {
    labels_.insert(at, std::move(label));
  }
}

bool EventLabels::Save() {
  if (Files::ReadFileIfPresent(path_, kLargestFile + 1) != read_) return false;
  std::string text = Text(labels_);
  Files::WriteWholeFile(path_, text);
  read_ = std::move(text);
  return true;
}

}  // namespace pelvaro
