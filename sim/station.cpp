#include "sim/station.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kLag = 20.0;         // process time constant, s
constexpr double kClosedLoop = 10.0;  // wanted closed-loop time constant, s
constexpr double kStep = 0.05;        // integration step, s
constexpr double kPwmCycle = 2.0;     // time-proportioning cycle of the output relay, s
constexpr double kMaxSpan = 3600.0;   // longer gaps are treated as an hour

}  // namespace

struct Station::Plant {
    PlantSpec spec;
    PlantState state;
    PidController pid;
    double clock = 0;
    double meas = 0;
    std::normal_distribution<double> noise;
};

Station::Station(int address) : rng_(static_cast<unsigned>(address) * 7919u + 17u) {
    data.comp = {55.0f, 0.0f, 100.0f};
    data.alarm1 = {0.0f, 70.0f, 1.0f, 0, 0};
    data.sens.TYPE = 4;
    data.sens.DP = 1;
    data.sens.STRS = 0.0f;
    data.sens.ENDS = 100.0f;
    data.sens.OFFS = 0.0f;
    data.sens.COMP = 1;
    data.pid = {1.0f, 100.0f, 1.0f, 0};
    data.rego = {60, 2, 0, 2, 0, 0, 0};
    data.daco = {0, 0, 0.0f, 100.0f};
    data.erro = {0, 0, 0};
    data.ost = {0, 0, 0, 0};
    data.add.ADD = static_cast<std::int8_t>(address);
    data.words = {18, 2};
    data.live.MEAS = static_cast<float>(kAmbient);
    data.live.SP = data.comp.SP;
    data.live.TTERM = static_cast<float>(kAmbient);
    data.inputs = factory_inputs(address);
    eeprom = data;
    step(0.0);
}

void Station::advance(double seconds) {
    if (!(seconds > 0)) return;
    seconds = std::min(seconds, kMaxSpan);
    while (seconds > 0) {
        const double dt = std::min(seconds, kStep);
        step(dt);
        seconds -= dt;
    }
    std::uniform_real_distribution<double> noise(-0.05, 0.05);
    data.live.TTERM = static_cast<float>(kAmbient + noise(rng_));
}

namespace {

PidController::Config pid_config(const DeviceData& d) {
    PidController::Config c;
    const double span = pid_convention::span(d.sens.STRS, d.sens.ENDS);
    c.pid = pid_convention::from_fields({d.pid.PB, d.pid.INT, d.pid.DER}, span);
    c.sample_s = pid_convention::sample_period_s(d.rego.TPID);
    c.dead_band = pid_convention::dead_band(d.rego.DEAD, span);
    return c;
}

}  // namespace

void Station::set_plant(const PlantSpec& spec) {
    const ProcessModel& m = spec.model;
    double sp = data.comp.SP;
    if (data.comp.SP_L <= data.comp.SP_H)
        sp = std::clamp(sp, double{data.comp.SP_L}, double{data.comp.SP_H});
    // At rest: the action that holds the set point, where the process can reach it.
    double u = 50.0, y = sp;
    if (m.kind != ModelKind::Integrating && m.gain != 0) {
        u = std::clamp((sp - kAmbient) / m.gain, 0.0, 100.0);
        y = kAmbient + m.gain * u;
    }
    PidController pid(pid_config(data));
    pid.reset(u, sp, y);
    plant_ = std::make_shared<Plant>(
        Plant{spec, PlantState(m, kStep, u, y), pid, 0.0, y,
              std::normal_distribution<double>(0.0, std::max(spec.noise, 0.0))});
    data.live.MEAS = static_cast<float>(y);
    data.live.YOUT = static_cast<std::int32_t>(std::lround(u * 10.0));
    feedback_ = data.live.YOUT;
}

void Station::plant_step(double dt, double sp, double& meas, double& y) {
    Plant& p = *plant_;
    p.clock += dt;
    // Whole steps only: the plant's dead time is a ring of fixed steps.
    while (p.clock >= kStep - 1e-12) {
        p.clock -= kStep;
        p.pid.set_config(pid_config(data));
        const double u = p.pid.advance(kStep, sp, p.meas) / 100.0;
        p.meas = p.state.step(u * 100.0) + (p.spec.noise > 0 ? p.noise(rng_) : 0.0);
    }
    meas = p.meas;
    y = p.pid.output() / 100.0;
}

void Station::step(double dt) {
    const CompGroup& c = data.comp;
    double sp = c.SP;
    if (c.SP_L <= c.SP_H) sp = std::clamp(sp, double{c.SP_L}, double{c.SP_H});
    LiveGroup& live = data.live;
    live.SP = static_cast<float>(sp);
    double meas = 0, y = 0;
    if (plant_) {
        plant_step(dt, sp, meas, y);
    } else {
        builtin_step(dt, sp, meas, y);
    }
    outputs(dt, meas, sp, y);
}

void Station::builtin_step(double dt, double sp, double& meas_out, double& y_out) {
    const CompGroup& c = data.comp;
    LiveGroup& live = data.live;
    // A heater: full output lifts the process well above the top of the set-point range.
    const double gain = std::max(150.0, 1.25 * (double{c.SP_H} - kAmbient));
    const double kp = kLag / (gain * kClosedLoop);
    double meas = live.MEAS;
    const double e = sp - meas;
    integral_ = std::clamp(integral_ + kp * e * dt / kLag, 0.0, 1.0);
    const double y = std::clamp(kp * e + integral_, 0.0, 1.0);
    meas += (kAmbient + gain * y - meas) * dt / kLag;
    meas_out = meas;
    y_out = y;
}

void Station::outputs(double dt, double meas, double sp, double y) {
    LiveGroup& live = data.live;
    live.MEAS = static_cast<float>(meas);
    live.YOUT = static_cast<std::int32_t>(std::lround(y * 1000.0));

    // The servo travels at full span per DSER seconds.
    const double travel = data.rego.DSER > 0 ? 1000.0 * dt / data.rego.DSER : 1000.0;
    const double target = live.YOUT;
    if (std::fabs(target - feedback_) <= travel)
        feedback_ = target;
    else
        feedback_ += target > feedback_ ? travel : -travel;
    live.FEEDBACK = static_cast<std::int32_t>(std::lround(feedback_));

    pwm_phase_ = std::fmod(pwm_phase_ + dt, kPwmCycle);
    const bool out1 = (data.alarm1.RELE == 1) == alarm_exceeded(meas, sp);
    const bool out2 = y >= 1.0 || (y > 0.0 && pwm_phase_ < y * kPwmCycle);
    const bool out3 = live.FAULT != 0;
    live.RELAYS = static_cast<std::int8_t>((out1 ? 1 : 0) | (out2 ? 2 : 0) | (out3 ? 4 : 0));
}

bool Station::alarm_exceeded(double meas, double sp) {
    const Alarm1Group& a = data.alarm1;
    const bool relative = a.RALA == 1 || a.RALA == 3;
    const bool window = a.RALA == 2 || a.RALA == 3;
    const double hi = relative ? sp + a.SPHI : a.SPHI;
    const double lo = relative ? sp - a.SPLO : a.SPLO;
    const double hyst = std::max(0.0, double{a.HYST});
    if (!alarm_)
        alarm_ = meas > hi || (window && meas < lo);
    else
        alarm_ = !(meas <= hi - hyst && (!window || meas >= lo + hyst));
    return alarm_;
}

InputsGroup factory_inputs(int address) {
    InputsGroup g;
    auto& in = g.IN;
    // Platinum 60..340 ohm, nickel at -50..190 degrees: raw converter counts.
    for (int i = 0; i < 8; ++i) in[static_cast<std::size_t>(i)] = 6012 + i * 4017 + (i * 7) % 5;
    for (int i = 0; i < 5; ++i) in[static_cast<std::size_t>(8 + i)] = 7431 + i * 3105 + i % 3;
    for (int i = 0; i < 5; ++i) in[static_cast<std::size_t>(13 + i)] = 7902 + i * 2987 + i % 2;
    in[18] = 30114;            // 75 mV
    in[19] = 8203;             // terminals at 0 degrees
    in[20] = 12471;            // terminals at 60 degrees
    in[21] = 40022;            // 20 mA
    in[22] = 50107;            // 10 V
    in[23] = 21400 + address;  // serial number
    in[24] = 3;                // production batch
    in[25] = 0;                // reserve
    in[26] = 61234;            // +75 mV
    in[27] = 4301;             // -75 mV
    in[28] = 39012;            // +18 mV
    in[29] = 26514;            // -18 mV
    in[30] = 512;              // overload low
    in[31] = 65023;            // overload high
    in[32] = 13107;            // 4 mA
    in[33] = 65535;            // 20 mA
    in[34] = 6553;             // 1 V
    in[35] = 1638;             // analogue output 1 mA
    in[36] = 9830;             // 6 mA
    in[37] = 19660;            // 12 mA
    in[38] = 32767;            // 20 mA
    in[39] = 5012;             // supply, mV
    in[40] = 14;               // day
    in[41] = 3;                // month
    in[42] = 2023;             // year
    return g;
}

}  // namespace sim
