#pragma once

#include "tuning/loop_record.h"

// The course of a live set-point step test, without the bus: the driver reads the live
// values once a cycle, hands them in, writes the step when asked and, whatever ends
// the test, writes the old set point back.
class StepTest {
  public:
    struct Config {
        double sp_step = 0;       // added to the set point
        double max_s = 600;       // the longest the step is held
        double before_s = 10;     // readings before the step, for the resting state
        double min_after_s = 60;  // the shortest the step is held: enough to identify from
    };
    static constexpr int kMaxFailures = 5;  // readings in a row without an answer: link lost

    StepTest(const Config& c, double old_sp);

    double old_sp() const { return old_sp_; }
    double new_sp() const { return old_sp_ + c_.sp_step; }
    const Config& config() const { return c_; }

    // A reading at t seconds from the start; ok false when the controller did not answer.
    void reading(double t, bool ok, double y, double sp, double u, bool fault = false);
    // Whether the step is due now (once, after the readings before it).
    bool step_due(double t) const { return !stepped_ && t >= c_.before_s; }
    void stepped(double t);
    bool has_stepped() const { return stepped_; }

    bool settled() const { return settled_; }
    bool link_lost() const { return failures_ >= kMaxFailures; }
    bool over_time(double t) const { return stepped_ && t - step_t_ >= c_.max_s; }
    bool finished(double t) const { return settled_ || link_lost() || over_time(t); }
    // 0..1 of the longest the test can take.
    double progress(double t) const;

    const LoopRecord& record() const { return record_; }

  private:
    void judge();

    Config c_;
    double old_sp_;
    bool stepped_ = false;
    double step_t_ = 0;
    bool settled_ = false;
    int failures_ = 0;
    LoopRecord record_;
    int first_after_ = -1;  // index of the first reading after the step
};
