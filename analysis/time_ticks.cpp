#include "analysis/time_ticks.h"

#include <algorithm>
#include <array>

TimeTicks TimeTicks::nice(qint64 min, qint64 max, int target) {
    static constexpr std::array<qint64, 28> kSteps = {
        1,       2,       5,       10,       20,       50,       100,      200,      500,    1000,
        2000,    5000,    10000,   15000,    30000,    60000,    120000,   300000,   600000, 900000,
        1800000, 3600000, 7200000, 10800000, 21600000, 43200000, 86400000, 172800000};
    TimeTicks t;
    target = std::max(target, 1);
    if (max <= min) {
        t.step = 1000;
        t.first = min;
        t.count = 1;
        return t;
    }
    const qint64 raw = (max - min) / target;
    t.step = kSteps.back();
    for (qint64 s : kSteps) {
        if (s >= raw) {
            t.step = s;
            break;
        }
    }
    // Beyond two days: whole weeks, then multiples of them.
    if (raw > t.step) t.step = ((raw + 604800000 - 1) / 604800000) * 604800000;
    const qint64 q = min / t.step;
    t.first = q * t.step < min ? (q + 1) * t.step : q * t.step;
    t.count =
        max < t.first
            ? 0
            : static_cast<int>(std::min<qint64>((max - t.first) / t.step + 1, target * 3 + 2));
    return t;
}
