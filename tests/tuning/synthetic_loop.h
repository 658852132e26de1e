#pragma once

#include <cmath>
#include <random>

#include "tuning/loop_record.h"
#include "tuning/pid_controller.h"
#include "tuning/process_model.h"

// Records of a known process as the live log would hold them: one sample a second,
// the value in hundredths and the action in tenths, white noise on the measured value.
struct SyntheticLoop {
    ProcessModel process;
    double noise = 0;       // σ as a share of the step's effect
    bool closed = false;    // a set-point step under PI, or an open-loop action step
    double step = 10;       // open: % of action; closed: set-point units
    double duration = 600;  // s
    double step_at = 100;   // s, plus a random fraction of a sample
    double u0 = 30;
    double y0 = 40;
    PidSettings pid{};  // closed loop; kc 0 = a moderate one from the process
    unsigned seed = 1;
};

inline LoopRecord make_record(const SyntheticLoop& s) {
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<double> frac(0.0, 1.0);
    const ProcessModel& m = s.process;
    const double effect = s.closed ? s.step : std::fabs(m.gain * s.step);
    std::normal_distribution<double> noise(0.0, s.noise * effect);
    const double h = 1.0;
    const int sub = 50;
    const double dt = h / sub;
    const double step_at = s.step_at + frac(rng) * h;
    PlantState plant(m, dt, s.u0, s.y0);
    PidController::Config cfg;
    cfg.pid = s.pid;
    if (cfg.pid.kc <= 0) {
        const double theta = std::max(m.dead, 1.0);
        const double tau = m.kind == ModelKind::Integrating ? 0.0 : m.tau;
        cfg.pid = m.kind == ModelKind::Integrating
                      ? PidSettings{1.0 / (m.gain * 4 * theta), 16 * theta, 0}
                      : PidSettings{tau / (m.gain * 3 * theta), std::min(tau, 12 * theta), 0};
    }
    cfg.sample_s = h;
    PidController pid(cfg);
    pid.reset(s.u0, s.y0, s.y0);
    LoopRecord r;
    double u = s.u0;
    const int samples = int(s.duration / h);
    auto q = [](double v, double step) { return std::round(v / step) * step; };
    for (int k = 0; k < samples; ++k) {
        const double t = k * h;
        const double sp = s.closed && t >= step_at ? s.y0 + s.step : s.y0;
        const double y_read = plant.output() + noise(rng);
        r.add(t, q(y_read, 0.01), q(sp, 0.01), q(u, 0.1));
        for (int j = 0; j < sub; ++j) {
            const double tj = t + j * dt;
            if (s.closed) {
                // The controller samples half a second after the log, with noise of its own.
                if (j == sub / 2) u = pid.update(sp, plant.output() + noise(rng));
            } else {
                u = tj >= step_at ? s.u0 + s.step : s.u0;
            }
            plant.step(u);
        }
    }
    return r;
}
