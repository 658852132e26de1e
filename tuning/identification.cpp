#include "tuning/identification.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "tuning/least_squares.h"

namespace {

double median_of(std::vector<double> v) {
    if (v.empty()) return 0;
    const auto mid = v.begin() + std::ptrdiff_t(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

double mean_of(const std::vector<double>& v, std::size_t from, std::size_t to) {
    to = std::min(to, v.size());
    if (from >= to) return v.empty() ? 0 : v[std::min(from, v.size() - 1)];
    return std::accumulate(v.begin() + std::ptrdiff_t(from), v.begin() + std::ptrdiff_t(to), 0.0) /
           double(to - from);
}

// Range of a 5-sample moving average: how far a series really moved.
double moved(const std::vector<double>& v) {
    if (v.empty()) return 0;
    const std::size_t w = std::min<std::size_t>(5, v.size());
    double s = 0;
    for (std::size_t i = 0; i < w; ++i) s += v[i];
    double lo = s / double(w), hi = lo;
    for (std::size_t i = w; i < v.size(); ++i) {
        s += v[i] - v[i - w];
        lo = std::min(lo, s / double(w));
        hi = std::max(hi, s / double(w));
    }
    return hi - lo;
}

// The first sample where the action has left its starting level by a third of its
// whole change: where the step is.
std::size_t onset_of(const std::vector<double>& u, double noise) {
    const std::size_t n = u.size();
    const std::size_t head = std::max<std::size_t>(1, std::min<std::size_t>(5, n / 20));
    const double start = mean_of(u, 0, head);
    double far = 0;
    for (double v : u) far = std::max(far, std::fabs(v - start));
    const double threshold = std::max(far / 3.0, 3.0 * noise);
    for (std::size_t i = 0; i < n; ++i)
        if (std::fabs(u[i] - start) > threshold) return i;
    return 0;
}

struct Data {
    const LoopRecord& r;
    double u0;
    double y0;
    double h;  // usual sampling interval
    double span;
};

// The unit-gain response of a model shape over the record.
void shape_response(const Data& d, ModelKind kind, double tau, double tau2, double dead,
                    std::vector<double>& z) {
    ProcessModel m;
    m.kind = kind;
    m.gain = 1.0;
    m.tau = tau;
    m.tau2 = tau2;
    m.dead = dead;
    simulate_model(m, d.r.t, d.r.u, d.u0, 0.0, z);
}

// Best b and K for y ≈ b + K z.
double linear_fit(const std::vector<double>& y, const std::vector<double>& z, double* b,
                  double* k) {
    const double n = double(y.size());
    double sz = 0, sy = 0, szz = 0, szy = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        sz += z[i];
        sy += y[i];
        szz += z[i] * z[i];
        szy += z[i] * y[i];
    }
    const double det = n * szz - sz * sz;
    if (std::fabs(det) < 1e-12 * std::max(1.0, n * szz)) {
        *k = 0;
        *b = sy / n;
    } else {
        *k = (n * szy - sz * sy) / det;
        *b = (sy - *k * sz) / n;
    }
    double ssr = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        const double e = y[i] - *b - *k * z[i];
        ssr += e * e;
    }
    return ssr;
}

ModelFit finish_fit(const Data& d, ModelKind kind, const LeastSquaresResult& res) {
    ModelFit f;
    const auto& p = res.p;
    f.valid = std::isfinite(res.ssr);
    f.y0 = p[0];
    f.u0 = d.u0;
    f.model.kind = kind;
    f.model.gain = p[1];
    f.rmse = std::sqrt(res.ssr / double(d.r.size()));
    const bool sd = res.stddev.size() == p.size();
    if (sd) f.sd_gain = res.stddev[1];
    switch (kind) {
        case ModelKind::Fopdt:
            f.model.tau = std::exp(p[2]);
            f.model.dead = p[3];
            if (sd) {
                f.sd_tau = f.model.tau * res.stddev[2];
                f.sd_dead = res.stddev[3];
            }
            break;
        case ModelKind::Sopdt: {
            double t1 = std::exp(p[2]), t2 = std::exp(p[3]);
            double s1 = sd ? t1 * res.stddev[2] : 0, s2 = sd ? t2 * res.stddev[3] : 0;
            if (t2 > t1) {
                std::swap(t1, t2);
                std::swap(s1, s2);
            }
            f.model.tau = t1;
            f.model.tau2 = t2;
            f.model.dead = p[4];
            f.sd_tau = s1;
            f.sd_tau2 = s2;
            if (sd) f.sd_dead = res.stddev[4];
            break;
        }
        case ModelKind::Integrating:
            f.model.dead = p[2];
            if (sd) f.sd_dead = res.stddev[2];
            break;
    }
    return f;
}

LeastSquaresProblem problem_for(const Data& d, ModelKind kind, std::vector<double>& z) {
    LeastSquaresProblem pr;
    pr.count = d.r.size();
    const double t_max = std::max(d.r.duration(), d.h);
    const double ln_lo = std::log(std::max(d.h * 0.05, 1e-3));
    const double ln_hi = std::log(t_max * 20.0);
    const double k_big = 1e6 * (d.span + 1.0);
    const double y_big = 1e9;
    const double dead_hi = t_max * 0.6;
    const double dy_step = std::max(d.span * 1e-4, 1e-9);
    const double h_step = std::max(d.h * 1e-3, 1e-6);
    switch (kind) {
        case ModelKind::Fopdt:
            pr.lower = {-y_big, -k_big, ln_lo, 0.0};
            pr.upper = {y_big, k_big, ln_hi, dead_hi};
            pr.step = {dy_step, 1e-6 * (d.span + 1.0), 1e-4, h_step};
            pr.residuals = [&d, &z](const std::vector<double>& p, std::vector<double>& r) {
                shape_response(d, ModelKind::Fopdt, std::exp(p[2]), 0, p[3], z);
                for (std::size_t i = 0; i < z.size(); ++i) r[i] = p[0] + p[1] * z[i] - d.r.y[i];
            };
            break;
        case ModelKind::Sopdt:
            pr.lower = {-y_big, -k_big, ln_lo, ln_lo, 0.0};
            pr.upper = {y_big, k_big, ln_hi, ln_hi, dead_hi};
            pr.step = {dy_step, 1e-6 * (d.span + 1.0), 1e-4, 1e-4, h_step};
            pr.residuals = [&d, &z](const std::vector<double>& p, std::vector<double>& r) {
                shape_response(d, ModelKind::Sopdt, std::exp(p[2]), std::exp(p[3]), p[4], z);
                for (std::size_t i = 0; i < z.size(); ++i) r[i] = p[0] + p[1] * z[i] - d.r.y[i];
            };
            break;
        case ModelKind::Integrating:
            pr.lower = {-y_big, -k_big, 0.0};
            pr.upper = {y_big, k_big, dead_hi};
            pr.step = {dy_step, 1e-8 * (d.span + 1.0), h_step};
            pr.residuals = [&d, &z](const std::vector<double>& p, std::vector<double>& r) {
                shape_response(d, ModelKind::Integrating, 0, 0, p[2], z);
                for (std::size_t i = 0; i < z.size(); ++i) r[i] = p[0] + p[1] * z[i] - d.r.y[i];
            };
            break;
    }
    return pr;
}

ModelFit fit_fopdt(const Data& d, const ModelFit& guess) {
    std::vector<double> z;
    const double t_max = std::max(d.r.duration(), d.h);
    // A coarse grid over (τ, θ), with b and K solved exactly at each point, finds the
    // basin; the two-point guess is tried as well.
    double best = HUGE_VAL;
    std::vector<double> start{d.y0, 0, std::log(t_max / 5), 0};
    const int nt = 14, nd = 12;
    for (int i = 0; i < nt; ++i) {
        const double tau = std::max(d.h * 0.3, 1e-3) *
                           std::pow(t_max * 3 / std::max(d.h * 0.3, 1e-3), double(i) / (nt - 1));
        for (int j = 0; j < nd; ++j) {
            const double dead = t_max * 0.4 * double(j) / (nd - 1) * double(j) / (nd - 1);
            shape_response(d, ModelKind::Fopdt, tau, 0, dead, z);
            double b = 0, k = 0;
            const double ssr = linear_fit(d.r.y, z, &b, &k);
            if (ssr < best) {
                best = ssr;
                start = {b, k, std::log(tau), dead};
            }
        }
    }
    LeastSquaresProblem pr = problem_for(d, ModelKind::Fopdt, z);
    LeastSquaresResult res = levenberg_marquardt(pr, start);
    if (guess.valid && guess.model.tau > 0) {
        const LeastSquaresResult alt = levenberg_marquardt(
            pr, {guess.y0, guess.model.gain, std::log(guess.model.tau), guess.model.dead});
        if (alt.ssr < res.ssr) res = alt;
    }
    return finish_fit(d, ModelKind::Fopdt, res);
}

ModelFit fit_sopdt(const Data& d, const ModelFit& fo) {
    std::vector<double> z;
    LeastSquaresProblem pr = problem_for(d, ModelKind::Sopdt, z);
    const double tau = std::max(fo.model.tau, d.h);
    const double dead = fo.model.dead;
    LeastSquaresResult best;
    best.ssr = HUGE_VAL;
    // Part of the dead time and of the lag may be a second lag.
    const double starts[][3] = {{0.9, 0.1, 1.0}, {0.7, 0.3, 0.7}, {0.5, 0.5, 0.4}};
    for (const auto& s : starts) {
        const LeastSquaresResult res = levenberg_marquardt(
            pr, {fo.y0, fo.model.gain, std::log(tau * s[0]),
                 std::log(std::max(tau * s[1], d.h * 0.1) + dead * (1 - s[2])), dead * s[2]});
        if (res.ssr < best.ssr) best = res;
    }
    return finish_fit(d, ModelKind::Sopdt, best);
}

ModelFit fit_integrating(const Data& d) {
    std::vector<double> z;
    const double t_max = std::max(d.r.duration(), d.h);
    double best = HUGE_VAL;
    std::vector<double> start{d.y0, 0, 0};
    for (int j = 0; j < 16; ++j) {
        const double dead = t_max * 0.4 * double(j * j) / (15.0 * 15.0);
        shape_response(d, ModelKind::Integrating, 0, 0, dead, z);
        double b = 0, k = 0;
        const double ssr = linear_fit(d.r.y, z, &b, &k);
        if (ssr < best) {
            best = ssr;
            start = {b, k, dead};
        }
    }
    LeastSquaresProblem pr = problem_for(d, ModelKind::Integrating, z);
    return finish_fit(d, ModelKind::Integrating, levenberg_marquardt(pr, start));
}

// Whether the first-order fit leaves the range short of θ + 3τ after the step: then an
// integrator is the other reading of the record.
bool after_step_short(const LoopRecord& r, const Identification& id, const Data&) {
    const ModelFit& f = id.fopdt;
    return r.t.back() - id.step_time < f.model.dead + 3.0 * f.model.tau;
}

Identification refuse(Identification id, Refusal why, int index, double value, double limit) {
    id.refusal = why;
    id.index = index;
    id.value = value;
    id.limit = limit;
    id.model = ModelFit{};
    id.fitted.clear();
    return id;
}

}  // namespace

double noise_sd(const std::vector<double>& v) {
    if (v.size() < 3) return 0;
    std::vector<double> d(v.size() - 1);
    for (std::size_t i = 1; i < v.size(); ++i) d[i - 1] = v[i] - v[i - 1];
    const double med = median_of(d);
    for (double& x : d) x = std::fabs(x - med);
    // MAD of the differences, as σ of one sample.
    return 1.4826 * median_of(d) / std::sqrt(2.0);
}

ModelFit two_point_fit(const LoopRecord& r) {
    ModelFit f;
    const std::size_t n = r.t.size();
    if (n < 10) return f;
    const double un = noise_sd(r.u);
    const std::size_t on = onset_of(r.u, un);
    if (on == 0) return f;
    const std::size_t tail = std::max<std::size_t>(n / 10, 1);
    const double u0 = mean_of(r.u, 0, on), y0 = mean_of(r.y, 0, on);
    const double du = mean_of(r.u, n - tail, n) - u0;
    const double dy = mean_of(r.y, n - tail, n) - y0;
    if (du == 0 || dy == 0) return f;
    const double ts = 0.5 * (r.t[on - 1] + r.t[on]);
    auto crossing = [&](double share) {
        const double level = y0 + share * dy;
        for (std::size_t i = on; i < n; ++i) {
            if ((r.y[i] - level) * (dy > 0 ? 1 : -1) >= 0) {
                const double a = r.y[i - 1] - level, b = r.y[i] - level;
                const double w = a != b ? a / (a - b) : 1.0;
                return r.t[i - 1] + std::clamp(w, 0.0, 1.0) * (r.t[i] - r.t[i - 1]);
            }
        }
        return r.t[n - 1];
    };
    const double t28 = crossing(0.283), t63 = crossing(0.632);
    f.model.kind = ModelKind::Fopdt;
    f.model.gain = dy / du;
    f.model.tau = std::max(1.5 * (t63 - t28), 1e-3);
    f.model.dead = std::max(t63 - f.model.tau - ts, 0.0);
    f.y0 = y0;
    f.u0 = u0;
    f.valid = true;
    return f;
}

Identification identify(const LoopRecord& r, const IdentOptions& o) {
    Identification id;
    const RecordCheck check = check_record(r, o.min_samples);
    switch (check.problem) {
        case RecordProblem::None:
            break;
        case RecordProblem::TooFew:
            return refuse(id, Refusal::TooFewSamples, -1, r.size(), o.min_samples);
        case RecordProblem::NotFinite:
            return refuse(id, Refusal::NotFinite, check.index, 0, 0);
        case RecordProblem::ClockJump:
            return refuse(id, Refusal::ClockJump, check.index, check.seconds, 0);
        case RecordProblem::Gap:
            return refuse(id, Refusal::Gap, check.index, check.seconds, check.median_dt);
        case RecordProblem::Fault:
            return refuse(id, Refusal::FaultBand, check.index, 0, 0);
    }
    const auto minmax_u = std::minmax_element(r.u.begin(), r.u.end());
    if (*minmax_u.second <= 0.5 || *minmax_u.first >= 99.5)
        return refuse(id, Refusal::Saturated, -1, *minmax_u.first, 0);

    const std::size_t n = r.t.size();
    id.noise_sd = noise_sd(r.y);
    const double un = noise_sd(r.u);
    id.action_change = moved(r.u);
    id.value_change = moved(r.y);
    if (id.action_change < std::max(o.step_to_noise * un, o.min_action_step))
        return refuse(id, Refusal::NoStep, -1, id.action_change,
                      std::max(o.step_to_noise * un, o.min_action_step));
    const double y_need = std::max(o.step_to_noise * id.noise_sd, 1e-9);
    if (id.value_change < y_need) return refuse(id, Refusal::NoStep, -2, id.value_change, y_need);

    const std::size_t on = onset_of(r.u, un);
    id.step_time = on > 0 ? 0.5 * (r.t[on - 1] + r.t[on]) : r.t[0];
    const auto minmax_y = std::minmax_element(r.y.begin(), r.y.end());
    std::vector<double> dts(n - 1);
    for (std::size_t i = 1; i < n; ++i) dts[i - 1] = r.t[i] - r.t[i - 1];
    const Data d{r, on > 0 ? mean_of(r.u, 0, on) : r.u[0], on > 0 ? mean_of(r.y, 0, on) : r.y[0],
                 median_of(dts), std::max(*minmax_y.second - *minmax_y.first, 1e-9)};

    id.two_point = two_point_fit(r);
    id.fopdt = fit_fopdt(d, id.two_point);
    // A first-order fit already down at the noise cannot be beaten markedly: the others
    // are fitted only when there is room for them.
    const bool room = !(id.fopdt.rmse < 1.2 * id.noise_sd);
    if (room) id.sopdt = fit_sopdt(d, id.fopdt);
    if (room || after_step_short(r, id, d)) id.integrating = fit_integrating(d);
    if (!id.fopdt.valid) return refuse(id, Refusal::NoFit, -1, 0, 0);

    const double after_step = r.t.back() - id.step_time;
    auto needed = [](const ModelFit& f) {
        return f.model.dead + 3.0 * (f.model.tau + f.model.tau2);
    };
    id.model = id.fopdt;
    const bool sopdt_better = id.sopdt.valid && id.sopdt.rmse < o.markedly * id.fopdt.rmse &&
                              id.sopdt.model.tau2 > 0.05 * id.sopdt.model.tau;
    if (sopdt_better) id.model = id.sopdt;
    const bool too_short = after_step < needed(id.model);
    // A lag that never settles in the range looks like an integrator: take that when it
    // fits nearly as well, or when it fits markedly better anyway.
    const bool int_better = id.integrating.valid && id.integrating.model.gain != 0 &&
                            (id.integrating.rmse < o.markedly * id.model.rmse ||
                             (too_short && id.integrating.rmse <= 1.1 * id.model.rmse));
    if (int_better) {
        id.model = id.integrating;
    } else if (too_short) {
        return refuse(id, Refusal::TooShort, -1, after_step, needed(id.model));
    }
    if (id.model.model.gain == 0) return refuse(id, Refusal::NoFit, -1, 0, 0);
    simulate_model(id.model.model, r.t, r.u, id.model.u0, id.model.y0, id.fitted);
    return id;
}

QString refusal_text(const Identification& id, bool czech) {
    const QString v = QString::number(id.value, 'g', 4);
    const QString l = QString::number(id.limit, 'g', 4);
    const QString i = QString::number(id.index + 1);
    switch (id.refusal) {
        case Refusal::None:
            return {};
        case Refusal::TooFewSamples:
            return czech ? QStringLiteral("Úsek má jen %1 vzorků, je třeba aspoň %2.").arg(v, l)
                         : QStringLiteral("the range has only %1 samples, at least %2 are needed")
                               .arg(v, l);
        case Refusal::NotFinite:
            return czech ? QStringLiteral("Vzorek %1 nemá konečnou hodnotu.").arg(i)
                         : QStringLiteral("sample %1 holds a value that is not finite").arg(i);
        case Refusal::ClockJump:
            return czech ? QStringLiteral("U vzorku %1 se hodiny vrátily zpět.").arg(i)
                         : QStringLiteral("the clock goes back at sample %1").arg(i);
        case Refusal::Gap:
            return czech
                       ? QStringLiteral("Před vzorkem %1 je mezera %2 s v záznamu.").arg(i, v)
                       : QStringLiteral("the record has a gap of %2 s before sample %1").arg(i, v);
        case Refusal::FaultBand:
            return czech ? QStringLiteral("V úseku je porucha nebo čtení bez odpovědi (vzorek %1).")
                               .arg(i)
                         : QStringLiteral(
                               "the range holds a fault band or a reading without an answer "
                               "(sample %1)")
                               .arg(i);
        case Refusal::Saturated:
            return czech ? QStringLiteral("Akční zásah je v celém úseku na mezi.")
                         : QStringLiteral("the control action is saturated over the whole range");
        case Refusal::NoStep:
            if (id.index == -2)
                return czech ? QStringLiteral(
                                   "V úseku není skok: měřená hodnota se změnila jen o "
                                   "%1, méně než desetinásobek šumu (%2).")
                                   .arg(v, l)
                             : QStringLiteral(
                                   "no step in the range: the measured value moved by "
                                   "%1, under ten times the noise (%2)")
                                   .arg(v, l);
            return czech ? QStringLiteral(
                               "V úseku není skok: akční zásah se změnil jen o %1 %, "
                               "je třeba aspoň %2 %.")
                               .arg(v, l)
                         : QStringLiteral(
                               "no step in the range: the control action moved by "
                               "%1 %, at least %2 % is needed")
                               .arg(v, l);
        case Refusal::TooShort:
            return czech ? QStringLiteral(
                               "Úsek po skoku trvá %1 s, model potřebuje aspoň θ + 3τ "
                               "= %2 s.")
                               .arg(v, l)
                         : QStringLiteral(
                               "the range lasts %1 s after the step, the model needs "
                               "θ + 3τ = %2 s")
                               .arg(v, l);
        case Refusal::NoFit:
            return czech ? QStringLiteral("Žádný model záznam nevystihuje.")
                         : QStringLiteral("no model fits the record");
    }
    return {};
}
