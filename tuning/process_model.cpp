#include "tuning/process_model.h"

#include <algorithm>
#include <cmath>

std::complex<double> ProcessModel::response(double omega) const {
    const std::complex<double> s(0.0, omega);
    const std::complex<double> delay = std::exp(-s * dead);
    switch (kind) {
        case ModelKind::Fopdt:
            return gain * delay / (tau * s + 1.0);
        case ModelKind::Sopdt:
            return gain * delay / ((tau * s + 1.0) * (tau2 * s + 1.0));
        case ModelKind::Integrating:
            return gain * delay / s;
    }
    return {};
}

const char* model_kind_name(ModelKind k) {
    switch (k) {
        case ModelKind::Fopdt:
            return "fopdt";
        case ModelKind::Sopdt:
            return "sopdt";
        case ModelKind::Integrating:
            return "integrating";
    }
    return "";
}

namespace {

// First-order lag over one interval h with the input moving linearly from v0 to v1
// (exact for that input): the state after the interval.
inline double lag_step(double x, double v0, double v1, double h, double tau) {
    if (tau <= 1e-9) return v1;
    const double a = std::exp(-h / tau);
    const double slope_term = h > 0 ? (v1 - v0) * tau / h * (1.0 - a) : 0.0;
    return a * x + v1 - a * v0 - slope_term;
}

}  // namespace

namespace {

// lag_step with its exponential kept while the interval stays the same.
struct Lag {
    double tau;
    double h = -1;
    double a = 0;
    double c = 0;
    double step(double x, double v0, double v1, double dt) {
        if (tau <= 1e-9) return v1;
        if (dt != h) {
            h = dt;
            a = std::exp(-dt / tau);
            c = dt > 0 ? tau / dt * (1.0 - a) : 0.0;
        }
        return a * x + v1 - a * v0 - (v1 - v0) * c;
    }
};

}  // namespace

void simulate_model(const ProcessModel& m, const std::vector<double>& t,
                    const std::vector<double>& u, double u0, double y0, std::vector<double>& out) {
    const std::size_t n = t.size();
    out.assign(n, y0);
    if (n == 0) return;
    // The delayed action at time tk: u interpolated at tk - θ, u0 before the record.
    std::size_t j = 0;
    auto delayed = [&](double tk) {
        const double td = tk - m.dead;
        if (td <= t[0]) return td < t[0] ? u0 : u[0];
        while (j + 1 < n && t[j + 1] < td) ++j;
        if (j + 1 >= n) return u[n - 1];
        const double span = t[j + 1] - t[j];
        const double w = span > 0 ? (td - t[j]) / span : 1.0;
        return u[j] + w * (u[j + 1] - u[j]);
    };
    // At rest at the first sample: the lags hold nothing yet.
    double v_prev = delayed(t[0]) - u0;
    double x1 = 0, x2 = 0, integ = 0;
    Lag lag1{m.tau}, lag2{m.tau2};
    for (std::size_t k = 1; k < n; ++k) {
        const double h = t[k] - t[k - 1];
        const double v = delayed(t[k]) - u0;
        switch (m.kind) {
            case ModelKind::Fopdt:
                x1 = lag1.step(x1, v_prev, v, h);
                out[k] = y0 + m.gain * x1;
                break;
            case ModelKind::Sopdt: {
                const double before = x1;
                x1 = lag1.step(x1, v_prev, v, h);
                x2 = lag2.step(x2, before, x1, h);
                out[k] = y0 + m.gain * x2;
                break;
            }
            case ModelKind::Integrating:
                integ += 0.5 * (v_prev + v) * h;
                out[k] = y0 + m.gain * integ;
                break;
        }
        v_prev = v;
    }
}

PlantState::PlantState(const ProcessModel& m, double dt, double u0, double y0)
    : m_(m), dt_(dt), u0_(u0), y0_(y0), y_(y0) {
    const double slots = dt > 0 ? std::max(m.dead, 0.0) / dt : 0.0;
    const auto whole = static_cast<std::size_t>(std::floor(slots));
    frac_ = slots - double(whole);
    ring_.assign(whole + 2, u0);
}

double PlantState::step(double u) {
    // ring_[head_] is the newest action; the one θ ago lies between two slots.
    head_ = (head_ + 1) % ring_.size();
    ring_[head_] = u;
    const std::size_t whole = ring_.size() - 2;
    const std::size_t a = (head_ + ring_.size() - whole) % ring_.size();
    const std::size_t b = (a + ring_.size() - 1) % ring_.size();
    const double v = ring_[a] + frac_ * (ring_[b] - ring_[a]) - u0_;
    switch (m_.kind) {
        case ModelKind::Fopdt:
            x1_ = lag_step(x1_, v, v, dt_, m_.tau);
            y_ = y0_ + m_.gain * x1_;
            break;
        case ModelKind::Sopdt: {
            const double before = x1_;
            x1_ = lag_step(x1_, v, v, dt_, m_.tau);
            x2_ = lag_step(x2_, before, x1_, dt_, m_.tau2);
            y_ = y0_ + m_.gain * x2_;
            break;
        }
        case ModelKind::Integrating:
            x1_ += v * dt_;
            y_ = y0_ + m_.gain * x1_;
            break;
    }
    return y_;
}
