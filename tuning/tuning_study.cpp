#include "tuning/tuning_study.h"

PidController::Config controller_config(const PidSettings& pid, const LoopSettings& loop) {
    PidController::Config c;
    c.pid = pid;
    c.sample_s = loop.sample_s;
    c.dead_band = loop.dead_band;
    // Linear: the prediction is per unit of step, away from the action's limits.
    c.out_min = -1e9;
    c.out_max = 1e9;
    return c;
}

void study_proposal(TuningStudy& s, const RuleChoice& rule, const LoopSettings& loop) {
    s.proposal = propose(s.identification.model.model, rule, loop.span, loop.sample_s);
    s.robustness = Robustness{};
    s.prediction = Prediction{};
    if (!s.proposal.ok) return;
    const PidController::Config c = controller_config(s.proposal.settings, loop);
    s.robustness = robustness(s.identification.model.model, c);
    s.prediction = predict(s.identification.model.model, c, 1.0, 10.0);
}

TuningStudy study_loop(const LoopRecord& r, const RuleChoice& rule, const LoopSettings& loop) {
    TuningStudy s;
    s.identification = identify(r);
    if (s.identification.ok()) study_proposal(s, rule, loop);
    return s;
}
