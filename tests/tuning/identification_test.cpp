#include "tuning/identification.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/tuning/synthetic_loop.h"
#include "tuning/loop_assessment.h"

namespace {

ProcessModel fopdt(double k, double tau, double dead) {
    ProcessModel m;
    m.gain = k;
    m.tau = tau;
    m.dead = dead;
    return m;
}

struct IdentCase {
    const char* name;
    ProcessModel process;
    bool closed;
    double noise;
    double duration;
    ModelKind kind;
    double tol_gain;  // relative
    double tol_tau;   // relative
    double tol_dead;  // seconds
};

class IdentifiesKnownProcesses : public ::testing::TestWithParam<IdentCase> {};

TEST_P(IdentifiesKnownProcesses, WithinTolerance) {
    const IdentCase& c = GetParam();
    SyntheticLoop s;
    s.process = c.process;
    s.closed = c.closed;
    s.noise = c.noise;
    s.duration = c.duration;
    s.step = c.closed ? 5 : 10;
    s.seed = 7;
    const Identification id = identify(make_record(s));
    ASSERT_TRUE(id.ok()) << refusal_text(id, false).toStdString();
    EXPECT_EQ(id.model.model.kind, c.kind);
    const ProcessModel& m = id.model.model;
    EXPECT_NEAR(m.gain, c.process.gain, c.tol_gain * c.process.gain);
    if (c.kind != ModelKind::Integrating) {
        EXPECT_NEAR(m.tau, c.process.tau, c.tol_tau * c.process.tau);
    }
    EXPECT_NEAR(m.dead, c.process.dead, c.tol_dead);
    // Uncertainties are given and cover the error at a few σ.
    EXPECT_GT(id.model.sd_gain, 0);
    EXPECT_GT(id.model.sd_dead, 0);
    EXPECT_LT(std::fabs(m.gain - c.process.gain), 6 * id.model.sd_gain + 0.01 * c.process.gain);
    EXPECT_GT(id.model.rmse, 0);
    EXPECT_EQ(id.fitted.size(), std::size_t(c.duration));
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
    Records, IdentifiesKnownProcesses,
    ::testing::Values(IdentCase{"OpenLag", fopdt(2.0, 60, 10), false, 0.01, 600, ModelKind::Fopdt,
                                0.03, 0.03, 1.0},
                      IdentCase{"OpenDeadTimeDominant", fopdt(0.5, 20, 40), false, 0.01, 500,
                                ModelKind::Fopdt, 0.03, 0.05, 1.0},
                      IdentCase{"OpenShortDeadTime", fopdt(1.5, 80, 2.5), false, 0.01, 700,
                                ModelKind::Fopdt, 0.03, 0.03, 0.6},
                      IdentCase{"OpenNoisy", fopdt(2.0, 50, 10), false, 0.05, 600, ModelKind::Fopdt,
                                0.05, 0.1, 3.0},
                      IdentCase{"ClosedLoopSetPointStep", fopdt(2.0, 40, 8), true, 0.01, 600,
                                ModelKind::Fopdt, 0.05, 0.08, 1.5},
                      IdentCase{"ClosedLoopLongDeadTime", fopdt(1.0, 30, 25), true, 0.01, 900,
                                ModelKind::Fopdt, 0.05, 0.1, 2.5},
                      IdentCase{"SecondOrder", sopdt(1.0, 60, 25, 5), false, 0.002, 900,
                                ModelKind::Sopdt, 0.03, 0.1, 3.0},
                      IdentCase{"Integrating", integrating(0.01, 12), false, 0.01, 400,
                                ModelKind::Integrating, 0.05, 0, 2.0}),
    [](const auto& info) { return std::string(info.param.name); });

LoopRecord good_record() {
    SyntheticLoop s;
    s.process = fopdt(2.0, 30, 5);
    s.noise = 0.01;
    s.duration = 400;
    return make_record(s);
}

struct RefusalCase {
    const char* name;
    Refusal expected;
    void (*spoil)(LoopRecord&);
};

class RefusesHonestly : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(RefusesHonestly, WithAReasonAndNoModel) {
    LoopRecord r = good_record();
    GetParam().spoil(r);
    const Identification id = identify(r);
    EXPECT_EQ(id.refusal, GetParam().expected);
    EXPECT_FALSE(id.ok());
    EXPECT_FALSE(id.model.valid);
    EXPECT_FALSE(refusal_text(id, true).isEmpty());
    EXPECT_FALSE(refusal_text(id, false).isEmpty());
}

void keep(LoopRecord& r, int first, int count) {
    LoopRecord out;
    for (int i = first; i < first + count && i < r.size(); ++i) {
        const auto k = std::size_t(i);
        out.add(r.t[k] - r.t[std::size_t(first)], r.y[k], r.sp[k], r.u[k], r.fault[k]);
    }
    r = out;
}

INSTANTIATE_TEST_SUITE_P(
    Records, RefusesHonestly,
    ::testing::Values(
        RefusalCase{"FewerThanSixtySamples", Refusal::TooFewSamples,
                    [](LoopRecord& r) { keep(r, 80, 59); }},
        RefusalCase{"NoStepInTheRange", Refusal::NoStep, [](LoopRecord& r) { keep(r, 0, 95); }},
        RefusalCase{"ActionSaturatedThroughout", Refusal::Saturated,
                    [](LoopRecord& r) {
                        for (double& u : r.u) u = 100.0;
                    }},
        RefusalCase{"FaultBandInside", Refusal::FaultBand,
                    [](LoopRecord& r) {
                        for (int i = 200; i < 205; ++i) r.fault[std::size_t(i)] = 1;
                    }},
        RefusalCase{"RangeShorterThanTheResponse", Refusal::TooShort,
                    [](LoopRecord& r) { keep(r, 40, 100); }},
        RefusalCase{"GapInTheRecord", Refusal::Gap,
                    [](LoopRecord& r) {
                        for (std::size_t i = 150; i < r.t.size(); ++i) r.t[i] += 30;
                    }},
        RefusalCase{"ClockGoesBack", Refusal::ClockJump,
                    [](LoopRecord& r) {
                        for (std::size_t i = 150; i < r.t.size(); ++i) r.t[i] -= 10;
                    }},
        RefusalCase{"ValueNotFinite", Refusal::NotFinite,
                    [](LoopRecord& r) { r.y[120] = std::numeric_limits<double>::quiet_NaN(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Identification, NoiseLargerThanATenthOfTheMoveIsNoStep) {
    SyntheticLoop s;
    s.process = fopdt(2.0, 30, 5);
    s.noise = 0.2;
    s.duration = 400;
    const Identification id = identify(make_record(s));
    EXPECT_EQ(id.refusal, Refusal::NoStep);
}

TEST(Identification, LeastSquaresBeatsTheTwoPointReadingOnNoisyData) {
    double err_ls = 0, err_2p = 0;
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SyntheticLoop s;
        s.process = fopdt(1.0, 40, 10);
        s.noise = 0.05;
        s.seed = seed;
        const Identification id = identify(make_record(s));
        ASSERT_TRUE(id.ok());
        err_ls += std::fabs(id.model.model.tau - 40) / 40;
        err_2p += std::fabs(id.two_point.model.tau - 40) / 40;
    }
    EXPECT_LT(err_ls * 2, err_2p);
}

// A controlled loop's figures from its record alone.
TEST(LoopAssessment, FindsASustainedOscillationAndItsPeriod) {
    LoopRecord r;
    for (int i = 0; i < 1200; ++i) {
        const double t = i;
        const double y = 50 + 2 * std::sin(2 * M_PI * t / 60.0);
        const double u = 40 + 10 * std::sin(2 * M_PI * (t - 10) / 60.0);
        r.add(t, y, 50, u);
    }
    const LoopAssessment a = assess_loop(r);
    ASSERT_TRUE(a.ok);
    EXPECT_TRUE(a.oscillating);
    EXPECT_NEAR(a.oscillation_period, 60, 2);
    EXPECT_NEAR(a.reversals_per_hour, 2 * 3600.0 / 60, 4);
    EXPECT_NEAR(a.error_sd, 2 / std::sqrt(2.0), 0.05);
    EXPECT_NEAR(a.iae, 1200 * 2 * 2 / M_PI, 20);
    EXPECT_EQ(a.saturated_share, 0);
}

TEST(LoopAssessment, JudgesASetPointChangeAndSaturation) {
    SyntheticLoop s;
    s.process = fopdt(2.0, 40, 5);
    s.closed = true;
    s.step = 5;
    s.noise = 0.002;
    s.duration = 900;
    LoopRecord r = make_record(s);
    for (int i = 0; i < 90; ++i) r.u[std::size_t(i)] = 100;
    const LoopAssessment a = assess_loop(r);
    ASSERT_TRUE(a.ok);
    ASSERT_EQ(a.changes.size(), 1u);
    EXPECT_NEAR(a.changes[0].to - a.changes[0].from, 5, 0.01);
    EXPECT_GT(a.changes[0].settling_time, 20);
    EXPECT_LT(a.changes[0].settling_time, 400);
    EXPECT_LT(a.changes[0].overshoot_percent, 30);
    EXPECT_FALSE(a.oscillating);
    EXPECT_NEAR(a.saturated_share, 0.1, 0.01);
    EXPECT_NEAR(a.noise_sd, 0.01, 0.006);
}

TEST(LoopAssessment, RefusesARecordWithAFault) {
    LoopRecord r = good_record();
    r.fault[10] = 1;
    EXPECT_FALSE(assess_loop(r).ok);
}

}  // namespace
