#pragma once

#include "tuning/pid_convention.h"

// The controller's PID as TX-20 understands it (see pid_convention.h), sampled: the
// action is computed at each sampling instant and held in between. The prediction of
// a tuning and the simulated controller both run this, so they cannot drift apart.
class PidController {
  public:
    struct Config {
        PidSettings pid;
        double sample_s = 1.0;
        double dead_band = 0.0;  // measured-value units
        double out_min = 0.0;
        double out_max = 100.0;
        double derivative_filter = 10.0;  // N: the derivative is filtered with Td / N
    };

    explicit PidController(const Config& c) : c_(c) {}

    const Config& config() const { return c_; }
    // New settings (a write of the PID table) keep the integral: no bump.
    void set_config(const Config& c) { c_ = c; }
    // Starts without a bump from the given action.
    void reset(double output, double sp, double pv);
    // Moves time on by dt; at every sampling instant passed the action is recomputed.
    // Returns the action in force afterwards.
    double advance(double dt, double sp, double pv);
    // One sampling instant.
    double update(double sp, double pv);
    double output() const { return out_; }

  private:
    Config c_;
    double integral_ = 0;  // in % of action
    double derivative_ = 0;
    double pv_prev_ = 0;
    double out_ = 0;
    double clock_ = 0;
    bool started_ = false;
};
