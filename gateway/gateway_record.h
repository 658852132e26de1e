#pragma once

#include <QtGlobal>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "bus/unit_table.h"
#include "comm/telegram_record.h"

// One controller as the web page and the metrics see it at one moment.
struct UnitSnapshot {
    UnitReading reading;
    AddressStats line;  // the recording line's counts for its address
    quint64 polls = 0;  // readings the gateway asked for, good or failed
};

// Every listed controller, in address order.
struct GatewaySnapshot {
    std::vector<UnitSnapshot> units;
    qint64 now_ms = 0;          // on the clock of UnitReading::last_good_ms
    int cycles = 0;             // passes over every controller so far
    qint64 last_cycle_ms = -1;  // how long the last one took; -1 before the first
};

// What the gateway keeps beside the unit table for the web page and the metrics: the
// polls per controller and the last hour of measured values. The polling writes, the
// HTTP thread reads.
class GatewayRecord {
  public:
    static constexpr qint64 kHourMs = 3600 * 1000;
    // One point per step and controller is plenty for a chart the width of a thumb.
    static constexpr qint64 kStepMs = 10 * 1000;

    // After every reading; wall_ms: milliseconds since the epoch.
    void note(const UnitReading& r, qint64 wall_ms);
    quint64 polls(int address) const;
    // The measured values of the last hour before now, oldest first: (wall ms, value).
    std::vector<std::pair<qint64, float>> hour(int address, qint64 now_wall_ms) const;

  private:
    struct Unit {
        quint64 polls = 0;
        std::deque<std::pair<qint64, float>> points;
    };
    mutable std::mutex mutex_;
    std::map<int, Unit> units_;
};
