#include "chart/axis_ticks.h"

#include <algorithm>
#include <cmath>

double AxisTicks::value(int i) const {
    const double v = (first_multiple + i) * step;
    // Multiples of a decimal step are not exact in binary; keep zero a clean zero.
    return std::abs(v) < step * 1e-9 ? 0.0 : v;
}

AxisTicks AxisTicks::nice(double min, double max, int target, double min_step) {
    AxisTicks t;
    target = std::max(target, 1);
    // Halves keep the span finite for values near the limits of a double.
    double raw = (max / 2 - min / 2) / target * 2;
    if (!(raw > 0) || !std::isfinite(raw)) raw = std::max(min_step, 1.0);
    if (raw < min_step) raw = min_step;
    const double exponent = std::floor(std::log10(raw));
    const double magnitude = std::pow(10.0, exponent);
    const double f = raw / magnitude;
    const double nice_f = f <= 1.0 ? 1.0 : f <= 2.0 ? 2.0 : f <= 5.0 ? 5.0 : 10.0;
    t.step = std::max(nice_f * magnitude, min_step);
    if (!std::isfinite(t.step) || t.step <= 0) return t;

    const double lo = std::ceil(min / t.step - 1e-9);
    const double hi = std::floor(max / t.step + 1e-9);
    t.first_multiple = lo;
    const double n = hi - lo + 1;
    // Far from zero a step can vanish against the value; then one tick is all there is.
    const bool distinct = (lo + 1) * t.step != lo * t.step;
    t.count = !(n > 0) ? 0 : !distinct ? 1 : static_cast<int>(std::min(n, target * 3.0 + 2));
    t.decimals = static_cast<int>(std::clamp(-std::floor(std::log10(t.step) + 1e-9), 0.0, 15.0));
    return t;
}
