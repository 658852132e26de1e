#include "gateway/gateway_record.h"

void GatewayRecord::note(const UnitReading& r, qint64 wall_ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    Unit& u = units_[r.address];
    ++u.polls;
    if (!r.link) return;
    // Within a step the newest value stands for it.
    if (!u.points.empty() && wall_ms - u.points.front().first < 0)
        u.points.clear();  // clock set back
    if (!u.points.empty() && wall_ms / kStepMs == u.points.back().first / kStepMs)
        u.points.back() = {wall_ms, r.live.MEAS};
    else
        u.points.emplace_back(wall_ms, r.live.MEAS);
    while (!u.points.empty() && u.points.front().first < wall_ms - kHourMs) u.points.pop_front();
}

quint64 GatewayRecord::polls(int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = units_.find(address);
    return it == units_.end() ? 0 : it->second.polls;
}

std::vector<std::pair<qint64, float>> GatewayRecord::hour(int address, qint64 now_wall_ms) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::pair<qint64, float>> out;
    const auto it = units_.find(address);
    if (it == units_.end()) return out;
    for (const auto& p : it->second.points)
        if (p.first >= now_wall_ms - kHourMs) out.push_back(p);
    return out;
}
