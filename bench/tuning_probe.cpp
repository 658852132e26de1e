// Loop tuning figures: identification time, accuracy by Monte Carlo against the
// two-point reading in the same run, and the proof on the simulator (a set-point step
// before and after writing the SIMC proposal). Prints a table; asserts nothing.
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <deque>
#include <vector>

#include "bus/bus_session.h"
#include "sim/bus.h"
#include "tests/tuning/synthetic_loop.h"
#include "tuning/tuning_study.h"
#include "tuning/tuning_write.h"

namespace {

// The simulator behind a line in virtual time: every request is answered at once.
class LoopbackLine : public Line {
  public:
    explicit LoopbackLine(sim::Bus& bus) : bus_(bus) {}
    bool write_bytes(const std::uint8_t* buf, int n, int* written) override {
        const auto reply = sim::flatten(bus_.handle(buf, n));
        pending_.assign(reply.begin(), reply.end());
        *written = n;
        return true;
    }
    bool read_bytes(std::uint8_t* buf, int n, int* received) override {
        int k = 0;
        while (k < n && !pending_.empty()) {
            buf[k++] = pending_.front();
            pending_.pop_front();
        }
        *received = k;
        return true;
    }
    void purge_rx() override { pending_.clear(); }
    void purge_tx() override {}
    void pause_ms(int) override {}

  private:
    sim::Bus& bus_;
    std::deque<std::uint8_t> pending_;
};

struct Stat {
    std::vector<double> v;
    double mean() const {
        double s = 0;
        for (double x : v) s += x;
        return v.empty() ? 0 : s / double(v.size());
    }
    double sd() const {
        const double m = mean();
        double s = 0;
        for (double x : v) s += (x - m) * (x - m);
        return v.size() > 1 ? std::sqrt(s / double(v.size() - 1)) : 0;
    }
    double rms() const {
        double s = 0;
        for (double x : v) s += x * x;
        return v.empty() ? 0 : std::sqrt(s / double(v.size()));
    }
};

double ms_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void identification_time() {
    std::printf("\n## Identification of a 1-hour range (3,600 samples)\n\n");
    std::printf("| record | median ms | max ms |\n|---|---|---|\n");
    for (bool closed : {false, true}) {
        SyntheticLoop s;
        s.process.gain = 1.5;
        s.process.tau = 300;
        s.process.dead = 40;
        s.noise = 0.02;
        s.closed = closed;
        s.duration = 3600;
        s.step_at = 600;
        const LoopRecord r = make_record(s);
        std::vector<double> t;
        for (int i = 0; i < 11; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            const Identification id = identify(r);
            t.push_back(ms_since(t0));
            if (!id.ok()) std::printf("refused: %s\n", qPrintable(refusal_text(id, false)));
        }
        std::sort(t.begin(), t.end());
        std::printf("| %s | %.1f | %.1f |\n",
                    closed ? "closed loop, set-point step" : "open loop, action step",
                    t[t.size() / 2], t.back());
    }
}

void accuracy() {
    std::printf("\n## Accuracy, Monte Carlo (60 records each; K 1.5, tau 50 s, theta 10 s)\n\n");
    std::printf(
        "relative error of K and tau, error of theta relative to theta: mean ± 1 sd; "
        "RMS ratio two-point / least squares\n\n");
    std::printf(
        "| noise | loop | method | K | tau | theta | refused |\n|---|---|---|---|---|---|---|\n");
    for (double noise : {0.01, 0.05}) {
        for (bool closed : {false, true}) {
            Stat k[2], tau[2], dead[2];
            int refused = 0;
            for (unsigned seed = 1; seed <= 60; ++seed) {
                SyntheticLoop s;
                s.process.gain = 1.5;
                s.process.tau = 50;
                s.process.dead = 10;
                s.noise = noise;
                s.closed = closed;
                s.step = closed ? 5 : 10;
                s.duration = 600;
                s.seed = seed * 7919u + (closed ? 1u : 0u) + unsigned(noise * 1000);
                const LoopRecord r = make_record(s);
                const Identification id = identify(r);
                if (!id.ok()) {
                    ++refused;
                    continue;
                }
                const ModelFit* fits[2] = {&id.model, &id.two_point};
                for (int m = 0; m < 2; ++m) {
                    if (!fits[m]->valid) continue;
                    k[m].v.push_back(fits[m]->model.gain / 1.5 - 1);
                    tau[m].v.push_back(fits[m]->model.tau / 50 - 1);
                    dead[m].v.push_back(fits[m]->model.dead / 10 - 1);
                }
            }
            const char* names[2] = {"least squares",
                                    closed ? "two-point (on closed loop)" : "two-point"};
            for (int m = 0; m < 2; ++m)
                std::printf(
                    "| %.0f %% | %s | %s | %+.2f %% ± %.2f %% | %+.2f %% ± %.2f %% | %+.2f %% ± "
                    "%.2f %% | %d |\n",
                    noise * 100, closed ? "closed" : "open", names[m], 100 * k[m].mean(),
                    100 * k[m].sd(), 100 * tau[m].mean(), 100 * tau[m].sd(), 100 * dead[m].mean(),
                    100 * dead[m].sd(), refused);
            std::printf("| %.0f %% | %s | RMS ratio | %.1f× | %.1f× | %.1f× | |\n", noise * 100,
                        closed ? "closed" : "open", k[1].rms() / std::max(k[0].rms(), 1e-12),
                        tau[1].rms() / std::max(tau[0].rms(), 1e-12),
                        dead[1].rms() / std::max(dead[0].rms(), 1e-12));
        }
    }
}

struct StepFigures {
    double overshoot = 0;
    double iae = 0;
    LoopRecord record;
};

// A set-point step of 5 on the simulated controller, read once a second for `seconds`.
// A minute at rest is recorded first, as a step test does.
StepFigures sim_step(sim::Bus& bus, BusSession& req, double from, double to, double seconds) {
    QString why;
    StepFigures f;
    StepResponse seen;
    const int rest = 60;
    for (int i = 0; i < int(seconds) + rest; ++i) {
        if (i == rest) write_set_point(req, 1, to, &why, false);
        bus.advance(1.0);
        const LiveGroup l = req.read_live(1).value_or(LiveGroup{});
        f.record.add(i, l.MEAS, l.SP, l.YOUT * 0.1);
        if (i < rest) continue;
        seen.t.push_back(i - rest + 1);
        seen.y.push_back(l.MEAS - from);
    }
    step_figures(seen, to - from);
    f.overshoot = seen.overshoot_percent;
    f.iae = seen.iae;
    return f;
}

void proof() {
    std::printf(
        "\n## Proof on the simulator (K 1.5, tau 50 s, noise 0.02, TPID 1 s, DEAD 0; "
        "set-point step 55 -> 65)\n\n");
    std::printf(
        "before: PB 200, INT 100, DER 0. The model is identified from the closed-loop "
        "record of the step before, SIMC (tau_c = theta) written through the bus.\n\n");
    std::printf(
        "| theta/tau | before: overshoot, IAE | identified K, tau, theta | SIMC PB, INT, DER | "
        "after: overshoot | after: IAE | predicted IAE | measured/predicted |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
    for (double ratio : {0.1, 0.3, 1.0}) {
        sim::Options o;
        sim::PlantSpec plant;
        plant.model.gain = 1.5;
        plant.model.tau = 50;
        plant.model.dead = 50 * ratio;
        plant.noise = 0.02;
        o.plant = plant;
        sim::Bus bus(o);
        DeviceData& st = bus.station(1);
        st.pid = {200.0f, 100.0f, 0.0f, 0};
        st.rego.DEAD = 0;
        st.rego.TPID = 1;
        LoopbackLine line(bus);
        BusSession req(line);
        const double hold = 12 * (plant.model.dead + plant.model.tau);
        bus.advance(200);
        const StepFigures before = sim_step(bus, req, 55, 65, hold);
        LoopSettings loop;  // span 100, TPID 1 s, no dead band: the simulator's tables
        const TuningStudy s = study_loop(before.record, {}, loop);

        if (!s.ok()) {
            std::printf("| %.1f | refused: %s |\n", ratio,
                        qPrintable(refusal_text(s.identification, false)));
            continue;
        }
        const PidWrite w = write_pid_fields(req, 1, s.proposal.fields);
        sim_step(bus, req, 65, 55, hold);
        const StepFigures after = sim_step(bus, req, 55, 65, hold);
        const PidController::Config c =
            controller_config(pid_convention::from_fields(w.sent, loop.span), loop);
        const Prediction pr = predict(s.identification.model.model, c, 10.0);
        const ProcessModel& m = s.identification.model.model;
        std::printf(
            "| %.1f | %.1f %%, %.0f | %.3f, %.1f, %.1f | %.2f, %.2f, %.2f | %.1f %% | %.1f | %.1f "
            "| %.2f |\n",
            ratio, before.overshoot, before.iae, m.gain, m.tau, m.dead, w.sent.PB, w.sent.INT,
            w.sent.DER, after.overshoot, after.iae, pr.setpoint.iae, after.iae / pr.setpoint.iae);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    identification_time();
    accuracy();
    proof();
    return 0;
}
