#pragma once

#include <QString>
#include <vector>

#include "tuning/loop_record.h"
#include "tuning/process_model.h"

// One fitted model with its fit error and the 1σ uncertainty of its parameters.
struct ModelFit {
    bool valid = false;
    ProcessModel model;
    double y0 = 0;  // the output at rest
    double u0 = 0;  // the action at rest (integrating: the one that holds it still)
    double rmse = 0;
    double sd_gain = 0;
    double sd_tau = 0;
    double sd_tau2 = 0;
    double sd_dead = 0;
};

enum class Refusal {
    None,
    TooFewSamples,
    NotFinite,
    ClockJump,
    Gap,
    FaultBand,
    Saturated,
    NoStep,
    TooShort,
    NoFit,
};

struct IdentOptions {
    int min_samples = 60;
    double step_to_noise = 10.0;   // a step smaller than this many noise σ is none
    double min_action_step = 0.5;  // %: five of the log's tenths
    double markedly = 0.8;         // another model is offered below this share of the rmse
};

// The process identified from a record: the model chosen (first order plus dead time
// unless another fits markedly better) and every fit tried, or the reason for none.
struct Identification {
    Refusal refusal = Refusal::None;
    int index = -1;    // the sample concerned, where there is one
    double value = 0;  // the figure that failed (seconds, a change, a count)
    double limit = 0;  // what it had to reach

    ModelFit model;
    ModelFit fopdt;
    ModelFit sopdt;
    ModelFit integrating;
    ModelFit two_point;  // the 28 %/63 % reading of the step: the starting guess only
    double noise_sd = 0;
    double action_change = 0;
    double value_change = 0;
    double step_time = 0;        // seconds from the first sample to the step
    std::vector<double> fitted;  // the chosen model's output over the record

    bool ok() const { return refusal == Refusal::None; }
};

Identification identify(const LoopRecord& r, const IdentOptions& o = {});

// The classic two-point method on a step, for comparison and as a starting guess.
ModelFit two_point_fit(const LoopRecord& r);

// Noise σ of a series from its sample-to-sample differences (robust to slow moves).
double noise_sd(const std::vector<double>& v);

// Why there is no model, as a sentence: Czech for the window, English for tx20ctl.
QString refusal_text(const Identification& id, bool czech);
