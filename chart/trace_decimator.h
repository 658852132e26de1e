#pragma once

#include <QRect>
#include <vector>

#include "chart/point_ring.h"
#include "chart/trace_line.h"

// Reduces a series to a few lines per pixel column: the line into the column's first
// point, and per colour run inside the column one vertical line from its lowest to its
// highest value. Extremes come from the ring's tree, so the work follows the width of
// the plot, not the number of points. NaN and infinite values break the line.
class TraceDecimator {
  public:
    struct Scale {
        double x_min;
        double x_max;
        double y_min;
        double y_max;
        QRect area;  // pixels the axis ranges map onto, edges included
    };

    static void build(const PointRing& points, const Scale& scale, std::vector<TraceLine>& out);
};
