#include "tuning/loop_record.h"

#include <algorithm>
#include <cmath>

#include "analysis/log_data.h"

void LoopRecord::add(double time, double y_value, double sp_value, double u_value, bool is_fault) {
    t.push_back(time);
    y.push_back(y_value);
    sp.push_back(sp_value);
    u.push_back(u_value);
    fault.push_back(is_fault ? 1 : 0);
}

LoopRecord LoopRecord::from_log(const LogData& log, int first, int last) {
    LoopRecord r;
    first = std::max(first, 0);
    last = std::min(last, log.size() - 1);
    if (first > last) return r;
    const qint64 t0 = log.wall_ms(first);
    r.start = LogData::to_date_time(t0);
    for (int i = first; i <= last; ++i)
        r.add(double(log.wall_ms(i) - t0) / 1000.0, log.value(LogData::Measured, i),
              log.value(LogData::SetPoint, i), log.value(LogData::Action, i),
              log.fault(i) || !log.is_reading(i));
    return r;
}

RecordCheck check_record(const LoopRecord& r, int min_samples) {
    RecordCheck c;
    const int n = r.size();
    if (n < std::max(min_samples, 2)) {
        c.problem = RecordProblem::TooFew;
        c.index = n;
        return c;
    }
    for (int i = 0; i < n; ++i) {
        const auto k = static_cast<std::size_t>(i);
        if (r.fault[k]) {
            c.problem = RecordProblem::Fault;
            c.index = i;
            return c;
        }
        if (!std::isfinite(r.t[k]) || !std::isfinite(r.y[k]) || !std::isfinite(r.u[k]) ||
            !std::isfinite(r.sp[k])) {
            c.problem = RecordProblem::NotFinite;
            c.index = i;
            return c;
        }
    }
    std::vector<double> dts;
    dts.reserve(static_cast<std::size_t>(n));
    for (int i = 1; i < n; ++i) dts.push_back(r.t[std::size_t(i)] - r.t[std::size_t(i - 1)]);
    for (int i = 1; i < n; ++i) {
        const double dt = dts[std::size_t(i - 1)];
        if (dt <= 0) {
            c.problem = RecordProblem::ClockJump;
            c.index = i;
            c.seconds = dt;
            return c;
        }
    }
    std::vector<double> sorted = dts;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                     sorted.end());
    c.median_dt = sorted[sorted.size() / 2];
    // A missed tick doubles an interval; more than that is a hole in the record.
    for (int i = 1; i < n; ++i) {
        const double dt = dts[std::size_t(i - 1)];
        if (dt > 2.5 * c.median_dt + 0.5) {
            c.problem = RecordProblem::Gap;
            c.index = i;
            c.seconds = dt;
            return c;
        }
    }
    return c;
}
