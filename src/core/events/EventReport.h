#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/events/SiteEvents.h"

namespace pelvaro {

// How the events are shown and exported: UTF-8 text, since notes are.

// The events whose start day lies from `fromDay` to `toDay` (day numbers,
// both included; an open end takes everything on its side), and the orphan
// labels of those days. The rule itself always runs over the whole season.
EventList EventsBetween(const EventList& list, std::optional<std::int64_t> fromDay,
                        std::optional<std::int64_t> toDay);

// `pelvaro-cli events`: one line per event, then one per label without an
// event, each ending in "\n"; "no wetting events\n" when there is neither.
std::string EventsText(const EventList& list);
// One event's line, without its "\n".
std::string EventLine(const LabelledEvent& labelled);
// "10 cm 1.5 h, 20 cm 3.25 h, 30 cm not reached, 40 cm unknown"
std::string LagsText(const WettingEvent& event);
// The deepest depth the water reached, "40 cm"; "–" when it reached none.
std::string DeepestText(const WettingEvent& event);
// What a label says when its event is gone.
inline constexpr char kNoSuchEvent[] = "no such event now (data changed)";

// An array of objects with `start`, `peak`, `end`, `total_start`,
// `total_peak`, `gain`, `effective_gain`, `excess`, `unit`, `deepest_cm`,
// `below_root_zone`, `depths`, `kind` and `note`.
std::string EventsJson(const EventList& list);
// The same keys as columns, the depths as `reached_10cm`, `lag_hours_10cm`
// and `rise_10cm` for each depth; an empty cell for null.
std::string EventsCsv(const EventList& list);

}  // namespace pelvaro
