#include "core/events/SiteEvents.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/outlook/OutlookReport.h"
#include "core/storage/CalibratedFiles.h"

namespace pelvaro {

namespace {

// Scans copied out of the reader's buffers, which it fills again for the
// next scan: room for `sensors` values and raw readings a scan, made once.
struct ScanBatch {
  ScanBatch(std::size_t scans, std::size_t sensors)
      : dateTimes(scans),
        totals(scans),
        read(scans),
        hundredths(scans * sensors),
        raw(scans * sensors) {}
  std::vector<double> dateTimes;
  std::vector<std::optional<double>> totals;
  std::vector<std::size_t> read;  // how many of a scan's values and readings are there
  std::vector<std::int32_t> hundredths;
  std::vector<std::uint16_t> raw;
  std::size_t size = 0;
};

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

// What one thread writes for every scan is kept off the cache lines the
// other reads: a line shared so goes back and forth between the processors
// at every scan, and both threads wait for it.
constexpr std::size_t kCacheLine = 64;

class EventsOfScans::RuleThread {
 public:
  // Throws std::system_error when no thread can be had.
  explicit RuleThread(const SiteScans& site)
      : sensors_(site.Sensors().size()),
        filling_(kBatchScans, sensors_),
        events_(site),
        thread_(&RuleThread::Run, this) {}
  // Abandons the scans not yet taken.
  ~RuleThread() {
    if (!thread_.joinable()) return;
    {
      const std::lock_guard lock(mutex_);
      abandoned_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  RuleThread(const RuleThread&) = delete;
  RuleThread& operator=(const RuleThread&) = delete;

  void Add(const SiteScans::Scan& scan) {
    const std::size_t k = filling_.size++;
    filling_.dateTimes[k] = scan.graph.dateTime;
    filling_.totals[k] = scan.total;
    std::int32_t* hundredths = filling_.hundredths.data() + k * sensors_;
    std::uint16_t* raw = filling_.raw.data() + k * sensors_;
    const std::size_t read =
        scan.raw != nullptr ? std::min(sensors_, scan.graph.hundredths.size()) : 0;
    filling_.read[k] = read;
    std::copy_n(scan.graph.hundredths.data(), read, hundredths);
    std::copy_n(scan.raw, read, raw);
    if (filling_.size == kBatchScans) Hand();
  }

  // The events, once the rule has taken every scan; throws what stopped it.
  std::vector<WettingEvent> Finish() {
    if (filling_.size > 0) Hand();
    {
      const std::lock_guard lock(mutex_);
      ended_ = true;
    }
    changed_.notify_all();
    thread_.join();
    if (failure_) std::rethrow_exception(failure_);
    return events_.Finish();
  }

 private:
  // Enough to keep both threads busy, few enough to keep memory bounded.
  static constexpr std::size_t kBatchScans = 16384;
  static constexpr std::size_t kBatchesAhead = 3;
  static constexpr std::chrono::milliseconds kAwake{5};

  void Hand() {
    std::optional<ScanBatch> spare;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return full_.size() < kBatchesAhead || failure_; });
      // A rule that stopped ends the pass, as it would have on this thread.
      if (failure_) std::rethrow_exception(failure_);
      full_.push_back(std::move(filling_));
      if (!spare_.empty()) {
        spare.emplace(std::move(spare_.back()));
        spare_.pop_back();
      }
    }
    changed_.notify_all();
    filling_ = spare ? std::move(*spare) : ScanBatch(kBatchScans, sensors_);
    filling_.size = 0;
  }

  void Run() {
    std::optional<ScanBatch> batch;
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        if (batch) spare_.push_back(std::move(*batch));
        WaitForBatch(lock);
        if (abandoned_ || full_.empty()) return;
        batch.emplace(std::move(full_.front()));
        full_.pop_front();
      }
      changed_.notify_all();
      try {
        Take(*batch);
      } catch (...) {
        {
          const std::lock_guard lock(mutex_);
          failure_ = std::current_exception();
        }
        changed_.notify_all();
        return;
      }
    }
  }

  // Awake a while before sleeping: the next batch is most often less than
  // a millisecond away, and a thread put to sleep is often woken on the
  // caller's processor, where the two then take turns instead of running
  // side by side. Yielding, so that it never keeps another thread waiting.
  void WaitForBatch(std::unique_lock<std::mutex>& lock) {
    const auto ready = [this] { return abandoned_ || ended_ || !full_.empty(); };
    const auto awakeUntil = std::chrono::steady_clock::now() + kAwake;
    while (!ready() && std::chrono::steady_clock::now() < awakeUntil) {
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
    }
    changed_.wait(lock, ready);
  }

  void Take(const ScanBatch& batch) {
    // Read once: it lies by what the caller writes for every scan.
    const std::size_t sensors = sensors_;
    for (std::size_t k = 0; k < batch.size; ++k) {
      const std::size_t at = k * sensors;
      // Only the values that were read: the rule takes the rest as missing.
      const std::size_t read = batch.read[k];
      events_.Add(EventScan{batch.dateTimes[k],
                            std::span<const std::int32_t>(batch.hundredths.data() + at, read),
                            batch.raw.data() + at, batch.totals[k]});
    }
  }

  // The caller's.
  const std::size_t sensors_;
  ScanBatch filling_;
  // Both threads', under the lock.
  alignas(kCacheLine) std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ScanBatch> full_;
  std::vector<ScanBatch> spare_;
  bool ended_ = false;
  bool abandoned_ = false;
  std::exception_ptr failure_;
  // The rule's.
  alignas(kCacheLine) WettingEvents events_;
  // Last: started once the rest is in place.
  std::thread thread_;
};

EventsOfScans::EventsOfScans(const Files& files) : files_(&files) {}

EventsOfScans::~EventsOfScans() = default;

void EventsOfScans::Begin(const SiteScans& site) {
  thread_.reset();
  events_.reset();
  if (!site.DataDirectory().empty()) {
    labelsPath_ = CalibratedPath(*files_, CheckSafeName(site.DataDirectory()),
                                 site.Identification(), kLabelsExtension);
  }
  try {
    thread_ = std::make_unique<RuleThread>(site);
  } catch (const std::system_error&) {
    // No thread to be had: the rule runs here instead.
    events_.emplace(site);
  }
}

void EventsOfScans::Scan(const SiteScans::Scan& scan) {
  if (thread_) {
    thread_->Add(scan);
  } else {
    events_->Add(scan);
  }
}

std::vector<WettingEvent> EventsOfScans::Finish() {
  std::vector<WettingEvent> events;
  if (thread_) {
    events = thread_->Finish();
    thread_.reset();
  } else if (events_) {
    events = events_->Finish();
  }
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
