#pragma once

#include <span>
#include <vector>

namespace pelvaro {

struct PlotPoint {
  double x;
  double y;
};

// The points of one series worth drawing on a plot `width` pixels across that
// shows x from `from` to `to`: never more than `width` points (a few more on a plot narrower than
// six). A series that fits is handed over whole. Otherwise the visible range is cut into columns
// two pixels wide, and each column keeps its lowest and its highest point in
// the order they came, so every peak and trough stays visible; the nearest
// point on either side of the range is kept too, so the line runs on to the
// edges. A missing value (NaN) is a gap in the line: a series with one gets
// columns four pixels wide, which also keep their first and last missing
// point, so no line is drawn across a gap.
std::vector<PlotPoint> Decimate(std::span<const double> x, std::span<const double> y, double from,
                                double to, int width);

}  // namespace pelvaro
