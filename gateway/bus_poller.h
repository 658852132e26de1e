#pragma once

#include <QDateTime>
#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "gateway/unit_table.h"

class RequestLayer;

// Reads table 10 of every listed controller in turn through the request layer and
// keeps the results in a unit table. Synchronous: the caller gives it a thread.
class BusPoller {
  public:
    using NowMs = std::function<qint64()>;
    using Wall = std::function<QDateTime()>;
    // A controller that failed is asked again only this much later, so that silent
    // ones cost the others little of the bus.
    static constexpr int kRetryMs = 5000;

    BusPoller(RequestLayer& requests, UnitTable& table);

    void set_clock(NowMs now_ms, Wall wall);
    void set_retry_ms(int ms) { retry_ms_ = ms; }
    // Called after every reading, good or failed, on the polling thread.
    void set_on_reading(std::function<void(const UnitReading&)> f) { on_reading_ = std::move(f); }

    // Probes the addresses 0..126 and lists those that answer. Keeps the request
    // layer's device address.
    std::vector<int> scan(const std::atomic<bool>& stop);
    // Reads the type text of each listed controller that has none yet.
    void read_type_texts(const std::atomic<bool>& stop);
    // One reading of each controller that is due, in address order.
    void poll_pass(const std::atomic<bool>& stop);
    // Every controller is due again (after the line came back).
    void forget_failures() { retry_at_.clear(); }

  private:
    bool read_type_text(int address);

    RequestLayer& requests_;
    UnitTable& table_;
    NowMs now_ms_;
    Wall wall_;
    int retry_ms_ = kRetryMs;
    std::function<void(const UnitReading&)> on_reading_;
    std::map<int, qint64> retry_at_;
    std::set<int> type_asked_;
};
