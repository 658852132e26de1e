#include "analysis/log_data.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr qint64 kDayMs = 86400000;
constexpr qint64 kEpochJulianDay = 2440588;
constexpr qint64 kMaxOffset = qint64(1) << 61;

void extend_runs(std::vector<std::pair<int, int>>& runs, int i) {
    if (!runs.empty() && runs.back().second == i - 1) {
        runs.back().second = i;
    } else {
        runs.emplace_back(i, i);
    }
}
}  // namespace

qint64 LogData::wall_ms(int i) const {
    // The offset in force at i is the one of the last jump at or before it.
    const auto it =
        std::upper_bound(jumps_.begin(), jumps_.end(), i,
                         [](int v, const std::pair<int, qint64>& j) { return v < j.first; });
    const qint64 off = it == jumps_.begin() ? 0 : std::prev(it)->second;
    return axis_ms(i) - off;
}

int LogData::lower_bound(qint64 ms) const {
    return static_cast<int>(std::lower_bound(axis_.begin(), axis_.end(), ms) - axis_.begin());
}

int LogData::nearest(qint64 ms) const {
    if (axis_.empty()) return -1;
    const int i = lower_bound(ms);
    if (i == 0) return 0;
    if (i == size()) return size() - 1;
    return ms - axis_ms(i - 1) <= axis_ms(i) - ms ? i - 1 : i;
}

void LogData::append(qint64 wall, const std::array<float, kTraces>& v, bool fault, bool reading) {
    if (!axis_.empty()) {
        if (wall < last_wall_) {
            // The clock went back (a clock change, a corrected clock): continue one step
            // after the previous sample so the axis keeps its order.
            // Bounded, so that a file of nothing but jumps cannot overflow the axis.
            offset_ = std::min(offset_ + (last_wall_ - wall) + last_step_, kMaxOffset);
            jumps_.emplace_back(size(), offset_);
        } else if (wall > last_wall_) {
            last_step_ = wall - last_wall_;
        }
    }
    last_wall_ = wall;
    axis_.push_back(axis_.empty() ? wall + offset_ : std::max(wall + offset_, axis_.back()));
    for (int t = 0; t < kTraces; ++t)
        values_[static_cast<std::size_t>(t)].push_back(
            reading ? v[static_cast<std::size_t>(t)] : std::numeric_limits<float>::quiet_NaN());
    const int i = size() - 1;
    if (fault) extend_runs(fault_runs_, i);
    if (!reading) {
        extend_runs(gap_runs_, i);
        ++gaps_;
    }
    faults_.push_back(fault);
    readings_.push_back(reading);
}

void LogData::note_decimals(int trace, int decimals) {
    int& d = decimals_[static_cast<std::size_t>(trace)];
    d = std::max(d, std::min(decimals, 9));
}

void LogData::finish() {
    axis_.shrink_to_fit();
    faults_.shrink_to_fit();
    readings_.shrink_to_fit();
    for (int t = 0; t < kTraces; ++t) {
        std::vector<float>& v = values_[static_cast<std::size_t>(t)];
        v.shrink_to_fit();
        std::vector<Block>& blocks = blocks_[static_cast<std::size_t>(t)];
        blocks.clear();
        blocks.reserve(v.size() / kBlock + 1);
        for (std::size_t b = 0; b < v.size(); b += kBlock) {
            Block block{std::numeric_limits<float>::infinity(),
                        -std::numeric_limits<float>::infinity(), 0.0, 0};
            for (std::size_t i = b; i < std::min(v.size(), b + kBlock); ++i) {
                if (!std::isfinite(v[i])) continue;
                block.min = std::min(block.min, v[i]);
                block.max = std::max(block.max, v[i]);
                block.sum += v[i];
                ++block.count;
            }
            blocks.push_back(block);
        }
    }
}

LogData::Stats LogData::scan(int trace, int first, int last) const {
    Stats s;
    s.min = std::numeric_limits<double>::infinity();
    s.max = -std::numeric_limits<double>::infinity();
    const std::vector<float>& v = values_[static_cast<std::size_t>(trace)];
    for (int i = first; i <= last; ++i) {
        const float x = v[static_cast<std::size_t>(i)];
        if (!std::isfinite(x)) continue;
        s.min = std::min<double>(s.min, x);
        s.max = std::max<double>(s.max, x);
        s.mean += x;  // a sum until the caller divides
        ++s.count;
    }
    return s;
}

LogData::Stats LogData::stats(int trace, int first, int last) const {
    first = std::max(first, 0);
    last = std::min(last, size() - 1);
    Stats s;
    if (first > last) return s;
    const int fb = (first + kBlock - 1) / kBlock;  // first whole block
    const int lb = (last + 1) / kBlock;            // one past the last whole block
    if (fb >= lb) {
        s = scan(trace, first, last);
    } else {
        const Stats head = scan(trace, first, fb * kBlock - 1);
        const Stats tail = scan(trace, lb * kBlock, last);
        s.min = std::min(head.min, tail.min);
        s.max = std::max(head.max, tail.max);
        s.mean = head.mean + tail.mean;
        s.count = head.count + tail.count;
        const std::vector<Block>& blocks = blocks_[static_cast<std::size_t>(trace)];
        for (int b = fb; b < lb; ++b) {
            const Block& k = blocks[static_cast<std::size_t>(b)];
            if (k.count == 0) continue;
            s.min = std::min<double>(s.min, k.min);
            s.max = std::max<double>(s.max, k.max);
            s.mean += k.sum;
            s.count += k.count;
        }
    }
    if (s.count == 0) return Stats{};
    s.mean /= static_cast<double>(s.count);
    return s;
}

std::size_t LogData::memory_bytes() const {
    std::size_t total = axis_.capacity() * sizeof(qint64) + faults_.capacity() / 8 +
                        readings_.capacity() / 8 + fault_runs_.capacity() * sizeof(fault_runs_[0]) +
                        gap_runs_.capacity() * sizeof(gap_runs_[0]) +
                        jumps_.capacity() * sizeof(jumps_[0]);
    for (int t = 0; t < kTraces; ++t) {
        total += values_[static_cast<std::size_t>(t)].capacity() * sizeof(float);
        total += blocks_[static_cast<std::size_t>(t)].capacity() * sizeof(Block);
    }
    return total;
}

QDateTime LogData::to_date_time(qint64 wall) {
    const qint64 days = wall >= 0 ? wall / kDayMs : -((-wall + kDayMs - 1) / kDayMs);
    const qint64 ms = wall - days * kDayMs;
    return QDateTime(QDate::fromJulianDay(days + kEpochJulianDay),
                     QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)), Qt::UTC);
}

qint64 LogData::from_date_time(const QDate& d, const QTime& t) {
    return (d.toJulianDay() - kEpochJulianDay) * kDayMs + t.msecsSinceStartOfDay();
}
