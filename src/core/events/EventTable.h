#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/events/SiteEvents.h"
#include "core/platform/Files.h"
#include "core/platform/Prompter.h"

namespace pelvaro {

// The graph window's list of wetting events: a site's events joined with
// their labels, whose kinds and notes are edited in place and saved back to
// the site's labels file.
class EventTable {
 public:
  // The events of the latest pass over the site (nothing: the pass failed,
  // and the list is empty) and the site's labels file. The file is read
  // again unless edits are waiting to be saved: those are kept, joined with
  // the new events.
  void Load(std::optional<std::vector<WettingEvent>> events, const fs::path& labelsPath);
  const EventList& List() const { return list_; }
  // The labels were read: kinds and notes may be edited and saved.
  bool Editable() const { return labels_.has_value(); }
  // Why the labels file could not be read; empty when it was. Its events
  // then show as unknown, and nothing is ever saved over it.
  const std::string& LabelsError() const { return labelsError_; }
  bool Changed() const { return changed_; }

  // The event at `index` of List().events gets a kind, or a note (cleaned as
  // a label keeps it); false when the list cannot be edited or nothing changed.
  bool SetKind(std::size_t index, EventKind kind);
  bool SetNote(std::size_t index, std::string_view note);

  // Saves the labels under the writer lock, only when the file is still as
  // it was read; when another program changed it the person may reload it,
  // which drops the edits. `ask`: the question a closing window asks first.
  enum class SaveResult { Declined, Refused, Saved, Reloaded };
  SaveResult Save(const Files& files, Prompter& prompter, bool ask);

 private:
  void ReadLabels();
  void Join();
  bool Set(std::size_t index, EventKind kind, std::optional<std::string> note);

  std::optional<std::vector<WettingEvent>> events_;
  fs::path path_;
  std::optional<EventLabels> labels_;
  std::string labelsError_;
  EventList list_;
  bool changed_ = false;
};

}  // namespace pelvaro
