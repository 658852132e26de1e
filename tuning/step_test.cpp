#include "tuning/step_test.h"

#include <algorithm>
#include <cmath>

#include "tuning/identification.h"

StepTest::StepTest(const Config& c, double old_sp) : c_(c), old_sp_(old_sp) {}

void StepTest::reading(double t, bool ok, double y, double sp, double u, bool fault) {
    if (!ok) {
        ++failures_;
        return;
    }
    failures_ = 0;
    if (record_.size() > 0 && t <= record_.t.back()) return;  // one reading per instant
    record_.add(t, y, sp, u, fault);
    if (stepped_ && first_after_ < 0) first_after_ = record_.size() - 1;
    judge();
}

void StepTest::stepped(double t) {
    stepped_ = true;
    step_t_ = t;
}

double StepTest::progress(double t) const {
    const double total = c_.before_s + c_.max_s;
    if (settled_) return 1.0;
    return std::clamp(t / std::max(total, 1.0), 0.0, 1.0);
}

void StepTest::judge() {
    if (!stepped_ || first_after_ < 0) return;
    const int n = record_.size();
    const double held = record_.t.back() - step_t_;
    if (held < std::min(c_.min_after_s, c_.max_s)) return;
    // Settled: the last stretch (a fifth of the time since the step, at least ten
    // readings) stays inside 2 % of the step, or three times the resting noise.
    std::vector<double> rest(record_.y.begin(), record_.y.begin() + first_after_);
    const double band = std::max(0.02 * std::fabs(c_.sp_step), 3.0 * noise_sd(rest));
    const double stretch = std::max(0.2 * held, 10.0);
    int count = 0;
    for (int i = n - 1;
         i >= first_after_ && record_.t[std::size_t(i)] >= record_.t.back() - stretch; --i) {
        if (std::fabs(record_.y[std::size_t(i)] - new_sp()) > band) return;
        ++count;
    }
    if (count < 10) return;
    // In closed loop the value settles well before the open process would: hold the
    // step until the record is long enough to identify it from (θ + 3τ after it).
    settled_ = identify(record_).refusal != Refusal::TooShort;
}
