#include "gateway/register_map.h"

#include <algorithm>
#include <cstring>

namespace register_map {

namespace {

void put_float(Registers& regs, int at, float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    regs[static_cast<std::size_t>(at)] = static_cast<std::uint16_t>(bits >> 16);
    regs[static_cast<std::size_t>(at + 1)] = static_cast<std::uint16_t>(bits & 0xFFFF);
}

}  // namespace

Registers input_registers(const UnitReading& r, qint64 now_ms) {
    Registers regs{};
    put_float(regs, 0, r.live.MEAS);
    put_float(regs, 2, r.live.SP);
    // The controller's 16 bits as they came: tenths of a per cent, read as signed.
    regs[4] = static_cast<std::uint16_t>(r.live.YOUT & 0xFFFF);
    regs[5] = static_cast<std::uint16_t>(r.live.FEEDBACK & 0xFFFF);
    put_float(regs, 6, r.live.TTERM);
    regs[8] = static_cast<std::uint16_t>(r.live.RELAYS & 0x07);
    regs[9] = r.live.FAULT != 0 ? 1 : 0;
    regs[10] = r.link ? 1 : 0;
    constexpr qint64 kCap = 65535;
    const qint64 age =
        r.last_good_ms < 0 ? kCap : std::clamp<qint64>((now_ms - r.last_good_ms) / 1000, 0, kCap);
    regs[11] = static_cast<std::uint16_t>(age);
    return regs;
}

AlarmRegisters alarm_registers(const std::vector<AlarmStatus>& alarms) {
    AlarmRegisters regs{};
    int highest = 0;
    for (const AlarmStatus& a : alarms) {
        const auto bit = static_cast<std::uint16_t>(1u << static_cast<unsigned>(a.condition));
        if (is_active(a.state)) regs[0] |= bit;
        if (is_unacked(a.state)) regs[1] |= bit;
        if (a.shelved) regs[2] |= bit;
        if (a.chattering) regs[3] |= bit;
        if (a.shelved || a.state == AlarmState::Normal) continue;
        if (highest == 0 || a.priority < highest) highest = a.priority;
        if (is_unacked(a.state)) ++regs[5];
    }
    regs[4] = static_cast<std::uint16_t>(highest);
    return regs;
}

}  // namespace register_map
