#pragma once

#include <array>
#include <cstdint>

#include "bus/unit_table.h"

// The input registers the gateway serves for one controller (unit identifier = the
// controller's address):
//   0-1  measured value, IEEE float, high word first    2-3  set point, likewise
//   4    control action x 10, signed                      5    servo feedback x 10, signed
//   6-7  terminal temperature, float                      8    relays, bits 0..2
//   9    fault, 0 or 1                                    10   link: 1 last reading good
//   11   seconds since the last good reading, at most 65535 (also before the first)
namespace register_map {

constexpr int kCount = 12;
using Registers = std::array<std::uint16_t, kCount>;

Registers input_registers(const UnitReading& r, qint64 now_ms);

}  // namespace register_map
