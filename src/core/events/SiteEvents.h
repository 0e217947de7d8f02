#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/events/EventLabels.h"
#include "core/events/WettingEvents.h"
#include "core/outlook/Outlook.h"
#include "core/outlook/SiteScans.h"

namespace pelvaro {

// Finds the events in the scans the outlook reads, so a window or a command
// that shows both reads the files once.
// The rule runs on a thread of its own, fed the scans in batches, so that
// reading the files and finding the events overlap; where no thread can be
// had, it runs on the caller's. Either way it sees the same scans in the
// same order.
class EventsOfScans : public SiteScanSink {
 public:
  explicit EventsOfScans(const Files& files);
  ~EventsOfScans() override;
  EventsOfScans(const EventsOfScans&) = delete;
  EventsOfScans& operator=(const EventsOfScans&) = delete;
  // A pass begun again drops what the last one found.
  void Begin(const SiteScans& site) override;
  void Scan(const SiteScans::Scan& scan) override;
  // Every event, rounded as shown, by start; none when the site never began.
  std::vector<WettingEvent> Finish();
  // Where the site's labels are kept; empty when it names no data directory.
  const fs::path& LabelsPath() const { return labelsPath_; }

 private:
  class RuleThread;
  const Files* files_;
  std::unique_ptr<RuleThread> thread_;
  // The rule when it runs on the caller's thread.
  std::optional<WettingEvents> events_;
  fs::path labelsPath_;
};

// An event with what a person said it was.
struct LabelledEvent {
  WettingEvent event;
  std::string start;  // ISO 8601 local time, the label's key
  EventKind kind = EventKind::Unknown;
  std::optional<std::string> note;
};

// A site's events with their labels, and the labels whose event no longer
// exists (the data was edited or deleted): kept, and shown as notes.
struct EventList {
  std::vector<LabelledEvent> events;
  std::vector<EventLabel> orphans;
};
EventList JoinLabels(const std::vector<WettingEvent>& events, const EventLabels& labels);

// A scan time in seconds as a date-time (day number and fraction), and as
// ISO 8601 local time.
double EventDateTime(EventSeconds time);
std::string EventTimeText(EventSeconds time);

// The last event as the status shows it; nothing for no event.
std::optional<LastEvent> LastOf(const EventList& list);

// A site's outlook, events and labels, read in one pass. Never throws: when
// the site cannot be read, `outlook.error` says why; when its labels cannot
// be, `labelsError` and `outlook.lastEventError` do, the outlook stands, and
// there is no event (a label read wrongly is never shown as unknown).
// `alsoScans`, when given, sees the same scans, for a caller that draws them too.
struct SiteEvents {
  SiteOutlook outlook;
  EventList list;
  EventLabels labels;
  std::string labelsError;
  // The error that keeps the events from being shown, if any.
  const std::string& Error() const { return outlook.error.empty() ? labelsError : outlook.error; }
};
// `figures` Skipped: the events alone, without the outlook's figures.
SiteEvents ReadSiteEvents(const Files& files, const std::string& identification,
                          const ReadProgress& progress = {}, SiteScanSink* alsoScans = nullptr,
                          OutlookFigures figures = OutlookFigures::Computed);

}  // namespace pelvaro
