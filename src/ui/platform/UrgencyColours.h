#pragma once

#include <QColor>
#include <optional>

#include "core/outlook/OutlookReport.h"

namespace pelvaro {

// The colour of a site's row by its urgency, wherever the list of every site
// is shown: light enough for black text to read on it; nothing when the site
// is not urgent.
inline std::optional<QColor> UrgencyColour(OutlookUrgency urgency) {
  switch (urgency) {
    case OutlookUrgency::Red:
      return QColor(255, 140, 140);
    case OutlookUrgency::Amber:
      return QColor(255, 204, 102);
    case OutlookUrgency::None:
      break;
  }
  return std::nullopt;
}

}  // namespace pelvaro
