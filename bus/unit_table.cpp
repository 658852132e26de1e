#include "bus/unit_table.h"

#include <QElapsedTimer>

qint64 monotonic_ms() {
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

void UnitTable::set_addresses(const std::vector<int>& addresses) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::map<int, UnitReading> units;
    for (int a : addresses) {
        auto it = units_.find(a);
        UnitReading r = it != units_.end() ? it->second : UnitReading{};
        r.address = a;
        units[a] = r;
    }
    units_ = std::move(units);
}

std::vector<int> UnitTable::addresses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<int> out;
    for (const auto& [a, r] : units_) out.push_back(a);
    return out;
}

std::vector<UnitReading> UnitTable::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<UnitReading> out;
    out.reserve(units_.size());
    for (const auto& [a, r] : units_) out.push_back(r);
    return out;
}

bool UnitTable::has(int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return units_.count(address) != 0;
}

std::optional<UnitReading> UnitTable::get(int address) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = units_.find(address);
    if (it == units_.end()) return std::nullopt;
    return it->second;
}

UnitReading UnitTable::good(int address, const LiveGroup& live, qint64 now_ms,
                            const QDateTime& now) {
    std::lock_guard<std::mutex> lock(mutex_);
    UnitReading& r = units_[address];
    r.address = address;
    r.live = live;
    r.link = true;
    r.last_good_ms = now_ms;
    r.last_good = now;
    r.failures = 0;
    ++r.good_total;
    return r;
}

UnitReading UnitTable::failed(int address) {
    std::lock_guard<std::mutex> lock(mutex_);
    UnitReading& r = units_[address];
    r.address = address;
    r.link = false;
    ++r.failures;
    ++r.failed_total;
    return r;
}

void UnitTable::set_type_text(int address, const QString& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = units_.find(address);
    if (it != units_.end()) it->second.type_text = text;
}

void UnitTable::all_down() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [a, r] : units_) r.link = false;
}
