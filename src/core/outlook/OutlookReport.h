#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/outlook/Outlook.h"

namespace pelvaro {

// How the outlook is shown: texts in Windows-1252 like every other text of
// the core, except the JSON, which is UTF-8.

// "07-09-2026"; empty for a day without a calendar date.
std::string DateText(std::int64_t dayNumber);
// "07-09-2026 10:00:00", or "07-09-2026 10:00" without the seconds; empty
// for a date-time without a calendar date.
std::string DateTimeText(double dateTime, bool withSeconds = true);
// ISO 8601 local time, "2026-09-07T10:00:00", and date, "2026-12-11".
std::string IsoDateTime(double dateTime);
std::string IsoDate(std::int64_t dayNumber);
// The value with exactly this many decimals, halves away from zero.
std::string FixedText(double value, int decimals);

// The value rounded to this many decimals (halves away from zero) in its
// shortest form: "9.889", "12.5", "0"; no exponent, no "-0".
std::string ShortDecimal(double value, int decimals);
// A sensor's flat hours as they are ("26.25"), or with one decimal when
// they have no short decimal form ("24.0" for 24.0083...).
std::string FlatHoursText(double hours);

// A JSON string of Windows-1252 text: UTF-8, with quotes, backslashes and
// control characters escaped.
std::string JsonString(const std::string& cp1252);
// The same, of UTF-8 text.
std::string JsonUtf8String(std::string_view utf8);
// The shortest JSON number that reads back as the same double; null for
// nothing and for what is not finite.
std::string JsonNumber(std::optional<double> value);

// "no data", "below refill", "no forecast", "refill".
const char* KindText(OutlookKind kind);
// "wetting", "not enough dry mornings", "no use"; empty for None.
const char* ReasonText(NoForecastReason reason);

// "3.25 %/day over 4 dry days"; empty when the use is not known.
std::string UseText(const SiteOutlook& outlook);
// "refill in 4.5 days, about 11-12-2026", "below refill since 05-09-2026
// 06:00:00", "no forecast (wetting)", "no data"; the error of a site not read.
std::string OutlookSummary(const SiteOutlook& outlook);
// "20 cm: 12 readings out of range, flat for 26.5 hours"
std::string FaultText(const SensorFault& fault);
// Every fault joined with "; ", or "none".
std::string FaultsText(const SiteOutlook& outlook);

// The graph window's line under the chart: "Root zone 10–40 cm: use 3.25
// %/day over 4 dry days · refill in 4.5 days, about 11-12-2026".
std::string OutlookLine(const SiteOutlook& outlook);

// The forecast drawn on the chart: from the last total to the refill point
// at the forecast date-time. Only for an outlook of kind Refill.
struct RefillProjection {
  double fromDateTime = 0;
  double fromValue = 0;
  double toDateTime = 0;
  double toValue = 0;
};
std::optional<RefillProjection> ProjectRefill(const SiteOutlook& outlook);

// Red: below refill; amber: refill due within this many days.
inline constexpr double kAmberDays = 3;
enum class OutlookUrgency { None, Amber, Red };
OutlookUrgency UrgencyOf(const SiteOutlook& outlook);
// Most urgent first: below refill (the longest below first), then the
// nearest refill, then no forecast, no data, and sites not read.
bool MoreUrgent(const SiteOutlook& a, const SiteOutlook& b);
// Sorts by MoreUrgent; sites equally urgent keep their order.
void SortMostUrgentFirst(std::vector<SiteOutlook>& outlooks);

// The block `pelvaro-cli status` prints for a site, lines ending in "\n".
// Its figures are the JSON's: total, field capacity, refill and daily use
// with three decimals, days to refill with two, as ShortDecimal writes them,
// and flat hours as FlatHoursText writes them.
std::string StatusText(const SiteOutlook& outlook);
// The status's last event: "07-09-2026 10:00:00, irrigation, effective gain
// 12.5 mm, reached 40 cm", "none", or why it is not known.
std::string LastEventText(const SiteOutlook& outlook);
// The columns of the list of every site (the Outlook window's and the
// report's), and a site's row in them.
inline constexpr std::size_t kOutlookColumns = 9;
inline constexpr const char* kOutlookHeadings[kOutlookColumns] = {
    "Site",    "Last scan",   "Total",      "Refill", "Use per day",
    "Outlook", "Refill date", "Last event", "Faults"};
std::array<std::string, kOutlookColumns> OutlookCells(const SiteOutlook& outlook);

// `pelvaro-cli status --json`: one array, one object per site.
std::string StatusJson(std::span<const SiteOutlook> outlooks);

}  // namespace pelvaro
