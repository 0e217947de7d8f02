#include "core/events/SiteEvents.h"

#include "core/outlook/OutlookReport.h"
#include "core/storage/CalibratedFiles.h"

namespace pelvaro {

namespace {

// Hands every scan to the events and to one more sink.
class BothSinks : public SiteScanSink {
 public:
  BothSinks(SiteScanSink& first, SiteScanSink& second) : first_(first), second_(second) {}
  void Begin(const SiteScans& site) override {
    first_.Begin(site);
    second_.Begin(site);
  }
  void Scan(const SiteScans::Scan& scan) override {
    first_.Scan(scan);
    second_.Scan(scan);
  }

 private:
  SiteScanSink& first_;
  SiteScanSink& second_;
};

}  // namespace

void EventsOfScans::Begin(const SiteScans& site) {
  events_.emplace(site);
  if (!site.DataDirectory().empty()) {
    labelsPath_ = CalibratedPath(*files_, CheckSafeName(site.DataDirectory()),
                                 site.Identification(), kLabelsExtension);
  }
}

std::vector<WettingEvent> EventsOfScans::Finish() {
  if (!events_) return {};
  std::vector<WettingEvent> events = events_->Finish();
  for (WettingEvent& event : events) event = RoundedForOutput(event);
  return events;
}

double EventDateTime(EventSeconds time) {
  constexpr EventSeconds kDay = 86400;
  const EventSeconds day = time >= 0 ? time / kDay : -((-time + kDay - 1) / kDay);
  return static_cast<double>(day) + static_cast<double>(time - day * kDay) / kDay;
}

std::string EventTimeText(EventSeconds time) { return IsoDateTime(EventDateTime(time)); }

EventList JoinLabels(const std::vector<WettingEvent>& events, const EventLabels& labels) {
  EventList list;
  list.events.reserve(events.size());
  std::vector<bool> used(labels.All().size(), false);
  for (const WettingEvent& event : events) {
    LabelledEvent& labelled = list.events.emplace_back();
    labelled.event = event;
    labelled.start = EventTimeText(event.start);
    if (const EventLabel* label = labels.Find(labelled.start)) {
      labelled.kind = label->kind;
      labelled.note = label->note;
      used[static_cast<std::size_t>(label - labels.All().data())] = true;
    }
  }
  for (std::size_t i = 0; i < used.size(); ++i)
    if (!used[i]) list.orphans.push_back(labels.All()[i]);
  return list;
}

std::optional<LastEvent> LastOf(const EventList& list) {
  if (list.events.empty()) return std::nullopt;
  const LabelledEvent& last = list.events.back();
  return LastEvent{EventDateTime(last.event.start), EventKindText(last.kind), last.event.deepestCm,
                   last.event.effectiveGain};
}

SiteEvents ReadSiteEvents(const Files& files, const std::string& identification,
                          const ReadProgress& progress, SiteScanSink* alsoScans,
                          OutlookFigures figures) {
  SiteEvents out;
  EventsOfScans events(files);
  std::optional<BothSinks> both;
  if (alsoScans != nullptr) both.emplace(events, *alsoScans);
  SiteScanSink* sink = both ? static_cast<SiteScanSink*>(&*both) : &events;
  out.outlook = ReadSiteOutlook(files, identification, progress, nullptr, sink, figures);
  if (!out.outlook.error.empty()) return out;
  try {
    if (!events.LabelsPath().empty()) out.labels = EventLabels::Read(events.LabelsPath());
  } catch (const std::exception& e) {
    out.labelsError = e.what();
    out.outlook.lastEventError = out.labelsError;
    return out;
  }
  out.list = JoinLabels(events.Finish(), out.labels);
  out.outlook.lastEvent = LastOf(out.list);
  return out;
}

}  // namespace pelvaro
