#include "bus/bus_poller.h"

#include "bus/bus_session.h"

BusPoller::BusPoller(UnitTable& table)
    : table_(table), now_ms_(monotonic_ms), wall_([] { return QDateTime::currentDateTimeUtc(); }) {
    order_ = table_.addresses();
    cycle_start_ms_ = now_ms_();
}

void BusPoller::set_clock(NowMs now_ms, Wall wall) {
    now_ms_ = std::move(now_ms);
    wall_ = std::move(wall);
    cycle_start_ms_ = now_ms_();
}

void BusPoller::set_addresses(const std::vector<int>& addresses) {
    table_.set_addresses(addresses);
    order_ = table_.addresses();
    next_ = 0;
    stepped_in_cycle_ = 0;
    cycle_start_ms_ = now_ms_();
}

bool BusPoller::due(int address) const {
    const auto retry = retry_at_.find(address);
    return retry == retry_at_.end() || now_ms_() >= retry->second;
}

BusPoller::Step BusPoller::step_for(int address) const {
    return Step{address, type_asked_.count(address) == 0};
}

std::optional<BusPoller::Step> BusPoller::next() {
    if (order_ != table_.addresses()) {
        order_ = table_.addresses();
        next_ = 0;
    }
    // A pass past the last controller ends the cycle.
    for (std::size_t tried = 0; tried <= order_.size(); ++tried) {
        if (next_ >= order_.size()) {
            next_ = 0;
            if (stepped_in_cycle_ > 0) {
                ++cycles_;
                last_cycle_ms_ = now_ms_() - cycle_start_ms_;
            }
            stepped_in_cycle_ = 0;
            cycle_start_ms_ = now_ms_();
        }
        if (order_.empty()) return std::nullopt;
        const int a = order_[next_];
        if (due(a)) {
            ++next_;
            ++stepped_in_cycle_;
            return step_for(a);
        }
        ++next_;
    }
    return std::nullopt;
}

BusPoller::Outcome BusPoller::read(BusSession& session, const Step& step) {
    Outcome o;
    o.live = session.read_live(step.address);
    // Silent at first: the type text comes with the first good reading.
    if (o.live && step.want_type) o.type_text = session.type_text(step.address);
    return o;
}

UnitReading BusPoller::record(const Step& step, const Outcome& outcome) {
    const int a = step.address;
    if (!table_.has(a)) return UnitReading{};
    UnitReading r;
    if (outcome.live) {
        retry_at_.erase(a);
        if (step.want_type) {
            type_asked_.insert(a);
            if (outcome.type_text) table_.set_type_text(a, *outcome.type_text);
        }
        r = table_.good(a, *outcome.live, now_ms_(), wall_());
    } else {
        retry_at_[a] = now_ms_() + retry_ms_;
        r = table_.failed(a);
    }
    if (on_reading_) on_reading_(r);
    return r;
}

void BusPoller::poll_pass(BusSession& session, const std::atomic<bool>& stop) {
    for (int a : table_.addresses()) {
        if (stop) return;
        if (!due(a)) continue;
        const Step step = step_for(a);
        record(step, read(session, step));
    }
    ++cycles_;
}

BusPoller::Snapshot BusPoller::snapshot() const {
    Snapshot s;
    s.units = table_.snapshot();
    if (line_stats_) s.line = line_stats_();
    s.cycles = cycles_;
    s.last_cycle_ms = last_cycle_ms_;
    return s;
}
