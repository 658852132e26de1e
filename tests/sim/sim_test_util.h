#pragma once

#include <cstdint>
#include <vector>

#include "comm/device_data.h"
#include "comm/telegram.h"
#include "sim/bus.h"

// Request frames and reply checks shared by the simulator tests.
namespace simtest {

using Bytes = std::vector<std::uint8_t>;

inline Bytes frame(const telegram::Buffer& b, int n) { return Bytes(b.begin(), b.begin() + n); }

inline Bytes read_request(int table, int da = 1, int sa = 0) {
    telegram::Buffer b{};
    return frame(
        b, telegram::build_read(b, static_cast<std::uint8_t>(da), static_cast<std::uint8_t>(sa),
                                static_cast<std::uint8_t>(table),
                                kTableLen[static_cast<std::size_t>(table)]));
}

inline Bytes write_request(DeviceData& d, int table, int da = 1, int sa = 0) {
    telegram::Buffer b{};
    const int len = wire::encode(d, table, b.data() + telegram::kTableDataOffset);
    return frame(
        b, telegram::build_write(b, static_cast<std::uint8_t>(da), static_cast<std::uint8_t>(sa),
                                 static_cast<std::uint8_t>(table), static_cast<std::uint8_t>(len)));
}

inline Bytes command_request(std::uint8_t fc, std::uint8_t cmd, int da = 1, int sa = 0) {
    telegram::Buffer b{};
    return frame(b, telegram::build_command(b, static_cast<std::uint8_t>(da),
                                            static_cast<std::uint8_t>(sa), fc, cmd));
}

inline Bytes status_request(int da = 1, int sa = 0) {
    telegram::Buffer b{};
    return frame(
        b, telegram::build_status(b, static_cast<std::uint8_t>(da), static_cast<std::uint8_t>(sa)));
}

inline Bytes ask(sim::Bus& bus, const Bytes& request) {
    return sim::flatten(bus.handle(request.data(), static_cast<int>(request.size())));
}

inline bool valid_data(const Bytes& reply) {
    telegram::Buffer rx{};
    for (std::size_t i = 0; i < reply.size() && i < rx.size(); ++i) rx[i] = reply[i];
    return telegram::valid_data_reply(rx, static_cast<int>(reply.size()));
}

inline bool valid_ack(const Bytes& reply) {
    if (reply.size() != 6) return false;
    telegram::Buffer rx{};
    for (std::size_t i = 0; i < reply.size(); ++i) rx[i] = reply[i];
    return telegram::valid_ack(rx);
}

}  // namespace simtest
