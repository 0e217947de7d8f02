#include "core/outlook/OutlookReport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/storage/NumberText.h"
#include "core/storage/TextRoutines.h"

namespace pelvaro {

namespace {

// Windows-1252 bytes of the en dash and the middle dot.
constexpr char kEnDash[] = "\x96";
constexpr char kMiddleDot[] = " \xB7 ";

std::string TimeText(int seconds, bool withSeconds = true) {
  char text[16];
  if (withSeconds) {
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 3600, seconds / 60 % 60);
  }
  return text;
}

std::string Padded(int n, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, n);
  return text;
}

// The rank of a site in the urgency order, and within it what comes first.
std::pair<int, double> UrgencyKey(const SiteOutlook& o) {
  if (!o.error.empty()) return {4, 0};
  switch (o.kind) {
    case OutlookKind::BelowRefill:
      return {0, o.belowSince.value_or(0)};
    case OutlookKind::Refill:
      return {1, o.daysToRefill.value_or(0)};
    case OutlookKind::NoForecast:
      return {2, 0};
    case OutlookKind::NoData:
      break;
  }
  return {3, 0};
}

std::string Plural(double n, const std::string& one, const std::string& many) {
  return n == 1 ? one : many;
}

std::string JsonText(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

// The status command's figures; the windows show fewer decimals.
constexpr int kAmountDecimals = 3;  // totals, limits and daily use
constexpr int kDaysDecimals = 2;

// A figure of the status command in JSON: null for nothing and for what is not finite.
std::string StatusNumber(std::optional<double> value, int decimals) {
  if (!value || !std::isfinite(*value)) return "null";
  return ShortDecimal(*value, decimals);
}

std::string UseWith(const SiteOutlook& o, const std::string& use) {
  return use + " " + o.unit + "/day over " + std::to_string(o.dryDays) + " dry days";
}

std::string SummaryWith(const SiteOutlook& o, const std::string& days) {
  if (!o.error.empty()) return o.error;
  switch (o.kind) {
    case OutlookKind::BelowRefill:
      return "below refill since " + DateTimeText(o.belowSince.value_or(0));
    case OutlookKind::NoForecast:
      return std::string("no forecast (") + ReasonText(o.reason) + ")";
    case OutlookKind::Refill: {
      std::string text = "refill in " + days + " days";
      if (o.refillDay) text += ", about " + DateText(*o.refillDay);
      return text;
    }
    case OutlookKind::NoData:
      break;
  }
  return "no data";
}

std::string FaultWith(const SensorFault& f, const std::string& hours) {
  std::string text = std::to_string(f.depthCm) + " cm:";
  if (f.outOfRange > 0) {
    text += " " + std::to_string(f.outOfRange) + " " +
            Plural(static_cast<double>(f.outOfRange), "reading", "readings") + " out of range";
  }
  if (f.flatHours > 0) {
    text += std::string(f.outOfRange > 0 ? "," : "") + " flat for " + hours + " hours";
  }
  return text;
}

}  // namespace

std::string JsonUtf8String(std::string_view utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string JsonString(const std::string& cp1252) { return JsonUtf8String(Cp1252ToUtf8(cp1252)); }

// The shortest text that reads back as the same double: nothing is rounded.
std::string JsonNumber(std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return "null";
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, *value).ptr;
  return std::string(text, end);
}

std::string DateText(std::int64_t dayNumber) {
  const auto date = DateOfDay(dayNumber);
  if (!date) return "";
  return Padded(date->day, 2) + "-" + Padded(date->month, 2) + "-" + Padded(date->year, 4);
}

std::string DateTimeText(double dateTime, bool withSeconds) {
  const auto time = SplitDateTime(dateTime);
  if (!time || !DateOfDay(time->day)) return "";
  return DateText(time->day) + " " + TimeText(time->seconds, withSeconds);
}

std::string IsoDate(std::int64_t dayNumber) {
  const auto date = DateOfDay(dayNumber);
  if (!date) return "";
  return Padded(date->year, 4) + "-" + Padded(date->month, 2) + "-" + Padded(date->day, 2);
}

std::string IsoDateTime(double dateTime) {
  const auto time = SplitDateTime(dateTime);
  if (!time || !DateOfDay(time->day)) return "";
  return IsoDate(time->day) + "T" + TimeText(time->seconds);
}

std::string ShortDecimal(double value, int decimals) {
  // Rounded, the double is the one nearest a short decimal, which the
  // 15-digit plain form writes without noise.
  return Plain(RoundDecimals(value, decimals));
}

std::string FlatHoursText(double hours) {
  const std::string plain = Plain(hours);
  double back = 0;
  std::from_chars(plain.data(), plain.data() + plain.size(), back);
  return back == hours ? plain : FixedText(hours, 1);
}

std::string FixedText(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, RoundDecimals(value, decimals));
  // No "-0.0" for a value that rounds to zero.
  return RoundDecimals(value, decimals) == 0 ? std::string(text + (text[0] == '-')) : text;
}

const char* KindText(OutlookKind kind) {
  switch (kind) {
    case OutlookKind::BelowRefill:
      return "below refill";
    case OutlookKind::NoForecast:
      return "no forecast";
    case OutlookKind::Refill:
      return "refill";
    case OutlookKind::NoData:
      break;
  }
  return "no data";
}

const char* ReasonText(NoForecastReason reason) {
  switch (reason) {
    case NoForecastReason::Wetting:
      return "wetting";
    case NoForecastReason::NotEnoughDryMornings:
      return "not enough dry mornings";
    case NoForecastReason::NoUse:
      return "no use";
    case NoForecastReason::None:
      break;
  }
  return "";
}

std::string UseText(const SiteOutlook& o) {
  return o.dailyUse ? UseWith(o, FixedText(*o.dailyUse, 2)) : "";
}

std::string OutlookSummary(const SiteOutlook& o) {
  return SummaryWith(o, FixedText(o.daysToRefill.value_or(0), 1));
}

std::string FaultText(const SensorFault& f) { return FaultWith(f, FixedText(f.flatHours, 1)); }

std::string FaultsText(const SiteOutlook& o) {
  if (o.faults.empty()) return "none";
  std::string text;
  for (const SensorFault& f : o.faults) text += (text.empty() ? "" : "; ") + FaultText(f);
  return text;
}

std::string OutlookLine(const SiteOutlook& o) {
  if (!o.error.empty()) return o.error;
  std::string line = "Root zone";
  if (!o.rootZoneDepthsCm.empty()) {
    const auto [low, high] =
        std::minmax_element(o.rootZoneDepthsCm.begin(), o.rootZoneDepthsCm.end());
    line += " " + std::to_string(*low);
    if (*high != *low) line += kEnDash + std::to_string(*high);
    line += " cm";
  }
  line += ": ";
  if (o.dailyUse) line += "use " + UseText(o) + kMiddleDot;
  return line + OutlookSummary(o);
}

std::optional<RefillProjection> ProjectRefill(const SiteOutlook& o) {
  if (!o.error.empty() || o.kind != OutlookKind::Refill || !o.lastScan || !o.total ||
      !o.daysToRefill || !o.refill) {
    return std::nullopt;
  }
  return RefillProjection{*o.lastScan, *o.total, *o.lastScan + *o.daysToRefill, *o.refill};
}

OutlookUrgency UrgencyOf(const SiteOutlook& o) {
  if (!o.error.empty()) return OutlookUrgency::None;
  if (o.kind == OutlookKind::BelowRefill) return OutlookUrgency::Red;
  if (o.kind == OutlookKind::Refill && o.daysToRefill && *o.daysToRefill <= kAmberDays) {
    return OutlookUrgency::Amber;
  }
  return OutlookUrgency::None;
}

bool MoreUrgent(const SiteOutlook& a, const SiteOutlook& b) {
  return UrgencyKey(a) < UrgencyKey(b);
}

void SortMostUrgentFirst(std::vector<SiteOutlook>& outlooks) {
  std::stable_sort(outlooks.begin(), outlooks.end(), MoreUrgent);
}

std::string LastEventText(const SiteOutlook& o) {
  if (!o.lastEventError.empty()) return o.lastEventError;
  if (!o.lastEvent) return "none";
  const LastEvent& e = *o.lastEvent;
  return DateTimeText(e.start) + ", " + e.kind + ", effective gain " +
         ShortDecimal(e.effectiveGain, kAmountDecimals) + " " + o.unit + ", " +
         (e.deepestCm ? "reached " + std::to_string(*e.deepestCm) + " cm" : "reached no sensor");
}

std::string StatusText(const SiteOutlook& o) {
  const auto row = [](const std::string& label, const std::string& value) {
    std::string line = "  " + label + (label.empty() ? "" : ":");
    line.resize(18, ' ');
    return line + value + "\n";
  };
  std::string text = o.site + "\n";
  if (!o.error.empty()) return text + row("Error", o.error);
  text += row("Last scan", o.lastScan ? DateTimeText(*o.lastScan) : "none");
  std::string depths;
  for (int d : o.rootZoneDepthsCm) depths += (depths.empty() ? "" : ", ") + std::to_string(d);
  text += row("Root zone", depths.empty() ? "no sensor" : depths + " cm");
  const auto amount = [&o](double value) {
    return ShortDecimal(value, kAmountDecimals) + " " + o.unit;
  };
  if (o.fieldCapacity && o.refill) {
    const std::string limits =
        "field capacity " + amount(*o.fieldCapacity) + ", refill " + amount(*o.refill);
    text += row("Total", (o.total ? amount(*o.total) : "none") + " (" + limits + ")");
  }
  if (o.dailyUse) {
    text += row("Daily use", UseWith(o, ShortDecimal(*o.dailyUse, kAmountDecimals)));
  } else if (o.total) {
    text += row("Daily use", "not known (" + std::to_string(o.dryDays) + " " +
                                 Plural(o.dryDays, "dry day", "dry days") + ")");
  }
  text += row("Outlook", SummaryWith(o, ShortDecimal(o.daysToRefill.value_or(0), kDaysDecimals)));
  text += row("Last event", LastEventText(o));
  if (o.faults.empty()) return text + row("Sensor faults", "none");
  for (std::size_t i = 0; i < o.faults.size(); ++i) {
    const SensorFault& f = o.faults[i];
    text += row(i == 0 ? "Sensor faults" : "", FaultWith(f, FlatHoursText(f.flatHours)));
  }
  return text;
}

namespace {

// "05-12-2026 06:00, irrigation, 40 cm": when, what and how deep.
std::string LastEventCell(const SiteOutlook& o) {
  if (!o.error.empty()) return {};
  if (!o.lastEventError.empty()) return o.lastEventError;
  if (!o.lastEvent) return {};
  const LastEvent& e = *o.lastEvent;
  return DateTimeText(e.start, false) + ", " + e.kind + ", " +
         (e.deepestCm ? std::to_string(*e.deepestCm) + " cm" : "no sensor reached");
}

}  // namespace

std::array<std::string, kOutlookColumns> OutlookCells(const SiteOutlook& o) {
  const auto amount = [&o](const std::optional<double>& value) {
    return value ? Plain(*value) + " " + o.unit : std::string();
  };
  return {o.site,
          o.lastScan ? DateTimeText(*o.lastScan) : std::string(),
          amount(o.total),
          amount(o.refill),
          UseText(o),
          OutlookSummary(o),
          o.refillDay ? DateText(*o.refillDay) : std::string(),
          LastEventCell(o),
          o.error.empty() ? FaultsText(o) : std::string()};
}

namespace {

std::string LastEventJson(const std::optional<LastEvent>& e) {
  if (!e) return "null";
  return "{\"start\": " + JsonText(IsoDateTime(e->start)) + ", \"kind\": " + JsonString(e->kind) +
         ", \"deepest_cm\": " + (e->deepestCm ? std::to_string(*e->deepestCm) : "null") +
         ", \"effective_gain\": " + StatusNumber(e->effectiveGain, kAmountDecimals) + "}";
}

}  // namespace

std::string StatusJson(std::span<const SiteOutlook> outlooks) {
  std::string json = "[";
  for (std::size_t i = 0; i < outlooks.size(); ++i) {
    const SiteOutlook& o = outlooks[i];
    const bool read = o.error.empty();
    const bool data = read && o.total.has_value();
    std::string depths;
    for (int d : o.rootZoneDepthsCm) depths += (depths.empty() ? "" : ", ") + std::to_string(d);
    std::string faults;
    for (const SensorFault& f : o.faults) {
      faults += std::string(faults.empty() ? "" : ", ") +
                "{\"depth_cm\": " + std::to_string(f.depthCm) +
                ", \"out_of_range\": " + std::to_string(f.outOfRange) +
                ", \"flat_hours\": " + FlatHoursText(f.flatHours) + "}";
    }
    const std::pair<const char*, std::string> fields[] = {
        {"site", JsonString(o.site)},
        {"last_scan", data ? JsonText(IsoDateTime(*o.lastScan)) : "null"},
        {"root_zone_depths_cm", read ? "[" + depths + "]" : "null"},
        {"unit", read ? JsonString(o.unit) : "null"},
        {"total", StatusNumber(o.total, kAmountDecimals)},
        {"field_capacity", StatusNumber(o.fieldCapacity, kAmountDecimals)},
        {"refill", StatusNumber(o.refill, kAmountDecimals)},
        {"daily_use", StatusNumber(o.dailyUse, kAmountDecimals)},
        {"dry_days", data ? std::to_string(o.dryDays) : "null"},
        {"outlook", read ? JsonString(KindText(o.kind)) : "null"},
        {"reason", JsonText(ReasonText(o.reason))},
        {"days_to_refill", StatusNumber(o.daysToRefill, kDaysDecimals)},
        {"refill_date", o.refillDay ? JsonText(IsoDate(*o.refillDay)) : "null"},
        {"below_since", o.belowSince ? JsonText(IsoDateTime(*o.belowSince)) : "null"},
        {"faults", read ? "[" + faults + "]" : "null"},
        {"last_event", LastEventJson(o.lastEvent)},
        {"error", JsonText(o.error)},
    };
    json += i == 0 ? "\n  {" : ",\n  {";
    for (std::size_t k = 0; k < std::size(fields); ++k) {
      json += std::string(k == 0 ? "\n" : ",\n") + "    \"" + fields[k].first +
              "\": " + fields[k].second;
    }
    json += "\n  }";
  }
  return json + (outlooks.empty() ? "]\n" : "\n]\n");
}

}  // namespace pelvaro
