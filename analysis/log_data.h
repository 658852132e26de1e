#pragma once

#include <QDateTime>
#include <QtGlobal>
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

// The samples of a recorded measurement log, held compactly: a time in milliseconds and
// three floats per sample, the fault state as one bit. Min/max/sum blocks over the
// values answer range questions without scanning every sample.
class LogData {
  public:
    enum Trace { Measured = 0, SetPoint = 1, Action = 2 };
    static constexpr int kTraces = 3;

    struct Stats {
        double min = 0;
        double max = 0;
        double mean = 0;
        qint64 count = 0;  // finite values in the range
    };

    int size() const { return static_cast<int>(axis_.size()); }
    bool empty() const { return axis_.empty(); }

    // Position on the time axis: the wall-clock time of the line, moved on past the
    // samples before it where the clock went back, so it never decreases.
    qint64 axis_ms(int i) const { return axis_[static_cast<std::size_t>(i)]; }
    // The wall-clock time written in the line, as milliseconds of a UTC-less calendar
    // (days since 1970-01-01 times a day, plus the time of day).
    qint64 wall_ms(int i) const;
    float value(int trace, int i) const {
        return values_[static_cast<std::size_t>(trace)][static_cast<std::size_t>(i)];
    }
    bool fault(int i) const { return faults_[static_cast<std::size_t>(i)]; }
    // False for a line written when the controller did not answer ("bez odpovědi"): it
    // repeats the previous values, which are not a measurement, so its values read as
    // missing (NaN) and it belongs to no range figure.
    bool is_reading(int i) const { return readings_[static_cast<std::size_t>(i)]; }
    // Decimals the file wrote for a trace (the most seen).
    int decimals(int trace) const { return decimals_[static_cast<std::size_t>(trace)]; }

    // First sample whose axis position is not before `ms`.
    int lower_bound(qint64 ms) const;
    // Lowest, highest and mean finite value over first..last (both included).
    Stats stats(int trace, int first, int last) const;
    // Index of the sample nearest to an axis position, or -1 when empty.
    int nearest(qint64 ms) const;
    // Runs of consecutive fault samples, as first and last index.
    const std::vector<std::pair<int, int>>& fault_runs() const { return fault_runs_; }
    // Runs of consecutive lines that are no reading, likewise.
    const std::vector<std::pair<int, int>>& gap_runs() const { return gap_runs_; }
    qint64 gap_count() const { return gaps_; }

    std::size_t memory_bytes() const;

    // Filling, in file order.
    void append(qint64 wall, const std::array<float, kTraces>& v, bool fault, bool reading = true);
    void note_decimals(int trace, int decimals);
    // Builds the range blocks; call once after the last append.
    void finish();
    // Times the clock went back.
    int clock_jumps() const { return static_cast<int>(jumps_.size()); }

    static QDateTime to_date_time(qint64 wall_ms);
    static qint64 from_date_time(const QDate& d, const QTime& t);

  private:
    struct Block {
        float min;
        float max;
        double sum;
        int count;
    };
    static constexpr int kBlock = 64;
    Stats scan(int trace, int first, int last) const;

    std::vector<qint64> axis_;
    std::array<std::vector<float>, kTraces> values_;
    std::vector<bool> faults_;
    std::array<int, kTraces> decimals_{};
    std::array<std::vector<Block>, kTraces> blocks_;
    std::vector<bool> readings_;
    std::vector<std::pair<int, int>> fault_runs_;
    std::vector<std::pair<int, int>> gap_runs_;
    qint64 gaps_ = 0;
    // (first index after the jump, total offset added from there on)
    std::vector<std::pair<int, qint64>> jumps_;
    qint64 offset_ = 0;
    qint64 last_wall_ = 0;
    qint64 last_step_ = 1000;
};
