#include "gateway/bus_poller.h"

#include "comm/Unit_hl.h"

BusPoller::BusPoller(RequestLayer& requests, UnitTable& table)
    : requests_(requests),
      table_(table),
      now_ms_(monotonic_ms),
      wall_([] { return QDateTime::currentDateTimeUtc(); }) {}

void BusPoller::set_clock(NowMs now_ms, Wall wall) {
    now_ms_ = std::move(now_ms);
    wall_ = std::move(wall);
}

std::vector<int> BusPoller::scan(const std::atomic<bool>& stop) {
    const std::uint8_t own = requests_.device_address();
    std::vector<int> found;
    for (int a = 0; a <= 126 && !stop; ++a) {
        requests_.set_device_address(static_cast<std::uint8_t>(a));
        if (requests_.probe_station()) found.push_back(a);
    }
    requests_.set_device_address(own);
    return found;
}

bool BusPoller::read_type_text(int address) {
    requests_.set_device_address(static_cast<std::uint8_t>(address));
    if (!requests_.read_type_text()) return false;
    const auto& text = requests_.buffer().type_text;
    table_.set_type_text(address, QString::fromLatin1(text.data()));
    return true;
}

void BusPoller::read_type_texts(const std::atomic<bool>& stop) {
    for (int a : table_.addresses()) {
        if (stop) return;
        // One that does not answer now is asked once more when it first does.
        if (!type_asked_.count(a) && read_type_text(a)) type_asked_.insert(a);
    }
}

void BusPoller::poll_pass(const std::atomic<bool>& stop) {
    for (int a : table_.addresses()) {
        if (stop) return;
        const auto retry = retry_at_.find(a);
        if (retry != retry_at_.end() && now_ms_() < retry->second) continue;
        requests_.set_device_address(static_cast<std::uint8_t>(a));
        UnitReading r;
        if (requests_.read_table(TableId::TAB_LIVE)) {
            retry_at_.erase(a);
            r = table_.good(a, requests_.data().live, now_ms_(), wall_());
            // Silent at start: the type text comes with the first good reading.
            const std::optional<UnitReading> known = table_.get(a);
            if (known && known->type_text.isEmpty() && !type_asked_.count(a)) {
                type_asked_.insert(a);
                read_type_text(a);
                r.type_text = table_.get(a)->type_text;
            }
        } else {
            retry_at_[a] = now_ms_() + retry_ms_;
            r = table_.failed(a);
        }
        if (on_reading_) on_reading_(r);
    }
}
