#include "core/events/EventReport.h"

#include <cmath>
#include <set>

#include "core/outlook/OutlookReport.h"

namespace pelvaro {
namespace {

constexpr int kAmountDecimals = 3;
constexpr int kLagDecimals = 2;

std::string Amount(double value) { return ShortDecimal(value, kAmountDecimals); }

// Null-or-value cells in the JSON's form.
std::string JsonOr(const std::optional<double>& value, int decimals) {
  return value ? ShortDecimal(*value, decimals) : "null";
}

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string CsvCell(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

EventList EventsBetween(const EventList& list, std::optional<std::int64_t> fromDay,
                        std::optional<std::int64_t> toDay) {
  const auto inRange = [&](EventSeconds start) {
    const auto day = static_cast<std::int64_t>(std::floor(EventDateTime(start)));
    return (!fromDay || day >= *fromDay) && (!toDay || day <= *toDay);
  };
  // ISO dates of four-digit years sort as the days do.
  const std::string from = fromDay ? IsoDate(*fromDay) : "";
  const std::string to = toDay ? IsoDate(*toDay) : "";
  EventList out;
  for (const LabelledEvent& e : list.events)
    if (inRange(e.event.start)) out.events.push_back(e);
  for (const EventLabel& label : list.orphans) {
    const std::string day = label.start.substr(0, 10);
    if ((from.empty() || day >= from) && (to.empty() || day <= to)) out.orphans.push_back(label);
  }
  return out;
}

std::string LagsText(const WettingEvent& event) {
  std::string text;
  for (const DepthResponse& d : event.depths) {
    text += (text.empty() ? "" : ", ") + std::to_string(d.depthCm) + " cm ";
    if (!d.reached) {
      text += "unknown";
    } else if (!*d.reached) {
      text += "not reached";
    } else {
      text += ShortDecimal(d.lagHours.value_or(0), kLagDecimals) + " h";
    }
  }
  return text;
}

std::string DeepestText(const WettingEvent& event) {
  return event.deepestCm ? std::to_string(*event.deepestCm) + " cm" : "\u2013";
}

std::string EventLine(const LabelledEvent& labelled) {
  const WettingEvent& e = labelled.event;
  std::string line = labelled.start + "  " + EventKindText(labelled.kind);
  line += "  peak " + EventTimeText(e.peak);
  line += e.end ? "  end " + EventTimeText(*e.end) : std::string("  still wetting");
  line += "  total " + Amount(e.totalStart) + " to " + Amount(e.totalPeak) + " " + e.unit;
  line += "  gain " + Amount(e.gain) + " (effective " + Amount(e.effectiveGain) + ", excess " +
          Amount(e.excess) + ")";
  line += e.deepestCm ? "  deepest " + std::to_string(*e.deepestCm) + " cm" : "  reached no sensor";
  if (e.belowRootZone) line += " (below the root zone)";
  line += "  lags " + LagsText(e);
  if (labelled.note) line += "  note: " + *labelled.note;
  return line;
}

std::string EventsText(const EventList& list) {
  if (list.events.empty() && list.orphans.empty()) return "no wetting events\n";
  std::string text;
  for (const LabelledEvent& e : list.events) text += EventLine(e) + "\n";
  for (const EventLabel& label : list.orphans) {
    text += label.start + "  " + EventKindText(label.kind) + "  " + kNoSuchEvent;
    if (label.note) text += "  note: " + *label.note;
    text += "\n";
  }
  return text;
}

std::string EventsJson(const EventList& list) {
  std::string json = "[";
  for (std::size_t i = 0; i < list.events.size(); ++i) {
    const LabelledEvent& labelled = list.events[i];
    const WettingEvent& e = labelled.event;
    std::string depths;
    for (const DepthResponse& d : e.depths) {
      depths += std::string(depths.empty() ? "" : ", ") +
                "{\"depth_cm\": " + std::to_string(d.depthCm) +
                ", \"reached\": " + (d.reached ? Bool(*d.reached) : "null") +
                ", \"lag_hours\": " + JsonOr(d.lagHours, kLagDecimals) +
                ", \"rise\": " + JsonOr(d.rise, kAmountDecimals) + "}";
    }
    const std::pair<const char*, std::string> fields[] = {
        {"start", JsonUtf8String(labelled.start)},
        {"peak", JsonUtf8String(EventTimeText(e.peak))},
        {"end", e.end ? JsonUtf8String(EventTimeText(*e.end)) : "null"},
        {"total_start", Amount(e.totalStart)},
        {"total_peak", Amount(e.totalPeak)},
        {"gain", Amount(e.gain)},
        {"effective_gain", Amount(e.effectiveGain)},
        {"excess", Amount(e.excess)},
        {"unit", JsonUtf8String(e.unit)},
        {"deepest_cm", e.deepestCm ? std::to_string(*e.deepestCm) : "null"},
        {"below_root_zone", Bool(e.belowRootZone)},
        {"depths", "[" + depths + "]"},
        {"kind", JsonUtf8String(EventKindText(labelled.kind))},
        {"note", labelled.note ? JsonUtf8String(*labelled.note) : "null"},
    };
    json += i == 0 ? "\n  {" : ",\n  {";
    for (std::size_t k = 0; k < std::size(fields); ++k) {
      json += std::string(k == 0 ? "\n" : ",\n") + "    \"" + fields[k].first +
              "\": " + fields[k].second;
    }
    json += "\n  }";
  }
  return json + (list.events.empty() ? "]\n" : "\n]\n");
}

std::string EventsCsv(const EventList& list) {
  // Every event of a site has the same sensors; the columns are their depths.
  std::set<int> depths;
  for (const LabelledEvent& e : list.events)
    for (const DepthResponse& d : e.event.depths) depths.insert(d.depthCm);
  std::string csv =
      "start,peak,end,total_start,total_peak,gain,effective_gain,excess,unit,deepest_cm,"
      "below_root_zone";
  for (int d : depths) {
    const std::string cm = std::to_string(d) + "cm";
    for (const char* column : {",reached_", ",lag_hours_", ",rise_"}) csv.append(column).append(cm);
  }
  csv += ",kind,note\r\n";
  for (const LabelledEvent& labelled : list.events) {
    const WettingEvent& e = labelled.event;
    csv += labelled.start + "," + EventTimeText(e.peak) + "," +
           (e.end ? EventTimeText(*e.end) : "") + "," + Amount(e.totalStart) + "," +
           Amount(e.totalPeak) + "," + Amount(e.gain) + "," + Amount(e.effectiveGain) + "," +
           Amount(e.excess) + "," + e.unit + "," +
           (e.deepestCm ? std::to_string(*e.deepestCm) : "") + "," + Bool(e.belowRootZone);
    for (int depth : depths) {
      const DepthResponse* d = nullptr;
      for (const DepthResponse& r : e.depths)
        if (r.depthCm == depth) d = &r;
      const bool known = d != nullptr && d->reached.has_value();
      csv += "," + (known ? Bool(*d->reached) : "");
      csv += "," + (known && d->lagHours ? ShortDecimal(*d->lagHours, kLagDecimals) : "");
      csv += "," + (known && d->rise ? Amount(*d->rise) : "");
    }
    csv += "," + std::string(EventKindText(labelled.kind)) + "," +
           CsvCell(labelled.note.value_or("")) + "\r\n";
  }
  return csv;
}

}  // namespace pelvaro
