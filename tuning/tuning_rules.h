#pragma once

#include <QString>

#include "tuning/pid_convention.h"
#include "tuning/process_model.h"

enum class TuningRule { Simc, Lambda, Amigo, ZieglerNichols };

struct RuleChoice {
    TuningRule rule = TuningRule::Simc;
    // SIMC and lambda: the wanted closed-loop time constant τc (λ); 0 = θ.
    double tau_c = 0;
};

// A proposal: the controller in ideal form and in the controller's fields.
struct Proposal {
    bool ok = false;
    QString reason;  // why none (English; the window has its own words)
    RuleChoice choice;
    double tau_c = 0;  // the τc used
    bool pid = false;  // false: PI
    bool aggressive = false;
    PidSettings settings;
    PidFields fields;
};

// "simc", "lambda", "amigo", "zn".
const char* rule_name(TuningRule r);
QString rule_title_cs(TuningRule r);

// The rule applied to a model. span: the sensor range ENDS - STRS, for PB. sample_s: the
// controller's sampling period; half of it counts as dead time, as a held action has it.
// PI unless the model is second order or the dead time dominates (θ > τ).
Proposal propose(const ProcessModel& m, const RuleChoice& choice, double span, double sample_s = 0);

// A series (interacting) PID Kc' (1 + 1/(Ti' s)) (1 + Td' s) in ideal form.
PidSettings series_to_ideal(double kc, double ti, double td);
