#pragma once

#include <QDateTime>
#include <vector>

class LogData;

// A stretch of a control loop's record: time, measured value, set point and control
// action (in %) per sample, and whether the sample is a fault reading.
struct LoopRecord {
    std::vector<double> t;  // seconds from the first sample
    std::vector<double> y;
    std::vector<double> sp;
    std::vector<double> u;
    std::vector<unsigned char> fault;
    QDateTime start;  // wall-clock time of the first sample, when known

    int size() const { return static_cast<int>(t.size()); }
    double duration() const { return t.empty() ? 0.0 : t.back() - t.front(); }
    void add(double time, double y_value, double sp_value, double u_value, bool is_fault = false);

    // Samples first..last of a log (both included, clamped to the log). Times come from
    // the clock written in the lines, so a clock that went back shows as such. A line
    // without an answer from the controller counts as a fault sample.
    static LoopRecord from_log(const LogData& log, int first, int last);
};

// Why a record cannot be worked with; None when it can.
enum class RecordProblem { None, TooFew, NotFinite, ClockJump, Gap, Fault };

struct RecordCheck {
    RecordProblem problem = RecordProblem::None;
    int index = -1;        // the first sample concerned
    double seconds = 0;    // the gap's or jump's length
    double median_dt = 0;  // the usual sampling interval
};

// Checks that a record is a usable series: enough samples, finite values, a clock that
// runs forward without gaps, and no fault readings.
RecordCheck check_record(const LoopRecord& r, int min_samples);
