#include "tuning/loop_assessment.h"

#include <algorithm>
#include <cmath>

#include "tuning/identification.h"

namespace {

// Figures of one set-point change, until the next one or the end of the range.
SetpointChange judge_change(const LoopRecord& r, std::size_t at, std::size_t end) {
    SetpointChange c;
    c.time = r.t[at];
    c.from = r.sp[at - 1];
    c.to = r.sp[at];
    const double step = c.to - c.from;
    const double band = 0.02 * std::fabs(step);
    double over = 0;
    double last_out = -1;
    for (std::size_t i = at; i < end; ++i) {
        const double past = step > 0 ? r.y[i] - c.to : c.to - r.y[i];
        over = std::max(over, past);
        if (std::fabs(r.y[i] - c.to) > band) last_out = r.t[i];
    }
    c.overshoot_percent = step != 0 ? 100.0 * over / std::fabs(step) : 0;
    const bool settled = end > at && std::fabs(r.y[end - 1] - c.to) <= band;
    c.settling_time = settled ? std::max(last_out - c.time, 0.0) : -1;
    return c;
}

}  // namespace

LoopAssessment assess_loop(const LoopRecord& r, int min_samples) {
    LoopAssessment a;
    a.check = check_record(r, min_samples);
    if (a.check.problem != RecordProblem::None) return a;
    a.ok = true;
    const std::size_t n = r.t.size();
    a.duration = r.duration();
    std::vector<double> e(n);
    for (std::size_t i = 0; i < n; ++i) e[i] = r.sp[i] - r.y[i];
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += e[i];
        if (i > 0) a.iae += 0.5 * (std::fabs(e[i]) + std::fabs(e[i - 1])) * (r.t[i] - r.t[i - 1]);
    }
    a.error_mean = sum / double(n);
    double ss = 0;
    for (double v : e) ss += (v - a.error_mean) * (v - a.error_mean);
    a.error_sd = std::sqrt(ss / double(n));

    // Set-point changes: a change larger than the log's resolution.
    std::vector<std::size_t> at;
    for (std::size_t i = 1; i < n; ++i)
        if (std::fabs(r.sp[i] - r.sp[i - 1]) > 0.005) at.push_back(i);
    for (std::size_t k = 0; k < at.size(); ++k)
        a.changes.push_back(judge_change(r, at[k], k + 1 < at.size() ? at[k + 1] : n));

    // Oscillation: the autocorrelation of the error (mean removed) at the lag of its
    // first peak after the first trough; sustained when that peak stays high.
    const std::size_t max_lag = std::min<std::size_t>(n / 3, 600);
    std::vector<double> acf(max_lag + 1, 0.0);
    if (ss > 0) {
        for (std::size_t lag = 0; lag <= max_lag; ++lag) {
            double s = 0;
            for (std::size_t i = lag; i < n; ++i)
                s += (e[i] - a.error_mean) * (e[i - lag] - a.error_mean);
            acf[lag] = s / ss;
        }
        std::size_t trough = 1;
        while (trough + 1 <= max_lag && acf[trough + 1] < acf[trough]) ++trough;
        std::size_t peak = trough;
        while (peak + 1 <= max_lag && acf[peak + 1] >= acf[peak]) ++peak;
        if (trough > 1 && peak > trough && peak < max_lag && acf[trough] < 0) {
            const double a1 = acf[peak];
            const double b1 = -acf[trough];
            a.decay_ratio = b1 > 0 ? a1 / b1 : 0;
            const double h = a.duration / double(n - 1);
            if (a1 > 0.3 && a.decay_ratio > 0.5) {
                a.oscillating = true;
                a.oscillation_period = double(peak) * h;
            }
        }
    }
    // Load disturbances after Hägglund: half-periods of the error whose IAE exceeds
    // what a 1 % error would give over a tenth of the range's length scale.
    const auto mm = std::minmax_element(r.y.begin(), r.y.end());
    const double scale =
        std::max(0.01 * std::max(std::fabs(*mm.second), std::fabs(*mm.first)), 1e-6);
    const double limit = scale * std::max(a.oscillation_period, 10.0 * a.duration / double(n));
    double run_iae = 0;
    for (std::size_t i = 1; i < n; ++i) {
        if ((e[i] > 0) != (e[i - 1] > 0)) {
            if (run_iae > limit) ++a.load_disturbances;
            run_iae = 0;
        }
        run_iae += std::fabs(e[i]) * (r.t[i] - r.t[i - 1]);
    }

    std::size_t sat = 0;
    for (double u : r.u)
        if (u <= 0.05 || u >= 99.95) ++sat;
    a.saturated_share = double(sat) / double(n);

    // Reversals: direction changes of the action by more than its noise.
    const double un = std::max(noise_sd(r.u) * 2.0, 0.1);
    int reversals = 0, dir = 0;
    double anchor = r.u[0];
    for (std::size_t i = 1; i < n; ++i) {
        const double d = r.u[i] - anchor;
        if (std::fabs(d) < un) continue;
        const int now = d > 0 ? 1 : -1;
        if (dir != 0 && now != dir) ++reversals;
        dir = now;
        anchor = r.u[i];
    }
    a.reversals_per_hour = a.duration > 0 ? reversals * 3600.0 / a.duration : 0;
    a.noise_sd = noise_sd(r.y);
    a.noise_band = 2 * a.noise_sd;
    return a;
}
