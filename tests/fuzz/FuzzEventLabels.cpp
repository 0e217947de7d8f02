// A site's event labels file holding the input: read, or refused as damaged;
// what is read is written and read back unchanged, and a note typed as the
// input is kept as the file keeps notes.
#include <cstdlib>

#include "core/events/EventLabels.h"
#include "fuzz/FuzzInput.h"

using namespace pelvaro;

namespace {

void Check(bool holds) {
  if (!holds) std::abort();
}

// The labels as a save writes them, read back.
std::vector<EventLabel> RoundTrip(const fs::path& path, const std::vector<EventLabel>& labels) {
  fuzz::WriteFile(path, EventLabels::Text(labels));
  return EventLabels::Read(path).All();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Input input = fuzz::Split(data, size);
  const fs::path path = fuzz::ScratchRoot() / "FARM_01.EVT";
  fuzz::WriteFile(path, input.content, input.extendTo);
  try {
    const std::vector<EventLabel> read = EventLabels::Read(path).All();
    Check(RoundTrip(path, read) == read);
  } catch (const DamagedFileError&) {
  }

  // Any text typed as a note is kept whole or not at all, and saved it
  // reads back as it was kept.
  const std::optional<std::string> note = CleanNote(input.content);
  if (note) {
    Check(!note->empty() && note->size() <= kLongestNote && CleanNote(*note) == note);
    Check(note->find_first_of("\t\r\n") == std::string::npos);
  }
  EventLabels labels;
  labels.Set({"2026-09-07T10:00:00", EventKind::Irrigation, note});
  Check(RoundTrip(path, labels.All()) == labels.All());
  return 0;
}
