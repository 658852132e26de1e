#pragma once

#include <vector>

#include "tuning/loop_record.h"

// How well a loop is controlled over a range, from the record alone (no step needed).
struct SetpointChange {
    double time = 0;  // s from the first sample
    double from = 0;
    double to = 0;
    double overshoot_percent = 0;
    double settling_time = -1;  // -1: not settled within the range
};

struct LoopAssessment {
    bool ok = false;
    RecordCheck check;  // why not, when not ok
    double duration = 0;
    double iae = 0;       // ∫|SP - y| dt
    double error_sd = 0;  // standard deviation of the error
    double error_mean = 0;
    std::vector<SetpointChange> changes;
    bool oscillating = false;
    double oscillation_period = 0;  // s
    double decay_ratio = 0;         // of the error's autocorrelation; near 1: sustained
    int load_disturbances = 0;      // error half-periods with an IAE above the limit
    double saturated_share = 0;     // share of time at 0 % or 100 %
    double reversals_per_hour = 0;  // direction changes of the action (servo wear)
    double noise_sd = 0;            // of the measured value
    double noise_band = 0;          // ±2σ: the band the value's noise fills
};

// The fault samples are counted out as a problem like in identification; a range
// shorter than min_samples is refused.
LoopAssessment assess_loop(const LoopRecord& r, int min_samples = 20);
