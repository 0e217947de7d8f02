#include "core/events/EventTable.h"

#include "core/platform/PathNames.h"
#include "core/platform/WriterLock.h"
#include "core/storage/OpenedFiles.h"

namespace pelvaro {

void EventTable::Load(std::optional<std::vector<WettingEvent>> events, const fs::path& labelsPath) {
  events_ = std::move(events);
  const bool keepEdits = changed_ && labels_ && labelsPath == path_;
  path_ = labelsPath;
  if (!keepEdits) {
    changed_ = false;
    ReadLabels();
  }
  Join();
}

void EventTable::ReadLabels() {
  labels_.reset();
  labelsError_.clear();
  if (path_.empty()) return;  // a site without a data directory has no events either
  try {
    labels_ = EventLabels::Read(path_);
  } catch (const IoError& e) {
    labelsError_ = e.what();
  }
}

void EventTable::Join() {
  if (!events_) {
    list_ = {};
    return;
  }
  // Labels not read show nothing of theirs: every event unknown, no orphans.
  list_ = JoinLabels(*events_, labels_ ? *labels_ : EventLabels{});
}

bool EventTable::Set(std::size_t index, EventKind kind, std::optional<std::string> note) {
  if (!labels_ || index >= list_.events.size()) return false;
  LabelledEvent& event = list_.events[index];
  if (event.kind == kind && event.note == note) return false;
  event.kind = kind;
  event.note = note;
  labels_->Set(EventLabel{event.start, kind, std::move(note)});
  changed_ = true;
  return true;
}

bool EventTable::SetKind(std::size_t index, EventKind kind) {
  if (index >= list_.events.size()) return false;
  return Set(index, kind, list_.events[index].note);
}

bool EventTable::SetNote(std::size_t index, std::string_view note) {
  if (index >= list_.events.size()) return false;
  return Set(index, list_.events[index].kind, CleanNote(note));
}

EventTable::SaveResult EventTable::Save(const Files& files, Prompter& prompter, bool ask) {
  if (!labels_) return SaveResult::Refused;
  if (ask &&
      prompter.Message("Changes have been made to this site's event labels.\r\n\r\nWould you "
                       "like to save these changes?",
                       "Save Event Labels", Buttons::YesNo, Icon::Question) != Answer::Yes) {
    return SaveResult::Declined;
  }
  const auto lock = LockForWriting(files, prompter);
  if (!lock) return SaveResult::Refused;
  try {
    if (!labels_->Save()) {
      // Another program's labels are never written over unseen.
      if (prompter.Message(FileChangedText(PathText(path_.filename())), kFileChangedTitle,
                           Buttons::YesNo, Icon::Exclamation) != Answer::Yes) {
        return SaveResult::Refused;
      }
      changed_ = false;
      ReadLabels();
      Join();
      return SaveResult::Reloaded;
    }
  } catch (const IoError& e) {
    prompter.Message(
        std::string("An error occurred while saving the event labels.\r\nThe error is ") +
        e.what());
    return SaveResult::Refused;
  }
  changed_ = false;
  return SaveResult::Saved;
}

}  // namespace pelvaro
