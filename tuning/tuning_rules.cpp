#include "tuning/tuning_rules.h"

#include <algorithm>
#include <cmath>

const char* rule_name(TuningRule r) {
    switch (r) {
        case TuningRule::Simc:
            return "simc";
        case TuningRule::Lambda:
            return "lambda";
        case TuningRule::Amigo:
            return "amigo";
        case TuningRule::ZieglerNichols:
            return "zn";
    }
    return "";
}

QString rule_title_cs(TuningRule r) {
    switch (r) {
        case TuningRule::Simc:
            return QStringLiteral("SIMC");
        case TuningRule::Lambda:
            return QStringLiteral("Lambda (IMC)");
        case TuningRule::Amigo:
            return QStringLiteral("AMIGO");
        case TuningRule::ZieglerNichols:
            return QStringLiteral("Ziegler–Nichols (agresivní)");
    }
    return {};
}

PidSettings series_to_ideal(double kc, double ti, double td) {
    PidSettings s;
    if (ti <= 0) {
        s.kc = kc;
        s.td = td;
        return s;
    }
    const double f = 1.0 + td / ti;
    s.kc = kc * f;
    s.ti = ti * f;
    s.td = td / f;
    return s;
}

namespace {

Proposal fail(Proposal p, const char* why) {
    p.ok = false;
    p.reason = QString::fromUtf8(why);
    return p;
}

}  // namespace

Proposal propose(const ProcessModel& m, const RuleChoice& choice, double span, double sample_s) {
    Proposal p;
    p.choice = choice;
    if (!(m.gain > 0) || !std::isfinite(m.gain))
        return fail(p, "the process gain is not positive: the controller acts the other way");
    if (!(span > 0)) return fail(p, "the sensor range STRS..ENDS is empty");
    const bool integrating = m.kind == ModelKind::Integrating;
    const double k = m.gain;
    const double tau = m.tau;
    // A sampled controller holds its action for a period: on average half a period more
    // dead time. A dead time below that is not resolved by the record anyway.
    const double theta = std::max(m.dead + 0.5 * sample_s, 1e-3);
    p.pid = m.kind == ModelKind::Sopdt || (!integrating && theta > tau);
    p.tau_c = choice.tau_c > 0 ? choice.tau_c : theta;
    const double tc = p.tau_c;
    PidSettings s;
    switch (choice.rule) {
        case TuningRule::Simc:
            if (integrating) {
                s = {1.0 / (k * (tc + theta)), 4.0 * (tc + theta), 0};
            } else if (m.kind == ModelKind::Sopdt) {
                s = series_to_ideal(tau / (k * (tc + theta)), std::min(tau, 4.0 * (tc + theta)),
                                    m.tau2);
            } else if (p.pid) {
                // Dead time dominant: a third of it is taken as a second lag for the
                // derivative to cancel.
                const double t1 = tau + theta / 3.0;
                s = series_to_ideal(t1 / (k * (tc + theta)), std::min(t1, 4.0 * (tc + theta)),
                                    theta / 3.0);
            } else {
                s = {tau / (k * (tc + theta)), std::min(tau, 4.0 * (tc + theta)), 0};
            }
            break;
        case TuningRule::Lambda:
            if (integrating) {
                s = {(2 * tc + theta) / (k * (tc + theta) * (tc + theta)), 2 * tc + theta, 0};
            } else if (m.kind == ModelKind::Sopdt) {
                s = series_to_ideal(tau / (k * (tc + theta)), tau, m.tau2);
            } else if (p.pid) {
                s = {(tau + theta / 2) / (k * (tc + theta / 2)), tau + theta / 2,
                     tau * theta / (2 * tau + theta)};
            } else {
                s = {tau / (k * (tc + theta)), tau, 0};
            }
            break;
        case TuningRule::Amigo: {
            if (integrating) {
                s = p.pid ? PidSettings{0.45 / (k * theta), 8 * theta, 0.5 * theta}
                          : PidSettings{0.35 / (k * theta), 13.4 * theta, 0};
                break;
            }
            // A second lag is folded into a first-order model by the half rule.
            const double t = m.kind == ModelKind::Sopdt ? tau + m.tau2 / 2 : tau;
            const double l = m.kind == ModelKind::Sopdt ? theta + m.tau2 / 2 : theta;
            if (p.pid) {
                s = {(0.2 + 0.45 * t / l) / k, (0.4 * l + 0.8 * t) / (l + 0.1 * t) * l,
                     0.5 * l * t / (0.3 * l + t)};
            } else {
                s = {0.15 / k + (0.35 - l * t / ((l + t) * (l + t))) * t / (k * l),
                     0.35 * l + 13 * l * t * t / (t * t + 12 * l * t + 7 * l * l), 0};
            }
            break;
        }
        case TuningRule::ZieglerNichols: {
            p.aggressive = true;
            const double slope = integrating ? k : k / tau;  // reaction-curve slope
            const double l = m.kind == ModelKind::Sopdt ? theta + m.tau2 / 2 : theta;
            s = p.pid ? PidSettings{1.2 / (slope * l), 2 * l, 0.5 * l}
                      : PidSettings{0.9 / (slope * l), l / 0.3, 0};
            break;
        }
    }
    if (!(s.kc > 0) || !std::isfinite(s.kc) || !std::isfinite(s.ti) || !std::isfinite(s.td))
        return fail(p, "the rule gives no usable controller for this model");
    p.settings = s;
    p.fields = pid_convention::to_fields(s, span);
    p.ok = true;
    return p;
}
