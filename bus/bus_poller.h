#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "bus/unit_table.h"
#include "comm/telegram_record.h"

class BusSession;

// How many controllers are polled: table 10 of each listed controller in turn, a
// silent one asked again only after a pause, the failures counted, the type text read
// once with the first good reading. The results go into a unit table that servers and
// windows read from other threads.
//
// The policy's state belongs to one thread. A caller that polls on its own thread runs
// whole passes; a window that posts one job at a time to the bus worker asks for the
// next step, has read() run on the worker and hands the outcome back.
class BusPoller {
  public:
    using NowMs = std::function<qint64()>;
    using Wall = std::function<QDateTime()>;
    using LineStats = std::function<std::map<int, AddressStats>()>;
    // A controller that failed is asked again only this much later, so that silent
    // ones cost the others little of the bus.
    static constexpr int kRetryMs = 5000;

    explicit BusPoller(UnitTable& table);

    void set_clock(NowMs now_ms, Wall wall);
    void set_retry_ms(int ms) { retry_ms_ = ms; }
    // Called after every reading, good or failed, on the polling thread.
    void set_on_reading(std::function<void(const UnitReading&)> f) { on_reading_ = std::move(f); }
    // Where the per-address counts of the line come from, for snapshot().
    void set_line_stats(LineStats stats) { line_stats_ = std::move(stats); }

    UnitTable& table() const { return table_; }
    // A new list of controllers; what is known of those that stay is kept.
    void set_addresses(const std::vector<int>& addresses);

    struct Step {
        int address = 0;
        bool want_type = false;
    };
    struct Outcome {
        std::optional<LiveGroup> live;
        std::optional<QString> type_text;
    };
    // The next controller that is due, in turn; nothing while every one waits out its
    // pause. Passing the last one ends a cycle.
    std::optional<Step> next();
    // The exchanges of one step, on whatever thread owns the session.
    static Outcome read(BusSession& session, const Step& step);
    // Enters a step's outcome.
    UnitReading record(const Step& step, const Outcome& outcome);

    // One reading of each controller that is due, in address order.
    void poll_pass(BusSession& session, const std::atomic<bool>& stop);
    // Every controller is due again (after the line came back).
    void forget_failures() { retry_at_.clear(); }

    // Cycles ended so far and how long the last one took (-1 before the first).
    int cycles() const { return cycles_; }
    qint64 last_cycle_ms() const { return last_cycle_ms_; }

    struct Snapshot {
        std::vector<UnitReading> units;    // address order
        std::map<int, AddressStats> line;  // per address; empty without a source
        int cycles = 0;
        qint64 last_cycle_ms = -1;
    };
    // Any thread: the table's readings and the line's counts.
    Snapshot snapshot() const;

  private:
    bool due(int address) const;
    Step step_for(int address) const;

    UnitTable& table_;
    NowMs now_ms_;
    Wall wall_;
    int retry_ms_ = kRetryMs;
    std::function<void(const UnitReading&)> on_reading_;
    LineStats line_stats_;
    std::map<int, qint64> retry_at_;
    std::set<int> type_asked_;

    // Stepping.
    std::vector<int> order_;
    std::size_t next_ = 0;
    int stepped_in_cycle_ = 0;
    qint64 cycle_start_ms_ = 0;
    std::atomic<int> cycles_{0};
    std::atomic<qint64> last_cycle_ms_{-1};
};
