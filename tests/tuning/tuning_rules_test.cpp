#include "tuning/tuning_rules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tuning/loop_prediction.h"
#include "tuning/pid_controller.h"

namespace {

ProcessModel fopdt(double k, double tau, double dead) {
    ProcessModel m;
    m.gain = k;
    m.tau = tau;
    m.dead = dead;
    return m;
}

PidController::Config continuous(const PidSettings& s) {
    PidController::Config c;
    c.pid = s;
    c.sample_s = 0;
    c.out_min = -1e9;
    c.out_max = 1e9;
    return c;
}

// SIMC with τc = θ on a lag with τ ≤ 8θ leaves L = e^(-θs) / (2θs): GM π, PM 61.4°,
// Ms 1.59, whatever the ratio.
class SimcOnFirstOrder : public ::testing::TestWithParam<double> {};

TEST_P(SimcOnFirstOrder, HasTheTextbookMargins) {
    const double dead = 4.0;
    const ProcessModel m = fopdt(2.0, GetParam() * dead, dead);
    const Proposal p = propose(m, {}, 100.0);
    ASSERT_TRUE(p.ok);
    EXPECT_FALSE(p.pid);
    EXPECT_NEAR(p.settings.kc, m.tau / (2 * 2.0 * dead), 1e-9);
    EXPECT_NEAR(p.settings.ti, m.tau, 1e-9);
    EXPECT_EQ(p.settings.td, 0);
    const Robustness r = robustness(m, continuous(p.settings));
    EXPECT_TRUE(r.stable);
    EXPECT_NEAR(r.gain_margin, M_PI, 0.03);
    EXPECT_NEAR(r.phase_margin_deg, 61.35, 0.3);
    EXPECT_NEAR(r.ms, 1.59, 0.02);
    // The closed loop of an integrator with the gain 1/(2θ): the integral of the error
    // is 2θ, and the little overshoot adds to it only a little.
    const Prediction pr = predict(m, continuous(p.settings), 1.0);
    EXPECT_GT(pr.setpoint.iae, 2 * dead * 0.99);
    EXPECT_LT(pr.setpoint.iae, 2.3 * dead);
    EXPECT_LT(pr.setpoint.overshoot_percent, 6);
    EXPECT_TRUE(pr.setpoint.settled);
}

INSTANTIATE_TEST_SUITE_P(Ratios, SimcOnFirstOrder, ::testing::Values(1.0, 2.5, 8.0));

struct RuleCase {
    const char* name;
    ProcessModel model;
    RuleChoice choice;
    double kc, ti, td;
    bool pid;
    bool aggressive;
};

class RulesByHand : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RulesByHand, GiveTheHandValues) {
    const RuleCase& c = GetParam();
    const Proposal p = propose(c.model, c.choice, 200.0);
    ASSERT_TRUE(p.ok) << p.reason.toStdString();
    EXPECT_NEAR(p.settings.kc, c.kc, 1e-3 * c.kc);
    EXPECT_NEAR(p.settings.ti, c.ti, 1e-3 * c.ti);
    EXPECT_NEAR(p.settings.td, c.td, 1e-3 * std::max(c.td, 1e-3));
    EXPECT_EQ(p.pid, c.pid);
    EXPECT_EQ(p.aggressive, c.aggressive);
    // PB in % of the 200-unit span: 10000 / (Kc · span).
    EXPECT_NEAR(p.fields.PB, 10000.0 / (c.kc * 200.0), 1e-3 * p.fields.PB);
    EXPECT_NEAR(p.fields.INT, c.ti, 1e-3 * c.ti);
}

ProcessModel sopdt(double k, double t1, double t2, double dead) {
    ProcessModel m = fopdt(k, t1, dead);
    m.kind = ModelKind::Sopdt;
    m.tau2 = t2;
    return m;
}

ProcessModel integrating(double k, double dead) {
    ProcessModel m;
    m.kind = ModelKind::Integrating;
    m.gain = k;
    m.dead = dead;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RulesByHand,
    ::testing::Values(
        // τ > 8θ: Ti = 8θ.
        RuleCase{"SimcLongLag", fopdt(0.5, 100, 5), {}, 100 / (0.5 * 10), 40, 0, false, false},
        RuleCase{"SimcSlowerTauC",
                 fopdt(0.5, 30, 5),
                 {TuningRule::Simc, 15},
                 30 / (0.5 * 20),
                 30,
                 0,
                 false,
                 false},
        // Series Kc' 40/10 = 4, Ti' 40, Td' 10 -> ideal ×1.25.
        RuleCase{
            "SimcSecondOrderIsPidInIdealForm", sopdt(1.0, 40, 10, 5), {}, 5.0, 50, 8, true, false},
        RuleCase{"SimcIntegrating", integrating(0.02, 5), {}, 1 / (0.02 * 10), 40, 0, false, false},
        RuleCase{"LambdaPi",
                 fopdt(2.0, 60, 6),
                 {TuningRule::Lambda, 30},
                 60 / (2.0 * 36),
                 60,
                 0,
                 false,
                 false},
        // θ > τ: PID, Ti = τ + θ/2, Td = τθ/(2τ + θ).
        RuleCase{"LambdaDeadTimeDominantIsPid",
                 fopdt(1.0, 10, 20),
                 {TuningRule::Lambda, 20},
                 20.0 / 30.0,
                 20,
                 5,
                 true,
                 false},
        RuleCase{"AmigoPi",
                 fopdt(1.0, 20, 5),
                 {TuningRule::Amigo, 0},
                 0.15 + (0.35 - 100.0 / 625.0) * 4.0,
                 0.35 * 5 + 13 * 5 * 400.0 / (400 + 1200 + 175),
                 0,
                 false,
                 false},
        RuleCase{"ZieglerNicholsIsMarkedAggressive",
                 fopdt(1.0, 20, 5),
                 {TuningRule::ZieglerNichols, 0},
                 0.9 * 20 / 5,
                 5 / 0.3,
                 0,
                 false,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TuningRules, SeriesToIdealByHand) {
    const PidSettings s = series_to_ideal(2.0, 10.0, 2.0);
    EXPECT_NEAR(s.kc, 2.4, 1e-12);
    EXPECT_NEAR(s.ti, 12.0, 1e-12);
    EXPECT_NEAR(s.td, 10.0 / 6.0, 1e-12);
}

TEST(TuningRules, RefuseANegativeGainAndAnEmptyRange) {
    EXPECT_FALSE(propose(fopdt(-1.0, 10, 2), {}, 100).ok);
    EXPECT_FALSE(propose(fopdt(1.0, 10, 2), {}, 0).ok);
}

TEST(TuningRules, SamplingCountsAsHalfAPeriodOfDeadTime) {
    const Proposal p = propose(fopdt(1.0, 40, 4), {}, 100, 2.0);
    EXPECT_NEAR(p.settings.kc, 40.0 / (2 * 5.0), 1e-9);
}

TEST(PidConvention, BandAndGainAreReciprocal) {
    const PidFields f = pid_convention::to_fields({2.0, 30, 5}, 100);
    EXPECT_DOUBLE_EQ(f.PB, 50);
    EXPECT_DOUBLE_EQ(f.INT, 30);
    EXPECT_DOUBLE_EQ(f.DER, 5);
    const PidSettings s = pid_convention::from_fields({25, 0, 0}, 200);
    EXPECT_DOUBLE_EQ(s.kc, 2);
    EXPECT_EQ(s.ti, 0);
    EXPECT_EQ(pid_convention::sample_period_s(0), 1.0);
    EXPECT_EQ(pid_convention::sample_period_s(4), 4.0);
    EXPECT_DOUBLE_EQ(pid_convention::dead_band(2, 150), 3.0);
    EXPECT_EQ(pid_convention::span(10, 10), 0);
}

TEST(PidController, ActsProportionallyIntegratesPerSampleAndHoldsBetween) {
    PidController::Config c;
    c.pid = {2.0, 10.0, 0};
    c.sample_s = 2.0;
    PidController pid(c);
    pid.reset(50, 20, 20);
    // A 1-unit error: P 2 %, then 2·2/10 = 0.4 % per sample from the integral.
    EXPECT_DOUBLE_EQ(pid.advance(1.0, 21, 20), 50);  // no sampling instant yet
    EXPECT_NEAR(pid.advance(1.0, 21, 20), 52.4, 1e-12);
    EXPECT_NEAR(pid.advance(2.0, 21, 20), 52.8, 1e-12);
    EXPECT_NEAR(pid.advance(4.0, 21, 20), 53.6, 1e-12);
}

TEST(PidController, HoldsInsideTheDeadBandAndStopsWindingUpAtItsLimit) {
    PidController::Config c;
    c.pid = {10.0, 5.0, 0};
    c.dead_band = 0.5;
    PidController pid(c);
    pid.reset(40, 20, 20);
    EXPECT_DOUBLE_EQ(pid.update(20.4, 20), 40);
    for (int i = 0; i < 100; ++i) pid.update(40, 20);
    EXPECT_DOUBLE_EQ(pid.output(), 100);
    // Back below the set point the action leaves the limit at once.
    EXPECT_LT(pid.update(20, 21), 100);
}

TEST(PidController, DerivativeActsOnTheMeasurementOnly) {
    PidController::Config c;
    c.pid = {1.0, 0, 10.0};
    PidController pid(c);
    pid.reset(50, 20, 20);
    EXPECT_NEAR(pid.update(25, 20), 55, 1e-12);  // a set-point step: no derivative kick
    EXPECT_LT(pid.update(25, 21), 54 - 1);       // the value rising: it brakes
}

}  // namespace
