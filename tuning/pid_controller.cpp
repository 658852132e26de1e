#include "tuning/pid_controller.h"

#include <algorithm>
#include <cmath>

void PidController::reset(double output, double sp, double pv) {
    out_ = std::clamp(output, c_.out_min, c_.out_max);
    integral_ = out_ - c_.pid.kc * (sp - pv);
    derivative_ = 0;
    pv_prev_ = pv;
    clock_ = 0;
    started_ = true;
}

double PidController::advance(double dt, double sp, double pv) {
    if (!started_) reset(out_, sp, pv);
    const double h = c_.sample_s > 0 ? c_.sample_s : dt;
    clock_ += dt;
    // A little slack so that steps that add up to the period count as reaching it.
    while (clock_ >= h - 1e-9) {
        clock_ -= h;
        update(sp, pv);
    }
    return out_;
}

double PidController::update(double sp, double pv) {
    if (!started_) reset(out_, sp, pv);
    const double h = c_.sample_s > 0 ? c_.sample_s : 1.0;
    const double e = sp - pv;
    const double kc = c_.pid.kc;
    // Derivative of the measurement, not of the error: a set-point step gives no kick.
    if (c_.pid.td > 0) {
        const double tf = c_.pid.td / std::max(c_.derivative_filter, 1.0);
        derivative_ = (tf * derivative_ - kc * c_.pid.td * (pv - pv_prev_)) / (tf + h);
    } else {
        derivative_ = 0;
    }
    pv_prev_ = pv;
    if (c_.dead_band > 0 && std::fabs(e) <= c_.dead_band) return out_;

    double next_integral = integral_;
    if (c_.pid.ti > 0) next_integral += kc * e * h / c_.pid.ti;
    const double wanted = kc * e + next_integral + derivative_;
    // Integrate only while that does not drive the action further into its limit.
    const bool winding = (wanted > c_.out_max && e * kc > 0) || (wanted < c_.out_min && e * kc < 0);
    if (!winding) integral_ = next_integral;
    out_ = std::clamp(kc * e + integral_ + derivative_, c_.out_min, c_.out_max);
    return out_;
}
