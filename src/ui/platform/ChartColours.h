#pragma once

#include <QColor>
#include <array>
#include <cstddef>

namespace pelvaro {

// The colours of a site's lines wherever they are drawn, in the graph window
// and in the grower's report, so a reader knows each line in both.
inline constexpr std::size_t kDepthColourCount = 9;
inline const std::array<QColor, kDepthColourCount> kDepthColours = {
    QColor(220, 20, 20), QColor(0, 150, 0),   QColor(20, 60, 220),
    QColor(200, 0, 200), QColor(240, 130, 0), QColor(0, 150, 150),
    QColor(140, 70, 20), QColor(120, 120, 0), QColor(90, 90, 90)};
inline const QColor kFieldCapacityColour(0, 0, 120);
inline const QColor kRefillColour(160, 80, 0);
// The dashed forecast from the last total down to the refill line.
inline const QColor kForecastColour(120, 0, 180);

}  // namespace pelvaro
