#pragma once

#include <QtGlobal>

// Tick marks of a wall-clock axis at round times: 1, 2, 5, 10, 15, 30 seconds or
// minutes, 1, 2, 3, 6, 12 hours, whole days (milliseconds below a second).
struct TimeTicks {
    qint64 step = 1000;
    qint64 first = 0;  // the first tick, a multiple of step
    int count = 0;

    qint64 value(int i) const { return first + step * i; }

    // About `target` ticks inside [min, max].
    static TimeTicks nice(qint64 min, qint64 max, int target);
};
