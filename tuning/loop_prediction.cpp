#include "tuning/loop_prediction.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct LoopPoint {
    double mag;
    double phase;  // rad, continuous
    std::complex<double> l;
};

LoopPoint loop_at(const ProcessModel& m, const PidController::Config& c, double w) {
    const std::complex<double> s(0, w);
    const PidSettings& p = c.pid;
    std::complex<double> ctrl = 1.0;
    if (p.ti > 0) ctrl += 1.0 / (p.ti * s);
    if (p.td > 0) ctrl += p.td * s / (1.0 + p.td * s / std::max(c.derivative_filter, 1.0));
    ctrl *= p.kc;
    std::complex<double> g = m.response(w);
    double phase = -w * m.dead + std::arg(ctrl);
    switch (m.kind) {
        case ModelKind::Fopdt:
            phase -= std::atan(w * m.tau);
            break;
        case ModelKind::Sopdt:
            phase -= std::atan(w * m.tau) + std::atan(w * m.tau2);
            break;
        case ModelKind::Integrating:
            phase -= kPi / 2;
            break;
    }
    if (m.gain < 0) phase -= kPi;
    if (c.sample_s > 0) {
        const double x = w * c.sample_s;
        const std::complex<double> zoh = x > 1e-9
                                             ? (1.0 - std::exp(-s * c.sample_s)) / (s * c.sample_s)
                                             : std::complex<double>(1.0);
        g *= zoh;
        phase -= x / 2;
    }
    const std::complex<double> l = g * ctrl;
    return {std::abs(l), phase, l};
}

}  // namespace

Robustness robustness(const ProcessModel& m, const PidController::Config& c) {
    Robustness r;
    const double slow = std::max({m.tau, m.tau2, m.dead, c.pid.ti, c.sample_s, 1e-3});
    double fast = std::max(m.dead + 0.5 * c.sample_s, 1e-3);
    if (m.dead <= 0 && c.sample_s <= 0)
        fast = std::max(std::min(m.tau > 0 ? m.tau : 1.0, slow), 1e-3) * 1e-2;
    const double w_lo = 1e-4 / slow;
    double w_hi = 200.0 / fast;
    if (c.sample_s > 0) w_hi = std::min(w_hi, kPi / c.sample_s);
    const int n = 6000;
    const double ratio = std::pow(w_hi / w_lo, 1.0 / (n - 1));
    double w = w_lo;
    LoopPoint prev = loop_at(m, c, w);
    r.ms = std::abs(1.0 / (1.0 + prev.l));
    r.gain_margin = std::numeric_limits<double>::infinity();
    r.phase_margin_deg = std::numeric_limits<double>::infinity();
    for (int i = 1; i < n; ++i) {
        const double w_prev = w;
        w *= ratio;
        const LoopPoint cur = loop_at(m, c, w);
        r.ms = std::max(r.ms, std::abs(1.0 / (1.0 + cur.l)));
        // Crossings by linear interpolation in log frequency.
        for (int k = 1; k <= 20; ++k) {
            const double level = -kPi * (2 * k - 1);
            if ((prev.phase - level) * (cur.phase - level) <= 0 && prev.phase != cur.phase) {
                const double f = (prev.phase - level) / (prev.phase - cur.phase);
                const double mag = prev.mag * std::pow(cur.mag / prev.mag, f);
                if (mag > 0) r.gain_margin = std::min(r.gain_margin, 1.0 / mag);
            }
            if (cur.phase > level) break;
        }
        if ((prev.mag - 1) * (cur.mag - 1) <= 0 && prev.mag != cur.mag) {
            const double f = std::log(prev.mag) / (std::log(prev.mag) - std::log(cur.mag));
            const double ph = prev.phase + f * (cur.phase - prev.phase);
            const double pm = 180.0 + ph * 180.0 / kPi;
            if (pm < r.phase_margin_deg) {
                r.phase_margin_deg = pm;
                r.crossover = w_prev * std::pow(ratio, f);
            }
        }
        prev = cur;
    }
    r.stable = r.gain_margin > 1.0 && r.phase_margin_deg > 0;
    return r;
}

void step_figures(StepResponse& r, double target) {
    r.iae = 0;
    r.peak = 0;
    const double band = 0.02 * std::fabs(target);
    double last_out = 0;
    bool outside_at_end = false;
    for (std::size_t i = 0; i < r.t.size(); ++i) {
        const double e = target - r.y[i];
        if (i > 0)
            r.iae += 0.5 * (std::fabs(e) + std::fabs(target - r.y[i - 1])) * (r.t[i] - r.t[i - 1]);
        if (std::fabs(e) > band) {
            last_out = r.t[i];
            outside_at_end = i + 1 == r.t.size();
        }
    }
    double over = 0;
    for (double y : r.y) over = std::max(over, (target >= 0 ? y - target : target - y));
    r.overshoot_percent = target != 0 ? 100.0 * over / std::fabs(target) : 0.0;
    r.settling_time = last_out;
    r.settled = !outside_at_end;
}

namespace {

StepResponse run(const ProcessModel& m, const PidController::Config& c, double sp_step, double load,
                 double u0) {
    const double base =
        std::max(std::min({m.tau > 0 ? m.tau : 1e9, m.tau2 > 0 ? m.tau2 : 1e9,
                           m.dead > 0 ? m.dead : 1e9, c.pid.ti > 0 ? c.pid.ti : 1e9}),
                 1e-3);
    const double want = std::min(base / 20.0, 0.1 * std::max(base, 1.0));
    PidController::Config cc = c;
    int sub = 1;
    double dt = want;
    if (cc.sample_s > 0) {
        sub = std::max(1, int(std::ceil(cc.sample_s / want)));
        dt = cc.sample_s / sub;
    } else {
        cc.sample_s = dt;
    }
    const double horizon =
        std::max(10.0 * (m.dead + m.tau + m.tau2) + 6.0 * c.pid.ti, 20.0 * cc.sample_s) +
        (m.kind == ModelKind::Integrating ? 20.0 * (m.dead + c.pid.ti) : 0.0);
    const long steps = std::min<long>(long(horizon / dt) + 1, 400000);
    const long keep_every = std::max<long>(1, steps / 1500);
    PlantState plant(m, dt, u0, 0.0);
    PidController pid(cc);
    pid.reset(u0, 0.0, 0.0);
    StepResponse r;
    r.t.push_back(0);
    r.y.push_back(0);
    r.u.push_back(0);
    double u = u0;
    for (long k = 1; k <= steps; ++k) {
        // The controller samples at the start of its period and holds the action.
        if ((k - 1) % sub == 0) u = pid.update(sp_step, plant.output());
        const double y = plant.step(u + load);
        if (k % keep_every == 0 || k == steps) {
            r.t.push_back(double(k) * dt);
            r.y.push_back(y);
            r.u.push_back(u - u0);
        }
    }
    return r;
}

}  // namespace

Prediction predict(const ProcessModel& m, const PidController::Config& c, double sp_step,
                   double load_step, double u0) {
    Prediction p;
    p.setpoint = run(m, c, sp_step, 0.0, u0);
    step_figures(p.setpoint, sp_step);
    p.load = run(m, c, 0.0, load_step, u0);
    // Load figures relative to what the load would do to the open process.
    const double scale = m.kind == ModelKind::Integrating
                             ? m.gain * load_step * std::max(m.dead, 1.0)
                             : m.gain * load_step;
    StepResponse& l = p.load;
    l.iae = 0;
    double peak = 0, last_out = 0;
    for (std::size_t i = 0; i < l.t.size(); ++i) {
        peak = std::max(peak, std::fabs(l.y[i]));
        if (i > 0)
            l.iae += 0.5 * (std::fabs(l.y[i]) + std::fabs(l.y[i - 1])) * (l.t[i] - l.t[i - 1]);
        if (std::fabs(l.y[i]) > 0.02 * std::fabs(scale)) last_out = l.t[i];
    }
    l.peak = peak;
    l.overshoot_percent = scale != 0 ? 100.0 * peak / std::fabs(scale) : 0;
    l.settling_time = last_out;
    l.settled = !l.t.empty() && std::fabs(l.y.back()) <= 0.02 * std::fabs(scale);
    return p;
}
