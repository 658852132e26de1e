#pragma once

#include <cstdint>

#include "comm/device_data.h"
#include "comm/telegram.h"
#include "support/fake_line.h"

// A controller on the fake line: answers table reads from its own DeviceData, takes
// table writes into it, counts EEPROM commits and moves to a written address.
struct FakeController {
    DeviceData device;
    std::uint8_t address = 1;
    int eeprom_commits = 0;
    bool silent = false;

    Bytes respond(const Bytes& req) {
        if (silent || req.size() < 9 || req[0] != telegram::SD2 || req[4] != address) return {};
        const std::uint8_t da = req[5];
        const std::uint8_t sa = req[4];
        telegram::Buffer b{};
        int n = 0;
        switch (req[7]) {
            case telegram::CMD_READ: {
                std::uint8_t data[256] = {};
                const int len = wire::encode(device, req[8], data);
                n = telegram::build_data_reply(b, da, sa, data, len);
                break;
            }
            case telegram::CMD_WRITE:
                wire::decode(device, req[8], req.data() + 11);
                n = telegram::build_sd1(b, da, sa, telegram::FC_OK);
                if (req[8] == static_cast<int>(TableId::TAB_ADD))
                    address = static_cast<std::uint8_t>(device.add.ADD);
                break;
            case telegram::CMD_EEPROM:
                ++eeprom_commits;
                n = telegram::build_sd1(b, da, sa, telegram::FC_OK);
                break;
            default:
                return {};
        }
        return Bytes(b.begin(), b.begin() + n);
    }
};
