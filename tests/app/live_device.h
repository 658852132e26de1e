#pragma once

#include "comm/device_data.h"
#include "comm/telegram.h"
#include "support/fake_line.h"

// A controller on the fake line that answers table reads from its own record.
class LiveDevice {
  public:
    DeviceData data;
    int reads = 0;

    FakeLine::Responder responder() {
        return [this](const Bytes& request) { return answer(request); };
    }

    Bytes answer(const Bytes& request) {
        if (request.size() < 13 || request[0] != telegram::SD2 || request[7] != telegram::CMD_READ)
            return {};
        ++reads;
        std::array<std::uint8_t, 256> table{};
        const int n = wire::encode(data, request[8], table.data());
        telegram::Buffer reply{};
        const int len = telegram::build_data_reply(reply, request[5], request[4], table.data(), n);
        return Bytes(reply.begin(), reply.begin() + len);
    }
};
