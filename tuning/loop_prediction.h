#pragma once

#include <vector>

#include "tuning/pid_controller.h"
#include "tuning/process_model.h"

// Robustness of the loop model + controller, from its frequency response.
struct Robustness {
    bool stable = false;
    double ms = 0;           // peak of the sensitivity |1 / (1 + L)|
    double gain_margin = 0;  // infinite when the phase never reaches -180°
    double phase_margin_deg = 0;
    double crossover = 0;  // rad/s where |L| = 1
};

// The controller's sampling enters as the delay of a zero-order hold.
Robustness robustness(const ProcessModel& m, const PidController::Config& c);

struct StepResponse {
    std::vector<double> t;         // s from the step
    std::vector<double> y;         // the measured value's deviation
    std::vector<double> u;         // the action's deviation, %
    double overshoot_percent = 0;  // set point: past the step; load: peak as % of K·d
    double peak = 0;               // largest deviation from the set point
    double settling_time = 0;      // last time outside 2 % of the step (load: of K·d)
    double iae = 0;                // ∫|e| dt
    bool settled = false;
};

struct Prediction {
    StepResponse setpoint;
    StepResponse load;
};

// The closed loop simulated in discrete time with the controller's own PID: a set-point
// step of sp_step and, separately, a step of load_step % at the process input. The
// action starts at u0 and keeps the controller's limits.
Prediction predict(const ProcessModel& m, const PidController::Config& c, double sp_step = 1.0,
                   double load_step = 10.0, double u0 = 0.0);

// Figures of a recorded or simulated step response toward target from start.
void step_figures(StepResponse& r, double target);
