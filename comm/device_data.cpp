#include "comm/device_data.h"

#include <cstring>

namespace {

struct Decoder {
    const std::uint8_t* p;
    int n = 0;
    void operator()(const char*, float& v) {
        const std::uint32_t u = (std::uint32_t{p[n]} << 24) | (std::uint32_t{p[n + 1]} << 16) |
                                (std::uint32_t{p[n + 2]} << 8) | std::uint32_t{p[n + 3]};
        std::memcpy(&v, &u, 4);
        n += 4;
    }
    void operator()(const char*, std::int32_t& v) {
        v = static_cast<std::int32_t>((unsigned{p[n]} << 8) | unsigned{p[n + 1]});
        n += 2;
    }
    void operator()(const char*, std::int8_t& v) {
        v = static_cast<std::int8_t>(p[n]);
        n += 1;
    }
};

struct Encoder {
    std::uint8_t* p;
    int n = 0;
    void operator()(const char*, float& v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        p[n] = static_cast<std::uint8_t>(u >> 24);
        p[n + 1] = static_cast<std::uint8_t>(u >> 16);
        p[n + 2] = static_cast<std::uint8_t>(u >> 8);
        p[n + 3] = static_cast<std::uint8_t>(u);
        n += 4;
    }
    void operator()(const char*, std::int32_t& v) {
        const auto u = static_cast<std::uint32_t>(v);
        p[n] = static_cast<std::uint8_t>(u >> 8);
        p[n + 1] = static_cast<std::uint8_t>(u);
        n += 2;
    }
    void operator()(const char*, std::int8_t& v) {
        p[n] = static_cast<std::uint8_t>(v);
        n += 1;
    }
};

}  // namespace

namespace wire {

int decode(DeviceData& d, int t, const std::uint8_t* p) {
    Decoder dec{p};
    with_group(d, t, [&](auto& g) { for_each_field(g, dec); });
    return dec.n;
}

int encode(DeviceData& d, int t, std::uint8_t* p) {
    Encoder enc{p};
    with_group(d, t, [&](auto& g) { for_each_field(g, enc); });
    return enc.n;
}

}  // namespace wire
