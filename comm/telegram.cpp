#include "comm/telegram.h"

#include <algorithm>

namespace telegram {

std::uint8_t checksum(const std::uint8_t* p, int n) {
    unsigned sum = 0;
    for (int i = 0; i < n; ++i) sum += p[i];
    return static_cast<std::uint8_t>(sum & 0xFFu);
}

int finish_sd2(Buffer& buf, std::uint8_t da, std::uint8_t sa, std::uint8_t fc, int data_len) {
    const int le = 3 + data_len;
    buf[0] = SD2;
    buf[1] = static_cast<std::uint8_t>(le);
    buf[2] = static_cast<std::uint8_t>(le);
    buf[3] = SD2;
    buf[4] = da;
    buf[5] = sa;
    buf[6] = fc;
    buf[static_cast<std::size_t>(le + 4)] = checksum(buf.data() + 4, le);
    buf[static_cast<std::size_t>(le + 5)] = ED;
    return le + 6;
}

int build_command(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t fc, std::uint8_t cmd) {
    tx[kDataOffset] = cmd;
    return finish_sd2(tx, da, sa, fc, 1);
}

int build_read(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t table, std::uint8_t len) {
    tx[7] = CMD_READ;
    tx[8] = table;
    tx[9] = len;
    tx[10] = 0;
    return finish_sd2(tx, da, sa, FC_SRD, 4);
}

int build_write(Buffer& tx, std::uint8_t da, std::uint8_t sa, std::uint8_t table,
                std::uint8_t len) {
    tx[7] = CMD_WRITE;
    tx[8] = table;
    tx[9] = len;
    tx[10] = 0;
    return finish_sd2(tx, da, sa, FC_SDA, 4 + len);
}

int build_sd1(Buffer& buf, std::uint8_t da, std::uint8_t sa, std::uint8_t fc) {
    buf[0] = SD1;
    buf[1] = da;
    buf[2] = sa;
    buf[3] = fc;
    buf[4] = checksum(buf.data() + 1, 3);
    buf[5] = ED;
    return kSd1Length;
}

int build_status(Buffer& tx, std::uint8_t da, std::uint8_t sa) {
    return build_sd1(tx, da, sa, FC_STATUS);
}

int build_data_reply(Buffer& buf, std::uint8_t da, std::uint8_t sa, const std::uint8_t* data,
                     int len) {
    if (len < 0 || len > 249) return 0;
    for (int i = 0; i < len; ++i) buf[static_cast<std::size_t>(kDataOffset + i)] = data[i];
    return finish_sd2(buf, da, sa, FC_DATA, len);
}

bool valid_data_reply(const Buffer& rx, int received) {
    const int le = rx[1];
    // The frame must lie wholly within the bytes of this read (and so within rx).
    if (received > static_cast<int>(rx.size())) received = static_cast<int>(rx.size());
    if (received < le + 6) return false;
    if (rx[0] != SD2) return false;
    if (rx[1] != rx[2]) return false;
    if (rx[6] != FC_DATA) return false;
    if (rx[static_cast<std::size_t>(le + 5)] != ED) return false;
    return checksum(rx.data() + 4, le) == rx[static_cast<std::size_t>(le + 4)];
}

bool valid_ack(const Buffer& rx) {
    if (rx[0] != SD1) return false;
    if (rx[3] != FC_OK) return false;  // any other code is a refusal
    if (rx[5] != ED) return false;
    return checksum(rx.data() + 1, 3) == rx[4];
}

int frame_length(const std::uint8_t* buf, int got, int limit) {
    if (got >= 1 && buf[0] == SD1) return std::min(limit, kSd1Length);
    if (got >= 2 && buf[0] == SD2) return std::min(limit, buf[1] + 6);
    return limit;
}

}  // namespace telegram
