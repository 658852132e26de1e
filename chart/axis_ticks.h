#pragma once

// Tick marks of one axis at round numbers: 1, 2 or 5 times a power of ten.
struct AxisTicks {
    double step = 1.0;
    double first_multiple = 0.0;  // the first tick is first_multiple * step
    int count = 0;
    int decimals = 0;  // digits after the decimal point that the labels need

    double value(int i) const;

    // About `target` ticks inside [min, max] (min < max, both finite), never closer
    // than min_step.
    static AxisTicks nice(double min, double max, int target, double min_step);
};
