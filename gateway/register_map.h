#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "alarms/alarm_engine.h"
#include "bus/unit_table.h"

// The input registers the gateway serves for one controller (unit identifier = the
// controller's address):
//   0-1  measured value, IEEE float, high word first    2-3  set point, likewise
//   4    control action x 10, signed                      5    servo feedback x 10, signed
//   6-7  terminal temperature, float                      8    relays, bits 0..2
//   9    fault, 0 or 1                                    10   link: 1 last reading good
//   11   seconds since the last good reading, at most 65535 (also before the first)
// and, after a gap that keeps a read past 11 refused, its alarms: one bit per condition,
// bit 0 high, 1 low, 2 deviation, 3 communication, 4 fault, 5 relay:
//   16   active                  17   unacknowledged (active or returned)
//   18   shelved                 19   chattering
//   20   the highest priority (1 high .. 3 low) of the alarms not normal and not shelved,
//        0 when there is none
//   21   unacknowledged alarms not shelved, their number
namespace register_map {

constexpr int kCount = 12;
using Registers = std::array<std::uint16_t, kCount>;

Registers input_registers(const UnitReading& r, qint64 now_ms);

constexpr int kAlarmStart = 16;
constexpr int kAlarmCount = 6;
using AlarmRegisters = std::array<std::uint16_t, kAlarmCount>;

// alarms: one controller's, as AlarmEngine::list() gives them.
AlarmRegisters alarm_registers(const std::vector<AlarmStatus>& alarms);

}  // namespace register_map
