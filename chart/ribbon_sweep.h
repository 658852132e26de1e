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

    // End of the stretch that starts at `first`: the lines that join on in one colour.
    // Stretches are painted one after another, each over the ones before it, which is
    // the order of nearness in this view.
    static std::size_t stretch_end(const std::vector<TraceLine>& lines, std::size_t first);

    // The ribbon of lines[first, last). dx: depth in pixels to the right; dy: upwards.
    void sweep(const std::vector<TraceLine>& lines, std::size_t first, std::size_t last, int dx,
               double dy, std::vector<Span>& out);

    // The edge lines to draw over the ribbon of lines[first, last). Where the series is
    // dense a column's vertical line is replaced by its two ends joined to the next
    // column's, so the edge stays an outline instead of covering the ribbon's face.
    static void outline(const std::vector<TraceLine>& lines, std::size_t first, std::size_t last,
                        std::vector<TraceLine>& out);

  private:
    std::vector<double> lo_;  // per front column: highest point on screen (smallest y)
    std::vector<double> hi_;
    std::vector<int> min_window_;
    std::vector<int> max_window_;
};
