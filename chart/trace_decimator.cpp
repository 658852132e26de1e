#include "chart/trace_decimator.h"

#include <cmath>

namespace {

struct Mapper {
    double left, x_min, x_per_px, bottom, y_lo_half, y_px_per_half;

    double px(double x) const { return left + (x - x_min) / x_per_px; }
    // Halves keep the arithmetic finite for values near the limits of a double.
    double py(double y) const { return bottom - (y / 2 - y_lo_half) * y_px_per_half; }
};

}  // namespace

void TraceDecimator::build(const PointRing& points, const Scale& scale,
                           std::vector<TraceLine>& out) {
    out.clear();
    const int n = points.size();
    const int columns = scale.area.width();
    if (n == 0 || columns <= 0) return;
    const double x_span = scale.x_max - scale.x_min;
    const double y_half_span = scale.y_max / 2 - scale.y_min / 2;
    if (!(x_span > 0) || !std::isfinite(x_span) || !(y_half_span > 0)) return;

    const int px_span = std::max(columns - 1, 1);
    const Mapper m{static_cast<double>(scale.area.left()),
                   scale.x_min,
                   x_span / px_span,
                   static_cast<double>(scale.area.bottom()),
                   scale.y_min / 2,
                   std::max(scale.area.height() - 1, 0) / y_half_span};
    auto point = [&](int i) { return QPointF(m.px(points.x(i)), m.py(points.y(i))); };

    int begin = 0;
    for (int c = 0; c < columns && begin < n; ++c) {
        // Column c holds the points whose x maps within half a pixel of it.
        const int end = c + 1 == columns
                            ? n
                            : points.lower_bound_x(scale.x_min + (c + 0.5) * m.x_per_px, begin);
        if (end == begin) continue;
        const int a = begin;
        const int b = end - 1;
        begin = end;

        if (a > 0 && std::isfinite(points.y(a - 1)) && std::isfinite(points.y(a))) {
            out.push_back({point(a - 1), point(a), points.color(a), a - 1, a});
        }
        // The pieces ending at a+1..b all fall inside this column.
        for (int s = a + 1; s <= b;) {
            const int run = points.run_of(s);
            const int e = std::min(b, points.run_last(run));
            const PointRing::Extremes ext = points.extremes(s - 1, e);
            if (!ext.empty()) {
                const double x = scale.area.left() + c;
                out.push_back({QPointF(x, m.py(ext.max)), QPointF(x, m.py(ext.min)),
                               points.run_color(run), s - 1, e});
            }
            s = e + 1;
        }
    }
}
