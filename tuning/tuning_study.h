#pragma once

#include "tuning/identification.h"
#include "tuning/loop_prediction.h"
#include "tuning/tuning_rules.h"

// What the controller's tables say about the loop, for the proposal and its prediction.
struct LoopSettings {
    double span = 100;     // ENDS - STRS
    double sample_s = 1;   // TPID
    double dead_band = 0;  // DEAD, in measured-value units
};

// From a record to a proposal: the model, the rule's controller, its robustness and its
// predicted responses (a set-point step of one unit, a load step of 10 %).
struct TuningStudy {
    Identification identification;
    Proposal proposal;
    Robustness robustness;
    Prediction prediction;

    bool ok() const { return identification.ok() && proposal.ok; }
};

TuningStudy study_loop(const LoopRecord& r, const RuleChoice& rule, const LoopSettings& loop);
// The proposal for a model already identified (a new rule or τc).
void study_proposal(TuningStudy& s, const RuleChoice& rule, const LoopSettings& loop);
// The controller of the given settings on the loop.
PidController::Config controller_config(const PidSettings& pid, const LoopSettings& loop);
