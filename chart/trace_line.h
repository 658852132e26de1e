#pragma once

#include <QPointF>
#include <cstdint>

// One straight piece of the drawn trend in pixels, in the colour of the point that ends
// it. first/last are the indices of the points it runs between, so pieces that share a
// point are known to join.
struct TraceLine {
    QPointF a;
    QPointF b;
    std::uint8_t color = 0;
    int first = 0;
    int last = 0;
};
