#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "comm/device_data.h"

// Milliseconds on a clock that only moves forward, shared by the polling and the servers.
qint64 monotonic_ms();

// What the polling knows of one controller on the bus.
struct UnitReading {
    int address = 0;
    QString type_text;         // read once; empty until the controller answered it
    LiveGroup live{};          // the last good reading, zeros before the first
    bool link = false;         // the last reading was good
    qint64 last_good_ms = -1;  // monotonic time of the last good reading; -1: none yet
    QDateTime last_good;       // wall-clock time of it (UTC)
    int failures = 0;          // failed readings since the last good one
    int good_total = 0;        // readings since the controller was listed
    int failed_total = 0;

    bool ever_good() const { return last_good_ms >= 0; }
};

// The readings of every listed controller, written by the polling and read by the
// servers and windows on other threads; each call is one consistent step.
class UnitTable {
  public:
    // Keeps what is known of addresses that stay listed.
    void set_addresses(const std::vector<int>& addresses);
    std::vector<int> addresses() const;
    bool has(int address) const;
    std::optional<UnitReading> get(int address) const;
    // Every listed controller, in address order.
    std::vector<UnitReading> snapshot() const;

    UnitReading good(int address, const LiveGroup& live, qint64 now_ms, const QDateTime& now);
    UnitReading failed(int address);
    void set_type_text(int address, const QString& text);
    // The line is gone: no controller's reading is good any more.
    void all_down();

  private:
    mutable std::mutex mutex_;
    std::map<int, UnitReading> units_;
};
