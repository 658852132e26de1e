#pragma once

#include <complex>
#include <vector>

enum class ModelKind { Fopdt, Sopdt, Integrating };

// A process from control action (%) to measured value:
//   Fopdt        K e^(-θs) / (τs + 1)
//   Sopdt        K e^(-θs) / ((τs + 1)(τ2 s + 1)), τ ≥ τ2
//   Integrating  K e^(-θs) / s, K in units per % and second
// K in measured-value units per % of action, times in seconds.
struct ProcessModel {
    ModelKind kind = ModelKind::Fopdt;
    double gain = 0;
    double tau = 0;
    double tau2 = 0;
    double dead = 0;

    std::complex<double> response(double omega) const;
};

const char* model_kind_name(ModelKind k);  // "fopdt", "sopdt", "integrating"

// The model's output at the times t for the recorded action u, starting at rest with
// the action u0 (integrating: u0 is the action that holds the value still) and the
// output y0. The delayed action is interpolated between samples, so the dead time is
// continuous; before the first sample the action is taken as u0.
void simulate_model(const ProcessModel& m, const std::vector<double>& t,
                    const std::vector<double>& u, double u0, double y0, std::vector<double>& out);

// The same, as a state machine stepped in fixed time steps (the closed-loop prediction
// and the simulated plant): a ring of past actions holds the dead time.
class PlantState {
  public:
    PlantState(const ProcessModel& m, double dt, double u0, double y0);
    // One step with the action u applied over it; returns the output after the step.
    double step(double u);
    double output() const { return y_; }

  private:
    ProcessModel m_;
    double dt_;
    double u0_;
    double y0_;
    std::vector<double> ring_;
    std::size_t head_ = 0;
    double frac_ = 0;
    double x1_ = 0;
    double x2_ = 0;
    double y_ = 0;
};
