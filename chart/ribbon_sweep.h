#pragma once

#include <QLineF>
#include <cstdint>
#include <vector>

#include "chart/trace_line.h"

// Fills the 3D ribbon of a trend: the front edge swept back by the depth offset.
// Each pixel column of the ribbon is one vertical span: within a joined stretch of one
// colour the line is continuous, so the swept pieces that cover a column overlap and
// their union is the span from the highest to the lowest of them. A sliding window over
// the front columns gives those in O(width + depth) per stretch.
class RibbonSweep {
  public:
    struct Span {
        QLineF line;
        std::uint8_t color;
    };

    // dx: depth in pixels to the right; dy: depth in pixels upwards.
    void build(const std::vector<TraceLine>& lines, int dx, double dy, std::vector<Span>& out);

    // The edge lines to draw over the ribbon. Where the series is dense a column's
    // vertical line is replaced by its two ends joined to the next column's, so the
    // edge stays an outline instead of covering the ribbon's face.
    static void outline(const std::vector<TraceLine>& lines, std::vector<TraceLine>& out);

  private:
    void sweep_stretch(const std::vector<TraceLine>& lines, std::size_t first, std::size_t last,
                       int dx, double dy, std::vector<Span>& out);

    std::vector<double> lo_;  // per front column: highest point on screen (smallest y)
    std::vector<double> hi_;
    std::vector<int> min_window_;
    std::vector<int> max_window_;
};
